// The base of every class of the library: reference counting, the dispatch
// interface described by the library's type library, and error reporting.
//
// Invoke looks the member up in the type library by dispatch identifier and
// invoke kind, checks the number of arguments, converts every in-argument to
// its declared type (VARIANT arguments arrive as they are, by-reference slots
// resolved), gives out-arguments a slot, clears the object's error record and
// calls the class. Arguments that already have their declared types are
// passed on as they are, without a copy. A class implements Call with a
// MemberTable, normally through ClassBase (ClassBase.h), which also supplies
// creation, From and the library lock:
//
//   const MemberRow<CustomDatum> CustomDatum::kMembers[] = {
//       {1, com::MemberKind::PropGet, &CustomDatum::GetSemiMajorAxis}, ...};
//
// A filled error record after Call becomes the call's status and the thread's
// rich error information (source: the class's ProgID).
#pragma once

#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>

#include "lib/component/ErrorRecord.h"
#include "lib/component/LibraryTypeLib.h"
#include "platform/com/TypeLib.h"
#include "platform/com/Unknown.h"
#include "platform/com/Variant.h"

namespace zenolith {

// One call as a class sees it: arguments already of their declared types.
struct Invocation {
  const com::MemberInfo& member;
  std::span<com::Variant> args;  // out arguments are by-reference slots
  com::Variant& result;          // left empty for members without a value
  ErrorRecord& error;

  double R8(std::size_t i) const { return args[i].AsR8(); }
  std::int16_t I2(std::size_t i) const { return args[i].AsI2(); }
  std::int32_t I4(std::size_t i) const { return args[i].AsI4(); }
  bool Bool(std::size_t i) const { return args[i].AsBool(); }
  const std::string& Text(std::size_t i) const { return args[i].AsBstr(); }
  com::IDispatch* Object(std::size_t i) const { return args[i].AsDispatch(); }
  const com::Variant& Value(std::size_t i) const { return args[i].Deref(); }
  void SetOut(std::size_t i, com::Variant value) const { args[i].Deref() = std::move(value); }
  void Fail(int number, std::string_view message) const { error.Set(number, message); }
};

// Reads argument i as a real number for a member where NaN or an infinity
// makes no sense. Fails the call with 10003 "Invalid parameter!" when the
// argument is no number, and with 10003 "<name> must be a finite number."
// when it is not finite (name: the property for a put, else the argument's
// name in the type library); *out is then unchanged. RejectArgument fails
// the call so and returns false.
bool RejectArgument(Invocation& call, std::size_t i);
inline bool FiniteArgument(Invocation& call, std::size_t i, double* out) {
  double value = 0;
  if (i >= call.args.size() || com::Failed(call.Value(i).ToDouble(&value)) || !std::isfinite(value))
    return RejectArgument(call, i);
  *out = value;
  return true;
}

template <class T>
struct MemberRow {
  com::DispId id;
  com::MemberKind kind;
  void (T::*handler)(Invocation&);
};

template <class T>
using MemberTable = std::span<const MemberRow<T>>;

// The rows of one class's table indexed by dispatch identifier and kind
// (identifiers 0 to 63; rows beyond are found by scanning).
template <class T>
class MemberRowIndex {
 public:
  explicit MemberRowIndex(std::span<const MemberRow<T>> rows) : rows_(rows) {
    for (const MemberRow<T>& row : rows)
      if (row.id >= 0 && row.id < kDirectIds) {
        const MemberRow<T>*& slot = at_[static_cast<std::size_t>(row.id)][static_cast<std::size_t>(row.kind)];
        if (!slot) slot = &row;
      }
  }
  bool Indexes(std::span<const MemberRow<T>> rows) const {
    return rows.data() == rows_.data() && rows.size() == rows_.size();
  }
  const MemberRow<T>* Find(com::DispId id, com::MemberKind kind) const {
    if (id >= 0 && id < kDirectIds) return at_[static_cast<std::size_t>(id)][static_cast<std::size_t>(kind)];
    for (const MemberRow<T>& row : rows_)
      if (row.id == id && row.kind == kind) return &row;
    return nullptr;
  }

 private:
  static constexpr com::DispId kDirectIds = 64;
  std::span<const MemberRow<T>> rows_;
  std::array<std::array<const MemberRow<T>*, 4>, kDirectIds> at_{};
};

// Runs the row matching the invoked member; a type library member without a
// row fails with E_NOTIMPL. The class's table is indexed at its first call.
template <class T>
com::HRESULT Dispatch(T* self, std::span<const MemberRow<T>> rows, Invocation& call) {
  static const MemberRowIndex<T> index(rows);
  const MemberRow<T>* row = nullptr;
  if (index.Indexes(rows)) {
    row = index.Find(call.member.id, call.member.kind);
  } else {
    // A class dispatching through a second table: scanned each time.
    for (const MemberRow<T>& candidate : rows)
      if (candidate.id == call.member.id && candidate.kind == call.member.kind) {
        row = &candidate;
        break;
      }
  }
  if (!row) return com::E_NOTIMPL;
  (self->*row->handler)(call);
  return com::S_OK;
}

class DispatchObject : public com::IDispatch {
 public:
  DispatchObject(const DispatchObject&) = delete;
  DispatchObject& operator=(const DispatchObject&) = delete;

  com::HRESULT QueryInterface(const com::IID& iid, void** object) override;
  std::uint32_t AddRef() override;
  std::uint32_t Release() override;

  com::HRESULT GetTypeInfo(std::shared_ptr<const com::InterfaceInfo>* info) override;
  com::HRESULT GetIDsOfNames(std::span<const std::string_view> names, com::DispId* ids) override;
  com::HRESULT Invoke(com::DispId id, std::uint16_t flags, std::span<com::Variant> args,
                      com::Variant* result) override;

  const ErrorRecord& error() const { return error_; }

 protected:
  // `iid` names the class's dispatch interface in the type library; `progId`
  // (a string that outlives the object, normally a literal) is the class's
  // source text in rich error information.
  DispatchObject(const com::IID& iid, std::string_view progId);
  virtual ~DispatchObject();

  // Adds a reference unless the count already reached zero (the object is
  // being destroyed); for lookups through tables that do not own the object.
  bool TryAddRef();

  // Runs one member; returns E_NOTIMPL for members the class does not have.
  virtual com::HRESULT Call(Invocation& call) = 0;
  // Further interfaces of a class (connection points, internal access).
  virtual com::HRESULT QueryExtra(const com::IID& iid, void** object);

  ErrorRecord error_;

 private:
  com::HRESULT Fail(com::HRESULT hr, std::string_view description);
  com::HRESULT InvokeConverting(com::DispId id, std::uint16_t flags, std::span<com::Variant> args,
                                com::Variant* result);

  std::atomic<std::uint32_t> refs_{1};
  com::IID iid_;
  std::string_view progId_;        // a literal of the class
  const InterfaceIndex* index_;   // null when the type library lacks the interface
};

// Creates a T (its constructor takes no arguments) and hands out `iid`.
template <class T>
com::HRESULT CreateInstanceOf(const com::IID& iid, void** object) {
  if (!object) return com::E_POINTER;
  *object = nullptr;
  T* instance = new (std::nothrow) T();
  if (!instance) return com::E_OUTOFMEMORY;
  const com::HRESULT hr = instance->QueryInterface(iid, object);
  instance->Release();  // the creation reference; QueryInterface took its own
  return hr;
}

}  // namespace zenolith
