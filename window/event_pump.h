#pragma once
// Letting pending window messages run from inside a long command, cheaply. Commands yield
// far more often (after every file) than the window needs to repaint, so a yield runs the
// event loop only when the last run is at least the interval ago; otherwise it costs one
// read of a monotonic clock.

#include <chrono>
#include <functional>

namespace tressimo::window {

class EventPump
{
public:
    // Short enough that the window repaints well within 100 ms, long enough that a yield
    // after every one of 100,000 files costs next to nothing.
    static constexpr std::chrono::milliseconds kDefaultInterval{25};

    // runEvents runs the toolkit's pending events.
    explicit EventPump(std::function<void()> runEvents, std::chrono::milliseconds interval = kDefaultInterval);

    // Runs beforeEvents (if set) and then the pending events, if the interval has passed.
    void yield();
    // The same, now.
    void yieldNow();
    // Called just before the pending events run, to bring deferred views up to date.
    void setBeforeEvents(std::function<void()> beforeEvents) { m_beforeEvents = std::move(beforeEvents); }

    // How many yields ran the event loop: for tests and benchmarks.
    long long eventRuns() const { return m_eventRuns; }

private:
    std::function<void()> m_runEvents;
    std::chrono::milliseconds m_interval;
    std::chrono::steady_clock::time_point m_lastRun;
    std::function<void()> m_beforeEvents;
    long long m_eventRuns = 0;
};

} // namespace tressimo::window
