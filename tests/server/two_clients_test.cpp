// Two of Rovana's online rooms, each with a home of its own, against the
// reference server on loopback, every request a real HTTP request: both
// register on their first login, name themselves, become buddies, and then
// one sees the other's position and reads the other's chat message.
#include <gtest/gtest.h>

#include "app/online/WebService.h"
#include "app/online/WebServiceQueries.h"
#include "tests/server/RovanaClient.h"
#include "tests/server/ServerHarness.h"

namespace {

using namespace rovana;

using Client = server_test::RovanaClient;

TEST(ServerTwoClients, BuddiesSeeEachOthersPositionAndChat) {
  server_test::TestServer server;
  ASSERT_TRUE(server.valid());
  Client anna(server.port(), "anna@example.org"), bob(server.port(), "bob@example.org");

  // The first login of an unknown e-mail registers it.
  ASSERT_EQ(anna.service->Login(), 0);
  ASSERT_EQ(bob.service->Login(), 0);
  ASSERT_TRUE(anna.tracker->ChangeIdentity("anna", "1111"));
  ASSERT_TRUE(bob.tracker->ChangeIdentity("bob", "2222"));
  // Bob gives Anna his nickname and public PIN.
  ASSERT_EQ(bob.service->Login(), 0);
  const std::string bobsPin = bob.settings().trackerPINpublic;
  ASSERT_FALSE(bobsPin.empty());
  ASSERT_TRUE(anna.tracker->AddBuddy("bob", bobsPin));
  ASSERT_TRUE(bob.tracker->RequestBuddyList());
  const std::vector<Buddy> bobs = bob.tracker->Buddies();
  ASSERT_EQ(bobs.size(), 1u);
  EXPECT_EQ(bobs[0].nickname, "anna");

  // Anna's receiver gives a fix; her tracker's step uploads it.
  GeoPoint at(53.5611 * 3.14159265358979 / 180, 10.0042 * 3.14159265358979 / 180, 12);
  at.setTime(36000);
  anna.tracker->NewFix(at, 18.0, 90.0);
  anna.tracker->Step();
  ASSERT_TRUE(bob.tracker->RequestPositions());
  const std::vector<Buddy> seen = bob.tracker->Buddies();
  ASSERT_EQ(seen.size(), 1u);
  ASSERT_TRUE(seen[0].hasPosition) << "Bob sees where Anna is";
  EXPECT_NEAR(seen[0].latitude, at.latitude(), 1e-7);
  EXPECT_NEAR(seen[0].longitude, at.longitude(), 1e-7);

  // Anna writes; Bob's next poll brings the line into his chat log.
  ASSERT_TRUE(anna.tracker->RequestBuddyList());
  const std::vector<Buddy> annas = anna.tracker->Buddies();
  ASSERT_EQ(annas.size(), 1u);
  ASSERT_TRUE(anna.tracker->SendChat(annas[0].id, "Kaffee am Anleger? \xE2\x82\xAC 3"));
  ASSERT_TRUE(bob.tracker->ReceiveChat());
  const auto& lines = bob.settings().chatMessages.items();
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.back().find("Kaffee am Anleger? \xE2\x82\xAC 3"), std::string::npos) << lines.back();
  EXPECT_GT(anna.connection->requestBytes(), 0u);

  // Anna hides Bob: his map no longer gets her; then she drops him.
  ASSERT_TRUE(anna.tracker->EnableBuddy(annas[0].id, false));
  ASSERT_TRUE(bob.tracker->RequestPositions());
  for (const Buddy& b : bob.tracker->Buddies()) EXPECT_FALSE(b.hasPosition) << b.nickname;
  ASSERT_TRUE(anna.tracker->DeleteBuddy(annas[0].id));
  ASSERT_TRUE(bob.tracker->RequestBuddyList());
  EXPECT_TRUE(bob.tracker->Buddies().empty());
  // The relay actions answer, empty, through the same session.
  EXPECT_TRUE(anna.service->Request(GeocodeQuery("Hamburg")).has_value());
}

}  // namespace
