#include "tools/zenolith/JsonSink.h"

#include <cmath>

#include "platform/com/Runtime.h"

namespace zenolith::tools {
namespace {

constexpr std::uint16_t kGet = com::kInvokePropertyGet;
constexpr std::uint16_t kCall = com::kInvokeMethod | com::kInvokePropertyGet;

// The events of the parser's event interface, by identifier.
enum Event : com::DispId { kGeneric = 1, kGga, kGll, kRmc, kSatellites, kGpsFix, kMovement, kQuality, kComStatus };

// Indexes into the member lists of JsonSink.h.
enum SentenceMember { kPosition, kValid, kUtc, kSatellitesInView, kHdop };
enum RmcMember { kGroundSpeed = 3, kRmcHeading, kRmcMagneticVariation };
enum PositionMember { kLatitude, kLongitude, kAltitude };

// Identifiers for a missing object: its members read as empty values.
constexpr com::DispId kNone[] = {com::kDispIdUnknown, com::kDispIdUnknown, com::kDispIdUnknown};

}  // namespace

com::HRESULT JsonSink::QueryInterface(const com::IID& iid, void** object) {
  if (iid == com::IID_IUnknown || iid == com::IID_IDispatch) {
    *object = static_cast<com::IDispatch*>(this);
    return com::S_OK;
  }
  *object = nullptr;
  return com::E_NOINTERFACE;
}

const com::Variant& JsonSink::Get(com::IDispatch* object, com::DispId id) {
  if (!object) {
    value_.Clear();
    return value_;
  }
  InvokeId(object, id, kGet, {}, &value_);
  return value_;
}

const com::Variant& JsonSink::Call(com::IDispatch* object, com::DispId id, std::int16_t argument) {
  if (!object) {
    value_.Clear();
    return value_;
  }
  argument_[0] = com::Variant::I2(argument);
  InvokeId(object, id, kCall, argument_, &value_);
  return value_;
}

com::IDispatch* JsonSink::Object(com::IDispatch* object, com::DispId id, com::Variant* holder) {
  InvokeId(object, id, kGet, {}, holder);
  if (holder->type() == com::VarType::Dispatch) return holder->AsDispatch();
  com::ComPtr<com::IDispatch> child;
  holder->ToDispatch(&child);
  *holder = com::Variant::Dispatch(child.get());
  return child.get();
}

void JsonSink::Number(const com::Variant& v) {
  double d = 0;
  switch (v.type()) {
    case com::VarType::R8: d = v.AsR8(); break;
    case com::VarType::I2: d = v.AsI2(); break;
    case com::VarType::I4: d = v.AsI4(); break;
    default:
      if (com::Failed(v.ToDouble(&d))) d = NAN;
  }
  if (std::isfinite(d))
    com::AppendNumber(line_, d);
  else
    line_ += "null";
}

void JsonSink::Boolean(const com::Variant& v) {
  bool b = false;
  if (v.type() == com::VarType::Bool)
    b = v.AsBool();
  else
    v.ToBool(&b);
  line_ += b ? "true" : "false";
}

// "YYYY-MM-DDTHH:MM:SS.mmmZ" with a date, "HH:MM:SS.mmm" for a time alone.
void JsonSink::Utc(const com::Variant& v) {
  com::DateValue date;
  com::CivilTime t;
  if (v.type() == com::VarType::Date)
    date = v.AsDate();
  else if (com::Failed(v.ToDate(&date))) {
    line_ += "null";
    return;
  }
  if (!com::DateToCivil(date, &t)) {
    line_ += "null";
    return;
  }
  line_ += '"';
  const bool timeOnly = t.year == 1899 && t.month == 12 && t.day == 30;
  if (!timeOnly) {
    AppendPadded(line_, t.year, 4);
    line_ += '-';
    AppendPadded(line_, t.month, 2);
    line_ += '-';
    AppendPadded(line_, t.day, 2);
    line_ += 'T';
  }
  AppendPadded(line_, t.hour, 2);
  line_ += ':';
  AppendPadded(line_, t.minute, 2);
  line_ += ':';
  AppendPadded(line_, t.second, 2);
  line_ += '.';
  AppendPadded(line_, t.millisecond, 3);
  line_ += timeOnly ? "\"" : "Z\"";
}

// A JSON string; bytes outside printable ASCII are shown as Latin-1.
void JsonSink::Text(const com::Variant& v) {
  const std::string* text = &text_;
  if (v.type() == com::VarType::Bstr) {
    text = &v.AsBstr();
  } else {
    text_.clear();
    v.ToText(&text_);
  }
  static constexpr char kHex[] = "0123456789abcdef";
  line_ += '"';
  for (const char ch : *text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': line_ += "\\\""; break;
      case '\\': line_ += "\\\\"; break;
      case '\n': line_ += "\\n"; break;
      case '\r': line_ += "\\r"; break;
      case '\t': line_ += "\\t"; break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          const char escaped[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
          line_.append(escaped, sizeof escaped);
        } else {
          line_ += ch;
        }
    }
  }
  line_ += '"';
}

void JsonSink::LatLon(com::IDispatch* position, const com::DispId* ids) {
  line_ += ",\"lat\":";
  Number(Get(position, ids[kLatitude]));
  line_ += ",\"lon\":";
  Number(Get(position, ids[kLongitude]));
}

com::HRESULT JsonSink::Invoke(com::DispId id, std::uint16_t, std::span<com::Variant> args, com::Variant*) {
  if (args.empty()) return com::DISP_E_BADPARAMCOUNT;
  com::IDispatch* const event = args[0].Deref().AsDispatch();
  if (!event) return com::S_OK;
  switch (id) {
    case kGeneric:
      if (!generic_) return com::S_OK;
      Generic(event);
      break;
    case kGga:
    case kGll:
    case kRmc: Sentence(id, event); break;
    case kSatellites: Satellites(event); break;
    case kGpsFix: GpsFix(event); break;
    case kMovement: Movement(event); break;
    case kQuality: Quality(event); break;
    case kComStatus: ComStatus(event); break;
    default: return com::S_OK;
  }
  line_ += '\n';
  // The event's objects are not kept past the event.
  value_.Clear();
  position_.Clear();
  satellite_.Clear();
  if (flushEachLine_)
    out_.Flush();
  else
    out_.Done();
  return com::S_OK;
}

void JsonSink::Generic(com::IDispatch* event) {
  line_ += "{\"event\":\"Generic\",\"sentence\":";
  Text(Get(event, genericMembers_.For(event)[0]));
  line_ += '}';
}

// GGA, GLL and RMC share their first members.
void JsonSink::Sentence(com::DispId id, com::IDispatch* event) {
  BoundMembers& members = id == kGga ? ggaMembers_ : id == kGll ? gllMembers_ : rmcMembers_;
  const com::DispId* ids = members.For(event);
  com::IDispatch* const position = Object(event, ids[kPosition], &position_);
  const com::DispId* at = position ? positionMembers_.For(position) : kNone;
  line_ += id == kGga ? "{\"event\":\"GGA\",\"valid\":" : id == kGll ? "{\"event\":\"GLL\",\"valid\":" : "{\"event\":\"RMC\",\"valid\":";
  Boolean(Get(event, ids[kValid]));
  line_ += ",\"utc\":";
  Utc(Get(event, ids[kUtc]));
  LatLon(position, at);
  if (id == kGga) {
    line_ += ",\"alt\":";
    Number(Call(position, at[kAltitude], 0));
    line_ += ",\"sats\":";
    Number(Get(event, ids[kSatellitesInView]));
    line_ += ",\"hdop\":";
    Number(Get(event, ids[kHdop]));
  } else if (id == kRmc) {
    line_ += ",\"speed_kn\":";
    Number(Call(event, ids[kGroundSpeed], 0));
    line_ += ",\"heading\":";
    Number(Get(event, ids[kRmcHeading]));
    line_ += ",\"magvar\":";
    Number(Get(event, ids[kRmcMagneticVariation]));
  }
  line_ += '}';
}

void JsonSink::Satellites(com::IDispatch* event) {
  const com::DispId* ids = satellitesMembers_.For(event);
  line_ += "{\"event\":\"Satellites\",\"sats\":[";
  std::int32_t count = 0;
  const com::Variant& n = Get(event, ids[0]);
  if (n.type() == com::VarType::I4)
    count = n.AsI4();
  else
    n.ToInt32(&count);
  for (std::int32_t i = 1; i <= count; ++i) {
    argument_[0] = com::Variant::I2(static_cast<std::int16_t>(i));
    InvokeId(event, ids[1], kCall, argument_, &satellite_);
    com::IDispatch* const s = satellite_.AsDispatch();
    if (!s) continue;
    const com::DispId* at = satelliteMembers_.For(s);
    if (i > 1) line_ += ',';
    line_ += "{\"id\":";
    Number(Get(s, at[0]));
    line_ += ",\"el\":";
    Number(Get(s, at[1]));
    line_ += ",\"az\":";
    Number(Get(s, at[2]));
    line_ += ",\"snr\":";
    Number(Get(s, at[3]));
    line_ += ",\"used\":";
    Boolean(Get(s, at[4]));
    line_ += '}';
  }
  line_ += "]}";
}

void JsonSink::GpsFix(com::IDispatch* event) {
  const com::DispId* ids = fixMembers_.For(event);
  com::IDispatch* const position = Object(event, ids[2], &position_);
  line_ += "{\"event\":\"GpsFix\",\"fix\":";
  Number(Get(event, ids[0]));
  line_ += ",\"utc\":";
  Utc(Get(event, ids[1]));
  const com::DispId* at = position ? positionMembers_.For(position) : kNone;
  LatLon(position, at);
  line_ += ",\"alt\":";
  Number(Call(position, at[kAltitude], 0));
  line_ += ",\"height\":";
  Number(Call(position, at[kAltitude], 1));
  line_ += '}';
}

void JsonSink::Movement(com::IDispatch* event) {
  const com::DispId* ids = movementMembers_.For(event);
  line_ += "{\"event\":\"Movement\",\"speed_kn\":";
  Number(Call(event, ids[0], 0));
  line_ += ",\"heading\":";
  Number(Get(event, ids[1]));
  line_ += ",\"magvar\":";
  Number(Get(event, ids[2]));
  line_ += '}';
}

void JsonSink::Quality(com::IDispatch* event) {
  const com::DispId* ids = qualityMembers_.For(event);
  line_ += "{\"event\":\"Quality\",\"pdop\":";
  Number(Get(event, ids[0]));
  line_ += ",\"hdop\":";
  Number(Get(event, ids[1]));
  line_ += ",\"vdop\":";
  Number(Get(event, ids[2]));
  line_ += '}';
}

void JsonSink::ComStatus(com::IDispatch* event) {
  const com::DispId* ids = statusMembers_.For(event);
  line_ += "{\"event\":\"ComStatus\",\"nmea\":";
  Boolean(Get(event, ids[0]));
  line_ += ",\"fix\":";
  Boolean(Get(event, ids[1]));
  line_ += ",\"port\":";
  Number(Get(event, ids[2]));
  line_ += ",\"baud\":";
  Number(Get(event, ids[3]));
  line_ += '}';
}

}  // namespace zenolith::tools
