#include "platform/qt/qt_timers.h"

#include <QtCore/QTimer>

#include <algorithm>

namespace quorvex {

QtTimers::QtTimers(QObject* parent, std::size_t controls, std::function<void(ControlId)> raise)
    : QObject(parent), raise_(std::move(raise)), timers_(controls, nullptr) {}

void QtTimers::add(ControlId id, int intervalMs) {
    auto* timer = new QTimer(this);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(intervalMs);
    QObject::connect(timer, &QTimer::timeout, this, [this, id] { fallDue(id); });
    timers_.at(id) = timer;
}

bool QtTimers::isRunning(ControlId id) const { return contains(id) && timers_[id]->isActive(); }

void QtTimers::setRunning(ControlId id, bool running) {
    if (!contains(id) || running == timers_[id]->isActive()) return;
    if (running) {
        timers_[id]->start();
        return;
    }
    timers_[id]->stop();
    std::erase(due_, id);
}

void QtTimers::stopAll() {
    for (QTimer* timer : timers_)
        if (timer) timer->stop();
    due_.clear();
}

void QtTimers::fallDue(ControlId id) {
    // Still waiting from before: a slow handler leaves no backlog.
    if (std::ranges::find(due_, id) != due_.end()) return;
    due_.push_back(id);
    if (!runPosted_) postRun();
}

void QtTimers::postRun() {
    // A posted call runs in the next pass of the loop; one posted meanwhile
    // waits for the pass after, so the input read in between comes first.
    runPosted_ = true;
    QMetaObject::invokeMethod(this, [this] { runFirstDue(); }, Qt::QueuedConnection);
}

void QtTimers::runFirstDue() {
    runPosted_ = false;
    if (due_.empty()) return;
    const ControlId id = due_.front();
    due_.pop_front();
    if (!due_.empty()) postRun();
    raise_(id);
}

}  // namespace quorvex
