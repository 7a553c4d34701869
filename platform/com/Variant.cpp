// Variant storage, reference counting of dispatch values, conversions and
// automation dates.
#include "platform/com/Variant.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>
#include <system_error>
#include <utility>

namespace com {

namespace {

// Automation dates

// Howard Hinnant's days-from-civil on the proleptic Gregorian calendar; day 0
// is 1970-01-01. Exact for every year the automation date range covers.
constexpr long long DaysFromCivil(long long y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

struct YearMonthDay {
  long long year;
  int month, day;
};

constexpr YearMonthDay CivilFromDays(long long z) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return {yoe + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

constexpr long long kDateEpoch = DaysFromCivil(1899, 12, 30);
constexpr long long kMsPerDay = 86'400'000;
constexpr int kMinYear = 100;
constexpr int kMaxYear = 9999;
// Whole-day limits of the range: 0100-01-01 and 9999-12-31.
constexpr double kMinDateDays = static_cast<double>(DaysFromCivil(kMinYear, 1, 1) - kDateEpoch);
constexpr double kMaxDateDays = static_cast<double>(DaysFromCivil(kMaxYear, 12, 31) - kDateEpoch);

static_assert(DaysFromCivil(1900, 1, 1) - kDateEpoch == 2, "the classic runtime's day 2");
static_assert(DaysFromCivil(2000, 1, 1) - kDateEpoch == 36526);
static_assert(kMinDateDays == -657434 && kMaxDateDays == 2958465);
static_assert(CivilFromDays(DaysFromCivil(1600, 2, 29)).day == 29);

constexpr bool IsLeap(long long y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

constexpr int DaysInMonth(long long y, int m) {
  constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// A day count (with time fraction) that names a day inside the range. The
// open bounds keep the whole day 0100-01-01 (down to -657434.999...) and the
// whole day 9999-12-31.
bool InDateRange(double days) { return days > kMinDateDays - 1 && days < kMaxDateDays + 1; }

// Text

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const char x = (a[i] >= 'A' && a[i] <= 'Z') ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    if (x != b[i]) return false;
  }
  return true;
}

// Checks the decimal grammar  [+-] digits [. digits] [(e|E) [+-] digits]
// (at least one mantissa digit) and estimates the decimal exponent of the
// leading significant digit, which tells overflow from underflow when the
// text is out of the double range. Anything else (hex, "inf", "nan", a comma
// as decimal separator, inner blanks) is not a number here: from_chars alone
// would accept "inf" and "nan", which no script means as a number.
bool ScanDecimal(std::string_view text, long long* magnitude) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  long long integerDigits = 0;  // significant digits before the point
  long long leadingZeros = 0;   // zeros after the point before the first significant digit
  bool anyDigit = false, significant = false;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    anyDigit = true;
    if (text[i] != '0' || significant) {
      significant = true;
      ++integerDigits;
    }
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
      anyDigit = true;
      if (!significant && text[i] == '0') ++leadingZeros;
      else significant = true;
    }
  }
  if (!anyDigit) return false;
  long long exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size() || !IsDigit(text[i])) return false;
    for (; i < text.size() && IsDigit(text[i]); ++i)
      if (exponent < 1'000'000'000) exponent = exponent * 10 + (text[i] - '0');  // saturates, no overflow
    if (negative) exponent = -exponent;
  }
  if (i != text.size()) return false;
  *magnitude = (integerDigits > 0 ? integerDigits - 1 : -(leadingZeros + 1)) + exponent;
  return true;
}

// A decimal number from untrusted text. DISP_E_TYPEMISMATCH when it is no
// number, DISP_E_OVERFLOW when it exceeds the double range; values below the
// smallest subnormal read as a signed zero.
HRESULT ParseNumber(std::string_view text, double* out) {
  text = Trim(text);
  long long magnitude = 0;
  if (!ScanDecimal(text, &magnitude)) return DISP_E_TYPEMISMATCH;
  const bool negative = text.front() == '-';
  if (text.front() == '+') text.remove_prefix(1);  // from_chars takes no plus sign
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec == std::errc::result_out_of_range) {
    if (magnitude >= 0) return DISP_E_OVERFLOW;
    *out = negative ? -0.0 : 0.0;
    return S_OK;
  }
  if (ec != std::errc() || end != text.data() + text.size()) return DISP_E_TYPEMISMATCH;
  *out = value;
  return S_OK;
}

// Reads exactly `count` digits at text[*pos].
bool ReadDigits(std::string_view text, std::size_t* pos, int count, int* value) {
  if (*pos + static_cast<std::size_t>(count) > text.size()) return false;
  int v = 0;
  for (int i = 0; i < count; ++i) {
    const char c = text[*pos + static_cast<std::size_t>(i)];
    if (!IsDigit(c)) return false;
    v = v * 10 + (c - '0');
  }
  *pos += static_cast<std::size_t>(count);
  *value = v;
  return true;
}

bool ReadLiteral(std::string_view text, std::size_t* pos, char c) {
  if (*pos >= text.size() || text[*pos] != c) return false;
  ++*pos;
  return true;
}

// "HH:MM:SS" with an optional fraction of one to three digits.
bool ReadTime(std::string_view text, std::size_t* pos, CivilTime* civil) {
  if (!ReadDigits(text, pos, 2, &civil->hour) || !ReadLiteral(text, pos, ':') ||
      !ReadDigits(text, pos, 2, &civil->minute) || !ReadLiteral(text, pos, ':') ||
      !ReadDigits(text, pos, 2, &civil->second))
    return false;
  civil->millisecond = 0;
  if (!ReadLiteral(text, pos, '.')) return true;
  int digits = 0, scale = 100;
  for (; *pos < text.size() && IsDigit(text[*pos]) && digits < 3; ++*pos, ++digits, scale /= 10)
    civil->millisecond += (text[*pos] - '0') * scale;
  return digits > 0;
}

// "YYYY-MM-DD", "YYYY-MM-DDTHH:MM:SS[.mmm]" (T or a blank), "HH:MM:SS[.mmm]".
bool ParseIsoDate(std::string_view text, DateValue* out) {
  text = Trim(text);
  CivilTime civil;  // 1899-12-30 00:00, the date part 0 of a time alone
  std::size_t pos = 0;
  if (text.size() >= 3 && text[2] == ':') {
    if (!ReadTime(text, &pos, &civil)) return false;
  } else {
    if (!ReadDigits(text, &pos, 4, &civil.year) || !ReadLiteral(text, &pos, '-') ||
        !ReadDigits(text, &pos, 2, &civil.month) || !ReadLiteral(text, &pos, '-') ||
        !ReadDigits(text, &pos, 2, &civil.day))
      return false;
    if (pos < text.size()) {
      if (text[pos] != 'T' && text[pos] != ' ') return false;
      ++pos;
      if (!ReadTime(text, &pos, &civil)) return false;
    }
  }
  return pos == text.size() && CivilToDate(civil, out);
}

// "YYYY-MM-DDTHH:MM:SS[.mmm]", or only the time when the day is 1899-12-30.
bool FormatDate(DateValue date, std::string* out) {
  CivilTime c;
  if (!DateToCivil(date, &c)) return false;
  char buffer[64];
  int n = 0;
  if (c.year == 1899 && c.month == 12 && c.day == 30)
    n = std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", c.hour, c.minute, c.second);
  else
    n = std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d", c.year, c.month, c.day, c.hour,
                      c.minute, c.second);
  if (c.millisecond != 0 && n > 0)
    std::snprintf(buffer + n, sizeof buffer - static_cast<std::size_t>(n), ".%03d", c.millisecond);
  *out = buffer;
  return true;
}

// Conversions

// An object's default member may return another object; a few levels cover
// real collections, and the limit stops objects that return themselves.
constexpr int kMaxDefaultMemberDepth = 4;

// Round half to even, as the classic runtime converts reals to integers. Done
// by hand so that a changed floating-point rounding mode cannot alter it.
double RoundHalfEven(double x) {
  const double floor = std::floor(x);
  const double diff = x - floor;
  if (diff > 0.5) return floor + 1;
  if (diff < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

// The numeric value of a value-type variant (not Dispatch, not ByRef).
HRESULT NumericValue(const Variant& v, double* out) {
  switch (v.type()) {
    case VarType::Empty: *out = 0; break;
    case VarType::I2: *out = v.AsI2(); break;
    case VarType::I4: *out = v.AsI4(); break;
    case VarType::R8: *out = v.AsR8(); break;
    case VarType::Date: *out = v.AsDate().days; break;
    case VarType::Bool: *out = v.AsBool() ? -1 : 0; break;
    case VarType::Bstr: return ParseNumber(v.AsBstr(), out);
    default: return DISP_E_TYPEMISMATCH;
  }
  return S_OK;
}

HRESULT ToInteger(const Variant& v, double low, double high, double* out) {
  double value = 0;
  if (const HRESULT hr = NumericValue(v, &value); Failed(hr)) return hr;
  if (!std::isfinite(value)) return DISP_E_OVERFLOW;
  value = RoundHalfEven(value);
  if (value < low || value > high) return DISP_E_OVERFLOW;
  *out = value;
  return S_OK;
}

HRESULT ToDateValue(const Variant& v, DateValue* out) {
  double days = 0;
  HRESULT hr = NumericValue(v, &days);
  if (hr == DISP_E_TYPEMISMATCH && v.type() == VarType::Bstr) {
    if (!ParseIsoDate(v.AsBstr(), out)) return DISP_E_TYPEMISMATCH;
    return S_OK;
  }
  if (Failed(hr)) return hr;
  // A date keeps its own day count even outside the range; numbers must name
  // a day the calendar functions can show.
  if (v.type() != VarType::Date && !InDateRange(days)) return DISP_E_OVERFLOW;
  *out = DateValue{days};
  return S_OK;
}

HRESULT ToBoolValue(const Variant& v, bool* out) {
  if (v.type() == VarType::Bstr) {
    const std::string_view text = Trim(v.AsBstr());
    if (EqualsIgnoreCase(text, "true") || EqualsIgnoreCase(text, "false")) {
      *out = EqualsIgnoreCase(text, "true");
      return S_OK;
    }
  }
  double value = 0;
  const HRESULT hr = NumericValue(v, &value);
  if (hr == DISP_E_OVERFLOW) {  // a number too large for a double is still not zero
    *out = true;
    return S_OK;
  }
  if (Failed(hr)) return hr;
  *out = value != 0;  // NaN counts as non-zero, like any comparison with it
  return S_OK;
}

HRESULT ToTextValue(const Variant& v, std::string* out) {
  switch (v.type()) {
    case VarType::Empty: out->clear(); break;
    case VarType::I2: *out = std::to_string(v.AsI2()); break;
    case VarType::I4: *out = std::to_string(v.AsI4()); break;
    case VarType::R8: *out = FormatNumber(v.AsR8()); break;
    case VarType::Date: return FormatDate(v.AsDate(), out) ? S_OK : DISP_E_OVERFLOW;
    case VarType::Bool: *out = v.AsBool() ? "True" : "False"; break;
    case VarType::Bstr: *out = v.AsBstr(); break;
    default: return DISP_E_TYPEMISMATCH;
  }
  return S_OK;
}

// Converts a value type (never Dispatch or ByRef) to one of the value types.
HRESULT ConvertValue(const Variant& v, VarType to, Variant* result) {
  using I2Limits = std::numeric_limits<std::int16_t>;
  using I4Limits = std::numeric_limits<std::int32_t>;
  double n = 0;
  HRESULT hr = S_OK;
  switch (to) {
    case VarType::I2:
      if (Succeeded(hr = ToInteger(v, I2Limits::min(), I2Limits::max(), &n)))
        *result = Variant::I2(static_cast<std::int16_t>(n));
      return hr;
    case VarType::I4:
      if (Succeeded(hr = ToInteger(v, I4Limits::min(), I4Limits::max(), &n)))
        *result = Variant::I4(static_cast<std::int32_t>(n));
      return hr;
    case VarType::R8:
      if (Succeeded(hr = NumericValue(v, &n))) *result = Variant::R8(n);
      return hr;
    case VarType::Date: {
      DateValue d;
      if (Succeeded(hr = ToDateValue(v, &d))) *result = Variant::Date(d);
      return hr;
    }
    case VarType::Bool: {
      bool b = false;
      if (Succeeded(hr = ToBoolValue(v, &b))) *result = Variant::Bool(b);
      return hr;
    }
    case VarType::Bstr: {
      std::string text;
      if (Succeeded(hr = ToTextValue(v, &text))) *result = Variant::Bstr(std::move(text));
      return hr;
    }
    default:
      return DISP_E_BADVARTYPE;
  }
}

HRESULT Convert(const Variant& in, VarType to, int depth, Variant* result) {
  const Variant& v = in.Deref();
  // A null slot, or a slot pointing at another slot, holds no value.
  if (v.IsByRef()) return DISP_E_BADVARTYPE;
  switch (to) {
    case VarType::Variant:
      *result = v;
      return S_OK;
    case VarType::Empty:
      *result = Variant();
      return S_OK;
    case VarType::Dispatch:
      if (v.type() == VarType::Dispatch) *result = v;
      else if (v.IsEmpty()) *result = Variant::Dispatch(nullptr);
      else return DISP_E_TYPEMISMATCH;
      return S_OK;
    case VarType::I2:
    case VarType::I4:
    case VarType::R8:
    case VarType::Date:
    case VarType::Bool:
    case VarType::Bstr:
      break;
    default:
      return DISP_E_BADVARTYPE;
  }
  if (v.type() != VarType::Dispatch) return ConvertValue(v, to, result);

  // An object converts through its default member, as a script host expects
  // (a collection object read as a number reads its value).
  if (!v.AsDispatch() || depth >= kMaxDefaultMemberDepth) return DISP_E_TYPEMISMATCH;
  // Keeps the object alive even if its Invoke overwrites the variant we read.
  const ComPtr<IDispatch> object(v.AsDispatch());
  Variant value;
  const HRESULT hr = object->Invoke(kDispIdValue, kInvokePropertyGet | kInvokeMethod, {}, &value);
  // An object without a default member has no value to convert: for the
  // caller that is a wrong argument type, not a missing member of its own.
  if (hr == DISP_E_MEMBERNOTFOUND) return DISP_E_TYPEMISMATCH;
  if (Failed(hr)) return hr;
  return Convert(value, to, depth + 1, result);
}

const std::string kNoText;

}  // namespace

std::string_view VarTypeName(VarType type) {
  switch (type) {
    case VarType::Empty: return "EMPTY";
    case VarType::I2: return "I2";
    case VarType::I4: return "I4";
    case VarType::R8: return "R8";
    case VarType::Date: return "DATE";
    case VarType::Bstr: return "BSTR";
    case VarType::Dispatch: return "DISPATCH";
    case VarType::Bool: return "BOOL";
    case VarType::Variant: return "VARIANT";
    case VarType::Void: return "void";
    case VarType::ByRef: return "BYREF";
  }
  return "UNKNOWN";
}

bool CivilToDate(const CivilTime& c, DateValue* date) {
  if (!date) return false;
  if (c.year < kMinYear || c.year > kMaxYear || c.month < 1 || c.month > 12 || c.day < 1 ||
      c.day > DaysInMonth(c.year, c.month) || c.hour < 0 || c.hour > 23 || c.minute < 0 || c.minute > 59 ||
      c.second < 0 || c.second > 59 || c.millisecond < 0 || c.millisecond > 999)
    return false;
  const long long day = DaysFromCivil(c.year, c.month, c.day) - kDateEpoch;
  const long long ms = ((c.hour * 60LL + c.minute) * 60 + c.second) * 1000 + c.millisecond;
  const double time = static_cast<double>(ms) / static_cast<double>(kMsPerDay);
  // Before the epoch the day counts down while the time still counts up.
  date->days = day >= 0 ? static_cast<double>(day) + time : static_cast<double>(day) - time;
  return true;
}

bool DateToCivil(DateValue date, CivilTime* civil) {
  if (!civil || !std::isfinite(date.days) || !InDateRange(date.days)) return false;
  const double whole = std::trunc(date.days);
  long long day = static_cast<long long>(whole);
  long long ms = std::llround(std::fabs(date.days - whole) * static_cast<double>(kMsPerDay));
  if (ms >= kMsPerDay) {  // 23:59:59.9996 is midnight of the next day
    ms -= kMsPerDay;
    ++day;
  }
  const YearMonthDay ymd = CivilFromDays(day + kDateEpoch);
  if (ymd.year < kMinYear || ymd.year > kMaxYear) return false;
  civil->year = static_cast<int>(ymd.year);
  civil->month = ymd.month;
  civil->day = ymd.day;
  civil->hour = static_cast<int>(ms / 3'600'000);
  civil->minute = static_cast<int>(ms / 60'000 % 60);
  civil->second = static_cast<int>(ms / 1000 % 60);
  civil->millisecond = static_cast<int>(ms % 1000);
  return true;
}

void AppendNumber(std::string& out, double v) {
  if (std::isnan(v)) {
    out += "nan";
    return;
  }
  if (std::isinf(v)) {
    out += v > 0 ? "inf" : "-inf";
    return;
  }
  if (v == 0) {
    out += '0';
    return;
  }
  if (std::fabs(v) < 1e15 && v == std::trunc(v)) {
    // Integers (satellite numbers, angles, counts) are most of what is
    // printed; below 2^53 their shortest digits are the integer itself.
    char text[24];
    out.append(text, std::to_chars(text, text + sizeof text, static_cast<long long>(v)).ptr);
    return;
  }
  if (const double size = std::fabs(v); size >= 1e-6 && size < 1e15) {
    // Coordinates and the like: here to_chars's shortest fixed notation is
    // already the layout below (it differs only for large values, where it
    // prints the exact digits instead of zeros).
    char text[48];
    out.append(text, std::to_chars(text, text + sizeof text, v, std::chars_format::fixed).ptr);
    return;
  }
  // to_chars gives the shortest round-trip digits as "d.ddde+xx"; they are
  // laid out as ECMAScript's Number to String does.
  char sci[40];
  const char* const end = std::to_chars(sci, sci + sizeof sci, std::fabs(v), std::chars_format::scientific).ptr;
  char digits[24];
  int k = 0;
  const char* p = sci;
  for (; p < end && *p != 'e'; ++p)
    if (*p != '.') digits[k++] = *p;
  int exponent = 0;
  ++p;  // past 'e'
  const bool negativeExponent = *p == '-';
  for (++p; p < end; ++p) exponent = exponent * 10 + (*p - '0');
  if (negativeExponent) exponent = -exponent;

  const int n = exponent + 1;  // the decimal point follows the first n digits
  const std::string_view d(digits, static_cast<std::size_t>(k));
  if (v < 0) out += '-';
  if (k <= n && n <= 21) {
    out += d;
    out.append(static_cast<std::size_t>(n - k), '0');
  } else if (0 < n && n <= 21) {
    out += d.substr(0, static_cast<std::size_t>(n));
    out += '.';
    out += d.substr(static_cast<std::size_t>(n));
  } else if (-6 < n && n <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-n), '0');
    out += d;
  } else {
    out += d[0];
    if (k > 1) {
      out += '.';
      out += d.substr(1);
    }
    out += exponent >= 0 ? "e+" : "e-";
    char text[8];
    out.append(text, std::to_chars(text, text + sizeof text, exponent >= 0 ? exponent : -exponent).ptr);
  }
}

std::string FormatNumber(double v) {
  std::string text;
  AppendNumber(text, v);
  return text;
}

const std::string& Variant::AsBstr() const {
  return type_ == VarType::Bstr ? text_ : kNoText;
}


HRESULT Variant::ChangeType(VarType to, Variant* out) const {
  if (!out) return E_POINTER;
  // Convert into a fresh variant, then move it into place: `out` may be this
  // variant or its slot's target, and a failed conversion leaves it as it was.
  Variant result;
  const HRESULT hr = Convert(*this, to, 0, &result);
  if (Succeeded(hr)) *out = std::move(result);
  return hr;
}

namespace {

// Shared body of the typed conversions: `out` keeps its value on failure.
template <class T, class Read>
HRESULT ConvertTo(const Variant& self, VarType to, T* out, Read read) {
  if (!out) return E_POINTER;
  if (self.type() == to) {  // nothing to convert
    *out = read(self);
    return S_OK;
  }
  Variant v;
  const HRESULT hr = self.ChangeType(to, &v);
  if (Succeeded(hr)) *out = read(v);
  return hr;
}

}  // namespace

HRESULT Variant::ConvertToInt16(std::int16_t* out) const {
  return ConvertTo(*this, VarType::I2, out, [](const Variant& v) { return v.AsI2(); });
}
HRESULT Variant::ConvertToInt32(std::int32_t* out) const {
  return ConvertTo(*this, VarType::I4, out, [](const Variant& v) { return v.AsI4(); });
}
HRESULT Variant::ConvertToDouble(double* out) const {
  return ConvertTo(*this, VarType::R8, out, [](const Variant& v) { return v.AsR8(); });
}
HRESULT Variant::ConvertToBool(bool* out) const {
  return ConvertTo(*this, VarType::Bool, out, [](const Variant& v) { return v.AsBool(); });
}
HRESULT Variant::ToText(std::string* out) const {
  return ConvertTo(*this, VarType::Bstr, out, [](const Variant& v) { return v.AsBstr(); });
}
HRESULT Variant::ToDate(DateValue* out) const {
  return ConvertTo(*this, VarType::Date, out, [](const Variant& v) { return v.AsDate(); });
}
HRESULT Variant::ToDispatch(ComPtr<IDispatch>* out) const {
  return ConvertTo(*this, VarType::Dispatch, out, [](const Variant& v) { return ComPtr<IDispatch>(v.AsDispatch()); });
}

bool operator==(const Variant& a, const Variant& b) {
  if (a.type_ != b.type_) return false;
  switch (a.type_) {
    case VarType::Empty: return true;
    case VarType::I2: return a.word_.i2 == b.word_.i2;
    case VarType::I4: return a.word_.i4 == b.word_.i4;
    case VarType::R8: return a.word_.r8 == b.word_.r8;
    case VarType::Bool: return a.word_.boolean == b.word_.boolean;
    case VarType::Date: return a.word_.date == b.word_.date;
    case VarType::Bstr: return a.text_ == b.text_;
    case VarType::Dispatch: return a.word_.dispatch == b.word_.dispatch;
    case VarType::ByRef: return a.word_.ref == b.word_.ref;
    default: return false;
  }
}

}  // namespace com
