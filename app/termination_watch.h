#pragma once
// TerminationWatch: ends the program in an orderly way when SIGTERM, SIGINT or SIGHUP
// arrives (platform/termination_signals.h). The signal's byte wakes the event loop, which
// runs the given action there, normally the window's close sequence without error boxes.
#include <QObject>
#include <functional>

class QSocketNotifier;

namespace quavrel {

class TerminationWatch : public QObject {
    Q_OBJECT
public:
    // `readEnd` from WatchTerminationSignals(); with -1 nothing is watched.
    TerminationWatch(int readEnd, std::function<void()> onSignal, QObject* parent = nullptr);

private:
    int readEnd_;
    std::function<void()> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace quavrel
