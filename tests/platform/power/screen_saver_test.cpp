// The screen-saver client against a private dbus-daemon, with and without a
// screen saver on the bus.
#include "platform/power/ScreenSaver.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/SessionBus.h"

using platform::ScreenSaver;
using testing_support::FakeScreenSaver;
using testing_support::SessionBus;

namespace {

class ScreenSaverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (bus_.address().empty()) GTEST_SKIP() << "dbus-daemon could not be started";
  }
  SessionBus bus_;
};

TEST_F(ScreenSaverTest, InhibitIsTakenOnceAndGivenBackWithItsCookie) {
  FakeScreenSaver saver(bus_.address());
  ASSERT_TRUE(saver.serving());
  std::string error;
  auto client = ScreenSaver::Connect(bus_.address(), &error);
  ASSERT_TRUE(client) << error;

  EXPECT_TRUE(client->SimulateActivity().ok);
  EXPECT_TRUE(client->SimulateActivity().ok);
  EXPECT_TRUE(client->Inhibit("Rovana", "navigating").ok);
  EXPECT_TRUE(client->Inhibit("Rovana", "navigating").ok);  // already held: no second inhibit
  EXPECT_TRUE(client->inhibited());
  EXPECT_TRUE(client->UnInhibit().ok);
  EXPECT_FALSE(client->inhibited());
  EXPECT_TRUE(client->UnInhibit().ok);  // nothing held: nothing sent
  EXPECT_TRUE(client->Inhibit("Rovana", "navigating").ok);
  client.reset();  // a held inhibit is released on the way out

  FakeScreenSaver::Counts counts = saver.counts();
  EXPECT_EQ(counts.activity, 2);
  EXPECT_EQ(counts.inhibits, (std::vector<std::uint32_t>{1, 2}));
  EXPECT_EQ(counts.uninhibits, (std::vector<std::uint32_t>{1, 2}));
  EXPECT_EQ(counts.applications.front(), "Rovana");
}

TEST_F(ScreenSaverTest, ABusWithoutAScreenSaverFailsEachCallWithTheBussReason) {
  std::string error;
  auto client = ScreenSaver::Connect(bus_.address(), &error);
  ASSERT_TRUE(client) << error;
  platform::BusResult result = client->SimulateActivity();
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error.find("org.freedesktop.DBus.Error.ServiceUnknown"), std::string::npos) << result.error;
  EXPECT_FALSE(client->Inhibit("Rovana", "navigating").ok);
  EXPECT_FALSE(client->inhibited());
  // Text that is not UTF-8 is refused here instead of inside libdbus.
  EXPECT_FALSE(client->Inhibit("Rovana\xff", "navigating").ok);
}

TEST(ScreenSaverConnect, NoBusIsAReasonNotACrash) {
  std::string error;
  EXPECT_FALSE(ScreenSaver::Connect("unix:path=/nonexistent/zen-bus", &error));
  EXPECT_FALSE(error.empty());

  const char* saved = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  const std::string keep = saved ? saved : "";
  ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
  error.clear();
  EXPECT_FALSE(ScreenSaver::Connect("", &error));
  EXPECT_NE(error.find("no session bus"), std::string::npos) << error;
  if (saved) ::setenv("DBUS_SESSION_BUS_ADDRESS", keep.c_str(), 1);
}

}  // namespace
