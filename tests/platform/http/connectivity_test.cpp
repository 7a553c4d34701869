// The connectivity check against a NetworkManager stand-in on a private bus.
#include "platform/http/Connectivity.h"

#include <gtest/gtest.h>

#include "tests/support/FakeNetworkManager.h"
#include "tests/support/SessionBus.h"

namespace {

using platform::Connectivity;
using platform::Online;

TEST(ConnectivityTest, OnlyADefiniteNoIsOffline) {
  testing_support::SessionBus bus;
  if (bus.address().empty()) GTEST_SKIP() << "dbus-daemon could not be started";
  testing_support::FakeNetworkManager manager(bus.address());
  ASSERT_TRUE(manager.serving());
  struct Case {
    const char* name;
    int connectivity;  // -1: the property is missing
    int state;
    Online online;
  };
  const Case cases[] = {
      {"full", 4, 70, Online::kConnected},
      {"none", 1, 70, Online::kOffline},
      {"portal", 2, 70, Online::kConnected},
      {"limited", 3, 60, Online::kConnected},
      {"unknown, connected globally", 0, 70, Online::kConnected},
      {"unknown, local network", 0, 50, Online::kConnected},
      {"unknown, disconnected", 0, 20, Online::kOffline},
      {"unknown, asleep", 0, 10, Online::kOffline},
      {"unknown, disconnecting", 0, 30, Online::kOffline},
      {"unknown, connecting", 0, 40, Online::kConnected},
      {"no connectivity property, disconnected", -1, 20, Online::kOffline},
      {"no connectivity property, connected", -1, 70, Online::kConnected},
      {"neither property", -1, -1, Online::kNoManager},
  };
  Connectivity check(bus.address());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    manager.Set(c.connectivity, c.state);
    const platform::ConnectivityAnswer answer = check.Check();
    EXPECT_EQ(answer.online, c.online) << answer.detail;
    EXPECT_EQ(answer.connected(), c.online != Online::kOffline);
  }
}

TEST(ConnectivityTest, NoManagerMeansConnected) {
  testing_support::SessionBus bus;
  if (bus.address().empty()) GTEST_SKIP() << "dbus-daemon could not be started";
  struct Case {
    const char* name;
    std::string address;
  };
  const Case cases[] = {
      {"a bus without NetworkManager", bus.address()},
      {"no bus at all", "unix:path=/nonexistent/rovana-bus"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Connectivity check(c.address);
    const platform::ConnectivityAnswer answer = check.Check();
    EXPECT_EQ(answer.online, Online::kNoManager) << answer.detail;
    EXPECT_TRUE(answer.connected());
    EXPECT_FALSE(answer.detail.empty());
  }
}

TEST(ConnectivityTest, AManagerThatComesAndGoesIsAskedAgain) {
  testing_support::SessionBus bus;
  if (bus.address().empty()) GTEST_SKIP() << "dbus-daemon could not be started";
  Connectivity check(bus.address());
  EXPECT_EQ(check.Check().online, Online::kNoManager);
  {
    testing_support::FakeNetworkManager manager(bus.address());
    ASSERT_TRUE(manager.serving());
    manager.Set(1, 20);
    EXPECT_EQ(check.Check().online, Online::kOffline);
  }
  EXPECT_EQ(check.Check().online, Online::kNoManager);
}

}  // namespace
