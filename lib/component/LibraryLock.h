// The library's single re-entrant lock, taken by every operation that reads or
// writes state shared between objects and threads (positions and the custom
// definitions they share, parser queues and stored objects).
#pragma once

#include <mutex>

namespace zenolith {

std::recursive_mutex& LibraryLock();

}  // namespace zenolith
