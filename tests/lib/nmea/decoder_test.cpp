// The decoder as the parser drives it: routing, fix types and the remembered
// GGA altitudes, the date rule, satellite assembly, the event throttle,
// ComStatus, AllEventsGeneric, the NoEvents store with waiting Get calls, and
// real receiver captures decoded end to end.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <numbers>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "lib/nmea/Decoded.h"
#include "lib/nmea/Decoder.h"
#include "lib/nmea/NmeaLineBuffer.h"
#include "lib/nmea/NmeaSentence.h"
#include "platform/com/Runtime.h"
#include "tests/support/TempRegistry.h"

namespace {

using com::ComPtr;
using com::IDispatch;
using com::Variant;
using zenolith::Decoder;

const testing_support::TempRegistry kRegistry;

constexpr double kRadToDeg = 180.0 / std::numbers::pi;
constexpr double kMetreTolerance = 1e-9;
constexpr double kDegreeTolerance = 1e-9;

// "$" + body + "*hh" with the body's checksum.
std::string Nmea(std::string_view body) {
  unsigned sum = 0;
  for (char c : body) sum ^= static_cast<unsigned char>(c);
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X", sum & 0xFF);
  return "$" + std::string(body) + tail;
}

struct Event {
  std::string name;
  ComPtr<IDispatch> first, second;
};

// Records every event; the NoEvents tests feed from a second thread.
class Recorder final : public zenolith::DecoderSink {
 public:
  void OnGeneric(IDispatch* s) override { Add("Generic", s); }
  void OnGGA(IDispatch* o, IDispatch* s) override { Add("GGA", o, s); }
  void OnGLL(IDispatch* o, IDispatch* s) override { Add("GLL", o, s); }
  void OnRMC(IDispatch* o, IDispatch* s) override { Add("RMC", o, s); }
  void OnGpsFix(IDispatch* o) override { Add("OnGpsFix", o); }
  void OnSatellites(IDispatch* o) override { Add("OnSatellites", o); }
  void OnMovement(IDispatch* o) override { Add("OnMovement", o); }
  void OnQuality(IDispatch* o) override { Add("OnQuality", o); }
  void OnComStatus(IDispatch* o) override { Add("OnComStatus", o); }

  int Count(std::string_view name) const {
    std::lock_guard lock(mutex_);
    int n = 0;
    for (const Event& e : events_) n += e.name == name;
    return n;
  }
  std::vector<ComPtr<IDispatch>> All(std::string_view name) const {
    std::lock_guard lock(mutex_);
    std::vector<ComPtr<IDispatch>> out;
    for (const Event& e : events_)
      if (e.name == name) out.push_back(e.first);
    return out;
  }
  ComPtr<IDispatch> Last(std::string_view name) const {
    auto all = All(name);
    return all.empty() ? ComPtr<IDispatch>() : all.back();
  }
  std::vector<std::string> Names() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (const Event& e : events_) out.push_back(e.name);
    return out;
  }
  void Reset() {
    std::lock_guard lock(mutex_);
    events_.clear();
  }

 private:
  void Add(const char* name, IDispatch* a, IDispatch* b = nullptr) {
    std::lock_guard lock(mutex_);
    events_.push_back({name, ComPtr<IDispatch>(a), ComPtr<IDispatch>(b)});
  }
  mutable std::mutex mutex_;
  std::vector<Event> events_;
};

// Client-side reads of a decoded object's properties.
Variant Get(IDispatch* object, std::string_view name, std::vector<Variant> args = {}) {
  Variant v;
  EXPECT_EQ(com::InvokeByName(object, name, com::kInvokePropertyGet, args, &v), com::S_OK) << name;
  return v;
}
int I2(IDispatch* o, std::string_view name) { return Get(o, name).AsI2(); }
bool Bool(IDispatch* o, std::string_view name) { return Get(o, name).AsBool(); }
double R8(IDispatch* o, std::string_view name, std::vector<Variant> args = {}) { return Get(o, name, args).AsR8(); }
com::CivilTime Utc(IDispatch* o) {
  com::CivilTime civil;
  EXPECT_TRUE(com::DateToCivil(Get(o, "UTC").AsDate(), &civil));
  return civil;
}
ComPtr<IDispatch> PositionOf(IDispatch* o) {
  ComPtr<IDispatch> p;
  Get(o, "Position").ToDispatch(&p);
  return p;
}
double Altitude(IDispatch* position, int frm) {
  Variant arg = Variant::I2(static_cast<std::int16_t>(frm)), v;
  EXPECT_EQ(com::InvokeByName(position, "Altitude", com::kInvokeMethod, {&arg, 1}, &v), com::S_OK);
  return v.AsR8();
}

class DecoderTest : public ::testing::Test {
 protected:
  void Feed(std::initializer_list<std::string_view> bodies) {
    for (std::string_view body : bodies) decoder.ProcessSentence(zenolith::NmeaSentence::Make(Nmea(body)).get());
  }
  int LastFixType() { return I2(sink.Last("OnGpsFix").get(), "FixType"); }

  Recorder sink;
  Decoder decoder{sink};
};

constexpr std::string_view kGga = "GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,520.0,M,47.9,M,,";
constexpr std::string_view kRmc = "GPRMC,123520,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W";

TEST_F(DecoderTest, GgaGivesTypeThreeWithBothAltitudes) {
  Feed({kGga});
  ASSERT_EQ(sink.Count("OnGpsFix"), 1);
  EXPECT_EQ(LastFixType(), 3);
  ComPtr<IDispatch> position = PositionOf(sink.Last("OnGpsFix").get());
  EXPECT_NEAR(Altitude(position.get(), 0), 520.0, kMetreTolerance);
  EXPECT_NEAR(Altitude(position.get(), 1), 567.9, kMetreTolerance);
  EXPECT_NEAR(R8(position.get(), "Latitude"), 48 + 7.038 / 60, kDegreeTolerance);
  EXPECT_NEAR(R8(position.get(), "Longitude"), 11 + 31.0 / 60, kDegreeTolerance);
  EXPECT_EQ(I2(position.get(), "Datum"), 1);
}

TEST_F(DecoderTest, RmcIsTypeTwoUntilAGgaGivesItAltitudes) {
  Feed({kRmc});
  EXPECT_EQ(LastFixType(), 2);
  EXPECT_NEAR(Altitude(PositionOf(sink.Last("OnGpsFix").get()).get(), 0), 0, kMetreTolerance);
  Feed({kGga, kRmc});
  EXPECT_EQ(LastFixType(), 3);
  ComPtr<IDispatch> position = PositionOf(sink.Last("OnGpsFix").get());
  EXPECT_NEAR(Altitude(position.get(), 0), 520.0, kMetreTolerance);
  EXPECT_NEAR(Altitude(position.get(), 1), 567.9, kMetreTolerance);
}

TEST_F(DecoderTest, RmcEventOrderAndInvalidRmc) {
  Feed({kRmc});
  EXPECT_EQ(sink.Names(), (std::vector<std::string>{"RMC", "OnComStatus", "OnGpsFix", "OnMovement", "Generic"}));
  EXPECT_TRUE(Bool(sink.Last("OnComStatus").get(), "ValidFix"));
  sink.Reset();
  Feed({"GPRMC,123521,V,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"});
  EXPECT_EQ(LastFixType(), 0);
  EXPECT_EQ(sink.Count("OnMovement"), 0);
  ASSERT_EQ(sink.Count("OnComStatus"), 1);
  EXPECT_FALSE(Bool(sink.Last("OnComStatus").get(), "ValidFix"));
  EXPECT_FALSE(Bool(decoder.GetComStatus().get(), "ValidFix"));
}

// Regression guard: GLL/GGA must not roll the date on at midnight.
TEST_F(DecoderTest, GgaTakesTheRmcDateAndKeepsItPastMidnight) {
  Feed({"GPRMC,235959,A,4807.038,N,01131.000,E,0,0,311214,,", "GPGGA,000001,4807.038,N,01131.000,E,1,8,1,0,M,0,M,,"});
  const com::CivilTime utc = Utc(sink.Last("OnGpsFix").get());
  EXPECT_EQ(utc, (com::CivilTime{2014, 12, 31, 0, 0, 1, 0}));
  // The GGA event itself carries only its time.
  EXPECT_LT(Get(sink.Last("GGA").get(), "UTC").AsDate().days, 1.0);
}

TEST_F(DecoderTest, GgaQualityFieldDecidesValidity) {
  Feed({"GPGGA,123519,4807.038,N,01131.000,E,,08,0.9,520.0,M,47.9,M,,"});
  EXPECT_EQ(LastFixType(), 3) << "an empty quality counts as valid";
  Feed({"GPGGA,123520,4807.038,N,01131.000,E,0,08,0.9,520.0,M,47.9,M,,"});
  EXPECT_EQ(LastFixType(), 0);
  EXPECT_FALSE(Bool(sink.Last("GGA").get(), "Valid"));
}

TEST_F(DecoderTest, MagneticVariationSigns) {
  Feed({kRmc});
  EXPECT_DOUBLE_EQ(R8(sink.Last("RMC").get(), "MagneticVariation"), -3.1);
  EXPECT_DOUBLE_EQ(R8(sink.Last("OnMovement").get(), "MagneticVariation"), -3.1);
  struct Case {
    std::string_view vtg;
    int movements;
    double variation;
  };
  const Case cases[] = {
      {"GPVTG,054.7,T,000.0,M,005.5,N,010.2,K", 1, 0.0},  // magnetic track 0: no variation
      {"GPVTG,0.0,T,10.5,M,0.0,N,0.0,K", 1, -10.5},       // GPSmap 76S: 10.5 degrees west
      {"GPVTG,054.7,T,,M,005.5,N,010.2,K", 1, 0.0},
      {"GPVTG,054.7,,034.4,M,005.5,N,010.2,K", 0, 0.0},  // no "T": not valid, not delivered
  };
  for (const Case& c : cases) {
    sink.Reset();
    Feed({c.vtg});
    EXPECT_EQ(sink.Count("OnMovement"), c.movements) << c.vtg;
    if (c.movements != 0) {
      EXPECT_DOUBLE_EQ(R8(sink.Last("OnMovement").get(), "MagneticVariation"), c.variation) << c.vtg;
    }
  }
}

constexpr std::string_view kGsv1 = "GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00";
constexpr std::string_view kGsv2 = "GPGSV,3,2,11,14,25,170,00,16,57,208,39,18,67,296,40,19,40,246,00";
constexpr std::string_view kGsv3 = "GPGSV,3,3,11,22,42,067,42,24,14,311,43,27,05,244,00,,,,";

TEST_F(DecoderTest, GsvCycleDeliversOnceWhenComplete) {
  Feed({kGsv1, kGsv2});
  EXPECT_EQ(sink.Count("OnSatellites"), 0);
  Feed({kGsv3});
  ASSERT_EQ(sink.Count("OnSatellites"), 1);
  IDispatch* satellites = sink.Last("OnSatellites").get();
  ASSERT_EQ(I2(satellites, "Count"), 11) << "the empty fourth block of 3/3 is skipped";
  ComPtr<IDispatch> sixth;
  Get(satellites, "Item", {Variant::I2(6)}).ToDispatch(&sixth);
  EXPECT_EQ(I2(sixth.get(), "ID"), 16);
  EXPECT_EQ(I2(sixth.get(), "Elevation"), 57);
  EXPECT_EQ(I2(sixth.get(), "Azimuth"), 208);
  EXPECT_EQ(I2(sixth.get(), "SNR"), 39);
  EXPECT_FALSE(Bool(sixth.get(), "UsedForFix"));
}

TEST_F(DecoderTest, LostGsvMessageThrowsTheCycleAway) {
  Feed({kGsv1, kGsv3});
  EXPECT_EQ(sink.Count("OnSatellites"), 0);
  Feed({kGsv2, kGsv3});  // still out of step: nothing
  EXPECT_EQ(sink.Count("OnSatellites"), 0);
  Feed({kGsv1, kGsv2, kGsv3});
  ASSERT_EQ(sink.Count("OnSatellites"), 1);
  EXPECT_EQ(I2(sink.Last("OnSatellites").get(), "Count"), 11);
}

TEST_F(DecoderTest, SingleGsvCompletesAndZeroIdsAreSkipped) {
  Feed({"GPGSV,1,1,04,00,10,100,20,,20,200,30,07,30,300,40,12,40,040,50"});
  ASSERT_EQ(sink.Count("OnSatellites"), 1);
  IDispatch* satellites = sink.Last("OnSatellites").get();
  ASSERT_EQ(I2(satellites, "Count"), 2);
  ComPtr<IDispatch> first;
  Get(satellites, "Item", {Variant::I2(1)}).ToDispatch(&first);
  EXPECT_EQ(I2(first.get(), "ID"), 7);
  Feed({"GPGSV,1,1,00"});  // a cycle without satellites still completes
  EXPECT_EQ(sink.Count("OnSatellites"), 2);
}

TEST_F(DecoderTest, GsaMarksTheSatellitesUsedForTheFix) {
  Feed({"GPGSA,A,3,05,12,,,,,,,,,,,2.5,1.3,2.1", "GPGSV,1,1,03,05,40,083,46,07,20,120,30,12,60,300,45"});
  ASSERT_EQ(sink.Count("OnSatellites"), 1);
  IDispatch* satellites = sink.Last("OnSatellites").get();
  ASSERT_EQ(I2(satellites, "Count"), 3);
  const std::pair<int, bool> expected[] = {{5, true}, {12, true}, {7, false}};  // order of first appearance
  for (int i = 0; i < 3; ++i) {
    ComPtr<IDispatch> item;
    Get(satellites, "Item", {Variant::I2(static_cast<std::int16_t>(i + 1))}).ToDispatch(&item);
    EXPECT_EQ(I2(item.get(), "ID"), expected[i].first);
    EXPECT_EQ(Bool(item.get(), "UsedForFix"), expected[i].second) << expected[i].first;
  }
  ASSERT_EQ(sink.Count("OnQuality"), 1);
  EXPECT_DOUBLE_EQ(R8(sink.Last("OnQuality").get(), "PDOP"), 2.5);
  EXPECT_DOUBLE_EQ(R8(sink.Last("OnQuality").get(), "HDOP"), 1.3);
  EXPECT_DOUBLE_EQ(R8(sink.Last("OnQuality").get(), "VDOP"), 2.1);
}

TEST_F(DecoderTest, EventIntervalCountsWholeGpsSeconds) {
  struct Case {
    std::int32_t interval;
    int fired;  // of ten fixes one second apart
  };
  const Case cases[] = {{0, 10}, {999, 10}, {1500, 10}, {2500, 5}, {10000, 1}, {-5, 0}};
  for (const Case& c : cases) {
    Recorder local;
    Decoder d(local);
    d.set_interval(zenolith::kEventGpsFix, c.interval);
    for (int s = 0; s < 10; ++s) {
      char body[96];
      std::snprintf(body, sizeof body, "GPGGA,1200%02d.00,4807.038,N,01131.000,E,1,08,0.9,520.0,M,47.9,M,,", s);
      d.ProcessSentence(zenolith::NmeaSentence::Make(Nmea(body)).get());
    }
    EXPECT_EQ(local.Count("OnGpsFix"), c.fired) << "interval " << c.interval;
    EXPECT_EQ(local.Count("GGA"), 10) << "sentence events are never throttled";
  }
}

TEST_F(DecoderTest, SwitchedOffFixStillMovesTheClockButNothingElse) {
  decoder.set_interval(zenolith::kEventGpsFix, -1);
  decoder.set_interval(zenolith::kEventMovement, -1);
  Feed({"GPRMC,235959,A,4807.038,N,01131.000,E,1,0,311214,,", kGga});
  EXPECT_EQ(sink.Count("OnGpsFix") + sink.Count("OnMovement") + sink.Count("OnComStatus"), 0);
  decoder.set_interval(zenolith::kEventGpsFix, 0);
  Feed({"GPGLL,4807.038,N,01131.000,E,000002,A"});
  EXPECT_EQ(LastFixType(), 2) << "the GGA was not remembered while OnGpsFix was off";
  EXPECT_EQ(Utc(sink.Last("OnGpsFix").get()), (com::CivilTime{2014, 12, 31, 0, 0, 2, 0}));
}

TEST_F(DecoderTest, TimeAndDateFields) {
  Feed({"GPRMC,235959.999,A,4807.038,N,01131.000,E,0,0,010180,,"});
  EXPECT_EQ(Utc(sink.Last("OnGpsFix").get()), (com::CivilTime{1980, 1, 1, 23, 59, 59, 999}));
  Feed({"GPRMC,000000,A,4807.038,N,01131.000,E,0,0,311279,,"});
  EXPECT_EQ(Utc(sink.Last("OnGpsFix").get()), (com::CivilTime{2079, 12, 31, 0, 0, 0, 0}));
}

TEST_F(DecoderTest, AllEventsGenericBuildsNothing) {
  decoder.set_all_events_generic(true);
  Feed({kGga, kRmc, kGsv1, "GPGSA,A,3,05,12,,,,,,,,,,,2.5,1.3,2.1", "GPVTG,0.0,T,10.5,M,0.0,N,0.0,K", "PGRMZ,246,f,3"});
  EXPECT_EQ(sink.Names(), std::vector<std::string>(6, "Generic"));
  decoder.set_all_events_generic(false);
  Feed({kRmc});
  EXPECT_EQ(LastFixType(), 2) << "the GGA above left no remembered position";
}

// A tick source the tests step by hand.
std::atomic<std::uint32_t> gNow{100000};
class ManualClock {
 public:
  ManualClock() : previous_(zenolith::ExchangeDecoderTickSource([] { return gNow.load(); })) {}
  ~ManualClock() { zenolith::ExchangeDecoderTickSource(previous_); }

 private:
  zenolith::TickSource previous_;
};

TEST_F(DecoderTest, ComStatusFollowsTheStreamAndTheFixAge) {
  ManualClock clock;
  decoder.ProcessStarted(3, 4800);
  ASSERT_EQ(sink.Count("OnComStatus"), 1);
  const ComPtr<IDispatch> started = sink.Last("OnComStatus");
  EXPECT_TRUE(Bool(started.get(), "ValidNmea"));
  EXPECT_EQ(I2(started.get(), "ComPort"), 3);
  EXPECT_EQ(Get(started.get(), "BaudRate").AsI4(), 4800);
  EXPECT_FALSE(Bool(started.get(), "ValidFix"));

  Feed({kGga});
  ASSERT_EQ(sink.Count("OnComStatus"), 2);
  const ComPtr<IDispatch> valid = sink.Last("OnComStatus");
  gNow += 4999;
  Feed({kGsv1});
  EXPECT_EQ(sink.Count("OnComStatus"), 2) << "4999 ms is not yet too old";
  gNow += 1;
  Feed({kGsv1});
  ASSERT_EQ(sink.Count("OnComStatus"), 3);
  EXPECT_FALSE(Bool(sink.Last("OnComStatus").get(), "ValidFix"));
  EXPECT_TRUE(Bool(valid.get(), "ValidFix")) << "a delivered status is a snapshot";

  ComPtr<IDispatch> copy = decoder.GetComStatus();
  decoder.ProcessStopped(3, 4800);
  const ComPtr<IDispatch> stopped = sink.Last("OnComStatus");
  EXPECT_FALSE(Bool(stopped.get(), "ValidNmea"));
  EXPECT_EQ(I2(stopped.get(), "ComPort"), 3);
  EXPECT_TRUE(Bool(copy.get(), "ValidNmea")) << "GetComStatus hands out a copy";
  Feed({kRmc});
  EXPECT_EQ(LastFixType(), 2) << "the stop forgot the remembered GGA";

  const int events = static_cast<int>(sink.Names().size());
  decoder.Clear();
  EXPECT_EQ(static_cast<int>(sink.Names().size()), events) << "Clear fires nothing";
  const ComPtr<IDispatch> cleared = decoder.GetComStatus();
  EXPECT_FALSE(Bool(cleared.get(), "ValidNmea"));
  EXPECT_FALSE(Bool(cleared.get(), "ValidFix"));
  EXPECT_EQ(I2(cleared.get(), "ComPort"), 0);
  EXPECT_EQ(Get(cleared.get(), "BaudRate").AsI4(), 0);
}

// ------------------------------------------------------------------ NoEvents

using Clock = std::chrono::steady_clock;
long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST_F(DecoderTest, NoEventsKeepsTheLatestObjects) {
  decoder.set_no_events(true);
  EXPECT_FALSE(decoder.GetGpsFix(0, 0)) << "nothing before the first fix";
  EXPECT_FALSE(decoder.GetSatellites(0));
  decoder.ProcessStarted(1, 4800);
  Feed({kGga, "GPGSA,A,3,05,12,,,,,,,,,,,2.5,1.3,2.1", "GPGSV,1,1,01,05,40,083,46", kRmc});
  EXPECT_TRUE(sink.Names().empty()) << "no event of any kind";
  ASSERT_TRUE(decoder.GetGpsFix(0, 0));
  EXPECT_EQ(I2(decoder.GetGpsFix(0, 0).get(), "FixType"), 3);
  EXPECT_TRUE(decoder.GetQuality(0));
  EXPECT_TRUE(decoder.GetMovement(0));
  ASSERT_TRUE(decoder.GetSatellites(0));
  EXPECT_EQ(I2(decoder.GetSatellites(0).get(), "Count"), 2);
  EXPECT_TRUE(Bool(decoder.GetComStatus().get(), "ValidFix"));
  decoder.Clear();
  EXPECT_FALSE(decoder.GetGpsFix(0, 0));
}

TEST_F(DecoderTest, WaitingGetGpsFixIgnoresFixesBelowItsType) {
  decoder.set_no_events(true);
  std::atomic<bool> stop{false};
  std::thread feeder([&] {
    while (!stop) {
      decoder.ProcessSentence(zenolith::NmeaSentence::Make(Nmea(kRmc)).get());  // type 2 only
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  const auto start = Clock::now();
  ComPtr<IDispatch> fix = decoder.GetGpsFix(200, 3);
  const long long waited = MsSince(start);
  stop = true;
  feeder.join();
  EXPECT_FALSE(fix);
  EXPECT_GE(waited, 190);
  EXPECT_LT(waited, 900);
}

TEST_F(DecoderTest, WaitingGetIsWokenFromAnotherThread) {
  decoder.set_no_events(true);
  std::atomic<bool> stop{false};
  std::thread feeder([&] {  // one GGA and one satellite cycle every 20 ms
    while (!stop) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      decoder.ProcessSentence(zenolith::NmeaSentence::Make(Nmea(kGga)).get());
      decoder.ProcessSentence(zenolith::NmeaSentence::Make(Nmea("GPGSV,1,1,01,05,40,083,46")).get());
    }
  });
  const auto start = Clock::now();
  ComPtr<IDispatch> fix = decoder.GetGpsFix(2000, 3);
  ComPtr<IDispatch> satellites = decoder.GetSatellites(2000);
  const long long waited = MsSince(start);
  ComPtr<IDispatch> movement = decoder.GetMovement(50);
  stop = true;
  feeder.join();
  EXPECT_LT(waited, 1000);
  ASSERT_TRUE(fix);
  EXPECT_EQ(I2(fix.get(), "FixType"), 3);
  EXPECT_TRUE(satellites);
  EXPECT_FALSE(movement) << "a GGA brings no movement";
}

// -------------------------------------------------------------- real captures

struct CaptureCounts {
  std::map<std::string, int> events;
  std::map<int, int> fixTypes;
  ComPtr<IDispatch> lastFix;
};

CaptureCounts Replay(const std::filesystem::path& file) {
  Recorder sink;
  Decoder decoder(sink);
  zenolith::NmeaLineBuffer buffer;
  std::ifstream in(file, std::ios::binary);
  EXPECT_TRUE(in.good()) << file;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;  // the metadata header
    buffer.Append(line + "\r\n");
    while (buffer.FindNext()) decoder.ProcessSentence(zenolith::NmeaSentence::Make(buffer.TakeText()).get());
  }
  CaptureCounts counts;
  for (const std::string& name : sink.Names()) ++counts.events[name];
  for (const ComPtr<IDispatch>& fix : sink.All("OnGpsFix")) ++counts.fixTypes[I2(fix.get(), "FixType")];
  counts.lastFix = sink.Last("OnGpsFix");
  return counts;
}

const std::filesystem::path kData = std::filesystem::path(__FILE__).parent_path() / "data";

// Expected counts come from the sentence lines of each log (grep -c per type
// and the GSV message numbers, e.g. awk -F, '/GSV/{print $2"/"$3}').
TEST(Captures, UbloxStationaryFix) {
  const CaptureCounts c = Replay(kData / "ublox-lea-5h.log");
  EXPECT_EQ(c.events.at("Generic"), 164);
  EXPECT_EQ(c.events.at("OnGpsFix"), 55);  // 19 RMC + 18 GGA + 18 GLL
  EXPECT_EQ(c.fixTypes.at(2), 1) << "only the RMC before the first GGA lacks altitude";
  EXPECT_EQ(c.fixTypes.at(3), 54);
  EXPECT_EQ(c.events.at("OnMovement"), 37);    // 19 RMC + 18 VTG, all valid
  EXPECT_EQ(c.events.at("OnSatellites"), 18);  // 13 cycles of 3 messages, 5 of 4
  EXPECT_EQ(c.events.at("OnQuality"), 18);
  EXPECT_EQ(c.events.at("OnComStatus"), 1);
  ComPtr<IDispatch> position = PositionOf(c.lastFix.get());
  EXPECT_NEAR(R8(position.get(), "Latitude"), 51.9, 0.1);  // Rotterdam, as the header says
  EXPECT_NEAR(R8(position.get(), "Longitude"), 4.6, 0.1);
  EXPECT_EQ(Utc(c.lastFix.get()).year, 2010);
}

TEST(Captures, GarminSimulatorAlternatesValidity) {
  const CaptureCounts c = Replay(kData / "GPSmap-76S.log");
  EXPECT_EQ(c.events.at("OnGpsFix"), 36);
  EXPECT_EQ(c.fixTypes.at(3), 12) << "GGA quality 8 (simulation) is not 0, so valid";
  EXPECT_EQ(c.fixTypes.at(0), 24) << "RMC and GLL say V";
  EXPECT_EQ(c.events.at("OnComStatus"), 24);  // true after each GGA, false after each GLL
  EXPECT_EQ(c.events.at("OnMovement"), 11);   // the VTGs only
  EXPECT_EQ(c.events.at("OnSatellites"), 12);
  ComPtr<IDispatch> position = PositionOf(c.lastFix.get());
  EXPECT_NEAR(R8(position.get(), "Latitude"), 38.9084, 0.001);
  EXPECT_NEAR(R8(position.get(), "Longitude"), -77.4408, 0.001);
}

TEST(Captures, SouthernAndEasternHemisphere) {
  const CaptureCounts c = Replay(kData / "bu353s4.log");
  EXPECT_GT(c.events.at("OnGpsFix"), 40);
  EXPECT_EQ(c.fixTypes.count(0) + c.fixTypes.count(2), 0u) << "a GGA leads every RMC in this log";
  ComPtr<IDispatch> position = PositionOf(c.lastFix.get());
  EXPECT_NEAR(R8(position.get(), "Latitude"), -37.8, 0.1);  // Hamilton, Waikato
  EXPECT_NEAR(R8(position.get(), "Longitude"), 175.3, 0.1);
}

// Hostile field contents of every routed type: nothing may crash or hang
// (run under the sanitizer build as well).
TEST(Captures, GarbageFieldsNeverCrash) {
  const char* const tokens[] = {"", "0", "-1", "1e308", "-1e308", "99999999999999999999", "nan", "inf", "A", "V",
                                "T", "S", "W", "235960.5", "1.5.5", "*", "   7", "0x1F", "-0", "32768", "65536"};
  const char* const types[] = {"GPGGA", "GPGLL", "GPRMC", "GPVTG", "GPGSA", "GPGSV", "GPXYZ"};
  std::mt19937 random(12345);
  Recorder sink;
  Decoder decoder(sink);
  for (int i = 0; i < 3000; ++i) {
    std::string body = types[random() % std::size(types)];
    const int fields = static_cast<int>(random() % 40);
    for (int f = 0; f < fields; ++f) body += std::string(",") + tokens[random() % std::size(tokens)];
    decoder.ProcessSentence(zenolith::NmeaSentence::Make(Nmea(body)).get());
  }
  decoder.ProcessSentence(nullptr);
  EXPECT_EQ(sink.Count("Generic"), 3000);
  for (const ComPtr<IDispatch>& fix : sink.All("OnGpsFix")) {
    const int type = I2(fix.get(), "FixType");
    EXPECT_TRUE(type == 0 || type == 2 || type == 3) << type;
    Get(fix.get(), "UTC");
  }
}

}  // namespace
