#include "app/gps/GpsConnection.h"

#include "app/core/Log.h"
#include "app/core/SettingsStore.h"

namespace rovana {
namespace {

GeoPoint StartPosition(const SettingsStore& settings) {
  return GeoPoint(settings.position.latitude, settings.position.longitude, settings.position.altitude);
}

}  // namespace

GpsOptions GpsOptionsOf(const SettingsStore& settings) {
  GpsOptions options;
  options.gpsEnabled = settings.gpsEnabled;
  options.gpsName = settings.gpsName;
  options.baudRate = settings.baudRate;
  options.configGPS = settings.configGPS;
  options.gpsLogging = settings.gpsLogging;
  options.useGPSHeading = settings.useGPSHeading;
  options.useGPSSpeed = settings.useGPSSpeed;
  return options;
}

GpsConnection::GpsConnection(const SettingsStore& settings, std::atomic<bool>& quit)
    : GpsConnection(settings, quit, GPSThread::Timings{}) {}

GpsConnection::GpsConnection(const SettingsStore& settings, std::atomic<bool>& quit, GPSThread::Timings timings)
    : filter_(settings.horizon) {
  trip_.LoadTotals(settings);
  // The live distance runs on to where the filter puts the user now.
  live_.SetCurrentPosition([this]() -> std::optional<GeoPoint> { return filter_.GetPosition(true); });
  trip_.SetCurrentPosition([this]() -> std::optional<GeoPoint> { return filter_.GetPosition(true); });
  thread_ = std::make_unique<GPSThread>(quit, Hooks(), GpsOptionsOf(settings), StartPosition(settings), timings);
}

GpsConnection::~GpsConnection() = default;  // GPSThread's destructor ends and joins the thread

void GpsConnection::Start() { thread_->Start(); }

void GpsConnection::ApplySettings(const SettingsStore& settings, bool newLog) {
  GpsOptions options = GpsOptionsOf(settings);
  if (newLog && !options.gpsLogging.empty()) {
    // A changed path reopens the log: pass through no log at all first.
    GpsOptions closed = options;
    closed.gpsLogging.clear();
    thread_->SetOptions(closed);
  }
  thread_->SetOptions(options);
}

void GpsConnection::Save(SettingsStore& settings) const {
  const GeoPoint position = filter_.GetPosition(false);
  settings.position = {position.latitude(), position.longitude(), position.altitude()};
  trip_.StoreTotals(settings);
  settings.horizon = filter_.GetHorizon();
}

bool GpsConnection::HasFix() const {
  if (thread_->state() != GPSThread::State::Reading) return false;
  const GpsData data = thread_->data();
  return data.rmc.status == 'A' && (data.rmc.count > 0 || data.gga.count > 0);
}

GpsFixHooks GpsConnection::Hooks() {
  GpsFixHooks hooks;
  hooks.analyzers = [this](const GeoPoint& point, double speed, double course, bool computeSpeed, bool computeHeading) {
    live_.AddPosition(point.time(), point, speed, course, computeHeading, computeSpeed);
    trip_.AddPosition(point.time(), point, speed, course, computeHeading, computeSpeed);
  };
  hooks.resetFilter = [this] { filter_.Reset(); };
  hooks.filter = [this](double latitude, double longitude, double speed, double course, double altitude) {
    filter_.AddFix(latitude, longitude, speed, course, altitude);
    fixes_.fetch_add(1, std::memory_order_relaxed);
    return filter_.GetPosition(false);
  };
  hooks.track = [this](const GeoPoint& filtered, double speedKmh, bool recordable) {
    if (TrackRecorder* recorder = recorder_.load(); recorder && recordable) recorder->Offer(filtered, speedKmh);
  };
  hooks.buddy = [this](const GeoPoint& filtered, double speedKmh, double courseDeg) {
    if (const BuddyHook* hook = buddy_.load(); hook && *hook) (*hook)(filtered, speedKmh, courseDeg);
  };
  return hooks;
}

}  // namespace rovana
