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
  Out kind = Out::Generic;
  com::ComPtr<com::IDispatch> first, second;
};

// The events of one call, in order: the few of a sentence fit in place, any
// more go to the heap.
class OutgoingList {
 public:
  void Add(Out kind, com::IDispatch* first, com::IDispatch* second) {
    Outgoing event{kind, com::ComPtr<com::IDispatch>(first), com::ComPtr<com::IDispatch>(second)};
    if (count_ < kInPlace)
      inPlace_[count_++] = std::move(event);
    else
      more_.push_back(std::move(event));
  }
  template <class Visit>
  void ForEach(Visit&& visit) const {
    for (std::size_t i = 0; i < count_; ++i) visit(inPlace_[i]);
    for (const Outgoing& event : more_) visit(event);
  }

 private:
  static constexpr std::size_t kInPlace = 8;
  Outgoing inPlace_[kInPlace];
  std::size_t count_ = 0;
  std::vector<Outgoing> more_;
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

  void ProcessSentence(com::IDispatch* sentence, NmeaSentence* s);
  void ProcessStarted(std::int16_t port, std::int32_t baud);
  void ProcessStopped(std::int16_t port, std::int32_t baud);
  void Clear();
  com::ComPtr<com::IDispatch> Get(int event, std::int32_t timeoutMs, std::int16_t minFixType);
  com::ComPtr<com::IDispatch> GetComStatus();

  // The decoders, one per routed sentence type (see kRoutes); `sentence` is
  // `s` as the object handed to the events.
  void RouteRMC(const NmeaSentence& s, com::IDispatch* sentence);
  void RouteVTG(const NmeaSentence& s, com::IDispatch* sentence);
  void RouteGLL(const NmeaSentence& s, com::IDispatch* sentence);
  void RouteGGA(const NmeaSentence& s, com::IDispatch* sentence);
  void RouteGSA(const NmeaSentence& s, com::IDispatch* sentence);
  void RouteGSV(const NmeaSentence& s, com::IDispatch* sentence);

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
  void DeliverFix(bool valid, const UtcTime& decodedUtc, const Place& decodedPlace, std::int16_t datum, bool fromGga,
                  bool dated);
  void DeliverMovement(double knots, double heading, double magneticVariation);
  Satellites* Pending();
  void Fire(const OutgoingList& events);

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
  // The list of the running call: set and filled under the lock, fired after it.
  OutgoingList* outgoing_ = nullptr;
};

// Points the engine's events at a list of the caller for one locked section.
class Collecting {
 public:
  Collecting(OutgoingList*& target, OutgoingList& list) : target_(target) { target_ = &list; }
  ~Collecting() { target_ = nullptr; }
  Collecting(const Collecting&) = delete;
  Collecting& operator=(const Collecting&) = delete;

 private:
  OutgoingList*& target_;
};

// One row per routed sentence type; every other type only raises Generic.
struct RouteRow {
  int type;
  void (DecoderEngine::*route)(const NmeaSentence& s, com::IDispatch* sentence);
};

constexpr RouteRow kRoutes[] = {
    {kTypeRMC, &DecoderEngine::RouteRMC}, {kTypeGLL, &DecoderEngine::RouteGLL},
    {kTypeGGA, &DecoderEngine::RouteGGA}, {kTypeGSV, &DecoderEngine::RouteGSV},
    {kTypeGSA, &DecoderEngine::RouteGSA}, {kTypeVTG, &DecoderEngine::RouteVTG},
};

// `s` is the NmeaSentence of `sentence`, null when it is none.
void DecoderEngine::ProcessSentence(com::IDispatch* sentence, NmeaSentence* s) {
  if (!sentence) return;
  OutgoingList events;
  {
    std::lock_guard lock(LibraryLock());
    Collecting collecting(outgoing_, events);
    ExpireFix();
    if (s && !allEventsGeneric_) {
      const int type = s->Type();
      for (const RouteRow& row : kRoutes)
        if (row.type == type) {
          (this->*row.route)(*s, sentence);
          break;
        }
    }
    Queue(Out::Generic, sentence);
  }
  Fire(events);
}

void DecoderEngine::ProcessStarted(std::int16_t port, std::int32_t baud) {
  OutgoingList events;
  {
    std::lock_guard lock(LibraryLock());
    Collecting collecting(outgoing_, events);
    status_.validNmea = true;
    status_.comPort = port;
    status_.baudRate = baud;
    QueueStatus();
  }
  Fire(events);
}

void DecoderEngine::ProcessStopped(std::int16_t port, std::int32_t baud) {
  OutgoingList events;
  {
    std::lock_guard lock(LibraryLock());
    Collecting collecting(outgoing_, events);
    ClearState();
    status_ = ComStatusValues{};
    status_.comPort = port;
    status_.baudRate = baud;
    QueueStatus();
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
  if (noEvents_ || !first || !outgoing_) return;
  outgoing_->Add(kind, first, second);
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
void DecoderEngine::DeliverFix(bool valid, const UtcTime& decodedUtc, const Place& decodedPlace, std::int16_t datum,
                               bool fromGga, bool dated) {
  std::int16_t fixType = 0;
  if (valid) fixType = fromGga || rememberedGga_ ? 3 : 2;
  Place place = decodedPlace;
  if (!fromGga && fixType == 3) {
    place.aboveSeaLevel = rememberedGga_->aboveSeaLevel;
    place.datumHeight = rememberedGga_->datumHeight;
  }
  UtcTime utc = decodedUtc;
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
  com::ComPtr<GpsFix> fix = GpsFix::Make(fixType, utc, place, datum);
  Deliver(kEventGpsFix, fix.get(), fixType);
}

void DecoderEngine::DeliverMovement(double knots, double heading, double magneticVariation) {
  if (!Wanted(kEventMovement)) return;
  com::ComPtr<Movement> movement = Movement::Make(knots, heading, magneticVariation, true);
  Deliver(kEventMovement, movement.get());
}

Satellites* DecoderEngine::Pending() {
  if (!pending_) pending_ = Satellites::New();
  return pending_.get();
}

void DecoderEngine::Fire(const OutgoingList& events) {
  events.ForEach([this](const Outgoing& event) {
    for (const SinkRow& row : kSinkRows)
      if (row.kind == event.kind) {
        row.fire(sink_, event.first.get(), event.second.get());
        break;
      }
  });
}

// The fields of every routed sentence are read into its record
// (SentenceRecords.cpp, each with its sample sentence); the objects are built
// from the records.

void DecoderEngine::RouteRMC(const NmeaSentence& s, com::IDispatch* sentence) {
  const RmcRecord record = ParseRmc(s);
  const std::int16_t datum = datum_;
  com::ComPtr<NmeaRMC> rmc = NmeaRMC::Make(sentence, record, datum);
  if (!rmc) return;
  Queue(Out::RMC, rmc.get(), sentence);
  DeliverFix(record.valid, record.utc, record.place, datum, false, true);
  if (record.valid) DeliverMovement(record.knots, record.heading, record.magneticVariation);
}

void DecoderEngine::RouteVTG(const NmeaSentence& s, com::IDispatch*) {
  const VtgRecord vtg = ParseVtg(s);
  if (vtg.valid) DeliverMovement(vtg.knots, vtg.heading, vtg.magneticVariation);
}

void DecoderEngine::RouteGLL(const NmeaSentence& s, com::IDispatch* sentence) {
  const GllRecord record = ParseGll(s);
  const std::int16_t datum = datum_;
  com::ComPtr<NmeaGLL> gll = NmeaGLL::Make(sentence, record, datum);
  if (!gll) return;
  Queue(Out::GLL, gll.get(), sentence);
  DeliverFix(record.valid, record.utc, record.place, datum, false, false);
}

void DecoderEngine::RouteGGA(const NmeaSentence& s, com::IDispatch* sentence) {
  const GgaRecord record = ParseGga(s);
  const std::int16_t datum = datum_;
  com::ComPtr<NmeaGGA> gga = NmeaGGA::Make(sentence, record, datum);
  if (!gga) return;
  Queue(Out::GGA, gga.get(), sentence);
  DeliverFix(record.valid, record.utc, record.place, datum, true, false);
}

// A GSA never completes a satellite cycle; it only marks the satellites used.
void DecoderEngine::RouteGSA(const NmeaSentence& s, com::IDispatch*) {
  const bool quality = Wanted(kEventQuality), satellites = Wanted(kEventSatellites);
  if (!quality && !satellites) return;
  const GsaRecord gsa = ParseGsa(s);
  if (quality) {
    com::ComPtr<Quality> made = Quality::Make(gsa.pdop, gsa.hdop, gsa.vdop);
    Deliver(kEventQuality, made.get());
  }
  if (!satellites) return;
  Satellites* pending = Pending();
  if (!pending) return;
  for (const std::int16_t id : gsa.used) {
    if (id == 0 || pending->Find(id)) continue;  // a satellite already listed keeps its flag
    if (Satellite* satellite = pending->FindOrAdd(id)) satellite->set_used_for_fix(true);
  }
}

// A message out of order (one was lost) throws the cycle away; the
// satellites are delivered when the last message of an intact cycle arrives.
void DecoderEngine::RouteGSV(const NmeaSentence& s, com::IDispatch*) {
  if (!Wanted(kEventSatellites)) return;
  Satellites* pending = Pending();
  if (!pending) return;
  const GsvRecord gsv = ParseGsv(s);
  if (gsv.number != pending->expected_message()) {
    pending->Reset();
    return;
  }
  for (int block = 0; block < gsv.blocks; ++block) {
    const GsvSatellite view = ParseGsvSatellite(s, block);
    if (view.id == 0) continue;
    if (Satellite* satellite = pending->FindOrAdd(view.id)) satellite->set_view(view.elevation, view.azimuth, view.snr);
  }
  if (gsv.messages != pending->expected_message()) {
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

void Decoder::ProcessSentence(com::IDispatch* sentence) {
  state_->engine.ProcessSentence(sentence, NmeaSentence::From(sentence));
}
void Decoder::ProcessSentence(NmeaSentence& sentence) { state_->engine.ProcessSentence(&sentence, &sentence); }
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
