// zenolith decode and zenolith listen: NMEA through an NmeaParser created by
// ProgID, every event printed as one JSON object per line (in event order),
// for scripts and other programs.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/com/MessageQueue.h"
#include "platform/com/Runtime.h"
#include "platform/com/TypeLib.h"
#include "tools/zenolith/Automation.h"
#include "tools/zenolith/Commands.h"
#include "tools/zenolith/Input.h"
#include "tools/zenolith/JsonSink.h"
#include "tools/zenolith/Printable.h"

namespace zenolith::tools {
namespace {

constexpr const char* kDecodeHelp =
    "usage: zenolith decode [OPTIONS] [FILE...]\n\n"
    "Feeds the bytes of the files (standard input when none) through an NmeaParser's\n"
    "Parse and prints one JSON object per line for every event, in event order:\n"
    "GGA, GLL, RMC, GpsFix, Movement, Quality, Satellites, ComStatus. A line feed without\n"
    "its carriage return (a log saved on Unix) counts as a line end.\n\n"
    "options:\n"
    "  --generic            also print {\"event\":\"Generic\",\"sentence\":\"$...\"} for every sentence\n"
    "  --all-generic        only Generic events (AllEventsGeneric): no decoding\n"
    "  --no-checksum        accept sentences without a checksum (ChecksumMandatory false)\n"
    "  --datum N            datum of incoming positions (GpsDatum, 1 to 28)\n"
    "  --interval EVENT=MS  throttle GpsFix, Satellites, Movement or Quality (repeatable)\n";

constexpr const char* kListenHelp =
    "usage: zenolith listen [--port N] [--baud B] [--seconds S] [OPTIONS]\n\n"
    "Opens a receiver through the parser's PortEnabled and prints the same JSON lines as\n"
    "'zenolith decode', live, until interrupted or S seconds have passed. Without --port the\n"
    "serial ports are scanned (gpsd first when it answers); --port -1 uses gpsd only.\n"
    "--baud 0 detects the baud rate of the given port. Options as for decode.\n";

struct Options {
  bool generic = false;
  bool allGeneric = false;
  bool noChecksum = false;
  std::optional<std::int16_t> datum;
  std::vector<std::pair<std::int16_t, std::int32_t>> intervals;
  std::vector<std::string> files;
  std::optional<std::int16_t> port;
  std::optional<std::int32_t> baud;
  double seconds = 0;
};

bool ParseInt(const std::string& text, long lo, long hi, long* out) {
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end || v < lo || v > hi) return false;
  *out = v;
  return true;
}

// Returns 0 when the options parse, else the exit status (with a message).
int ParseOptions(const Args& args, bool listen, Options* o) {
  auto fail = [&](const std::string& message) {
    std::cerr << "zenolith " << (listen ? "listen" : "decode") << ": " << Printable(message) << "\n";
    return 2;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
    long n = 0;
    if (a == "--generic") {
      o->generic = true;
    } else if (a == "--all-generic") {
      o->allGeneric = o->generic = true;
    } else if (a == "--no-checksum") {
      o->noChecksum = true;
    } else if (a == "--datum") {
      const std::string* v = value();
      if (!v || !ParseInt(*v, 1, 28, &n)) return fail("--datum needs a datum number 1 to 28");
      o->datum = static_cast<std::int16_t>(n);
    } else if (a == "--interval") {
      const std::string* v = value();
      const auto eq = v ? v->find('=') : std::string::npos;
      if (eq == std::string::npos) return fail("--interval needs EVENT=MS");
      const std::string name = v->substr(0, eq);
      static constexpr std::pair<const char*, std::int16_t> kEvents[] = {
          {"GpsFix", 5}, {"Satellites", 6}, {"Movement", 7}, {"Quality", 8}};
      std::int16_t code = 0;
      for (const auto& [eventName, eventCode] : kEvents)
        if (name == eventName) code = eventCode;
      if (!code) return fail("--interval EVENT is GpsFix, Satellites, Movement or Quality");
      if (!ParseInt(v->substr(eq + 1), -2147483647L, 2147483647L, &n)) return fail("--interval MS is a number");
      o->intervals.emplace_back(code, static_cast<std::int32_t>(n));
    } else if (listen && a == "--port") {
      const std::string* v = value();
      if (!v || !ParseInt(*v, -1, 9, &n)) return fail("--port needs a port number -1 to 9");
      o->port = static_cast<std::int16_t>(n);
    } else if (listen && a == "--baud") {
      const std::string* v = value();
      if (!v || !ParseInt(*v, 0, 4000000, &n)) return fail("--baud needs a baud rate");
      o->baud = static_cast<std::int32_t>(n);
    } else if (listen && a == "--seconds") {
      const std::string* v = value();
      if (!v || !ParseInt(*v, 1, 1000000, &n)) return fail("--seconds needs a number of seconds");
      o->seconds = static_cast<double>(n);
    } else if (!listen && (a == "-" || a.empty() || a[0] != '-')) {
      o->files.push_back(a);
    } else {
      return fail("unexpected argument '" + a + "'");
    }
  }
  return 0;
}

// Creates the parser, applies the options and connects the sink.
bool SetUp(const Options& o, Automation* parser, JsonSink* sink, com::ComPtr<com::IConnectionPoint>* point,
           std::uint32_t* cookie) {
  if (!parser->Create("ZenolithCE.NmeaParser")) {
    std::cerr << "zenolith: " << Printable(parser->error()) << "\n";
    return false;
  }
  bool ok = parser->Put("AllEventsGeneric", com::Variant::Bool(o.allGeneric)) &&
            parser->Put("ChecksumMandatory", com::Variant::Bool(!o.noChecksum));
  if (ok && o.datum) ok = parser->Put("GpsDatum", com::Variant::I2(*o.datum));
  for (const auto& [event, ms] : o.intervals)
    if (ok) ok = parser->Call("EventInterval", {com::Variant::I4(ms), com::Variant::I2(event)});
  if (!ok) {
    std::cerr << "zenolith: " << Printable(parser->error()) << "\n";
    return false;
  }
  // The event interface is found by name in the class's type library, as a
  // client that knows no header of the library finds it.
  std::shared_ptr<const com::InterfaceInfo> info;
  com::ComPtr<com::IConnectionPointContainer> container;
  com::ComPtr<com::IDispatch> object(parser->get());
  if (com::Failed(object.As(com::IID_IConnectionPointContainer, &container))) {
    std::cerr << "zenolith: the parser offers no events\n";
    return false;
  }
  std::vector<com::IConnectionPoint*> points;
  container->EnumConnectionPoints(&points);
  for (com::IConnectionPoint* p : points) {
    if (!*point) *point = com::ComPtr<com::IConnectionPoint>(p);
    p->Release();
  }
  if (!*point || com::Failed((*point)->Advise(sink, cookie))) {
    std::cerr << "zenolith: cannot connect to the parser's events\n";
    return false;
  }
  return true;
}

volatile sig_atomic_t g_interrupted = 0;
void OnInterrupt(int) { g_interrupted = 1; }

// Runs `body` with a parser set up from the options and its events connected
// to the JSON printer (every line written at once when `live`); returns body's exit status (1 when the set-up fails).
int WithParser(const Options& o, bool live, const std::function<int(Automation&)>& body) {
  com::CoInitializeEx();
  int status = 1;
  {
    std::cout.flush();
    BlockWriter out(stdout);
    JsonSink sink(out, o.generic, live);
    Automation parser;
    com::ComPtr<com::IConnectionPoint> point;
    std::uint32_t cookie = 0;
    if (SetUp(o, &parser, &sink, &point, &cookie)) {
      status = body(parser);
      point->Unadvise(cookie);
    }
  }
  std::cout.flush();
  com::CoFreeUnusedLibraries();
  com::CoUninitialize();
  return status;
}

// Feeds one file (or standard input for "-") through Parse; false on failure.
bool DecodeFile(Automation& parser, const std::string& file) {
  InputFile input(file);
  std::istream* in = &input.stream();
  std::vector<char> chunk(64 * 1024);
  bool lastWasCr = false;
  while (in->read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in->gcount() > 0) {
    // Logs kept on Unix often lost the carriage returns a receiver sends;
    // the parser needs "\r\n", so a bare line feed gets one back.
    const char* const begin = chunk.data();
    const char* const end = begin + in->gcount();
    std::string text;
    text.reserve(static_cast<std::size_t>(end - begin) + 64);
    for (const char* from = begin; from < end;) {
      const void* found = std::memchr(from, '\n', static_cast<std::size_t>(end - from));
      const char* const lf = found ? static_cast<const char*>(found) : end;
      if (lf == end) {
        text.append(from, end);
        break;
      }
      const bool crBefore = lf > from ? lf[-1] == '\r' : lastWasCr;
      text.append(from, lf);
      if (!crBefore) text += '\r';
      text += '\n';
      from = lf + 1;
    }
    lastWasCr = end > begin && end[-1] == '\r';
    // Moved in whole: an initializer list would copy the text once more.
    std::vector<com::Variant> args;
    args.push_back(com::Variant::Bstr(std::move(text)));
    if (!parser.Call("Parse", std::move(args))) {
      std::cerr << "zenolith decode: " << Printable(parser.error()) << "\n";
      return false;
    }
  }
  if (!input.ok()) {
    std::cerr << "zenolith decode: " << Printable(input.error()) << "\n";
    return false;
  }
  return true;
}

}  // namespace

int DecodeCommand(const Args& args) {
  if (WantsHelp(args)) {
    std::cout << kDecodeHelp;
    return 0;
  }
  Options o;
  if (int status = ParseOptions(args, false, &o)) return status;
  if (o.files.empty()) o.files.push_back("-");
  return WithParser(o, false, [&](Automation& parser) {
    int status = 0;
    for (const std::string& file : o.files)
      if (!DecodeFile(parser, file)) status = 1;
    return status;
  });
}

int ListenCommand(const Args& args) {
  if (WantsHelp(args)) {
    std::cout << kListenHelp;
    return 0;
  }
  Options o;
  if (int status = ParseOptions(args, true, &o)) return status;
  signal(SIGINT, OnInterrupt);
  signal(SIGTERM, OnInterrupt);
  return WithParser(o, true, [&](Automation& parser) {
    bool ok = parser.Put("ComPort", com::Variant::I2(o.port.value_or(0)));
    if (ok && o.baud) ok = parser.Put("BaudRate", com::Variant::I4(*o.baud));
    if (ok) {
      std::cerr << "zenolith listen: opening "
                << (!o.port || *o.port == 0 ? std::string("the first receiver found")
                                            : *o.port == -1 ? std::string("gpsd") : "COM" + std::to_string(*o.port) + ":")
                << "\n";
      ok = parser.Put("PortEnabled", com::Variant::Bool(true));
    }
    if (!ok) {
      std::cerr << "zenolith listen: " << Printable(parser.error()) << "\n";
      return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    auto done = [&] {
      if (g_interrupted) return true;
      return o.seconds > 0 &&
             std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >= o.seconds;
    };
    // Events arrive on this thread through its message loop.
    while (!done()) {
      com::PumpMessagesUntil(done, 200);
      std::cout.flush();
    }
    parser.Put("PortEnabled", com::Variant::Bool(false));
    com::PumpMessagesUntil([] { return false; }, 0);
    return 0;
  });
}

}  // namespace zenolith::tools
