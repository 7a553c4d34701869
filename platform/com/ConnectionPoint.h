// A ready-made connection point for one outgoing dispatch interface, to be
// embedded in an object that implements IConnectionPointContainer.
//
// The point shares its owner's lifetime: AddRef and Release go to the owner,
// so a client holding the point keeps the owner alive. Sinks are asked for the
// outgoing interface and, failing that, for IDispatch; events reach them
// through IDispatch::Invoke in the order they were advised.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "platform/com/Unknown.h"
#include "platform/com/Variant.h"

namespace com {

class COM_API ConnectionPoint final : public IConnectionPoint {
 public:
  // `owner` is not AddRef'ed: it owns this point.
  ConnectionPoint(IConnectionPointContainer* owner, const IID& iid);
  ~ConnectionPoint();
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;

  HRESULT QueryInterface(const IID& iid, void** object) override;
  std::uint32_t AddRef() override;
  std::uint32_t Release() override;

  HRESULT GetConnectionInterface(IID* iid) override;
  HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) override;
  // CONNECT_E_CANNOTCONNECT when the sink offers neither interface.
  HRESULT Advise(IUnknown* sink, std::uint32_t* cookie) override;
  // CONNECT_E_NOCONNECTION for an unknown cookie.
  HRESULT Unadvise(std::uint32_t cookie) override;
  HRESULT EnumConnections(std::vector<ConnectData>* connections) override;

  const IID& iid() const { return iid_; }

  // Calls member `id` with `args` on every connected sink, each with its own
  // copy of the arguments; the sinks are called without the point's lock
  // held, so a sink may advise or unadvise from inside an event. Returns how
  // many sinks were called.
  std::size_t Fire(DispId id, std::span<const Variant> args);
  std::size_t SinkCount() const;
  // Drops every sink (when the owner shuts down).
  void UnadviseAll();

 private:
  struct Sink {
    std::uint32_t cookie;
    ComPtr<IUnknown> unknown;
    ComPtr<IDispatch> dispatch;
  };
  IConnectionPointContainer* owner_;
  IID iid_;
  mutable std::mutex mutex_;
  std::vector<Sink> sinks_;
  std::uint32_t nextCookie_ = 1;
};

}  // namespace com
