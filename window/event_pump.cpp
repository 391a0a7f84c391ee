#include "window/event_pump.h"

namespace tressimo::window {

EventPump::EventPump(std::function<void()> runEvents, std::chrono::milliseconds interval)
    : m_runEvents(std::move(runEvents)), m_interval(interval), m_lastRun(std::chrono::steady_clock::now())
{
}

void EventPump::yield()
{
    if (std::chrono::steady_clock::now() - m_lastRun >= m_interval)
        yieldNow();
}

void EventPump::yieldNow()
{
    // Restarted first: events that run a nested command yield through this pump too, and
    // must not run the loop again at once.
    m_lastRun = std::chrono::steady_clock::now();
    ++m_eventRuns;
    if (m_beforeEvents) {
        const std::function<void()> beforeEvents = m_beforeEvents;
        beforeEvents();
    }
    if (m_runEvents)
        m_runEvents();
}

} // namespace tressimo::window
