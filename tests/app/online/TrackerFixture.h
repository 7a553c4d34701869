// A tracker over the fake server with a scripted tick (advanced by Steps)
// and a scripted wall clock, logged in to the service on its first request.
#pragma once

#include <cmath>
#include <ctime>
#include <memory>

#include "app/online/Tracker.h"
#include "tests/app/online/WebServiceFixture.h"

namespace testing_support {

inline constexpr double kDeg = 3.14159265358979323846 / 180.0;

// Seconds since the epoch of a UTC date and time.
inline std::time_t Utc(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return timegm(&t);
}

inline constexpr const char* kTrackReply = "<reply><result id=\"0\"/><track id=\"42\"/></reply>";
inline constexpr const char* kTwoBuddies =
    "<reply><result id=\"0\"/><buddylist>"
    "<buddy id=\"1\"><nickname>Anna</nickname><enabled>1</enabled></buddy>"
    "<buddy id=\"2\"><nickname>Bob</nickname><enabled>0</enabled></buddy>"
    "</buddylist></reply>";

// Anna (enabled) has a position; a position reply without her would drop her.
inline constexpr const char* kAnnaPosition =
    "<reply><result id=\"0\"/><buddypositions>"
    "<buddyposition id=\"1\"><y>48.2</y><x>11.6</x><h>90</h><s>4</s></buddyposition>"
    "</buddypositions></reply>";

class TrackerFixture : public WebServiceFixture {
 protected:
  void SetUp() override {
    WebServiceFixture::SetUp();
    Online();
    server_.Always("ul", kLoginOk);
    server_.Always("bl", kTwoBuddies);
    server_.Always("ct", kTrackReply);
    server_.Always("up", ResultReply(0));
    server_.Always("bp", kAnnaPosition);
    server_.Always("cr", ResultReply(0));
    tracker_ = MakeTracker();
  }

  std::unique_ptr<rovana::Tracker> MakeTracker() {
    rovana::TrackerHooks hooks;
    hooks.post = ui_.post();
    hooks.tick = [this] { return tick_.load(); };
    hooks.now = [this] { return now_; };
    hooks.chatReceived = [this](const std::string& line) { received_.push_back(line); };
    auto tracker = std::make_unique<rovana::Tracker>(*service_, language_, std::move(hooks));
    tracker->Configure(rovana::TrackerSettingsOf(*store_));
    return tracker;
  }

  void ConfigureTracker() { tracker_->Configure(rovana::TrackerSettingsOf(*store_)); }

  // One step, then a second passes.
  void Step() {
    tracker_->Step();
    tick_ += 1000;
    now_ += 1;
  }
  void Steps(int n) {
    for (int i = 0; i < n; ++i) Step();
  }
  // Time passes without steps.
  void Wait(int seconds) {
    tick_ += static_cast<std::uint32_t>(seconds) * 1000u;
    now_ += seconds;
  }

  // A fix at 48.1 N 11.5 E, 520 m, on `date` (packed, 0 for none) at `seconds` of the day.
  static rovana::GeoPoint Fix(int seconds, std::int32_t date = 0) {
    rovana::GeoPoint point(48.1 * kDeg, 11.5 * kDeg, 520.0);
    point.setTime(seconds);
    point.setDate(date);
    return point;
  }

  std::time_t now_ = Utc(2026, 12, 9, 10, 0, 0);
  std::vector<std::string> received_;
  std::unique_ptr<rovana::Tracker> tracker_;
};

}  // namespace testing_support
