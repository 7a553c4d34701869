// Sentences per second through the line buffer alone, through the line buffer
// and the plain sentence records (no object handed out), and through an
// NmeaParser's Parse with every event delivered to a sink, on a long mixed
// log (GGA, RMC, GSA, GSV, VTG, GLL). bench/run compares the same log through
// gpsd's gpsdecode in the same run.
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

#include "lib/component/Identifiers.h"
#include "lib/nmea/NmeaLineBuffer.h"
#include "lib/nmea/NmeaParser.h"
#include "lib/nmea/NmeaSentence.h"
#include "lib/nmea/SentenceRecords.h"
#include "platform/com/ConnectionPoint.h"
#include "platform/com/Runtime.h"

namespace {

// The capture repeated to about 4 MB, in the 4 KB reads a serial reader makes.
const std::string& Log() {
  static const std::string log = [] {
    std::ifstream in(ZEN_BENCH_LOG, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    // The capture was kept with Unix line ends; a receiver sends "\r\n".
    std::string one, all;
    for (char c : text.str()) {
      if (c == '\n' && (one.empty() || one.back() != '\r')) one += '\r';
      one += c;
    }
    while (!one.empty() && all.size() < 4'000'000) all += one;
    return all;
  }();
  return log;
}

std::size_t CountSentences() {
  zenolith::NmeaLineBuffer buffer;
  std::size_t n = 0;
  const std::string& log = Log();
  for (std::size_t at = 0; at < log.size(); at += 256) {
    buffer.Append(log.data() + at, std::min<std::size_t>(256, log.size() - at));
    while (buffer.FindNext()) ++n;
  }
  return n;
}

void LineBufferOnly(benchmark::State& state) {
  const std::string& log = Log();
  std::size_t sentences = 0;
  for (auto _ : state) {
    zenolith::NmeaLineBuffer buffer;
    for (std::size_t at = 0; at < log.size(); at += 256) {
      buffer.Append(log.data() + at, std::min<std::size_t>(256, log.size() - at));
      while (buffer.FindNext()) {
        benchmark::DoNotOptimize(buffer.TakeText());
        ++sentences;
      }
    }
  }
  state.counters["sentences/s"] = benchmark::Counter(static_cast<double>(sentences), benchmark::Counter::kIsRate);
}
BENCHMARK(LineBufferOnly)->Unit(benchmark::kMillisecond);

// Every sentence read into its record, the way the decoder reads it; one
// sentence on the stack is set again for each line.
void LineBufferAndRecords(benchmark::State& state) {
  const std::string& log = Log();
  std::size_t sentences = 0;
  zenolith::NmeaSentence sentence;
  for (auto _ : state) {
    zenolith::NmeaLineBuffer buffer;
    for (std::size_t at = 0; at < log.size(); at += 256) {
      buffer.Append(log.data() + at, std::min<std::size_t>(256, log.size() - at));
      while (buffer.FindNext()) {
        sentence.SetText(buffer.TakeText());
        switch (sentence.Type()) {
          case zenolith::kTypeGGA: benchmark::DoNotOptimize(zenolith::ParseGga(sentence)); break;
          case zenolith::kTypeGLL: benchmark::DoNotOptimize(zenolith::ParseGll(sentence)); break;
          case zenolith::kTypeRMC: benchmark::DoNotOptimize(zenolith::ParseRmc(sentence)); break;
          case zenolith::kTypeVTG: benchmark::DoNotOptimize(zenolith::ParseVtg(sentence)); break;
          case zenolith::kTypeGSA: benchmark::DoNotOptimize(zenolith::ParseGsa(sentence)); break;
          case zenolith::kTypeGSV: {
            const zenolith::GsvRecord gsv = zenolith::ParseGsv(sentence);
            for (int block = 0; block < gsv.blocks; ++block)
              benchmark::DoNotOptimize(zenolith::ParseGsvSatellite(sentence, block));
            break;
          }
          default: break;
        }
        ++sentences;
      }
    }
  }
  state.counters["sentences/s"] = benchmark::Counter(static_cast<double>(sentences), benchmark::Counter::kIsRate);
}
BENCHMARK(LineBufferAndRecords)->Unit(benchmark::kMillisecond);

// Counts events; reads nothing from them, as a sink that only forwards would.
class CountingSink final : public com::IDispatch {
 public:
  com::HRESULT QueryInterface(const com::IID& iid, void** object) override {
    *object = (iid == com::IID_IUnknown || iid == com::IID_IDispatch) ? static_cast<com::IDispatch*>(this) : nullptr;
    return *object ? com::S_OK : com::E_NOINTERFACE;
  }
  std::uint32_t AddRef() override { return 2; }
  std::uint32_t Release() override { return 1; }
  com::HRESULT GetTypeInfo(std::shared_ptr<const com::InterfaceInfo>*) override { return com::E_NOTIMPL; }
  com::HRESULT GetIDsOfNames(std::span<const std::string_view>, com::DispId*) override { return com::E_NOTIMPL; }
  com::HRESULT Invoke(com::DispId, std::uint16_t, std::span<com::Variant>, com::Variant*) override {
    ++events;
    return com::S_OK;
  }
  std::size_t events = 0;
};

void ParseWithEvents(benchmark::State& state) {
  com::ComPtr<com::IDispatch> parser;
  if (com::Failed(zenolith::NmeaParser::Create(zenolith::IID_INmeaParser, parser.PutVoid()))) {
    state.SkipWithError("no parser");
    return;
  }
  com::ComPtr<com::IConnectionPointContainer> container;
  parser.As(com::IID_IConnectionPointContainer, &container);
  com::ComPtr<com::IConnectionPoint> point;
  container->FindConnectionPoint(zenolith::IID__INmeaParserEvents, point.Put());
  CountingSink sink;
  std::uint32_t cookie = 0;
  point->Advise(&sink, &cookie);
  const std::string& log = Log();
  std::vector<com::Variant> chunks;
  for (std::size_t at = 0; at < log.size(); at += 4096) chunks.push_back(com::Variant::Bstr(log.substr(at, 4096)));
  const std::size_t perRun = CountSentences();
  std::size_t sentences = 0;
  for (auto _ : state) {
    for (com::Variant& chunk : chunks) parser->Invoke(1, com::kInvokeMethod, {&chunk, 1}, nullptr);
    sentences += perRun;
  }
  point->Unadvise(cookie);
  state.counters["sentences/s"] = benchmark::Counter(static_cast<double>(sentences), benchmark::Counter::kIsRate);
  state.counters["events"] = static_cast<double>(sink.events);
}
BENCHMARK(ParseWithEvents)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
