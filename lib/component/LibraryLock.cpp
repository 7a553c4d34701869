#include "lib/component/LibraryLock.h"

namespace zenolith {

std::recursive_mutex& LibraryLock() {
  static std::recursive_mutex lock;
  return lock;
}

}  // namespace zenolith
