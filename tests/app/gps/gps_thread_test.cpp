// GPSThread with real parts: a pseudo-terminal registered as a serial port
// and fed from a real capture, replayed files, the raw log, a receiver that
// goes silent or away, GGA-only receivers, and what reaches the fix hooks in
// which order. Cycles are shortened to tens of milliseconds.
#include "app/gps/GPSThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <numbers>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/core/Utilities.h"
#include "platform/serial/PortTable.h"
#include "tests/app/gps/PtyReceiver.h"
#include "tests/support/ScopedTimeZone.h"
#include "tests/support/TempRegistry.h"

namespace {

using gps_testing::DataFolder;
using gps_testing::MsSince;
using gps_testing::Nmea;
using gps_testing::PtyReceiver;
using gps_testing::ReadWhole;
using gps_testing::WaitFor;
using rovana::GeoPoint;
using rovana::GpsOptions;
using rovana::GPSThread;
using State = rovana::GPSThread::State;

constexpr int kWaitMs = 5000;  // upper bound for things that take a few cycles
constexpr double kDegToRad = std::numbers::pi / 180;
constexpr double kAngleTolerance = 1e-12;  // radians
constexpr double kSpeedTolerance = 1e-9;   // km/h
const GPSThread::Timings kShort{20, 40, 150};
constexpr long long kLookSlackMs = 15;  // how late WaitFor may notice an event

// One hook call as it arrived on the GPS thread.
struct Call {
  std::string hook;
  double latitude = 0, longitude = 0, altitude = 0;  // degrees, metres
  double speed = 0, course = 0;                      // km/h; radians (analyzers, filter) or degrees (buddy)
  bool computeSpeed = false, computeHeading = false;
  bool recordable = false;  // track
  std::int32_t date = 0;
  int time = 0;
};

// Records every hook call. The filter moves the point up by kLift metres,
// so the points after it show that they are the filtered ones.
class Recorder {
 public:
  static constexpr double kLift = 1000;

  rovana::GpsFixHooks Hooks() {
    rovana::GpsFixHooks hooks;
    hooks.analyzers = [this](const GeoPoint& p, double speed, double course, bool computeSpeed, bool computeHeading) {
      Call c = Of("analyzers", p);
      c.speed = speed;
      c.course = course;
      c.computeSpeed = computeSpeed;
      c.computeHeading = computeHeading;
      Add(c);
    };
    hooks.resetFilter = [this] { Add(Call{"resetFilter"}); };
    hooks.filter = [this](double lat, double lon, double speed, double course, double altitude) {
      Add(Call{"filter", lat, lon, altitude, speed, course});
      return GeoPoint(lat * kDegToRad, lon * kDegToRad, altitude + kLift);
    };
    hooks.track = [this](const GeoPoint& p, double speed, bool recordable) {
      Call c = Of("track", p);
      c.speed = speed;
      c.recordable = recordable;
      Add(c);
    };
    hooks.buddy = [this](const GeoPoint& p, double speed, double course) {
      Call c = Of("buddy", p);
      c.speed = speed;
      c.course = course;
      Add(c);
    };
    hooks.cycleDone = [this](std::uint32_t lines) {
      std::lock_guard lock(mutex_);
      cycles_.push_back(lines);
    };
    return hooks;
  }

  std::vector<Call> Calls(const std::string& hook = "") {
    std::lock_guard lock(mutex_);
    std::vector<Call> out;
    for (const Call& c : calls_)
      if (hook.empty() || c.hook == hook) out.push_back(c);
    return out;
  }
  std::size_t Count(const std::string& hook) { return Calls(hook).size(); }
  std::vector<std::uint32_t> Cycles() {
    std::lock_guard lock(mutex_);
    return cycles_;
  }

 private:
  static Call Of(const char* hook, const GeoPoint& p) {
    Call c{hook, p.latitude() / kDegToRad, p.longitude() / kDegToRad, p.altitude()};
    c.date = p.date();
    c.time = p.time();
    return c;
  }
  void Add(const Call& c) {
    std::lock_guard lock(mutex_);
    calls_.push_back(c);
  }
  std::mutex mutex_;
  std::vector<Call> calls_;
  std::vector<std::uint32_t> cycles_;
};

std::vector<std::string> Sentences(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '$') out.push_back(line);
  }
  return out;
}

std::vector<std::string> Split(const std::string& sentence) {
  std::vector<std::string> fields;
  std::string body = sentence.substr(0, sentence.find('*'));
  std::istringstream in(body);
  for (std::string f; std::getline(in, f, ',');) fields.push_back(f);
  return fields;
}

// An RMC's fix as read here, independently of the scanner.
struct RmcFix {
  double latitude, longitude, knots, course;
  int day, month, year, seconds;
};
RmcFix ReadRmc(const std::string& sentence) {
  const std::vector<std::string> f = Split(sentence);
  auto angle = [](const std::string& text, std::size_t digits, const std::string& hemisphere) {
    const double value = std::stod(text.substr(0, digits)) + std::stod(text.substr(digits)) / 60;
    return hemisphere == "S" || hemisphere == "W" ? -value : value;
  };
  return RmcFix{angle(f[3], 2, f[4]), angle(f[5], 3, f[6]), std::stod(f[7]), std::stod(f[8]),
                std::stoi(f[9].substr(0, 2)), std::stoi(f[9].substr(2, 2)), 2000 + std::stoi(f[9].substr(4, 2)),
                std::stoi(f[1].substr(0, 2)) * 3600 + std::stoi(f[1].substr(2, 2)) * 60 + std::stoi(f[1].substr(4, 2))};
}

class GPSThreadTest : public ::testing::Test {
 protected:
  std::filesystem::path Path(const char* name) const { return registry_.folder() / name; }
  GpsOptions Options(const std::string& name) const {
    GpsOptions o;
    o.gpsName = name;
    o.baudRate = 4800;
    return o;
  }
  void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }

  testing_support::TempRegistry registry_;
  testing_support::ScopedTimeZone zone_{"UTC0"};
  std::atomic<bool> quit_{false};
  Recorder recorder_;
  const GeoPoint start_{0.5, 0.2, 321};
};

TEST_F(GPSThreadTest, TheStartPositionComesFirstAndPassesEveryHookInOrder) {
  GpsOptions options = Options("");
  options.gpsEnabled = false;
  options.useGPSSpeed = false;
  GPSThread thread(quit_, recorder_.Hooks(), options, start_, kShort);
  const rovana::LocalStamp before = rovana::LocalNow();
  thread.Start();
  ASSERT_TRUE(WaitFor([&] { return recorder_.Cycles().size() >= 3; }, kWaitMs));
  const std::vector<Call> calls = recorder_.Calls();
  std::vector<std::string> order;
  for (const Call& c : calls) order.push_back(c.hook);
  // A start position is no way travelled: the statistics never see it.
  EXPECT_EQ(order, (std::vector<std::string>{"resetFilter", "filter", "track", "buddy"}));
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_NEAR(calls[1].latitude * kDegToRad, 0.5, kAngleTolerance);
  EXPECT_NEAR(calls[1].longitude * kDegToRad, 0.2, kAngleTolerance);
  EXPECT_EQ(calls[1].speed, 0);
  EXPECT_EQ(calls[1].course, 0);
  EXPECT_DOUBLE_EQ(calls[1].altitude, 321);
  EXPECT_DOUBLE_EQ(calls[2].altitude, 321 + Recorder::kLift) << "the track gets the filtered point";
  EXPECT_FALSE(calls[2].recordable) << "a start position is not recorded";
  EXPECT_EQ(calls[2].date, before.date) << "stamped now";
  EXPECT_GE(calls[2].time, before.seconds);
  EXPECT_DOUBLE_EQ(calls[3].altitude, 321 + Recorder::kLift);
  EXPECT_EQ(thread.state(), State::Idle);
  EXPECT_EQ(thread.connections(), 0u);
}

TEST_F(GPSThreadTest, ResetUserPositionIsDeliveredLikeAFixWithoutMotion) {
  GPSThread thread(quit_, recorder_.Hooks(), Options(""), start_, kShort);
  thread.Start();
  ASSERT_TRUE(WaitFor([&] { return recorder_.Count("buddy") == 1; }, kWaitMs));
  thread.ResetUserPosition(GeoPoint(-0.3, 1.1, 12));
  ASSERT_TRUE(WaitFor([&] { return recorder_.Count("buddy") == 2; }, kWaitMs));
  const Call buddy = recorder_.Calls("buddy").back();
  EXPECT_NEAR(buddy.latitude * kDegToRad, -0.3, kAngleTolerance);
  EXPECT_NEAR(buddy.longitude * kDegToRad, 1.1, kAngleTolerance);
  EXPECT_EQ(buddy.speed, 0);
  EXPECT_EQ(buddy.course, 0);
  EXPECT_EQ(recorder_.Count("resetFilter"), 2u) << "no fix yet: the filter starts from the given point";
  EXPECT_TRUE(WaitFor([&] { return thread.state() == State::NoSource; }, kWaitMs));
}

// A SiRF receiver on COM5: speaks a real capture: the configuration goes out
// first, in order, with checksums; every valid RMC becomes a fix.
TEST_F(GPSThreadTest, ASerialReceiverConfiguredAndReadFromARealCapture) {
  PtyReceiver receiver;
  ASSERT_TRUE(receiver.ok());
  ASSERT_TRUE(platform::RegisterPort(5, receiver.slave()));
  GpsOptions options = Options("COM5:");
  options.configGPS = true;
  options.useGPSHeading = false;
  GPSThread thread(quit_, recorder_.Hooks(), options, start_, kShort);
  thread.Start();

  std::string expected;
  for (const char* command : GPSThread::kSirfConfiguration) expected += Nmea(command) + "\r\n";
  std::string heard;
  ASSERT_TRUE(WaitFor([&] { return (heard += receiver.Heard()).size() >= expected.size(); }, kWaitMs));
  EXPECT_EQ(heard, expected);
  EXPECT_EQ(thread.state(), State::Reading);

  // Until the first RMC the receiver counts as one that sends only GGA: a
  // GGA with a fix before it is a fix of its own.
  const std::string capture = ReadWhole(DataFolder() / "bu353s4.log");
  std::vector<RmcFix> fixes;
  std::vector<double> altitudes;  // of the latest GGA, for each RMC fix
  std::size_t sentences = 0, fromGga = 0;
  double altitude = 0;
  for (const std::string& s : Sentences(capture)) {
    ++sentences;
    if (s.rfind("$GPRMC,", 0) == 0 && Split(s)[2] == "A") {
      fixes.push_back(ReadRmc(s));
      altitudes.push_back(altitude);
    }
    if (s.rfind("$GPGGA,", 0) == 0) {
      altitude = std::stod(Split(s)[9]);
      if (fixes.empty() && Split(s)[6] != "0") ++fromGga;
    }
  }
  ASSERT_EQ(fixes.size(), 25u);
  ASSERT_EQ(fromGga, 1u);
  ASSERT_TRUE(receiver.Send(capture));
  ASSERT_TRUE(WaitFor([&] { return thread.sentences() == sentences; }, kWaitMs)) << thread.sentences();

  const std::vector<Call> analyzed = recorder_.Calls("analyzers");
  ASSERT_EQ(analyzed.size(), fromGga + fixes.size()) << "each fix, not the start position";
  EXPECT_EQ(analyzed[0].speed, 0);
  const std::vector<Call> filtered = recorder_.Calls("filter");
  ASSERT_EQ(filtered.size(), 1 + analyzed.size()) << "the start position, then each fix";
  for (std::size_t i = 0; i < fixes.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_DOUBLE_EQ(filtered[1 + fromGga + i].altitude, altitudes[i]);
    const Call& c = analyzed[fromGga + i];
    EXPECT_NEAR(c.latitude, fixes[i].latitude, 1e-9);
    EXPECT_NEAR(c.longitude, fixes[i].longitude, 1e-9);
    EXPECT_NEAR(c.speed, fixes[i].knots * 1.852, kSpeedTolerance);
    EXPECT_NEAR(c.course, fixes[i].course * kDegToRad, kAngleTolerance);
    EXPECT_FALSE(c.computeSpeed);
    EXPECT_TRUE(c.computeHeading) << "useGPSHeading is off";
    EXPECT_EQ(c.date, rovana::PackDate(fixes[i].year, fixes[i].month, fixes[i].day));
    EXPECT_EQ(c.time, fixes[i].seconds);
  }
  const std::vector<Call> tracked = recorder_.Calls("track");
  ASSERT_EQ(tracked.size(), filtered.size());
  EXPECT_FALSE(tracked.front().recordable) << "the start position";
  EXPECT_TRUE(tracked.back().recordable) << "a fix of a device is recorded";
  EXPECT_NEAR(tracked.back().speed, fixes.back().knots * 1.852, kSpeedTolerance);
  const Call buddy = recorder_.Calls("buddy").back();
  EXPECT_NEAR(buddy.course, fixes.back().course, 1e-9) << "the buddy tracker gets degrees";
  EXPECT_EQ(recorder_.Count("resetFilter"), 1u) << "measured fixes are never reset";

  const rovana::GpsData d = thread.data();
  EXPECT_EQ(d.rmc.count, 25u);
  EXPECT_EQ(thread.satellitesInView(), 12);
  EXPECT_EQ(thread.satellites()[11].number, 24) << "from the last GSV";
  EXPECT_EQ(thread.connections(), 1u);
}

TEST_F(GPSThreadTest, ASilentReceiverIsClosedAfterTheTimeOutAndReopened) {
  PtyReceiver receiver;
  ASSERT_TRUE(receiver.ok());
  ASSERT_TRUE(platform::RegisterPort(6, receiver.slave()));
  GPSThread thread(quit_, recorder_.Hooks(), Options("COM6:"), start_, kShort);
  thread.Start();
  ASSERT_TRUE(WaitFor([&] { return thread.connections() == 1; }, kWaitMs));
  const auto opened = std::chrono::steady_clock::now();

  // While it speaks, the connection stays.
  const std::string rmc = Nmea("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W") + "\r\n";
  const auto speaking = std::chrono::steady_clock::now();
  while (MsSince(speaking) < 3 * kShort.dataTimeoutMs) {
    receiver.Send(rmc);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(thread.connections(), 1u);
  EXPECT_EQ(thread.data().rmc.status, 'A');

  // Silent: closed after the time-out, the record reset, opened again.
  const auto silent = std::chrono::steady_clock::now();
  ASSERT_TRUE(WaitFor([&] { return thread.connections() == 2; }, kWaitMs));
  EXPECT_GE(MsSince(silent), kShort.dataTimeoutMs + kShort.reopenPauseMs);
  EXPECT_EQ(thread.data().rmc.status, 'V');
  EXPECT_EQ(thread.data().total, 0u);
  ASSERT_TRUE(WaitFor([&] { return thread.connections() == 3; }, kWaitMs)) << "and again while it stays silent";
  EXPECT_GE(MsSince(opened), 3 * kShort.dataTimeoutMs + 2 * kShort.reopenPauseMs);
}

TEST_F(GPSThreadTest, AReceiverThatGoesAwayIsTriedAgainEveryCycleAndPause) {
  PtyReceiver receiver;
  ASSERT_TRUE(receiver.ok());
  ASSERT_TRUE(platform::RegisterPort(6, receiver.slave()));
  GPSThread thread(quit_, recorder_.Hooks(), Options("COM6:"), start_, kShort);
  thread.Start();
  ASSERT_TRUE(WaitFor([&] { return thread.state() == State::Reading; }, kWaitMs));
  receiver.Unplug();
  // Another program on the machine may get the freed terminal number at
  // once; the table entry follows the device away as udev would have it.
  ASSERT_TRUE(platform::RegisterPort(6, Path("vanished-device").string()));
  ASSERT_TRUE(WaitFor([&] { return thread.openFailures() >= 1; }, kWaitMs));
  const auto first = std::chrono::steady_clock::now();
  ASSERT_TRUE(WaitFor([&] { return thread.openFailures() >= 3; }, kWaitMs));
  // `first` was seen up to one look late.
  EXPECT_GE(MsSince(first) + kLookSlackMs, 2 * (kShort.cycleMs + kShort.reopenPauseMs));
  EXPECT_EQ(thread.connections(), 1u);
}

TEST_F(GPSThreadTest, GarbageWithoutADollarReopensTheReceiver) {
  PtyReceiver receiver;
  ASSERT_TRUE(receiver.ok());
  ASSERT_TRUE(platform::RegisterPort(6, receiver.slave()));
  GPSThread thread(quit_, recorder_.Hooks(), Options("COM6:"), start_, {20, 40, 5000});
  thread.Start();
  ASSERT_TRUE(WaitFor([&] { return thread.state() == State::Reading; }, kWaitMs));
  std::string noise;
  for (int i = 0; i < 20; ++i) noise += "\xF0\x0F\xAA noise at the wrong rate\r\n";
  ASSERT_TRUE(receiver.Send(noise));
  EXPECT_TRUE(WaitFor([&] { return thread.connections() == 2; }, kWaitMs)) << "long before the data time-out";
}

// 90 sentences with CR LF ends are 180 lines: 15 a cycle, 7 or 8 sentences.
TEST_F(GPSThreadTest, AReplayedFileKeepsTheReceiversPace) {
  std::string replay;
  const std::vector<std::string> sentences = Sentences(ReadWhole(DataFolder() / "bu353s4.log"));
  for (const std::string& s : sentences) replay += s + "\r\n";
  WriteFile(Path("trip.pgl"), replay);
  GpsOptions options = Options(Path("trip.pgl").string());
  options.configGPS = true;
  GPSThread thread(quit_, recorder_.Hooks(), options, start_, kShort);
  thread.Start();
  const std::size_t lines = 2 * sentences.size();
  const std::size_t fullCycles = lines / GPSThread::kLinesPerCycle;
  ASSERT_TRUE(WaitFor([&] { return recorder_.Cycles().size() >= fullCycles + 4; }, kWaitMs));
  const std::vector<std::uint32_t> cycles = recorder_.Cycles();
  for (std::size_t i = 0; i < cycles.size(); ++i) {
    SCOPED_TRACE(i);
    const std::size_t due = i < fullCycles ? GPSThread::kLinesPerCycle
                            : i == fullCycles ? lines % GPSThread::kLinesPerCycle
                                              : 0;
    EXPECT_EQ(cycles[i], due);
  }
  EXPECT_EQ(thread.sentences(), sentences.size());
  EXPECT_EQ(thread.linesRead(), lines);
  EXPECT_EQ(thread.state(), State::Reading) << "the end of a file is no error";
  EXPECT_EQ(thread.data().rmc.status, 'A') << "the last fix stays";
  for (const Call& c : recorder_.Calls("track")) EXPECT_FALSE(c.recordable) << "a replayed log is not recorded";
  EXPECT_EQ(thread.connections(), 1u);
  EXPECT_EQ(ReadWhole(Path("trip.pgl")), replay) << "nothing is sent to a file";
}

TEST_F(GPSThreadTest, TheRawLogIsExactlyWhatTheReceiverSent) {
  PtyReceiver receiver;
  ASSERT_TRUE(receiver.ok());
  ASSERT_TRUE(platform::RegisterPort(7, receiver.slave()));
  GpsOptions options = Options("COM7:");
  options.gpsLogging = Path("first.pgl").string();
  GPSThread thread(quit_, recorder_.Hooks(), options, start_, kShort);
  thread.Start();
  ASSERT_TRUE(WaitFor([&] { return thread.state() == State::Reading; }, kWaitMs));
  const std::string capture = ReadWhole(DataFolder() / "GPSmap-76S.log");  // mixed line ends
  ASSERT_TRUE(receiver.Send(capture));
  auto size = [](const std::filesystem::path& p) {
    std::error_code ec;
    const auto n = std::filesystem::file_size(p, ec);
    return ec ? 0 : n;
  };
  ASSERT_TRUE(WaitFor([&] { return size(Path("first.pgl")) >= capture.size(); }, kWaitMs));
  EXPECT_EQ(ReadWhole(Path("first.pgl")), capture);

  // Logging ticked off and on again under the same name: a new, empty log.
  options.gpsLogging.clear();
  thread.SetOptions(options);
  options.gpsLogging = Path("first.pgl").string();
  thread.SetOptions(options);
  ASSERT_TRUE(WaitFor([&] { return size(Path("first.pgl")) == 0; }, kWaitMs));
  const std::string more = Nmea("GPZDA,201530.00,04,07,2002,00,00") + "\n";
  ASSERT_TRUE(receiver.Send(more));
  ASSERT_TRUE(WaitFor([&] { return size(Path("first.pgl")) >= more.size(); }, kWaitMs));
  EXPECT_EQ(ReadWhole(Path("first.pgl")), more);
  EXPECT_EQ(thread.connections(), 1u) << "the log changes without a reconnect";
}

TEST_F(GPSThreadTest, AGgaOnlyReceiverGetsSpeedAndCourseFromItsPositions) {
  // North along the meridian 11 E, 0.001 degrees (6' / 100) every second.
  std::string replay;
  for (int i = 0; i < 4; ++i) {
    char body[96];
    std::snprintf(body, sizeof body, "GPGGA,1200%02d,4800.%03d,N,01100.000,E,1,08,0.9,545.4,M,46.9,M,,", i, 60 * i);
    replay += Nmea(body) + "\r\n";
  }
  WriteFile(Path("gga.pgl"), replay);
  GPSThread thread(quit_, recorder_.Hooks(), Options(Path("gga.pgl").string()), start_, kShort);
  thread.Start();
  ASSERT_TRUE(WaitFor([&] { return recorder_.Count("analyzers") == 4; }, kWaitMs));
  const std::vector<Call> calls = recorder_.Calls("analyzers");
  const double kmh = 0.001 * kDegToRad * rovana::kEarthRadius * 3.6;
  EXPECT_EQ(calls[0].speed, 0) << "nothing to measure from yet";
  for (std::size_t i = 1; i < calls.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_NEAR(calls[i].speed, kmh, kmh * 1e-5);
    // The bearing's law of cosines keeps about three digits over 100 m.
    EXPECT_NEAR(std::remainder(calls[i].course, 2 * std::numbers::pi), 0, 2e-3);
    EXPECT_NEAR(calls[i].latitude, 48 + 0.001 * static_cast<double>(i), 1e-9);
  }
  EXPECT_EQ(thread.data().rmc.count, 0u);
  EXPECT_EQ(thread.data().rmc.status, 'A');
}

TEST_F(GPSThreadTest, TurningGpsOffClosesAndANewNameReconnects) {
  const std::string zda = Nmea("GPZDA,201530.00,04,07,2002,00,00") + "\n";
  WriteFile(Path("a.pgl"), zda);
  WriteFile(Path("b.pgl"), zda + zda);
  GPSThread thread(quit_, recorder_.Hooks(), Options(Path("a.pgl").string()), start_, kShort);
  thread.Start();
  ASSERT_TRUE(WaitFor([&] { return thread.sentences() == 1; }, kWaitMs));
  thread.SetOptions(Options(Path("b.pgl").string()));
  ASSERT_TRUE(WaitFor([&] { return thread.connections() == 2 && thread.sentences() == 2; }, kWaitMs));
  GpsOptions off = thread.options();
  off.gpsEnabled = false;
  thread.SetOptions(off);
  ASSERT_TRUE(WaitFor([&] { return thread.state() == State::Idle; }, kWaitMs));
  EXPECT_EQ(thread.data().total, 0u) << "the record is reset on close";
  quit_ = true;
  thread.Join();
}

}  // namespace
