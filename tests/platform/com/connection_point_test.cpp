// Connection points deliver every event to every advised sink, in advise
// order, and keep counts and cookies straight.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/com/ConnectionPoint.h"

namespace {

using com::ComPtr;
using com::Variant;

constexpr com::IID kEventsIid = com::MakeGuid("0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0");

// Counts its own references so tests can see who holds it.
template <class Base>
class Counted : public Base {
 public:
  virtual ~Counted() = default;
  std::uint32_t AddRef() override { return ++refs; }
  std::uint32_t Release() override { return --refs; }  // stack objects: never deleted
  std::uint32_t refs = 1;
};

class Sink : public Counted<com::IDispatch> {
 public:
  Sink(std::vector<std::string>* log, std::string name) : log_(log), name_(std::move(name)) {}

  com::HRESULT QueryInterface(const com::IID& iid, void** object) override {
    if (iid == com::IID_IUnknown || iid == com::IID_IDispatch) {
      *object = static_cast<com::IDispatch*>(this);
      AddRef();
      return com::S_OK;
    }
    *object = nullptr;
    return com::E_NOINTERFACE;
  }
  com::HRESULT GetTypeInfo(std::shared_ptr<const com::InterfaceInfo>*) override { return com::E_NOTIMPL; }
  com::HRESULT GetIDsOfNames(std::span<const std::string_view>, com::DispId*) override { return com::E_NOTIMPL; }
  com::HRESULT Invoke(com::DispId id, std::uint16_t flags, std::span<Variant> args, Variant*) override {
    EXPECT_EQ(flags, com::kInvokeMethod);
    std::string entry = name_ + ":" + std::to_string(id);
    for (const Variant& a : args) entry += ":" + std::to_string(a.AsI4());
    log_->push_back(entry);
    if (onEvent) onEvent();
    return com::E_FAIL;  // a failing sink must not stop the others
  }
  std::function<void()> onEvent;

 private:
  std::vector<std::string>* log_;
  std::string name_;
};

// An object that offers only IUnknown cannot be a sink.
class NotASink : public Counted<com::IUnknown> {
 public:
  com::HRESULT QueryInterface(const com::IID& iid, void** object) override {
    *object = iid == com::IID_IUnknown ? this : nullptr;
    return *object ? com::S_OK : com::E_NOINTERFACE;
  }
};

class Source : public Counted<com::IConnectionPointContainer> {
 public:
  Source() : point(this, kEventsIid) {}
  com::HRESULT QueryInterface(const com::IID&, void**) override { return com::E_NOINTERFACE; }
  com::HRESULT EnumConnectionPoints(std::vector<com::IConnectionPoint*>* points) override {
    point.AddRef();
    points->push_back(&point);
    return com::S_OK;
  }
  com::HRESULT FindConnectionPoint(const com::IID& iid, com::IConnectionPoint** found) override {
    if (iid != kEventsIid) return com::CONNECT_E_NOCONNECTION;
    point.AddRef();
    *found = &point;
    return com::S_OK;
  }
  com::ConnectionPoint point;
};

TEST(ConnectionPoint, EveryAdvisedSinkIsCalledInOrder) {
  Source source;
  std::vector<std::string> log;
  Sink a(&log, "a"), b(&log, "b"), c(&log, "c");
  std::uint32_t ca = 0, cb = 0, cc = 0;
  ASSERT_EQ(source.point.Advise(&a, &ca), com::S_OK);
  ASSERT_EQ(source.point.Advise(&b, &cb), com::S_OK);
  ASSERT_EQ(source.point.Advise(&c, &cc), com::S_OK);
  EXPECT_NE(ca, cb);
  EXPECT_NE(cb, cc);
  EXPECT_EQ(a.refs, 3u) << "the point holds the sink (as IUnknown and IDispatch)";

  const Variant args[] = {Variant::I4(7), Variant::I4(8)};
  EXPECT_EQ(source.point.Fire(5, args), 3u);
  EXPECT_EQ(log, (std::vector<std::string>{"a:5:7:8", "b:5:7:8", "c:5:7:8"}));

  ASSERT_EQ(source.point.Unadvise(cb), com::S_OK);
  EXPECT_EQ(source.point.Unadvise(cb), com::CONNECT_E_NOCONNECTION);
  log.clear();
  source.point.Fire(1, {});
  EXPECT_EQ(log, (std::vector<std::string>{"a:1", "c:1"}));
  EXPECT_EQ(b.refs, 1u) << "unadvise releases the sink";

  std::vector<com::ConnectData> connections;
  ASSERT_EQ(source.point.EnumConnections(&connections), com::S_OK);
  ASSERT_EQ(connections.size(), 2u);
  EXPECT_EQ(connections[0].cookie, ca);
  EXPECT_EQ(connections[1].cookie, cc);
  for (auto& cd : connections) cd.sink->Release();

  source.point.UnadviseAll();
  EXPECT_EQ(source.point.SinkCount(), 0u);
  EXPECT_EQ(a.refs, 1u);
}

TEST(ConnectionPoint, TheContainerFindsThePointAndThePointKnowsItsContainer) {
  Source source;
  ComPtr<com::IConnectionPoint> point;
  ASSERT_EQ(source.FindConnectionPoint(kEventsIid, point.Put()), com::S_OK);
  EXPECT_EQ(source.refs, 2u) << "a held point keeps its container alive";
  com::IID iid;
  ASSERT_EQ(point->GetConnectionInterface(&iid), com::S_OK);
  EXPECT_EQ(iid, kEventsIid);
  ComPtr<com::IConnectionPointContainer> container;
  ASSERT_EQ(point->GetConnectionPointContainer(container.Put()), com::S_OK);
  EXPECT_EQ(container.get(), &source);
  point.Reset();
  container.Reset();
  EXPECT_EQ(source.refs, 1u);
  EXPECT_EQ(source.FindConnectionPoint(com::IID_IDispatch, point.Put()), com::CONNECT_E_NOCONNECTION);

  std::vector<com::IConnectionPoint*> points;
  ASSERT_EQ(source.EnumConnectionPoints(&points), com::S_OK);
  ASSERT_EQ(points.size(), 1u);
  points[0]->Release();
}

TEST(ConnectionPoint, RefusesSinksWithoutDispatchAndSurvivesSinksThatUnadviseDuringAnEvent) {
  Source source;
  NotASink wrong;
  std::uint32_t cookie = 99;
  EXPECT_EQ(source.point.Advise(&wrong, &cookie), com::CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(cookie, 0u);
  EXPECT_EQ(wrong.refs, 1u);
  EXPECT_EQ(source.point.Advise(nullptr, &cookie), com::E_POINTER);

  std::vector<std::string> log;
  Sink a(&log, "a"), b(&log, "b");
  std::uint32_t ca = 0, cb = 0;
  source.point.Advise(&a, &ca);
  source.point.Advise(&b, &cb);
  a.onEvent = [&] { source.point.Unadvise(ca); };
  source.point.Fire(2, {});
  source.point.Fire(3, {});
  EXPECT_EQ(log, (std::vector<std::string>{"a:2", "b:2", "b:3"}));
  source.point.UnadviseAll();  // the sinks live on the stack and go first
}

}  // namespace
