#include "app/event_pump.h"

#include <QCoreApplication>

namespace tressimo::app {

EventPump::EventPump(std::chrono::milliseconds interval) : m_interval(interval)
{
    m_sinceLastRun.start();
}

void EventPump::yield()
{
    if (m_sinceLastRun.elapsed() >= m_interval.count())
        yieldNow();
}

void EventPump::yieldNow()
{
    // Restarted first: events that run a nested command yield through this pump too, and
    // must not run the loop again at once.
    m_sinceLastRun.restart();
    ++m_eventRuns;
    if (m_beforeEvents) {
        const std::function<void()> beforeEvents = m_beforeEvents;
        beforeEvents();
    }
    QCoreApplication::processEvents();
}

} // namespace tressimo::app
