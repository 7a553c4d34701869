#include "lib/component/LibraryLock.h"

namespace zenolith {

LibraryMutex& LibraryLock() {
  static LibraryMutex lock;
  return lock;
}

}  // namespace zenolith
