#include "platform/com/ConnectionPoint.h"

#include <algorithm>

namespace com {

ConnectionPoint::ConnectionPoint(IConnectionPointContainer* owner, const IID& iid) : owner_(owner), iid_(iid) {}

ConnectionPoint::~ConnectionPoint() = default;

HRESULT ConnectionPoint::QueryInterface(const IID& iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
    *object = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

std::uint32_t ConnectionPoint::AddRef() { return owner_->AddRef(); }
std::uint32_t ConnectionPoint::Release() { return owner_->Release(); }

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = iid_;
  return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
  if (!container) return E_POINTER;
  owner_->AddRef();
  *container = owner_;
  return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, std::uint32_t* cookie) {
  if (!sink || !cookie) return E_POINTER;
  *cookie = 0;
  Sink entry;
  entry.unknown = ComPtr<IUnknown>(sink);
  // Script clients often implement only IDispatch for their event sinks.
  if (Failed(sink->QueryInterface(iid_, entry.dispatch.PutVoid())) &&
      Failed(sink->QueryInterface(IID_IDispatch, entry.dispatch.PutVoid())))
    return CONNECT_E_CANNOTCONNECT;
  std::lock_guard lock(mutex_);
  entry.cookie = nextCookie_++;
  *cookie = entry.cookie;
  sinks_.push_back(std::move(entry));
  return S_OK;
}

HRESULT ConnectionPoint::Unadvise(std::uint32_t cookie) {
  Sink removed;  // released after the lock is dropped: the sink may call back
  {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(sinks_.begin(), sinks_.end(), [&](const Sink& s) { return s.cookie == cookie; });
    if (it == sinks_.end()) return CONNECT_E_NOCONNECTION;
    removed = std::move(*it);
    sinks_.erase(it);
  }
  return S_OK;
}

HRESULT ConnectionPoint::EnumConnections(std::vector<ConnectData>* connections) {
  if (!connections) return E_POINTER;
  connections->clear();
  std::lock_guard lock(mutex_);
  for (const Sink& s : sinks_) {
    s.unknown->AddRef();
    connections->push_back({s.unknown.get(), s.cookie});
  }
  return S_OK;
}

std::size_t ConnectionPoint::Fire(DispId id, std::span<const Variant> args) {
  // Events fire for every sentence a receiver sends: the usual one or two
  // sinks and few arguments are held on the stack, more on the heap.
  constexpr std::size_t kInlineSinks = 4;
  constexpr std::size_t kInlineArgs = 8;
  ComPtr<IDispatch> inlineTargets[kInlineSinks];
  std::vector<ComPtr<IDispatch>> heapTargets;
  std::span<ComPtr<IDispatch>> targets;
  {
    std::lock_guard lock(mutex_);
    if (sinks_.size() <= kInlineSinks) {
      for (std::size_t i = 0; i < sinks_.size(); ++i) inlineTargets[i] = sinks_[i].dispatch;
      targets = std::span<ComPtr<IDispatch>>(inlineTargets, sinks_.size());
    } else {
      heapTargets.reserve(sinks_.size());
      for (const Sink& s : sinks_) heapTargets.push_back(s.dispatch);
      targets = heapTargets;
    }
  }
  Variant inlineArgs[kInlineArgs];
  std::vector<Variant> heapArgs;
  std::span<Variant> copy(inlineArgs, std::min(args.size(), kInlineArgs));
  if (args.size() > kInlineArgs) {
    heapArgs.resize(args.size());
    copy = heapArgs;
  }
  for (const ComPtr<IDispatch>& target : targets) {
    // Each sink gets its own copy: a sink may change its arguments.
    std::copy(args.begin(), args.end(), copy.begin());
    // A failing sink does not keep the event from the others.
    target->Invoke(id, kInvokeMethod, copy, nullptr);
  }
  return targets.size();
}

std::size_t ConnectionPoint::SinkCount() const {
  std::lock_guard lock(mutex_);
  return sinks_.size();
}

void ConnectionPoint::UnadviseAll() {
  std::vector<Sink> removed;
  {
    std::lock_guard lock(mutex_);
    removed.swap(sinks_);
  }
}

}  // namespace com
