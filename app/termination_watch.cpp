#include "app/termination_watch.h"

#include <QSocketNotifier>

#include "platform/termination_signals.h"

namespace quavrel {

TerminationWatch::TerminationWatch(int readEnd, std::function<void()> onSignal, QObject* parent)
    : QObject(parent), readEnd_(readEnd), onSignal_(std::move(onSignal))
{
    if (readEnd_ < 0)
        return;
    notifier_ = new QSocketNotifier(readEnd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        if (TakeTerminationSignal(readEnd_) != 0)
            onSignal_();
    });
}

}  // namespace quavrel
