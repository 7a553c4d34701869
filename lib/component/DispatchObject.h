// The base of every class of the library: reference counting, the dispatch
// interface described by the library's type library, and error reporting.
//
// Invoke looks the member up in the type library by dispatch identifier and
// invoke kind, checks the number of arguments, converts every in-argument to
// its declared type (VARIANT arguments arrive as they are, by-reference slots
// resolved), gives out-arguments a slot, clears the object's error record and
// calls the class. A class implements Call, normally with a MemberTable:
//
//   const MemberTable<CustomDatum> kMembers = {
//       {1, com::MemberKind::PropGet, &CustomDatum::GetSemiMajorAxis}, ...};
//   com::HRESULT Call(Invocation& call) override { return Dispatch(this, kMembers, call); }
//
// A filled error record after Call becomes the call's status and the thread's
// rich error information (source: the class's ProgID).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>

#include "lib/component/ErrorRecord.h"
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
// name in the type library); *out is then unchanged.
bool FiniteArgument(Invocation& call, std::size_t i, double* out);

template <class T>
struct MemberRow {
  com::DispId id;
  com::MemberKind kind;
  void (T::*handler)(Invocation&);
};

template <class T>
using MemberTable = std::span<const MemberRow<T>>;

// Runs the row matching the invoked member; a type library member without a
// row fails with E_NOTIMPL.
template <class T>
com::HRESULT Dispatch(T* self, std::span<const MemberRow<T>> rows, Invocation& call) {
  for (const MemberRow<T>& row : rows)
    if (row.id == call.member.id && row.kind == call.member.kind) {
      (self->*row.handler)(call);
      return com::S_OK;
    }
  return com::E_NOTIMPL;
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
  // is the class's source text in rich error information.
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

  std::atomic<std::uint32_t> refs_{1};
  com::IID iid_;
  std::string progId_;
  std::shared_ptr<const com::InterfaceInfo> info_;
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
