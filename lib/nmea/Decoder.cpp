// Routing of sentences to their decoders, the summary objects derived from
// them, the event throttle, ComStatus and the NoEvents store.
//
// Everything that touches the decoder's state runs under the library lock;
// events are collected while it is held and fired after it is released, so
// that a client's event handler may call back into the library (or block on
// another thread that needs the lock) without a deadlock.
#include "lib/nmea/Decoder.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "lib/component/Identifiers.h"
#include "lib/component/LibraryLock.h"
#include "lib/nmea/Decoded.h"
#include "lib/nmea/NmeaSentence.h"

namespace zenolith {
namespace {

// A fix older than this makes ValidFix false when the next data arrives.
constexpr std::uint32_t kFixTimeoutMs = 4999;

std::uint32_t SteadyTicks() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

std::atomic<TickSource> gTickSource{nullptr};

// The events the decoder hands to its sink.
enum class Out { Generic, GGA, GLL, RMC, GpsFix, Satellites, Movement, Quality, ComStatus };

struct Outgoing {
  Out kind;
  com::ComPtr<com::IDispatch> first, second;
};

struct SinkRow {
  Out kind;
  void (*fire)(DecoderSink& sink, com::IDispatch* first, com::IDispatch* second);
};

constexpr SinkRow kSinkRows[] = {
    {Out::Generic, [](DecoderSink& s, com::IDispatch* a, com::IDispatch*) { s.OnGeneric(a); }},
    {Out::GGA, [](DecoderSink& s, com::IDispatch* a, com::IDispatch* b) { s.OnGGA(a, b); }},
    {Out::GLL, [](DecoderSink& s, com::IDispatch* a, com::IDispatch* b) { s.OnGLL(a, b); }},
    {Out::RMC, [](DecoderSink& s, com::IDispatch* a, com::IDispatch* b) { s.OnRMC(a, b); }},
    {Out::GpsFix, [](DecoderSink& s, com::IDispatch* a, com::IDispatch*) { s.OnGpsFix(a); }},
    {Out::Satellites, [](DecoderSink& s, com::IDispatch* a, com::IDispatch*) { s.OnSatellites(a); }},
    {Out::Movement, [](DecoderSink& s, com::IDispatch* a, com::IDispatch*) { s.OnMovement(a); }},
    {Out::Quality, [](DecoderSink& s, com::IDispatch* a, com::IDispatch*) { s.OnQuality(a); }},
    {Out::ComStatus, [](DecoderSink& s, com::IDispatch* a, com::IDispatch*) { s.OnComStatus(a); }},
};

// The four throttled and stored kinds, indexed by event code - kEventGpsFix.
constexpr int kSummaryKinds = 4;
constexpr Out kSummaryOut[kSummaryKinds] = {Out::GpsFix, Out::Satellites, Out::Movement, Out::Quality};
constexpr int Slot(int event) { return event - kEventGpsFix; }

class DecoderEngine {
 public:
  explicit DecoderEngine(DecoderSink& sink) : sink_(sink) {}

  void set_all_events_generic(bool on) { allEventsGeneric_ = on; }
  void set_gps_datum(std::int16_t datum) { datum_ = datum; }
  void set_no_events(bool on) { noEvents_ = on; }
  void set_interval(int event, std::int32_t intervalMs) {
    if (event >= kEventGpsFix && event <= kEventQuality) intervals_[Slot(event)] = intervalMs < 0 ? -1 : intervalMs;
  }

  void ProcessSentence(com::IDispatch* sentence);
  void ProcessStarted(std::int16_t port, std::int32_t baud);
  void ProcessStopped(std::int16_t port, std::int32_t baud);
  void Clear();
  com::ComPtr<com::IDispatch> Get(int event, std::int32_t timeoutMs, std::int16_t minFixType);
  com::ComPtr<com::IDispatch> GetComStatus();

  // The decoders, one per routed sentence type (see kRoutes).
  void RouteRMC(NmeaSentence& s, com::IDispatch* sentence);
  void RouteVTG(NmeaSentence& s, com::IDispatch* sentence);
  void RouteGLL(NmeaSentence& s, com::IDispatch* sentence);
  void RouteGGA(NmeaSentence& s, com::IDispatch* sentence);
  void RouteGSA(NmeaSentence& s, com::IDispatch* sentence);
  void RouteGSV(NmeaSentence& s, com::IDispatch* sentence);

 private:
  // The latest object of one kind for the NoEvents Get calls.
  struct Store {
    com::ComPtr<com::IDispatch> latest;
    std::uint64_t arrivals = 0;
    bool waiting = false;
    std::int16_t minFixType = 0;  // of the waiting GetGpsFix
    std::condition_variable_any arrived;
  };

  void ClearState();
  void Queue(Out kind, com::IDispatch* first, com::IDispatch* second = nullptr);
  void QueueStatus();
  void SetValidFix(bool valid);
  void ExpireFix();
  // Without NoEvents, a negative interval switches the kind off entirely.
  bool Wanted(int event) const { return noEvents_ || intervals_[Slot(event)] >= 0; }
  bool ShouldFire(int slot) const;
  void Deliver(int event, com::IDispatch* object, std::int16_t fixType = 0);
  void DeliverFix(const DecodedSentence& decoded, bool fromGga, bool dated);
  void DeliverMovement(double knots, double heading, double magneticVariation);
  Satellites* Pending();
  void Fire(std::vector<Outgoing>& events);
  std::vector<Outgoing> TakeOutgoing() { return std::exchange(outgoing_, {}); }

  DecoderSink& sink_;
  // Settings: written by the client's thread, read by the delivering one.
  std::atomic<bool> allEventsGeneric_{false};
  std::atomic<bool> noEvents_{false};
  std::atomic<std::int16_t> datum_{1};
  std::atomic<std::int32_t> intervals_[kSummaryKinds] = {0, 0, 0, 0};

  // Parser state, under the library lock.
  std::optional<UtcTime> currentUtc_;
  std::optional<Place> rememberedGga_;  // with its two altitudes
  std::optional<std::uint32_t> lastFixTick_;
  com::ComPtr<Satellites> pending_;
  std::optional<UtcTime> lastFired_[kSummaryKinds];
  ComStatusValues status_;
  Store stores_[kSummaryKinds];
  std::vector<Outgoing> outgoing_;  // filled under the lock, fired after it
};

// One row per routed sentence type; every other type only raises Generic.
struct RouteRow {
  int type;
  void (DecoderEngine::*route)(NmeaSentence& s, com::IDispatch* sentence);
};

constexpr RouteRow kRoutes[] = {
    {kTypeRMC, &DecoderEngine::RouteRMC}, {kTypeGLL, &DecoderEngine::RouteGLL},
    {kTypeGGA, &DecoderEngine::RouteGGA}, {kTypeGSV, &DecoderEngine::RouteGSV},
    {kTypeGSA, &DecoderEngine::RouteGSA}, {kTypeVTG, &DecoderEngine::RouteVTG},
};

void DecoderEngine::ProcessSentence(com::IDispatch* sentence) {
  if (!sentence) return;
  std::vector<Outgoing> events;
  {
    std::lock_guard lock(LibraryLock());
    ExpireFix();
    NmeaSentence* s = NmeaSentence::From(sentence);
    if (s && !allEventsGeneric_) {
      const int type = s->Type();
      for (const RouteRow& row : kRoutes)
        if (row.type == type) {
          (this->*row.route)(*s, sentence);
          break;
        }
    }
    Queue(Out::Generic, sentence);
    events = TakeOutgoing();
  }
  Fire(events);
}

void DecoderEngine::ProcessStarted(std::int16_t port, std::int32_t baud) {
  std::vector<Outgoing> events;
  {
    std::lock_guard lock(LibraryLock());
    status_.validNmea = true;
    status_.comPort = port;
    status_.baudRate = baud;
    QueueStatus();
    events = TakeOutgoing();
  }
  Fire(events);
}

void DecoderEngine::ProcessStopped(std::int16_t port, std::int32_t baud) {
  std::vector<Outgoing> events;
  {
    std::lock_guard lock(LibraryLock());
    ClearState();
    status_ = ComStatusValues{};
    status_.comPort = port;
    status_.baudRate = baud;
    QueueStatus();
    events = TakeOutgoing();
  }
  Fire(events);
}

void DecoderEngine::Clear() {
  std::lock_guard lock(LibraryLock());
  ClearState();
  status_ = ComStatusValues{};
}

// A waiter keeps waiting across a Clear: it waits for the next arrival, and
// the stored latest object is only dropped.
void DecoderEngine::ClearState() {
  currentUtc_.reset();
  rememberedGga_.reset();
  lastFixTick_.reset();
  pending_.Reset();
  for (std::optional<UtcTime>& fired : lastFired_) fired.reset();
  for (Store& store : stores_) store.latest.Reset();
}

com::ComPtr<com::IDispatch> DecoderEngine::Get(int event, std::int32_t timeoutMs, std::int16_t minFixType) {
  std::unique_lock lock(LibraryLock());
  Store& store = stores_[Slot(event)];
  if (timeoutMs < 1) return store.latest;
  const std::uint64_t seen = store.arrivals;
  store.waiting = true;
  store.minFixType = minFixType;
  store.arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return store.arrivals != seen; });
  store.waiting = false;
  store.minFixType = 0;
  if (store.arrivals == seen) return {};
  return store.latest;
}

com::ComPtr<com::IDispatch> DecoderEngine::GetComStatus() {
  std::lock_guard lock(LibraryLock());
  com::ComPtr<ComStatus> copy = ComStatus::Make(status_);
  return com::ComPtr<com::IDispatch>(copy.get());
}

void DecoderEngine::Queue(Out kind, com::IDispatch* first, com::IDispatch* second) {
  if (noEvents_ || !first) return;
  outgoing_.push_back({kind, com::ComPtr<com::IDispatch>(first), com::ComPtr<com::IDispatch>(second)});
}

// The event carries a snapshot: later changes do not show in a status the
// client already holds.
void DecoderEngine::QueueStatus() {
  com::ComPtr<ComStatus> snapshot = ComStatus::Make(status_);
  Queue(Out::ComStatus, snapshot.get());
}

void DecoderEngine::SetValidFix(bool valid) {
  if (status_.validFix == valid) return;
  status_.validFix = valid;
  QueueStatus();
}

void DecoderEngine::ExpireFix() {
  if (!lastFixTick_ || DecoderTicks() - *lastFixTick_ <= kFixTimeoutMs) return;
  lastFixTick_.reset();
  SetValidFix(false);
}

// The throttle counts whole seconds of GPS time, so a log replayed faster
// than real time is thinned as the receiver would have been.
bool DecoderEngine::ShouldFire(int slot) const {
  const std::int32_t interval = intervals_[slot];
  if (interval < 0) return false;
  if (interval == 0 || !lastFired_[slot] || !currentUtc_) return true;
  const long long seconds = (UtcMilliseconds(*currentUtc_) - UtcMilliseconds(*lastFired_[slot])) / 1000;
  return seconds < 0 || seconds >= interval / 1000;
}

void DecoderEngine::Deliver(int event, com::IDispatch* object, std::int16_t fixType) {
  if (!object) return;
  const int slot = Slot(event);
  if (noEvents_) {
    Store& store = stores_[slot];
    // A fix below what the waiting GetGpsFix asks for is dropped unseen.
    if (event == kEventGpsFix && store.waiting && fixType < store.minFixType) return;
    store.latest = com::ComPtr<com::IDispatch>(object);
    ++store.arrivals;
    store.arrived.notify_all();
    return;
  }
  if (!ShouldFire(slot)) return;
  lastFired_[slot] = currentUtc_;
  Queue(kSummaryOut[slot], object);
}

// GGA: type 3 when valid. RMC and GLL: type 2, or 3 with the altitudes of the
// last GGA when one was seen. GLL and GGA carry no date: they take the date of
// the previous fix (not advanced at midnight), so they need an RMC first.
void DecoderEngine::DeliverFix(const DecodedSentence& decoded, bool fromGga, bool dated) {
  std::int16_t fixType = 0;
  if (decoded.valid()) fixType = fromGga || rememberedGga_ ? 3 : 2;
  Place place = decoded.place();
  if (!fromGga && fixType == 3) {
    place.aboveSeaLevel = rememberedGga_->aboveSeaLevel;
    place.datumHeight = rememberedGga_->datumHeight;
  }
  UtcTime utc = decoded.utc().value_or(UtcTime{});
  if (!dated && currentUtc_) {
    utc.year = currentUtc_->year;
    utc.month = currentUtc_->month;
    utc.day = currentUtc_->day;
  }
  currentUtc_ = utc;
  if (!Wanted(kEventGpsFix)) return;  // the current UTC still moves on

  if (fixType != 0) {
    lastFixTick_ = DecoderTicks();
    SetValidFix(true);
  } else {
    SetValidFix(false);
  }
  if (fromGga) rememberedGga_ = place;  // also from an invalid GGA
  com::ComPtr<GpsFix> fix = GpsFix::Make(fixType, utc, MakePosition(place, decoded.datum()));
  Deliver(kEventGpsFix, fix.get(), fixType);
}

void DecoderEngine::DeliverMovement(double knots, double heading, double magneticVariation) {
  if (!Wanted(kEventMovement)) return;
  com::ComPtr<Movement> movement = Movement::Make(knots, heading, magneticVariation, true);
  Deliver(kEventMovement, movement.get());
}

Satellites* DecoderEngine::Pending() {
  if (!pending_) pending_ = com::ComPtr<Satellites>::Adopt(new (std::nothrow) Satellites());
  return pending_.get();
}

void DecoderEngine::Fire(std::vector<Outgoing>& events) {
  for (const Outgoing& event : events)
    for (const SinkRow& row : kSinkRows)
      if (row.kind == event.kind) {
        row.fire(sink_, event.first.get(), event.second.get());
        break;
      }
}

// The sentence decoders themselves (GGA, GLL, RMC, VTG fields) are in
// DecodedSentences.cpp, each with its sample sentence.

void DecoderEngine::RouteRMC(NmeaSentence&, com::IDispatch* sentence) {
  com::ComPtr<NmeaRMC> rmc = NmeaRMC::Decode(sentence, datum_);
  if (!rmc) return;
  Queue(Out::RMC, rmc.get(), sentence);
  DeliverFix(*rmc.get(), false, true);
  if (rmc->valid()) DeliverMovement(rmc->knots(), rmc->heading(), rmc->magnetic_variation());
}

void DecoderEngine::RouteVTG(NmeaSentence&, com::IDispatch* sentence) {
  const NmeaVTG vtg = NmeaVTG::Decode(sentence);
  if (vtg.valid()) DeliverMovement(vtg.knots(), vtg.heading(), vtg.magnetic_variation());
}

void DecoderEngine::RouteGLL(NmeaSentence&, com::IDispatch* sentence) {
  com::ComPtr<NmeaGLL> gll = NmeaGLL::Decode(sentence, datum_);
  if (!gll) return;
  Queue(Out::GLL, gll.get(), sentence);
  DeliverFix(*gll.get(), false, false);
}

void DecoderEngine::RouteGGA(NmeaSentence&, com::IDispatch* sentence) {
  com::ComPtr<NmeaGGA> gga = NmeaGGA::Decode(sentence, datum_);
  if (!gga) return;
  Queue(Out::GGA, gga.get(), sentence);
  DeliverFix(*gga.get(), true, false);
}

// $GPGSA,A,3,17,28,06,01,30,20,26,13,,,,,1.8,1.1,1.5*33
//   1  A        selection mode: A automatic, M manual
//   2  3        fix: 1 none, 2 2D, 3 3D (not used: FixType comes from GGA/RMC/GLL)
//   3-14        IDs of the satellites used for the fix, empty when unused
//   15 1.8 PDOP   16 1.1 HDOP   17 1.5 VDOP
// A GSA never completes a satellite cycle; it only marks the satellites used.
void DecoderEngine::RouteGSA(NmeaSentence& s, com::IDispatch*) {
  if (Wanted(kEventQuality)) {
    com::ComPtr<Quality> quality = Quality::Make(FieldReal(s, 15), FieldReal(s, 16), FieldReal(s, 17));
    Deliver(kEventQuality, quality.get());
  }
  if (!Wanted(kEventSatellites)) return;
  Satellites* pending = Pending();
  if (!pending) return;
  for (int field = 3; field <= 14; ++field) {
    const std::int16_t id = FieldInt16(s, field);
    if (id == 0 || pending->Find(id)) continue;  // a satellite already listed keeps its flag
    if (Satellite* satellite = pending->FindOrAdd(id)) satellite->set_used_for_fix(true);
  }
}

// $GPGSV,3,1,12,17,72,207,32,28,59,095,31,06,35,347,25,01,29,132,23*7B
//   1  3   messages in this cycle     2  1   number of this message
//   3  12  satellites in view (not used: the list counts itself)
//   4-7    ID, elevation (degrees), azimuth (degrees), SNR (dB, empty when
//          not tracked); further blocks of four follow, the last may be short
// A message out of order (one was lost) throws the cycle away; the
// satellites are delivered when the last message of an intact cycle arrives.
void DecoderEngine::RouteGSV(NmeaSentence& s, com::IDispatch*) {
  if (!Wanted(kEventSatellites)) return;
  Satellites* pending = Pending();
  if (!pending) return;
  const std::int16_t messages = FieldInt16(s, 1);
  if (FieldInt16(s, 2) != pending->expected_message()) {
    pending->Reset();
    return;
  }
  for (int k = 4; k < s.FieldsCount(); k += 4) {
    const std::int16_t id = FieldInt16(s, k);
    if (id == 0) continue;
    if (Satellite* satellite = pending->FindOrAdd(id))
      satellite->set_view(FieldInt16(s, k + 1), FieldInt16(s, k + 2), FieldInt16(s, k + 3));
  }
  if (messages != pending->expected_message()) {
    pending->set_expected_message(static_cast<std::int16_t>(pending->expected_message() + 1));
    return;
  }
  const com::ComPtr<Satellites> complete = std::move(pending_);
  Deliver(kEventSatellites, complete.get());
}

}  // namespace

TickSource ExchangeDecoderTickSource(TickSource source) { return gTickSource.exchange(source); }

std::uint32_t DecoderTicks() {
  const TickSource source = gTickSource.load();
  return source ? source() : SteadyTicks();
}

// ------------------------------------------------------------------ Decoder

struct Decoder::State {
  explicit State(DecoderSink& sink) : engine(sink) {}
  DecoderEngine engine;
};

Decoder::Decoder(DecoderSink& sink) : sink_(sink), state_(new State(sink)) {}
Decoder::~Decoder() { delete state_; }

void Decoder::set_all_events_generic(bool on) { state_->engine.set_all_events_generic(on); }
void Decoder::set_gps_datum(std::int16_t datum) { state_->engine.set_gps_datum(datum); }
void Decoder::set_no_events(bool on) { state_->engine.set_no_events(on); }
void Decoder::set_interval(int event, std::int32_t intervalMs) { state_->engine.set_interval(event, intervalMs); }

void Decoder::ProcessSentence(com::IDispatch* sentence) { state_->engine.ProcessSentence(sentence); }
void Decoder::ProcessStarted(std::int16_t port, std::int32_t baud) { state_->engine.ProcessStarted(port, baud); }
void Decoder::ProcessStopped(std::int16_t port, std::int32_t baud) { state_->engine.ProcessStopped(port, baud); }
void Decoder::Clear() { state_->engine.Clear(); }

com::ComPtr<com::IDispatch> Decoder::GetGpsFix(std::int32_t timeoutMs, std::int16_t minFixType) {
  return state_->engine.Get(kEventGpsFix, timeoutMs, minFixType);
}
com::ComPtr<com::IDispatch> Decoder::GetSatellites(std::int32_t timeoutMs) {
  return state_->engine.Get(kEventSatellites, timeoutMs, 0);
}
com::ComPtr<com::IDispatch> Decoder::GetMovement(std::int32_t timeoutMs) {
  return state_->engine.Get(kEventMovement, timeoutMs, 0);
}
com::ComPtr<com::IDispatch> Decoder::GetQuality(std::int32_t timeoutMs) {
  return state_->engine.Get(kEventQuality, timeoutMs, 0);
}
com::ComPtr<com::IDispatch> Decoder::GetComStatus() { return state_->engine.GetComStatus(); }

}  // namespace zenolith
