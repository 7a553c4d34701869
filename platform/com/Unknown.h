// The runtime's interfaces: reference counting, dispatch, class factories and
// connection points, plus the ComPtr smart pointer that keeps counts honest.
//
// Interfaces are abstract structs with a fixed virtual-function order; an
// object hands out an interface through QueryInterface by 128-bit identifier.
// All methods return a status; nothing here throws.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/com/Types.h"

namespace com {

class Variant;
struct InterfaceInfo;

inline constexpr IID IID_IUnknown = MakeGuid("00000000-0000-0000-C000-000000000046");
inline constexpr IID IID_IClassFactory = MakeGuid("00000001-0000-0000-C000-000000000046");
inline constexpr IID IID_IDispatch = MakeGuid("00020400-0000-0000-C000-000000000046");
inline constexpr IID IID_IConnectionPointContainer = MakeGuid("B196B284-BAB4-101A-B69C-00AA00341D07");
inline constexpr IID IID_IConnectionPoint = MakeGuid("B196B286-BAB4-101A-B69C-00AA00341D07");

struct IUnknown {
  virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
  virtual std::uint32_t AddRef() = 0;
  virtual std::uint32_t Release() = 0;

 protected:
  ~IUnknown() = default;  // objects die through Release only
};

// Invoke flags, combinable as in the classic runtime (a script host may ask
// for "method or property get" at once).
enum InvokeFlags : std::uint16_t {
  kInvokeMethod = 1,
  kInvokePropertyGet = 2,
  kInvokePropertyPut = 4,
  kInvokePropertyPutRef = 8,
};

inline constexpr DispId kDispIdValue = 0;  // the default member
inline constexpr DispId kDispIdUnknown = -1;

struct IDispatch : IUnknown {
  // The type information of the object's default dispatch interface.
  virtual HRESULT GetTypeInfo(std::shared_ptr<const InterfaceInfo>* info) = 0;
  // names[0] is a member name, names[1..] its parameter names; ids receives
  // one identifier per name (parameters by position). Names ignore case.
  // DISP_E_UNKNOWNNAME when any name is unknown (its id is kDispIdUnknown).
  virtual HRESULT GetIDsOfNames(std::span<const std::string_view> names, DispId* ids) = 0;
  // Calls member `id`. Arguments are in natural left-to-right order (not
  // reversed as in the classic runtime); out arguments are by-reference
  // variants. `result` may be null when the caller wants no value.
  virtual HRESULT Invoke(DispId id, std::uint16_t flags, std::span<Variant> args, Variant* result) = 0;

 protected:
  ~IDispatch() = default;
};

struct IClassFactory : IUnknown {
  // outer must be null: the library's classes do not aggregate.
  virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) = 0;
  virtual HRESULT LockServer(bool lock) = 0;

 protected:
  ~IClassFactory() = default;
};

struct IConnectionPoint;

struct IConnectionPointContainer : IUnknown {
  virtual HRESULT EnumConnectionPoints(std::vector<IConnectionPoint*>* points) = 0;  // AddRef'ed
  virtual HRESULT FindConnectionPoint(const IID& iid, IConnectionPoint** point) = 0;

 protected:
  ~IConnectionPointContainer() = default;
};

struct ConnectData {
  IUnknown* sink = nullptr;  // AddRef'ed for the receiver of EnumConnections
  std::uint32_t cookie = 0;
};

struct IConnectionPoint : IUnknown {
  virtual HRESULT GetConnectionInterface(IID* iid) = 0;
  virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) = 0;
  virtual HRESULT Advise(IUnknown* sink, std::uint32_t* cookie) = 0;
  virtual HRESULT Unadvise(std::uint32_t cookie) = 0;
  virtual HRESULT EnumConnections(std::vector<ConnectData>* connections) = 0;

 protected:
  ~IConnectionPoint() = default;
};

// Owns one reference. Copying adds a reference, moving transfers it.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  explicit ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(const ComPtr& other) {
    ComPtr(other).Swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    ComPtr(std::move(other)).Swap(*this);
    return *this;
  }

  // Takes over a reference the caller already owns.
  static ComPtr Adopt(T* p) {
    ComPtr result;
    result.p_ = p;
    return result;
  }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T* Detach() { return std::exchange(p_, nullptr); }
  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  // For out parameters: releases the current pointer and exposes the slot.
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  void Swap(ComPtr& other) noexcept { std::swap(p_, other.p_); }

  template <class U>
  HRESULT As(const IID& iid, ComPtr<U>* out) const {
    if (!p_) return E_POINTER;
    return p_->QueryInterface(iid, out->PutVoid());
  }

  friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.p_ == b.p_; }

 private:
  T* p_ = nullptr;
};

}  // namespace com
