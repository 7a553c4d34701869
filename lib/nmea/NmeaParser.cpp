#include "lib/nmea/NmeaParser.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "lib/component/Identifiers.h"
#include "lib/component/LibraryLock.h"
#include "lib/component/ServerLifetime.h"
#include "lib/nmea/NmeaParserEvents.h"
#include "lib/nmea/NmeaSentence.h"
#include "lib/nmea/PortLink.h"
#include "platform/com/MessageQueue.h"
#include "platform/com/Runtime.h"
#include "platform/sync/Event.h"

namespace zenolith {
namespace {

using Kind = com::MemberKind;

// The message that carries a received item to the creating thread, and the
// one that asks a window left behind by a parser released elsewhere to go.
constexpr std::uint32_t kMsgItem = com::kMsgUser + 101;  // 1125
constexpr std::uint32_t kMsgDestroySelf = com::kMsgUser + 102;

constexpr const char* kMustBeEnabled = "Port must be enabled!";
constexpr const char* kMustNotBeEnabled = "Port must not be enabled!";
constexpr const char* kAutodetect = "Autodetect mode not allowed";
constexpr const char* kNoEventsNeeded = "NoEvents must be set!";

// Hidden windows and their parsers. A parser leaves the table in its
// destructor, so a late message finds nothing instead of a dead object.
std::recursive_mutex& WindowsMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}
std::map<com::WindowHandle, NmeaParser*>& Windows() {
  static std::map<com::WindowHandle, NmeaParser*> windows;
  return windows;
}

// The procedure of every hidden window (a plain function of this library:
// windows left behind keep the library loaded until they are destroyed).
std::intptr_t WindowProcedure(com::WindowHandle window, std::uint32_t id, std::uintptr_t wparam, std::intptr_t) {
  if (id == kMsgDestroySelf) {
    com::DestroyWindow(window);
    ServerUnlocked();
    return 0;
  }
  if (id != kMsgItem) return 0;
  NmeaParser* parser = nullptr;
  {
    std::lock_guard lock(WindowsMutex());
    auto it = Windows().find(window);
    if (it == Windows().end()) return 0;
    parser = it->second;
    // Keeps the parser alive while its events run: a client may release it
    // from inside an event.
    if (!parser->TryAddRefFromWindow()) return 0;
  }
  parser->Deliver(wparam);
  parser->Release();
  return 0;
}

std::atomic<std::uint32_t> g_classNumber{0};

}  // namespace

// A received sentence, or a change of the stream's state, waiting to be
// delivered on the creating thread.
struct ParserItem {
  enum Kind { Sentence, Started, Stopped } kind = Sentence;
  com::ComPtr<com::IDispatch> sentence;
  std::int16_t port = 0;
  std::int32_t baud = 0;
};

struct NmeaParser::Worker {
  platform::Event stop, disable, enable, ack;
  std::thread thread;
  com::WindowHandle window = 0;
  std::string className;
  std::map<std::uintptr_t, ParserItem> items;  // under the library lock
  std::uintptr_t nextItem = 1;
  std::atomic<bool> noEvents{false};
};

const MemberRow<NmeaParser> NmeaParser::kMembers[] = {
    {1, Kind::Method, &NmeaParser::Parse},
    {2, Kind::PropPut, &NmeaParser::PutAllEventsGeneric},
    {3, Kind::PropPut, &NmeaParser::PutGpsDatum},
    {4, Kind::PropPut, &NmeaParser::PutComPort},
    {5, Kind::PropPut, &NmeaParser::PutBaudRate},
    {6, Kind::PropPut, &NmeaParser::PutPortEnabled},
    {7, Kind::PropPut, &NmeaParser::PutNoEvents},
    {8, Kind::Method, &NmeaParser::GetGpsFix},
    {9, Kind::Method, &NmeaParser::GetSatellites},
    {10, Kind::Method, &NmeaParser::GetMovement},
    {11, Kind::Method, &NmeaParser::GetQuality},
    {12, Kind::Method, &NmeaParser::GetComStatus},
    {13, Kind::Method, &NmeaParser::WriteData},
    {14, Kind::PropPut, &NmeaParser::PutChecksumMandatory},
    {15, Kind::Method, &NmeaParser::EventInterval},
};

NmeaParser::NmeaParser()
    : DispatchObject(IID_INmeaParser, "ZenolithCE.NmeaParser"),
      events_(static_cast<com::IConnectionPointContainer*>(this), IID__INmeaParserEvents),
      decoder_(*this),
      link_(std::make_unique<PortLink>()),
      worker_(std::make_unique<Worker>()) {}

NmeaParser::~NmeaParser() {
  if (worker_->thread.joinable()) {
    worker_->stop.Set();
    worker_->thread.join();
  }
  link_->Close();
  events_.UnadviseAll();
  if (worker_->window) {
    {
      std::lock_guard lock(WindowsMutex());
      Windows().erase(worker_->window);
    }
    if (com::WindowThread(worker_->window) == com::CurrentThreadId()) {
      com::DestroyWindow(worker_->window);
    } else if (com::PostMessage(worker_->window, kMsgDestroySelf, 0, 0)) {
      // Released on another thread: the owning thread's loop destroys the
      // window; until then the library must stay loaded.
      ServerLocked();
    }
    com::UnregisterWindowClass(worker_->className);
  }
}

bool NmeaParser::TryAddRefFromWindow() { return TryAddRef(); }

com::HRESULT NmeaParser::Create(const com::IID& iid, void** object) {
  if (!object) return com::E_POINTER;
  *object = nullptr;
  NmeaParser* parser = new (std::nothrow) NmeaParser();
  if (!parser) return com::E_OUTOFMEMORY;
  std::string error;
  if (!parser->Start(&error)) {
    parser->Release();
    com::SetErrorInfo({error, IID_INmeaParser, "ZenolithCE.NmeaParser"});
    return StatusForError(kErrorWindow);
  }
  const com::HRESULT hr = parser->QueryInterface(iid, object);
  parser->Release();
  return hr;
}

bool NmeaParser::Start(std::string* error) {
  worker_->className = "ZenolithCE.gtFormSync." + std::to_string(++g_classNumber);
  if (!com::RegisterWindowClass(worker_->className, WindowProcedure)) {
    *error = "Error register window class";
    return false;
  }
  worker_->window = com::CreateWindow(worker_->className, "gtFormSync", 100, 100);
  if (!worker_->window) {
    *error = "Could not create window";
    return false;
  }
  {
    std::lock_guard lock(WindowsMutex());
    Windows()[worker_->window] = this;
  }
  try {
    worker_->thread = std::thread([this] { Run(); });
  } catch (...) {
    *error = "Could not create thread";
    return false;
  }
  return true;
}

// The parser thread: opens and closes the link on request and hands every
// received item on, by message to the creating thread or, with NoEvents,
// straight to the decoder.
void NmeaParser::Run() {
  // WaitAny answers the lowest index first: a stream that stopped and came
  // back before this thread woke is handled as stopped, then started, then
  // its data (a start followed by a stop cannot fit in one wake: stopping
  // takes 4 s of silence).
  platform::Event* events[] = {&worker_->stop,         &worker_->disable,      &worker_->enable,
                               &link_->stoppedEvent(), &link_->startedEvent(), &link_->dataEvent()};
  while (true) {
    const int which = platform::WaitAny(events, platform::kInfinite);
    if (which == 0) return;
    if (which == 1) {
      link_->Close();
      decoder_.Clear();
      {
        std::lock_guard lock(LibraryLock());
        worker_->items.clear();
      }
      worker_->ack.Set();
    } else if (which == 2) {
      if (!link_->IsOpen()) {
        ErrorRecord ignored;  // the automatic modes start scanning without an error
        link_->Open(ignored);
      }
      worker_->ack.Set();
    } else if (which == 3 || which == 4) {
      ParserItem item;
      item.kind = which == 4 ? ParserItem::Started : ParserItem::Stopped;
      item.port = link_->SourcePort();
      item.baud = link_->SourceBaud();
      Post(std::move(item));
    } else if (which == 5) {
      while (com::ComPtr<com::IDispatch> sentence = link_->TakeSentence()) {
        ParserItem item;
        item.sentence = std::move(sentence);
        Post(std::move(item));
      }
    }
  }
}

void NmeaParser::Post(ParserItem item) {
  if (worker_->noEvents) {
    Process(item);
    return;
  }
  std::uintptr_t number = 0;
  {
    std::lock_guard lock(LibraryLock());
    number = worker_->nextItem++;
    worker_->items.emplace(number, std::move(item));
  }
  if (!com::PostMessage(worker_->window, kMsgItem, number, 0)) {
    std::lock_guard lock(LibraryLock());
    worker_->items.erase(number);
  }
}

void NmeaParser::Process(const ParserItem& item) {
  switch (item.kind) {
    case ParserItem::Sentence:
      decoder_.ProcessSentence(item.sentence.get());
      break;
    case ParserItem::Started:
      decoder_.ProcessStarted(item.port, item.baud);
      break;
    case ParserItem::Stopped:
      decoder_.ProcessStopped(item.port, item.baud);
      break;
  }
}

void NmeaParser::Deliver(std::uintptr_t number) {
  ParserItem item;
  {
    std::lock_guard lock(LibraryLock());
    auto it = worker_->items.find(number);
    if (it == worker_->items.end()) return;  // dropped when the port was disabled
    item = std::move(it->second);
    worker_->items.erase(it);
  }
  Process(item);
}

com::HRESULT NmeaParser::QueryExtra(const com::IID& iid, void** object) {
  if (iid == com::IID_IConnectionPointContainer) {
    *object = static_cast<com::IConnectionPointContainer*>(this);
    AddRef();
    return com::S_OK;
  }
  return com::E_NOINTERFACE;
}

com::HRESULT NmeaParser::EnumConnectionPoints(std::vector<com::IConnectionPoint*>* points) {
  if (!points) return com::E_POINTER;
  events_.AddRef();
  points->push_back(&events_);
  return com::S_OK;
}

com::HRESULT NmeaParser::FindConnectionPoint(const com::IID& iid, com::IConnectionPoint** point) {
  if (!point) return com::E_POINTER;
  *point = nullptr;
  if (iid != IID__INmeaParserEvents) return com::CONNECT_E_NOCONNECTION;
  events_.AddRef();
  *point = &events_;
  return com::S_OK;
}

com::HRESULT NmeaParser::Call(Invocation& call) { return Dispatch<NmeaParser>(this, kMembers, call); }

void NmeaParser::Fire(NmeaParserEvent id, com::IDispatch* first, com::IDispatch* second) {
  if (worker_->noEvents) return;
  if (second) {
    const com::Variant args[] = {com::Variant::Dispatch(first), com::Variant::Dispatch(second)};
    events_.Fire(id, args);
  } else {
    const com::Variant args[] = {com::Variant::Dispatch(first)};
    events_.Fire(id, args);
  }
}

void NmeaParser::OnGeneric(com::IDispatch* sentence) { Fire(kEventIdGeneric, sentence); }
void NmeaParser::OnGGA(com::IDispatch* gga, com::IDispatch* sentence) { Fire(kEventIdGGA, gga, sentence); }
void NmeaParser::OnGLL(com::IDispatch* gll, com::IDispatch* sentence) { Fire(kEventIdGLL, gll, sentence); }
void NmeaParser::OnRMC(com::IDispatch* rmc, com::IDispatch* sentence) { Fire(kEventIdRMC, rmc, sentence); }
void NmeaParser::OnSatellites(com::IDispatch* satellites) { Fire(kEventIdOnSatellites, satellites); }
void NmeaParser::OnGpsFix(com::IDispatch* fix) { Fire(kEventIdOnGpsFix, fix); }
void NmeaParser::OnMovement(com::IDispatch* movement) { Fire(kEventIdOnMovement, movement); }
void NmeaParser::OnQuality(com::IDispatch* quality) { Fire(kEventIdOnQuality, quality); }
void NmeaParser::OnComStatus(com::IDispatch* status) { Fire(kEventIdOnComStatus, status); }

void NmeaParser::Parse(Invocation& call) {
  if (portEnabled_) return call.Fail(kErrorWrongState, kMustNotBeEnabled);
  const std::string& text = call.Text(0);
  // Events fire during the call; the client may release its reference from
  // one of them, so the parser holds its own until it is done.
  com::ComPtr<com::IDispatch> self(static_cast<com::IDispatch*>(this));
  // The ring holds 512 bytes: a longer text is taken in pieces, each followed
  // by the search for complete sentences, so a whole file handed over at
  // once loses nothing.
  constexpr std::size_t kPiece = NmeaLineBuffer::kSize / 2;
  for (std::size_t at = 0; at < text.size(); at += kPiece) {
    if (!parseBuffer_.Append(text.data() + at, std::min(kPiece, text.size() - at))) continue;
    while (parseBuffer_.FindNext()) {
      com::ComPtr<NmeaSentence> sentence = NmeaSentence::MakeObject(parseBuffer_.TakeText());
      if (sentence) decoder_.ProcessSentence(*sentence.get());
    }
  }
}

void NmeaParser::PutAllEventsGeneric(Invocation& call) {
  allEventsGeneric_ = call.Bool(0);
  decoder_.set_all_events_generic(allEventsGeneric_);
}

void NmeaParser::PutGpsDatum(Invocation& call) {
  const std::int16_t datum = call.I2(0);
  if (datum < 1 || datum > 28) return call.Fail(kErrorInvalidArgument, "Unknown datum!");
  gpsDatum_ = datum;
  decoder_.set_gps_datum(datum);
}

void NmeaParser::PutComPort(Invocation& call) {
  if (portEnabled_) return call.Fail(kErrorWrongState, kMustNotBeEnabled);
  comPort_ = call.I2(0);
}

void NmeaParser::PutBaudRate(Invocation& call) {
  const std::int32_t baud = call.I4(0);
  if (!portEnabled_) {
    baudRate_ = baud;
    return;
  }
  if (comPort_ == 0 || baudRate_ == 0) return call.Fail(kErrorWrongState, kAutodetect);
  baudRate_ = baud;
  link_->SetBaudRate(baud);
}

void NmeaParser::PutPortEnabled(Invocation& call) {
  const bool enable = call.Bool(0);
  if (enable == portEnabled_) return;
  if (enable) {
    link_->SetComPort(comPort_);
    link_->SetBaudRate(baudRate_);
    link_->SetChecksumMandatory(checksumMandatory_);
    // A fixed source opens here so that its error reaches the caller.
    if ((comPort_ != 0 && baudRate_ != 0) || comPort_ == -1) {
      ErrorRecord error;
      if (!link_->Open(error)) return call.Fail(error.number, error.message);
    }
    worker_->enable.Set();
  } else {
    worker_->disable.Set();
  }
  worker_->ack.Wait(platform::kInfinite);
  portEnabled_ = enable;
}

void NmeaParser::PutNoEvents(Invocation& call) {
  if (portEnabled_) return call.Fail(kErrorWrongState, kMustNotBeEnabled);
  noEvents_ = call.Bool(0);
  worker_->noEvents = noEvents_;
  decoder_.set_no_events(noEvents_);
}

void NmeaParser::GetGpsFix(Invocation& call) {
  if (!noEvents_) return call.Fail(kErrorWrongState, kNoEventsNeeded);
  if (auto fix = decoder_.GetGpsFix(call.I4(0), call.I2(1))) call.result = com::Variant::Dispatch(fix.get());
}

void NmeaParser::GetSatellites(Invocation& call) {
  if (!noEvents_) return call.Fail(kErrorWrongState, kNoEventsNeeded);
  if (auto satellites = decoder_.GetSatellites(call.I4(0))) call.result = com::Variant::Dispatch(satellites.get());
}

void NmeaParser::GetMovement(Invocation& call) {
  if (!noEvents_) return call.Fail(kErrorWrongState, kNoEventsNeeded);
  if (auto movement = decoder_.GetMovement(call.I4(0))) call.result = com::Variant::Dispatch(movement.get());
}

void NmeaParser::GetQuality(Invocation& call) {
  if (!noEvents_) return call.Fail(kErrorWrongState, kNoEventsNeeded);
  if (auto quality = decoder_.GetQuality(call.I4(0))) call.result = com::Variant::Dispatch(quality.get());
}

void NmeaParser::GetComStatus(Invocation& call) {
  call.result = com::Variant::Dispatch(decoder_.GetComStatus().get());
}

void NmeaParser::WriteData(Invocation& call) {
  if (!portEnabled_) return call.Fail(kErrorWrongState, kMustBeEnabled);
  if (comPort_ == 0 || baudRate_ == 0) return call.Fail(kErrorWrongState, kAutodetect);
  link_->Write(call.Text(0));
}

void NmeaParser::PutChecksumMandatory(Invocation& call) {
  checksumMandatory_ = call.Bool(0);
  parseBuffer_.set_checksum_mandatory(checksumMandatory_);
  link_->SetChecksumMandatory(checksumMandatory_);
}

void NmeaParser::EventInterval(Invocation& call) {
  const std::int32_t interval = call.I4(0);
  const std::int16_t type = call.I2(1);
  if (type < kEventGpsFix || type > kEventQuality) return call.Fail(kErrorInvalidArgument, "Unknown event type!");
  decoder_.set_interval(type, interval < 0 ? -1 : interval);
}

}  // namespace zenolith
