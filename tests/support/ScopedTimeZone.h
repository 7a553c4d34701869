// Sets TZ for the life of the object, so local-time tests do not depend on
// the machine's zone; tzset() makes localtime_r take it.
#pragma once

#include <cstdlib>
#include <ctime>
#include <string>

namespace testing_support {

class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) old_ = old, had_ = true;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (had_)
      setenv("TZ", old_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::string old_;
  bool had_ = false;
};

}  // namespace testing_support
