#include "app/gps/GPSThread.h"

#include <algorithm>
#include <chrono>
#include <numbers>
#include <string_view>

#include "app/core/Log.h"
#include "app/gps/GpsFix.h"
#include "app/gps/GpsSource.h"
#include "app/gps/NmeaScanner.h"
#include "platform/sync/Event.h"
#include "platform/sync/Thread.h"

namespace rovana {

namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;
constexpr double kRadToDeg = 180.0 / std::numbers::pi;
constexpr std::uint32_t kSleepSliceMs = 10;  // how soon a quit is noticed

}  // namespace

// The thread's own side: the source, the decoder and the loop's state. Only
// the GPS thread touches it.
class GPSThread::Worker {
 public:
  explicit Worker(GPSThread& owner) : o_(owner) {}
  void Run();

 private:
  void Cycle();
  struct Snapshot {
    GpsOptions options;
    std::uint32_t logGeneration = 0;
    std::optional<GeoPoint> userPosition;
  };
  Snapshot TakeSnapshot();
  void UpdateLog(const Snapshot& now);
  void OpenSource(const GpsOptions& options);
  std::uint32_t ReadLines(const GpsOptions& options);  // lines read
  void CloseAndPause(const GpsOptions& options);
  void HandleLine(const char* line, const GpsSource::LineResult& read, const GpsOptions& options);
  void Publish(bool newGsv);
  void DeliverFix(const GpsData& d, const GpsOptions& options);
  // A position nobody measured (start position, the user's choice).
  void DeliverGivenPosition(const GeoPoint& position, const GpsOptions& options);
  void Hand(GeoPoint point, double speedKmh, double courseRad, bool measured, const GpsOptions& options);
  bool HasValidFix() const;

  GPSThread& o_;
  GpsSource source_;
  NmeaScanner scanner_;
  std::uint32_t lastData_ = 0;          // tick of the last byte received
  std::uint32_t dataTimeoutMs_ = 0;     // 0: never times out (files)
  std::uint32_t bytesSinceDollar_ = 0;
  std::uint32_t logGeneration_ = ~0u;   // none applied yet
};

GPSThread::GPSThread(std::atomic<bool>& quit, GpsFixHooks hooks, GpsOptions options, const GeoPoint& startPosition)
    : GPSThread(quit, std::move(hooks), std::move(options), startPosition, Timings{}) {}

GPSThread::GPSThread(std::atomic<bool>& quit, GpsFixHooks hooks, GpsOptions options, const GeoPoint& startPosition,
                     Timings timings)
    : quit_(quit), timings_(timings), hooks_(std::move(hooks)), startPosition_(startPosition),
      options_(std::move(options)) {
  state_ = options_.gpsEnabled ? State::Open : State::Idle;
}

GPSThread::~GPSThread() {
  stop_ = true;
  Join();
}

void GPSThread::Start() {
  if (thread_.joinable()) return;
  try {
    platform::StartedThread started = platform::StartThread([this] { Run(); });
    thread_ = std::move(started.thread);
    LogMessage("GPSThread=0x%x", started.id);
  } catch (const std::exception& e) {
    LogMessage("GPSThread could not start: %s", e.what());
  }
}

void GPSThread::Join() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void GPSThread::SetOptions(const GpsOptions& options) {
  std::lock_guard lock(optionsMutex_);
  if (options.gpsLogging != options_.gpsLogging) ++logGeneration_;
  if (options.gpsName != options_.gpsName || options.baudRate != options_.baudRate) paused_ = true;
  options_ = options;
}

GpsOptions GPSThread::options() const {
  std::lock_guard lock(optionsMutex_);
  return options_;
}

void GPSThread::Pause() { paused_ = true; }

void GPSThread::ResetUserPosition(const GeoPoint& position) {
  std::lock_guard lock(optionsMutex_);
  userPosition_ = position;
}

GpsData GPSThread::data() const {
  std::lock_guard lock(dataMutex_);
  return data_;
}

std::uint16_t GPSThread::satellitesInView() const {
  std::lock_guard lock(dataMutex_);
  return inView_;
}

std::array<GpsSatellite, kMaxSatellites> GPSThread::satellites() const {
  std::lock_guard lock(dataMutex_);
  return satellites_;
}

bool GPSThread::Quitting() const { return quit_.load() || stop_.load(); }

bool GPSThread::Sleep(std::uint32_t ms) const {
  const std::uint32_t start = platform::TickCount();
  for (;;) {
    if (Quitting()) return false;
    const std::uint32_t spent = platform::TicksSince(start);
    if (spent >= ms) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(kSleepSliceMs, ms - spent)));
  }
}

void GPSThread::Run() {
  try {
    Worker(*this).Run();
  } catch (const std::exception& e) {
    LogMessage("GPSThread stopped: %s", e.what());
  }
}

// --- The loop ---------------------------------------------------------------

GPSThread::Worker::Snapshot GPSThread::Worker::TakeSnapshot() {
  std::lock_guard lock(o_.optionsMutex_);
  Snapshot now{o_.options_, o_.logGeneration_, std::move(o_.userPosition_)};
  o_.userPosition_.reset();
  return now;
}

void GPSThread::Worker::Run() {
  try {
    const Snapshot first = TakeSnapshot();
    UpdateLog(first);
    DeliverGivenPosition(o_.startPosition_, first.options);
    if (first.userPosition) DeliverGivenPosition(*first.userPosition, first.options);
  } catch (const std::exception& e) {
    LogMessage("GPSThread: %s", e.what());
  }
  while (o_.Sleep(o_.timings_.cycleMs)) {
    // A failing consumer costs its fix, never the connection.
    try {
      Cycle();
    } catch (const std::exception& e) {
      LogMessage("GPSThread: %s", e.what());
    }
  }
}

void GPSThread::Worker::Cycle() {
  const Snapshot now = TakeSnapshot();
  UpdateLog(now);
  if (now.userPosition) DeliverGivenPosition(*now.userPosition, now.options);

  const GpsOptions& options = now.options;
  const bool running = !o_.paused_ && options.gpsEnabled;
  std::uint32_t lines = 0;
  if (running && o_.state_ == State::Open) OpenSource(options);
  if (running && o_.state_ == State::Reading)
    lines = ReadLines(options);
  else if (!(o_.state_ == State::Idle && !options.gpsEnabled))
    CloseAndPause(options);
  if (o_.hooks_.cycleDone) o_.hooks_.cycleDone(lines);
}

// A changed log path (or the same one ticked off and on again) starts a new,
// empty log; an empty path stops logging.
void GPSThread::Worker::UpdateLog(const Snapshot& now) {
  if (now.logGeneration == logGeneration_) return;
  logGeneration_ = now.logGeneration;
  source_.CloseLog();
  if (!now.options.gpsLogging.empty()) source_.OpenLog(now.options.gpsLogging);
}

void GPSThread::Worker::OpenSource(const GpsOptions& options) {
  if (options.gpsName.empty()) {
    o_.state_ = State::NoSource;
    return;
  }
  if (source_.Open(options.gpsName, options.baudRate) != 0) {
    ++o_.openFailures_;
    o_.state_ = State::OpenFailed;
    return;
  }
  dataTimeoutMs_ = 0;
  if (source_.IsDevice()) {
    dataTimeoutMs_ = o_.timings_.dataTimeoutMs;
    if (options.configGPS)
      for (const char* command : kSirfConfiguration) source_.Send(command, true);
  }
  lastData_ = platform::TickCount();
  o_.linesRead_ = 0;
  bytesSinceDollar_ = 0;
  ++o_.connections_;
  o_.state_ = State::Reading;
}

std::uint32_t GPSThread::Worker::ReadLines(const GpsOptions& options) {
  char line[GpsSource::kLineSize];
  std::uint32_t lines = 0;
  for (; lines < kLinesPerCycle; ++lines) {
    const GpsSource::LineResult read = source_.ReadLine(line, sizeof line);
    if (read.status != GpsSource::kOk) {
      LogMessage("GPS read error on \"%s\"", options.gpsName.c_str());
      o_.state_ = State::ReadFailed;
      return lines;
    }
    if (read.consumed == 0) {
      if (dataTimeoutMs_ != 0 && platform::TicksSince(lastData_) > dataTimeoutMs_) {
        LogMessage("No GPS data from \"%s\" for %u ms", options.gpsName.c_str(), dataTimeoutMs_);
        o_.state_ = State::ReadFailed;
      }
      return lines;
    }
    ++o_.linesRead_;
    lastData_ = platform::TickCount();
    const std::size_t dollar = std::string_view(line, read.length).rfind('$');
    if (dollar != std::string_view::npos) {
      bytesSinceDollar_ = static_cast<std::uint32_t>(read.consumed - dollar - 1);
    } else {
      bytesSinceDollar_ += static_cast<std::uint32_t>(read.consumed);
    }
    // A receiver at the wrong line speed sends noise without any '$'. Files
    // are what they are (a capture may open with a long comment).
    if (source_.IsDevice() && bytesSinceDollar_ > kGarbageBytes) {
      LogMessage("GPS data from \"%s\" is garbage", options.gpsName.c_str());
      o_.state_ = State::ReadFailed;
      return lines + 1;
    }
    HandleLine(line, read, options);
  }
  return lines;
}

void GPSThread::Worker::CloseAndPause(const GpsOptions& options) {
  source_.Close();
  if (!o_.Sleep(o_.timings_.reopenPauseMs)) return;
  scanner_.Reset();
  Publish(true);
  // The options may have changed during the pause; the next cycle reads them again.
  const bool enabled = o_.options().gpsEnabled && options.gpsEnabled;
  o_.state_ = enabled ? State::Open : State::Idle;
  o_.paused_ = false;
  lastData_ = platform::TickCount();
  o_.linesRead_ = 0;
  bytesSinceDollar_ = 0;
}

void GPSThread::Worker::HandleLine(const char* line, const GpsSource::LineResult& read, const GpsOptions& options) {
  const GpsData& d = scanner_.data();
  const std::uint32_t gga = d.gga.count, rmc = d.rmc.count, gsv = d.gsv.count;
  scanner_.Feed(line, read.length + 1);  // with the zero that replaced the line end
  GpsData& record = scanner_.data();
  bool fix = record.rmc.count != rmc;
  if (record.gga.count != gga && record.rmc.count == 0) {
    FillRmcFromGga(record);
    fix = true;
  }
  Publish(record.gsv.count != gsv);
  if (fix && record.rmc.status == 'A') DeliverFix(record, options);
}

void GPSThread::Worker::Publish(bool newGsv) {
  const GpsData& d = scanner_.data();
  std::lock_guard lock(o_.dataMutex_);
  o_.data_ = d;
  if (newGsv) {
    o_.inView_ = std::min<std::uint16_t>(d.gsv.inView, static_cast<std::uint16_t>(kMaxSatellites));
    o_.satellites_ = d.gsv.satellites;
  }
  o_.sentences_ = d.total;
}

bool GPSThread::Worker::HasValidFix() const {
  return o_.state_ == State::Reading && scanner_.data().rmc.status == 'A';
}

void GPSThread::Worker::DeliverFix(const GpsData& d, const GpsOptions& options) {
  GeoPoint point(d.rmc.latitude * kDegToRad, d.rmc.longitude * kDegToRad, d.gga.altitude);
  const LocalStamp stamp = FixStamp(d);
  point.setDate(stamp.date);
  point.setTime(stamp.seconds);
  Hand(std::move(point), d.rmc.speed * kKnotsToKmh, d.rmc.course * kDegToRad, true, options);
}

void GPSThread::Worker::DeliverGivenPosition(const GeoPoint& position, const GpsOptions& options) {
  GeoPoint point(position.latitude(), position.longitude(), position.altitude());
  const LocalStamp now = LocalNow();
  point.setDate(now.date);
  point.setTime(now.seconds);
  Hand(std::move(point), 0, 0, false, options);
}

void GPSThread::Worker::Hand(GeoPoint point, double speedKmh, double courseRad, bool measured,
                             const GpsOptions& options) {
  const GpsFixHooks& hooks = o_.hooks_;
  // Only measured fixes count for the statistics: a start position or one
  // the user set is no way travelled, and its clock time is not the
  // receiver's (the next fix would add the jump as distance and time).
  if (measured && hooks.analyzers)
    hooks.analyzers(point, speedKmh, courseRad, !options.useGPSSpeed, !options.useGPSHeading);
  if (!measured && (!HasValidFix() || !options.gpsEnabled) && hooks.resetFilter) hooks.resetFilter();
  GeoPoint filtered = hooks.filter ? hooks.filter(point.latitude() * kRadToDeg, point.longitude() * kRadToDeg,
                                                  speedKmh, courseRad, point.altitude())
                                   : point;
  // The filtered position is the position at the fix's time.
  filtered.setDate(point.date());
  filtered.setTime(point.time());
  if (!o_.paused_ && hooks.track) hooks.track(filtered, speedKmh, measured && source_.IsDevice());
  if (hooks.buddy) hooks.buddy(filtered, speedKmh, courseRad * kRadToDeg);
}

}  // namespace rovana
