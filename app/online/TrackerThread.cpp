#include "app/online/TrackerThread.h"

#include "app/online/Tracker.h"

namespace rovana {

TrackerThread::TrackerThread(Tracker& tracker, const std::atomic<bool>& quit, std::uint32_t stepMs)
    : thread_("TrackerThread", [&tracker] { tracker.Step(); }, quit, stepMs, StepThread::First::Step) {}

}  // namespace rovana
