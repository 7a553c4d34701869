#include "app/online/DirectionsThread.h"

#include "app/online/Directions.h"

namespace rovana {

DirectionsThread::DirectionsThread(Directions& directions, const std::atomic<bool>& quit, std::uint32_t stepMs)
    : thread_("DirectionsThread", [&directions] { directions.Step(); }, quit, stepMs, StepThread::First::Wait) {}

}  // namespace rovana
