// Variant values of automation calls and automation dates.
//
// A Variant holds one of: empty, 16-bit integer (I2), 32-bit integer (I4),
// double (R8), automation date (DATE), boolean (BOOL), text (BSTR, UTF-8),
// a dispatch reference (DISPATCH, possibly null), or a by-reference slot
// pointing at another Variant (out arguments). Conversions follow the classic
// runtime's rules; an impossible conversion fails with DISP_E_TYPEMISMATCH and
// a value out of the target's range with DISP_E_OVERFLOW.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <new>

#include "platform/com/Types.h"
#include "platform/com/Unknown.h"

namespace com {

// The classic type codes, so that type libraries and logs use the known numbers.
enum class VarType : std::uint16_t {
  Empty = 0,
  I2 = 2,
  I4 = 3,
  R8 = 5,
  Date = 7,
  Bstr = 8,
  Dispatch = 9,
  Bool = 11,
  Variant = 12,  // "any type" in type libraries; never the type of a value
  Void = 24,     // "no value" as a result type in type libraries
  ByRef = 0x4000,
};

// "I2", "BSTR", ...; "VARIANT" for Variant and "void" for Void.
COM_API std::string_view VarTypeName(VarType type);

// An automation date: days since 1899-12-30 00:00; the fraction is the time of
// day, taken as positive also for dates before 1899-12-30 (-1.25 is
// 1899-12-29 06:00).
struct DateValue {
  double days = 0;
  friend bool operator==(const DateValue&, const DateValue&) = default;
};

struct CivilTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  friend bool operator==(const CivilTime&, const CivilTime&) = default;
};

// Milliseconds are kept (rounded to the nearest millisecond when reading).
// Out-of-range fields (month 13, day 0, ...) give false.
COM_API bool CivilToDate(const CivilTime& civil, DateValue* date);
COM_API bool DateToCivil(DateValue date, CivilTime* civil);

class COM_API Variant {
 public:
  // The members every call copies, moves and reads are defined here, inline:
  // a dispatch call handles several variants, and a call into the runtime's
  // shared library for each would cost more than the work itself. The value
  // is a tagged union: everything but text is one machine word copied as it
  // is, so moving and reading a number takes a few instructions.
  Variant() noexcept {}
  Variant(const Variant& other) : type_(other.type_) {
    if (type_ == VarType::Bstr) {
      new (&text_) std::string(other.text_);
      return;
    }
    word_ = other.word_;
    if (type_ == VarType::Dispatch && word_.dispatch) word_.dispatch->AddRef();
  }
  Variant(Variant&& other) noexcept { TakeFrom(other); }
  Variant& operator=(const Variant& other) {
    // Copy first, release after: assigning a variant to itself, or to a value
    // that the old object alone keeps alive, stays safe.
    Variant copy(other);
    return *this = std::move(copy);
  }
  Variant& operator=(Variant&& other) noexcept {
    if (this != &other) {
      // The old object is released last: it may own `other`.
      IDispatch* old = type_ == VarType::Dispatch ? word_.dispatch : nullptr;
      if (type_ == VarType::Bstr) text_.~basic_string();
      TakeFrom(other);
      if (old) old->Release();
    }
    return *this;
  }
  ~Variant() {
    if (type_ == VarType::Bstr)
      text_.~basic_string();
    else if (type_ == VarType::Dispatch && word_.dispatch)
      word_.dispatch->Release();
  }

  static Variant I2(std::int16_t v) { Variant r(VarType::I2); r.word_.i2 = v; return r; }
  static Variant I4(std::int32_t v) { Variant r(VarType::I4); r.word_.i4 = v; return r; }
  static Variant R8(double v) { Variant r(VarType::R8); r.word_.r8 = v; return r; }
  static Variant Bool(bool v) { Variant r(VarType::Bool); r.word_.boolean = v; return r; }
  static Variant Date(DateValue v) { Variant r(VarType::Date); r.word_.date = v; return r; }
  static Variant Bstr(std::string v) {
    Variant r;
    new (&r.text_) std::string(std::move(v));
    r.type_ = VarType::Bstr;
    return r;
  }
  // Adds a reference; null allowed.
  static Variant Dispatch(IDispatch* v) {
    if (v) v->AddRef();
    Variant r(VarType::Dispatch);
    r.word_.dispatch = v;
    return r;
  }
  // An out slot; target must outlive it.
  static Variant Ref(Variant* target) { Variant r(VarType::ByRef); r.word_.ref = target; return r; }

  // ByRef for a slot, never Variant or Void.
  VarType type() const { return type_; }
  bool IsEmpty() const { return type_ == VarType::Empty; }
  bool IsByRef() const { return type_ == VarType::ByRef; }

  // Accessors for a value of exactly that type; 0, false, "" or null otherwise.
  std::int16_t AsI2() const { return type_ == VarType::I2 ? word_.i2 : std::int16_t{0}; }
  std::int32_t AsI4() const { return type_ == VarType::I4 ? word_.i4 : 0; }
  double AsR8() const { return type_ == VarType::R8 ? word_.r8 : 0.0; }
  bool AsBool() const { return type_ == VarType::Bool && word_.boolean; }
  DateValue AsDate() const { return type_ == VarType::Date ? word_.date : DateValue{}; }
  const std::string& AsBstr() const;
  IDispatch* AsDispatch() const { return type_ == VarType::Dispatch ? word_.dispatch : nullptr; }  // no reference added
  Variant* AsRef() const { return type_ == VarType::ByRef ? word_.ref : nullptr; }

  // The slot's target for a by-reference variant, else this variant itself.
  Variant& Deref() {
    Variant* target = AsRef();
    return target ? *target : *this;
  }
  const Variant& Deref() const {
    const Variant* target = AsRef();
    return target ? *target : *this;
  }

  // Converts (through a by-reference slot) to `to`. Dispatch to a value type
  // reads the object's default member: DISP_E_TYPEMISMATCH for a null object
  // or one without a default member (its Invoke answers DISP_E_MEMBERNOTFOUND),
  // any other failure of that Invoke as it is. `to` Variant copies the value.
  // `out` may be this variant or its slot's target; on failure it keeps its
  // value. Reals round half to even into integers; text is read as a decimal
  // number ("1,5" and "0x10" are no numbers) or, for DATE, as ISO 8601
  // ("2024-03-05", "2024-03-05T07:08:09.123", "07:08:09"); numbers become
  // dates only within years 100 to 9999. DISP_E_BADVARTYPE for `to` ByRef,
  // Void or an unknown code, and for a null slot; E_POINTER for a null out.
  HRESULT ChangeType(VarType to, Variant* out) const;

  // Typed conversions built on ChangeType; `out` is unchanged on failure. A
  // value already of the type is read inline.
  HRESULT ToInt16(std::int16_t* out) const { return ReadAs(out) ? S_OK : ConvertToInt16(out); }
  HRESULT ToInt32(std::int32_t* out) const { return ReadAs(out) ? S_OK : ConvertToInt32(out); }
  HRESULT ToDouble(double* out) const { return ReadAs(out) ? S_OK : ConvertToDouble(out); }
  HRESULT ToBool(bool* out) const { return ReadAs(out) ? S_OK : ConvertToBool(out); }
  HRESULT ToText(std::string* out) const;
  HRESULT ToDate(DateValue* out) const;
  HRESULT ToDispatch(ComPtr<IDispatch>* out) const;  // empty gives null

  void Clear() { *this = Variant(); }

  // Same type and value; objects and slots compare by pointer. Exported
  // itself: a friend does not take the class's visibility.
  friend COM_API bool operator==(const Variant& a, const Variant& b);

 private:
  // Every value but text: trivially copyable, so copied as a whole.
  union Word {
    std::int16_t i2;
    std::int32_t i4;
    double r8;
    bool boolean;
    DateValue date;
    IDispatch* dispatch;
    Variant* ref;
  };

  explicit Variant(VarType type) noexcept : type_(type) {}
  // Takes other's value into this variant, which holds nothing that needs
  // releasing; `other` is left empty.
  void TakeFrom(Variant& other) noexcept {
    type_ = other.type_;
    if (type_ == VarType::Bstr) {
      new (&text_) std::string(std::move(other.text_));
      other.text_.~basic_string();
    } else {
      word_ = other.word_;
    }
    other.type_ = VarType::Empty;
  }
  bool ReadAs(std::int16_t* out) const { return ReadWord(VarType::I2, &Word::i2, out); }
  bool ReadAs(std::int32_t* out) const { return ReadWord(VarType::I4, &Word::i4, out); }
  bool ReadAs(double* out) const { return ReadWord(VarType::R8, &Word::r8, out); }
  bool ReadAs(bool* out) const { return ReadWord(VarType::Bool, &Word::boolean, out); }
  template <class T>
  bool ReadWord(VarType type, T Word::*member, T* out) const {
    if (type_ != type || !out) return false;
    *out = word_.*member;
    return true;
  }
  HRESULT ConvertToInt16(std::int16_t* out) const;
  HRESULT ConvertToInt32(std::int32_t* out) const;
  HRESULT ConvertToDouble(double* out) const;
  HRESULT ConvertToBool(bool* out) const;

  VarType type_ = VarType::Empty;
  union {
    Word word_;
    std::string text_;  // alive while type_ is Bstr
  };
};

// Shortest text that reads back to the same double; integers without a point.
// Plain notation from 1e-6 up to 1e21 ("1000000", "0.0001"), exponent form
// outside ("1e+21", "5e-324"); "0" for both zeros, "nan", "inf", "-inf".
COM_API std::string FormatNumber(double v);
// The same text appended to `out`, without allocating beyond its growth (for
// output written in bulk).
COM_API void AppendNumber(std::string& out, double v);

}  // namespace com
