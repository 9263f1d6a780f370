// A window's timers on QTimers. A QTimer only marks its timer due; the due
// timers' events then run one per pass of the event loop, in the order they
// fell due. Qt runs every QTimer that is due in one go, so when the handlers
// are slow, a click would otherwise wait for all of them; this way it waits
// for one at most.
#pragma once

#include <QtCore/QObject>

#include <deque>
#include <functional>
#include <vector>

#include "platform/toolkit.h"

class QTimer;

namespace quorvex {

class QtTimers final : public QObject {
public:
    // `raise` runs a timer's event. Owned by `parent`, like the window's
    // widgets, so that it outlives an event under way.
    QtTimers(QObject* parent, std::size_t controls, std::function<void(ControlId)> raise);

    void add(ControlId id, int intervalMs);
    bool contains(ControlId id) const { return id < timers_.size() && timers_[id]; }
    bool isRunning(ControlId id) const;
    // Starting a running timer changes nothing; a stopped one raises no event
    // afterwards, even one already due.
    void setRunning(ControlId id, bool running);
    void stopAll();

private:
    void fallDue(ControlId id);
    void postRun();
    void runFirstDue();

    std::function<void(ControlId)> raise_;
    std::vector<QTimer*> timers_;  // by control, null for other controls; children of this
    std::deque<ControlId> due_;    // each timer once at most
    bool runPosted_ = false;
};

}  // namespace quorvex
