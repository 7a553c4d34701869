// zenolith decode and zenolith listen: NMEA through an NmeaParser created by
// ProgID, every event printed as one JSON object per line (in event order),
// for scripts and other programs.
#include <signal.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>

#include "platform/com/MessageQueue.h"
#include "platform/com/Runtime.h"
#include "platform/com/TypeLib.h"
#include "tools/zenolith/Automation.h"
#include "tools/zenolith/Commands.h"
#include "tools/zenolith/Input.h"
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

std::string Json(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);  // bytes are shown as Latin-1
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string Number(const com::Variant& v) {
  double d = 0;
  if (com::Failed(v.ToDouble(&d)) || !std::isfinite(d)) return "null";
  return com::FormatNumber(d);
}

std::string Boolean(const com::Variant& v) {
  bool b = false;
  v.ToBool(&b);
  return b ? "true" : "false";
}

// "YYYY-MM-DDTHH:MM:SS.mmmZ" with a date, "HH:MM:SS.mmm" for a time alone.
std::string Utc(const com::Variant& v) {
  com::DateValue date;
  com::CivilTime t;
  if (com::Failed(v.ToDate(&date)) || !com::DateToCivil(date, &t)) return "null";
  char text[40];
  if (t.year == 1899 && t.month == 12 && t.day == 30)
    std::snprintf(text, sizeof text, "\"%02d:%02d:%02d.%03d\"", t.hour, t.minute, t.second, t.millisecond);
  else
    std::snprintf(text, sizeof text, "\"%04d-%02d-%02dT%02d:%02d:%02d.%03dZ\"", t.year, t.month, t.day, t.hour,
                  t.minute, t.second, t.millisecond);
  return text;
}

class Reader {
 public:
  explicit Reader(com::IDispatch* object) : object_(com::ComPtr<com::IDispatch>(object)) {}
  com::Variant Get(std::string_view name) {
    com::Variant v;
    object_.Get(name, &v);
    return v;
  }
  com::Variant Call(std::string_view name, std::vector<com::Variant> args) {
    com::Variant v;
    com::ClearErrorInfo();
    std::vector<com::Variant> copy = std::move(args);
    com::InvokeByName(object_.get(), name, com::kInvokeMethod | com::kInvokePropertyGet, copy, &v);
    return v;
  }
  Reader Object(std::string_view name) {
    com::ComPtr<com::IDispatch> child;
    Get(name).ToDispatch(&child);
    return Reader(child.get());
  }
  bool valid() const { return object_.get() != nullptr; }

 private:
  Automation object_;
};

// ,"lat":D,"lon":D from a Position property.
std::string LatLon(Reader& position) {
  return ",\"lat\":" + Number(position.Get("Latitude")) + ",\"lon\":" + Number(position.Get("Longitude"));
}

// Receives the parser's events and prints them.
class JsonSink final : public com::IDispatch {
 public:
  JsonSink(std::ostream& out, bool generic) : out_(out), generic_(generic) {}

  com::HRESULT QueryInterface(const com::IID& iid, void** object) override {
    if (iid == com::IID_IUnknown || iid == com::IID_IDispatch) {
      *object = static_cast<com::IDispatch*>(this);
      return com::S_OK;
    }
    *object = nullptr;
    return com::E_NOINTERFACE;
  }
  std::uint32_t AddRef() override { return 2; }  // lives on the command's stack
  std::uint32_t Release() override { return 1; }
  com::HRESULT GetTypeInfo(std::shared_ptr<const com::InterfaceInfo>*) override { return com::E_NOTIMPL; }
  com::HRESULT GetIDsOfNames(std::span<const std::string_view>, com::DispId*) override { return com::E_NOTIMPL; }

  com::HRESULT Invoke(com::DispId id, std::uint16_t, std::span<com::Variant> args, com::Variant*) override {
    if (args.empty()) return com::DISP_E_BADPARAMCOUNT;
    Reader first(args[0].Deref().AsDispatch());
    if (!first.valid()) return com::S_OK;
    std::string line;
    switch (id) {
      case 1:
        if (!generic_) return com::S_OK;
        line = "{\"event\":\"Generic\",\"sentence\":" + Json(TextOf(first.Get("Sentence"))) + "}";
        break;
      case 2: {
        Reader position = first.Object("Position");
        line = "{\"event\":\"GGA\",\"valid\":" + Boolean(first.Get("Valid")) + ",\"utc\":" + Utc(first.Get("UTC")) +
               LatLon(position) + ",\"alt\":" + Number(position.Call("Altitude", {com::Variant::I2(0)})) +
               ",\"sats\":" + Number(first.Get("SatellitesInView")) + ",\"hdop\":" + Number(first.Get("HDOP")) + "}";
        break;
      }
      case 3: {
        Reader position = first.Object("Position");
        line = "{\"event\":\"GLL\",\"valid\":" + Boolean(first.Get("Valid")) + ",\"utc\":" + Utc(first.Get("UTC")) +
               LatLon(position) + "}";
        break;
      }
      case 4: {
        Reader position = first.Object("Position");
        line = "{\"event\":\"RMC\",\"valid\":" + Boolean(first.Get("Valid")) + ",\"utc\":" + Utc(first.Get("UTC")) +
               LatLon(position) + ",\"speed_kn\":" + Number(first.Call("GroundSpeed", {com::Variant::I2(0)})) +
               ",\"heading\":" + Number(first.Get("Heading")) + ",\"magvar\":" + Number(first.Get("MagneticVariation")) +
               "}";
        break;
      }
      case 5: {
        line = "{\"event\":\"Satellites\",\"sats\":[";
        std::int32_t count = 0;
        first.Get("Count").ToInt32(&count);
        for (std::int32_t i = 1; i <= count; ++i) {
          Reader s(first.Call("Item", {com::Variant::I2(static_cast<std::int16_t>(i))}).AsDispatch());
          if (!s.valid()) continue;
          if (i > 1) line += ",";
          line += "{\"id\":" + Number(s.Get("ID")) + ",\"el\":" + Number(s.Get("Elevation")) + ",\"az\":" +
                  Number(s.Get("Azimuth")) + ",\"snr\":" + Number(s.Get("SNR")) + ",\"used\":" +
                  Boolean(s.Get("UsedForFix")) + "}";
        }
        line += "]}";
        break;
      }
      case 6: {
        Reader position = first.Object("Position");
        line = "{\"event\":\"GpsFix\",\"fix\":" + Number(first.Get("FixType")) + ",\"utc\":" + Utc(first.Get("UTC")) +
               LatLon(position) + ",\"alt\":" + Number(position.Call("Altitude", {com::Variant::I2(0)})) +
               ",\"height\":" + Number(position.Call("Altitude", {com::Variant::I2(1)})) + "}";
        break;
      }
      case 7:
        line = "{\"event\":\"Movement\",\"speed_kn\":" + Number(first.Call("Speed", {com::Variant::I2(0)})) +
               ",\"heading\":" + Number(first.Get("Heading")) + ",\"magvar\":" + Number(first.Get("MagneticVariation")) +
               "}";
        break;
      case 8:
        line = "{\"event\":\"Quality\",\"pdop\":" + Number(first.Get("PDOP")) + ",\"hdop\":" + Number(first.Get("HDOP")) +
               ",\"vdop\":" + Number(first.Get("VDOP")) + "}";
        break;
      case 9:
        line = "{\"event\":\"ComStatus\",\"nmea\":" + Boolean(first.Get("ValidNmea")) + ",\"fix\":" +
               Boolean(first.Get("ValidFix")) + ",\"port\":" + Number(first.Get("ComPort")) + ",\"baud\":" +
               Number(first.Get("BaudRate")) + "}";
        break;
      default:
        return com::S_OK;
    }
    out_ << line << '\n';
    return com::S_OK;
  }

 private:
  static std::string TextOf(const com::Variant& v) {
    std::string text;
    v.ToText(&text);
    return text;
  }
  std::ostream& out_;
  bool generic_;
};

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
// to the JSON printer; returns body's exit status (1 when the set-up fails).
int WithParser(const Options& o, const std::function<int(Automation&)>& body) {
  com::CoInitializeEx();
  int status = 1;
  {
    JsonSink sink(std::cout, o.generic);
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
    std::string text;
    text.reserve(static_cast<std::size_t>(in->gcount()) + 64);
    for (std::streamsize i = 0; i < in->gcount(); ++i) {
      const char c = chunk[static_cast<std::size_t>(i)];
      if (c == '\n' && !lastWasCr) text += '\r';
      text += c;
      lastWasCr = c == '\r';
    }
    if (!parser.Call("Parse", {com::Variant::Bstr(std::move(text))})) {
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
  return WithParser(o, [&](Automation& parser) {
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
  return WithParser(o, [&](Automation& parser) {
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
