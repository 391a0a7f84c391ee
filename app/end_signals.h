#pragma once
// The signals that ask a program to end (a terminal closed, a logout, kill, Ctrl+C in the
// terminal that started it) end the window as its close box does: a run under way stops
// after the contact being written and commits its store first. A handler may do almost
// nothing, so it only writes a byte to a pipe; the event loop, which the run's yields also
// drive, reads it and calls `onEnd`.

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace tressimo::app {

class EndSignals : public QObject
{
    Q_OBJECT
public:
    // Catches SIGTERM, SIGHUP and SIGINT for the lifetime of the object (one at a time), and
    // ignores SIGXFSZ for good, so that a file-size limit is a write failure with its reason
    // rather than the end of the program. A second signal of the same kind ends the program
    // at once, as without this object.
    explicit EndSignals(std::function<void()> onEnd, QObject* parent = nullptr);
    ~EndSignals() override;

private:
    void readPipe();

    std::function<void()> m_onEnd;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace tressimo::app
