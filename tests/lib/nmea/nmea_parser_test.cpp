// NmeaParser at its interface: Parse with events during the call, the
// property checks, NoEvents polling, and a live pseudo-terminal receiver whose
// events arrive on the creating thread through its message loop.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "lib/component/Identifiers.h"
#include "lib/nmea/NmeaParser.h"
#include "platform/com/MessageQueue.h"
#include "platform/com/Runtime.h"
#include "platform/serial/PortTable.h"
#include "tests/support/TempRegistry.h"

namespace {

using com::ComPtr;
using com::IDispatch;
using com::Variant;

constexpr const char* kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
constexpr const char* kRmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";

// Records every event as "Name" and the thread it arrived on.
class Recorder final : public IDispatch {
 public:
  com::HRESULT QueryInterface(const com::IID& iid, void** object) override {
    *object = (iid == com::IID_IUnknown || iid == com::IID_IDispatch) ? static_cast<IDispatch*>(this) : nullptr;
    return *object ? com::S_OK : com::E_NOINTERFACE;
  }
  std::uint32_t AddRef() override { return 2; }
  std::uint32_t Release() override { return 1; }
  com::HRESULT GetTypeInfo(std::shared_ptr<const com::InterfaceInfo>*) override { return com::E_NOTIMPL; }
  com::HRESULT GetIDsOfNames(std::span<const std::string_view>, com::DispId*) override { return com::E_NOTIMPL; }
  com::HRESULT Invoke(com::DispId id, std::uint16_t, std::span<Variant> args, Variant*) override {
    static const char* const kNames[] = {"",         "Generic",  "GGA",        "GLL",      "RMC",
                                         "OnSatellites", "OnGpsFix", "OnMovement", "OnQuality", "OnComStatus"};
    events.push_back(id >= 1 && id <= 9 ? kNames[id] : "?");
    threads.push_back(com::CurrentThreadId());
    EXPECT_FALSE(args.empty());
    return com::S_OK;
  }
  std::vector<std::string> events;
  std::vector<com::ThreadId> threads;
};

class Parser {
 public:
  Parser() {
    EXPECT_EQ(zenolith::NmeaParser::Create(zenolith::IID_INmeaParser, object_.PutVoid()), com::S_OK);
    ComPtr<com::IConnectionPointContainer> container;
    EXPECT_EQ(object_.As(com::IID_IConnectionPointContainer, &container), com::S_OK);
    EXPECT_EQ(container->FindConnectionPoint(zenolith::IID__INmeaParserEvents, point_.Put()), com::S_OK);
    EXPECT_EQ(point_->Advise(&recorder, &cookie_), com::S_OK);
  }
  ~Parser() { point_->Unadvise(cookie_); }

  com::HRESULT Put(std::string_view name, Variant v) {
    return com::InvokeByName(object_.get(), name, com::kInvokePropertyPut, {&v, 1}, nullptr);
  }
  com::HRESULT Call(std::string_view name, std::vector<Variant> args, Variant* result = nullptr) {
    return com::InvokeByName(object_.get(), name, com::kInvokeMethod, args, result);
  }
  static std::string Error() {
    auto info = com::GetErrorInfo();
    return info ? info->description : std::string();
  }

  Recorder recorder;

 private:
  ComPtr<IDispatch> object_;
  ComPtr<com::IConnectionPoint> point_;
  std::uint32_t cookie_ = 0;
};

TEST(NmeaParser, ParseFiresEventsDuringTheCallInOrder) {
  Parser p;
  ASSERT_EQ(p.Call("Parse", {Variant::Bstr(std::string(kGga) + kRmc)}), com::S_OK);
  // The first valid fix also turns ComStatus's ValidFix on, once.
  std::vector<std::string> withoutStatus;
  for (const std::string& e : p.recorder.events)
    if (e != "OnComStatus") withoutStatus.push_back(e);
  EXPECT_EQ(p.recorder.events.size() - withoutStatus.size(), 1u);
  EXPECT_EQ(withoutStatus, (std::vector<std::string>{"GGA", "OnGpsFix", "Generic", "RMC", "OnGpsFix",
                                                          "OnMovement", "Generic"}));
  for (com::ThreadId t : p.recorder.threads) EXPECT_EQ(t, com::CurrentThreadId());

  p.recorder.events.clear();
  const std::string gga = kGga;
  ASSERT_EQ(p.Call("Parse", {Variant::Bstr(gga.substr(0, 20))}), com::S_OK);
  EXPECT_TRUE(p.recorder.events.empty()) << "no line feed, nothing fires";
  ASSERT_EQ(p.Call("Parse", {Variant::Bstr(gga.substr(20))}), com::S_OK);
  EXPECT_EQ(p.recorder.events.size(), 3u);

  p.recorder.events.clear();
  ASSERT_EQ(p.Put("AllEventsGeneric", Variant::Bool(true)), com::S_OK);
  p.Call("Parse", {Variant::Bstr(kRmc)});
  EXPECT_EQ(p.recorder.events, std::vector<std::string>{"Generic"});
}

// Guards against a text longer than the 512-byte ring dropping sentences.
TEST(NmeaParser, ParseOfALongTextAtOnceLosesNothing) {
  Parser p;
  std::string text;
  for (int i = 0; i < 100; ++i) text += kGga;
  ASSERT_EQ(p.Call("Parse", {Variant::Bstr(text)}), com::S_OK);
  int generic = 0;
  for (const std::string& e : p.recorder.events) generic += e == "Generic";
  EXPECT_EQ(generic, 100);
}

TEST(NmeaParser, PropertyChecks) {
  Parser p;
  EXPECT_EQ(p.Put("GpsDatum", Variant::I2(29)), com::MakeStatus(0x80042713));
  EXPECT_EQ(Parser::Error(), "Unknown datum!");
  EXPECT_EQ(p.Call("EventInterval", {Variant::I4(-5), Variant::I2(6)}), com::S_OK);
  EXPECT_EQ(p.Call("EventInterval", {Variant::I4(100), Variant::I2(4)}), com::MakeStatus(0x80042713));
  EXPECT_EQ(Parser::Error(), "Unknown event type!");
  EXPECT_EQ(p.Call("WriteData", {Variant::Bstr("$PSRF")}), com::MakeStatus(0x80042716));
  EXPECT_EQ(Parser::Error(), "Port must be enabled!");
  Variant result;
  EXPECT_EQ(p.Call("GetGpsFix", {Variant::I4(0), Variant::I2(2)}, &result), com::MakeStatus(0x80042716));
  EXPECT_EQ(Parser::Error(), "NoEvents must be set!");
  ASSERT_EQ(p.Call("GetComStatus", {}, &result), com::S_OK);
  EXPECT_EQ(result.type(), com::VarType::Dispatch);
}

TEST(NmeaParser, NoEventsKeepsTheLatestObjectsForPolling) {
  Parser p;
  ASSERT_EQ(p.Put("NoEvents", Variant::Bool(true)), com::S_OK);
  Variant fix;
  ASSERT_EQ(p.Call("GetGpsFix", {Variant::I4(0), Variant::I2(0)}, &fix), com::S_OK);
  EXPECT_TRUE(fix.IsEmpty()) << "nothing before the first fix";
  p.Call("Parse", {Variant::Bstr(kGga)});
  EXPECT_TRUE(p.recorder.events.empty()) << "no events at all with NoEvents";
  ASSERT_EQ(p.Call("GetGpsFix", {Variant::I4(0), Variant::I2(0)}, &fix), com::S_OK);
  ASSERT_EQ(fix.type(), com::VarType::Dispatch);
  Variant type;
  ASSERT_EQ(com::InvokeByName(fix.AsDispatch(), "FixType", com::kInvokePropertyGet, {}, &type), com::S_OK);
  EXPECT_EQ(type.AsI2(), 3);
}

TEST(NmeaParser, AFixedPortWithoutDeviceLeavesThePortDisabled) {
  testing_support::TempRegistry temp;
  Parser p;
  ASSERT_EQ(p.Put("ComPort", Variant::I2(7)), com::S_OK);
  EXPECT_EQ(p.Put("PortEnabled", Variant::Bool(true)), com::MakeStatus(0x80042717));
  EXPECT_EQ(Parser::Error(), "Comm port does not exist");
  EXPECT_EQ(p.Call("Parse", {Variant::Bstr(kGga)}), com::S_OK) << "still disabled";
}

TEST(NmeaParser, LiveEventsArriveOnTheCreatingThread) {
  testing_support::TempRegistry temp;
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  ASSERT_TRUE(platform::RegisterPort(5, ptsname(master)));

  Parser p;
  ASSERT_EQ(p.Put("ComPort", Variant::I2(5)), com::S_OK);
  ASSERT_EQ(p.Put("BaudRate", Variant::I4(4800)), com::S_OK);
  ASSERT_EQ(p.Put("PortEnabled", Variant::Bool(true)), com::S_OK) << Parser::Error();
  EXPECT_EQ(p.Put("ComPort", Variant::I2(4)), com::MakeStatus(0x80042716));
  EXPECT_EQ(Parser::Error(), "Port must not be enabled!");
  EXPECT_EQ(p.Call("Parse", {Variant::Bstr(kGga)}), com::MakeStatus(0x80042716));

  const std::string data = std::string(kGga) + kRmc;
  ASSERT_EQ(write(master, data.data(), data.size()), static_cast<ssize_t>(data.size()));
  auto sawRmc = [&] {
    for (const std::string& e : p.recorder.events)
      if (e == "RMC") return true;
    return false;
  };
  EXPECT_TRUE(com::PumpMessagesUntil(sawRmc, 10000));  // returns as soon as it arrives
  EXPECT_EQ(p.recorder.events.front(), "OnComStatus") << "valid data started to flow";
  for (com::ThreadId t : p.recorder.threads) EXPECT_EQ(t, com::CurrentThreadId());

  ASSERT_EQ(p.Put("PortEnabled", Variant::Bool(false)), com::S_OK);
  close(master);
}

}  // namespace
