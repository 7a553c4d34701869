#include "lib/nmea/PortLink.h"

#include <array>
#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "lib/component/LibraryLock.h"
#include "platform/gpsd/Channel.h"
#include "lib/nmea/NmeaLineBuffer.h"
#include "lib/nmea/NmeaSentence.h"
#include "platform/serial/PortTable.h"
#include "platform/serial/SerialPort.h"

namespace zenolith {

namespace {

// A stream that delivered sentences and then none for this long has stopped.
constexpr std::uint32_t kSilenceMs = 4000;
// Each baud rate of a scan listens this long on all candidate ports at once.
constexpr std::uint32_t kScanWindowMs = 2000;
// Between two attempts to reach gpsd again.
constexpr std::uint32_t kReconnectMs = 2000;
// The scan's baud rates, in order: the NMEA 0183 standard rate first, then
// the high rate of faster receivers.
constexpr std::array<std::int32_t, 2> kScanRates = {4800, 57600};
// Port 3 is left out of automatic scans; it is used only when named
// explicitly (a fixed ComPort, also with BaudRate 0).
constexpr std::int32_t kNeverScannedPort = 3;
// Sentences the parser has not taken yet; the oldest go first past this.
constexpr std::size_t kMaxQueuedSentences = 1024;
// Received chunks handled per wake-up, so that a flood of data cannot keep
// the thread from seeing its stop event.
constexpr int kChunksPerWake = 64;

// gpsd not answering with ComPort -1 fails like the missing multiplexer
// component it replaces: "class not registered", with that component's text.
constexpr int kMultiplexerMissingStatus = com::REGDB_E_CLASSNOTREG;
constexpr std::string_view kMultiplexerMissing = "Portrelay not installed! Cannot create object PortrelayApi::Simple";

// The serial settings of a link or scan port: the parser reads whole 256-byte
// buffers (time-out mode 2) and needs neither write completions nor modem lines.
platform::SerialSettings LinkSettings(std::int32_t baud) {
  platform::SerialSettings settings;
  settings.baudRate = baud;
  settings.timeoutMode = 2;
  settings.deliverWriteCompletions = false;
  settings.watchModemLines = false;
  return settings;
}

enum class LoopEnd { kStopped, kLost };

// One port of a scan with its own line buffer.
struct Candidate {
  std::int32_t number = 0;
  std::unique_ptr<platform::SerialPort> port;
  std::unique_ptr<NmeaLineBuffer> buffer;
};

}  // namespace

struct PortLink::Impl {
  std::atomic<std::int16_t> comPort{0};
  std::atomic<std::int32_t> baudRate{4800};
  std::atomic<bool> checksumMandatory{true};
  std::atomic<std::int16_t> sourcePort{0};
  std::atomic<std::int32_t> sourceBaud{0};
  std::atomic<bool> flowing{false};

  platform::Event started{false};
  platform::Event data{false};
  platform::Event stopped{false};
  platform::Event stop{true};  // manual reset: every wait of the thread sees it until Close resets it

  std::mutex openMutex;  // Open and Close
  std::thread thread;
  std::atomic<bool> running{false};  // the thread was started and not yet joined

  // The serial source is replaced by the link thread and used by Write and
  // SetBaudRate on other threads; this guards the pointer and those calls.
  std::mutex sourceMutex;
  std::unique_ptr<platform::SerialPort> serial;
  // Created by Open and kept until Close, so Close may cancel it while the
  // link thread is connecting.
  std::unique_ptr<gpsd::Channel> gpsd;
  // Owned by the link thread while it runs.
  std::unique_ptr<NmeaLineBuffer> buffer;
  bool autoFound = false;     // the serial source came from a scan
  // The read loop closed the gpsd connection. The connected flag of the
  // channel is not asked instead: it drops at a hang-up before the bytes
  // already queued were read, and reconnecting would throw them away.
  bool gpsdLost = false;
  bool pendingStart = false;  // the scan already queued the sentence that chose the port

  std::deque<com::ComPtr<com::IDispatch>> queue;  // under the library lock

  void Run();
  bool ConnectMultiplexer();
  LoopEnd ReadLoop();
  bool Scan();
  std::vector<std::unique_ptr<Candidate>> OpenCandidates();
  bool ScanWindow(std::vector<std::unique_ptr<Candidate>>& candidates, std::int32_t baud, bool& won);
  void Choose(Candidate& winner, std::int32_t baud);
  int MoveSentences(NmeaLineBuffer& from);
  void Enqueue(std::string_view text);
  void ReleaseSerial();
  void ReleaseAll();
};

void PortLink::Impl::Enqueue(std::string_view text) {
  com::ComPtr<com::IDispatch> sentence = NmeaSentence::Make(text);
  if (!sentence) return;
  std::lock_guard lock(LibraryLock());
  if (queue.size() >= kMaxQueuedSentences) queue.pop_front();
  queue.push_back(std::move(sentence));
}

int PortLink::Impl::MoveSentences(NmeaLineBuffer& from) {
  from.set_checksum_mandatory(checksumMandatory.load());
  int moved = 0;
  while (from.FindNext()) {
    Enqueue(from.TakeText());
    ++moved;
  }
  return moved;
}

void PortLink::Impl::ReleaseSerial() {
  std::unique_ptr<platform::SerialPort> old;
  {
    std::lock_guard lock(sourceMutex);
    old = std::move(serial);
  }
  old.reset();  // closes the port, joining its threads, outside the lock
  autoFound = false;
}

void PortLink::Impl::ReleaseAll() {
  ReleaseSerial();
  gpsd.reset();
  gpsdLost = false;
  buffer.reset();
  pendingStart = false;
}

// The link thread: read from the source, reconnect gpsd, or scan for a port,
// until the stop event ends whichever of them is running.
void PortLink::Impl::Run() {
  try {
    while (!stop.IsSet()) {
      if (gpsd) {
        if (gpsdLost) {
          if (!ConnectMultiplexer()) return;
          gpsdLost = false;
          continue;
        }
        if (ReadLoop() == LoopEnd::kStopped) return;
      } else if (serial) {
        if (ReadLoop() == LoopEnd::kStopped) return;
      } else if (!Scan()) {
        return;
      }
    }
  } catch (...) {
    // Out of memory or threads: the link goes quiet until it is closed.
  }
}

// Tries to reach gpsd again, once at once and then every kReconnectMs.
bool PortLink::Impl::ConnectMultiplexer() {
  for (;;) {
    if (stop.IsSet()) return false;
    if (gpsd->Connect()) {
      *buffer = NmeaLineBuffer{};  // nothing of the old connection's last line may join the new stream
      return true;
    }
    if (stop.Wait(kReconnectMs)) return false;
  }
}

// Moves sentences from the source to the queue and watches for silence. The
// silence clock restarts only with a valid sentence: bytes that hold none
// (noise at a wrong baud rate) do not keep a dead stream alive.
LoopEnd PortLink::Impl::ReadLoop() {
  platform::Event* received = serial ? &serial->receivedEvent() : &gpsd->receivedEvent();
  platform::Event* failed = serial ? &serial->errorEvent() : &gpsd->errorEvent();
  auto take = [this] { return serial ? serial->TakeReceived() : gpsd->TakeReceived(); };

  std::uint32_t lastValid = platform::TickCount();
  int moved = MoveSentences(*buffer) + (pendingStart ? 1 : 0);
  pendingStart = false;
  for (;;) {
    if (moved > 0) {
      lastValid = platform::TickCount();
      if (!flowing.exchange(true)) started.Set();
      data.Set();
    }
    moved = 0;

    int which = -1;
    const std::uint32_t quiet = platform::TicksSince(lastValid);
    if (quiet < kSilenceMs) {
      platform::Event* events[] = {&stop, received, failed};
      which = platform::WaitAny(events, kSilenceMs - quiet);
    }
    if (which == 0) return LoopEnd::kStopped;
    if (which == 1) {
      // Each chunk (at most 256 bytes) is cut up before the next one goes
      // into the 512-byte ring, so queued chunks never overwrite each other.
      for (int n = 0; n < kChunksPerWake; ++n) {
        auto chunk = take();
        if (!chunk) break;
        buffer->Append(reinterpret_cast<const char*>(chunk->data()), chunk->size());
        moved += MoveSentences(*buffer);
        if (n + 1 == kChunksPerWake) received->Set();  // more may wait: come back after a look at stop
      }
      continue;
    }

    // A failed source, or kSilenceMs without a sentence.
    bool lost = false;
    if (gpsd) {
      gpsd->Close();
      gpsdLost = true;
      lost = true;
    } else {
      if (which == 2) {
        std::lock_guard lock(sourceMutex);
        serial->Close();
      }
      if (autoFound) {
        ReleaseSerial();
        buffer.reset();
        lost = true;
      }
    }
    if (flowing.exchange(false)) stopped.Set();
    if (lost) return LoopEnd::kLost;
    // A fixed port stays (closed after a failure, until the link is closed
    // and opened again) and is watched for the next stretch.
    lastValid = platform::TickCount();
  }
}

std::vector<std::unique_ptr<Candidate>> PortLink::Impl::OpenCandidates() {
  std::vector<std::int32_t> numbers;
  const std::int16_t fixed = comPort.load();
  if (fixed > 0) {
    numbers.push_back(fixed);
  } else {
    for (const platform::ActivePort& port : platform::ListActivePorts(false))
      if (port.number != kNeverScannedPort) numbers.push_back(port.number);
  }
  std::vector<std::unique_ptr<Candidate>> candidates;
  for (std::int32_t number : numbers) {
    auto candidate = std::make_unique<Candidate>();
    candidate->number = number;
    candidate->port = std::make_unique<platform::SerialPort>(number);
    candidate->port->SetSettings(LinkSettings(kScanRates[0]));
    if (!candidate->port->Open()) continue;  // busy or missing ports are skipped silently
    candidate->buffer = std::make_unique<NmeaLineBuffer>();
    candidates.push_back(std::move(candidate));
  }
  return candidates;
}

// Opens every candidate at once and listens at each scan rate in turn; the
// first port whose bytes hold a sentence with a good checksum becomes the
// source. False only when the stop event ended the scan.
bool PortLink::Impl::Scan() {
  for (;;) {
    std::vector<std::unique_ptr<Candidate>> candidates = OpenCandidates();
    for (std::size_t rate = 0; rate < kScanRates.size(); ++rate) {
      if (rate > 0) {
        for (auto& candidate : candidates) {
          if (!candidate->port->IsOpen()) continue;
          if (!candidate->port->SetBaudRate(kScanRates[rate])) {
            candidate->port->Close();
            continue;
          }
          // What arrived at the old rate says nothing about the new one.
          for (int n = 0; n < kChunksPerWake && candidate->port->TakeReceived(); ++n) {
          }
          *candidate->buffer = NmeaLineBuffer{};
        }
      }
      bool won = false;
      if (!ScanWindow(candidates, kScanRates[rate], won)) return false;
      if (won) return true;
    }
    candidates.clear();  // closes them all before the next round lists the ports again
    if (stop.IsSet()) return false;
  }
}

// One window of kScanWindowMs at `baud`. False when stopped; `won` when a
// candidate became the source.
bool PortLink::Impl::ScanWindow(std::vector<std::unique_ptr<Candidate>>& candidates, std::int32_t baud, bool& won) {
  std::vector<platform::Event*> events;
  std::vector<Candidate*> owners;
  const std::uint32_t start = platform::TickCount();
  for (;;) {
    const std::uint32_t spent = platform::TicksSince(start);
    if (spent >= kScanWindowMs) return true;
    events.assign(1, &stop);
    owners.assign(1, nullptr);
    for (auto& candidate : candidates) {
      if (!candidate->port->IsOpen()) continue;
      events.push_back(&candidate->port->receivedEvent());
      events.push_back(&candidate->port->errorEvent());
      owners.push_back(candidate.get());
      owners.push_back(candidate.get());
    }
    const int which = platform::WaitAny(events, kScanWindowMs - spent);
    if (which < 0) return true;
    if (which == 0) return false;
    Candidate& candidate = *owners[static_cast<std::size_t>(which)];
    if (which % 2 == 0) {  // its error event
      candidate.port->Close();
      continue;
    }
    // Only a good checksum proves the rate, whatever ChecksumMandatory says.
    candidate.buffer->set_checksum_mandatory(true);
    for (int n = 0; n < kChunksPerWake; ++n) {
      auto chunk = candidate.port->TakeReceived();
      if (!chunk) break;
      candidate.buffer->Append(reinterpret_cast<const char*>(chunk->data()), chunk->size());
      if (candidate.buffer->FindNext()) {
        Choose(candidate, baud);
        won = true;
        return true;
      }
      if (n + 1 == kChunksPerWake) candidate.port->receivedEvent().Set();
    }
  }
}

// Makes the winning candidate the source; the sentence that chose it is queued
// now and announced by the read loop.
void PortLink::Impl::Choose(Candidate& winner, std::int32_t baud) {
  Enqueue(winner.buffer->TakeText());
  pendingStart = true;
  buffer = std::move(winner.buffer);
  {
    std::lock_guard lock(sourceMutex);
    serial = std::move(winner.port);
  }
  autoFound = true;
  sourcePort = static_cast<std::int16_t>(winner.number);
  sourceBaud = baud;
}

PortLink::PortLink() : impl_(new Impl) {}

PortLink::~PortLink() {
  Close();
  delete impl_;
}

void PortLink::SetComPort(std::int16_t port) { impl_->comPort = port; }

void PortLink::SetBaudRate(std::int32_t baud) {
  impl_->baudRate = baud;
  if (baud <= 0) return;
  std::lock_guard lock(impl_->sourceMutex);
  if (impl_->serial && impl_->serial->SetBaudRate(baud)) impl_->sourceBaud = baud;
}

void PortLink::SetChecksumMandatory(bool mandatory) { impl_->checksumMandatory = mandatory; }

std::int16_t PortLink::comPort() const { return impl_->comPort.load(); }
std::int32_t PortLink::baudRate() const { return impl_->baudRate.load(); }

bool PortLink::Open(ErrorRecord& error) {
  Impl& s = *impl_;
  std::lock_guard lock(s.openMutex);
  if (s.thread.joinable()) return true;

  const std::int16_t port = s.comPort.load();
  const std::int32_t baud = s.baudRate.load();
  s.sourcePort = 0;
  s.sourceBaud = 0;

  if (port <= 0) {
    auto channel = std::make_unique<gpsd::Channel>();
    if (channel->Connect()) {
      s.gpsd = std::move(channel);
      s.buffer = std::make_unique<NmeaLineBuffer>();
      s.sourcePort = -1;
    } else if (port < 0) {
      error.Set(kMultiplexerMissingStatus, kMultiplexerMissing);
      return false;
    }
    // ComPort 0 without gpsd: the link thread scans the serial ports.
  }

  if (port > 0 && baud != 0) {
    auto serial = std::make_unique<platform::SerialPort>(port);
    serial->SetSettings(LinkSettings(baud));
    if (!serial->Open()) {
      const platform::SerialError failure = serial->error();
      error.Set(failure.code != 0 ? failure.code : kErrorPort,
                failure.message.empty() ? std::string_view("Could not open comm port!") : std::string_view(failure.message));
      return false;
    }
    {
      std::lock_guard sourceLock(s.sourceMutex);
      s.serial = std::move(serial);
    }
    s.buffer = std::make_unique<NmeaLineBuffer>();
    s.autoFound = false;
    s.sourcePort = port;
    s.sourceBaud = baud;
  }

  try {
    s.thread = std::thread([&s] { s.Run(); });
    s.running = true;
  } catch (const std::system_error& e) {
    error.Set(e.code().value(), "Could not create thread");
    s.ReleaseAll();
    s.sourcePort = 0;
    s.sourceBaud = 0;
    return false;
  }
  return true;
}

void PortLink::Close() {
  Impl& s = *impl_;
  std::lock_guard lock(s.openMutex);
  if (s.thread.joinable()) {
    s.stop.Set();
    if (s.gpsd) s.gpsd->Cancel();
    s.thread.join();
    s.running = false;
  }
  s.ReleaseAll();
  s.stop.Reset();
  s.started.Reset();
  s.data.Reset();
  s.stopped.Reset();
  std::deque<com::ComPtr<com::IDispatch>> dropped;
  {
    std::lock_guard libraryLock(LibraryLock());
    dropped.swap(s.queue);
  }
  s.flowing = false;
  s.sourcePort = 0;
  s.sourceBaud = 0;
}

bool PortLink::IsOpen() const { return impl_->running.load(); }

com::ComPtr<com::IDispatch> PortLink::TakeSentence() {
  std::lock_guard lock(LibraryLock());
  if (impl_->queue.empty()) return nullptr;
  com::ComPtr<com::IDispatch> sentence = std::move(impl_->queue.front());
  impl_->queue.pop_front();
  return sentence;
}

void PortLink::Write(std::string_view text) {
  if (text.empty()) return;
  std::lock_guard lock(impl_->sourceMutex);
  if (impl_->serial && impl_->serial->IsOpen())
    impl_->serial->Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

std::int16_t PortLink::SourcePort() const { return impl_->sourcePort.load(); }
std::int32_t PortLink::SourceBaud() const { return impl_->sourceBaud.load(); }

platform::Event& PortLink::startedEvent() { return impl_->started; }
platform::Event& PortLink::dataEvent() { return impl_->data; }
platform::Event& PortLink::stoppedEvent() { return impl_->stopped; }

}  // namespace zenolith
