// Every action's query as the service reads it: path, action, parameters in
// their order, encoded texts, "%lf" numbers, the encoded comma between the
// coordinates of a point, and the request kind.
#include "app/online/WebServiceQueries.h"

#include <gtest/gtest.h>

namespace rovana {
namespace {

struct QueryCase {
  const char* name;
  ServiceAction action;
  const char* query;
  int kind;
  const char* actionName;
};

TEST(WebServiceQueries, EveryAction) {
  LoginDetails login;
  login.version = "3.4.6 Direct download";
  login.deviceId = "0123456789abcdef0123456789abcdef";
  UploadFix fix;
  fix.track = 7;
  fix.interval = 10;
  fix.latitude = 48.1;
  fix.longitude = -11.5;
  fix.altitude = 520.5;
  fix.speedKmh = 12.25;
  fix.courseDeg = 270;

  const QueryCase cases[] = {
      {"register", RegisterUserQuery("anna@example.org", "p w"), "/online/os.asp?a=ur&e=anna%40example.org&p=p+w", 0, "ur"},
      {"log in", LoginUserQuery("anna@example.org", "secret", login),
       "/online/os.asp?a=ul&e=anna%40example.org&p=secret&s=&v=3.4.6+Direct+download&l=0&d=PPC&c=0123456789abcdef0123456789abcdef",
       0, "ul"},
      {"change nickname and PIN", ChangeIdentityQuery("Anna B", "1234"), "/online/os.asp?a=uc&n=Anna+B&c=1234", 2, "uc"},
      {"create track", CreateTrackQuery(), "/online/os.asp?a=ct", 3, "ct"},
      {"upload", UploadPositionQuery(fix),
       "/online/os.asp?a=up&t=7&p=10&y=48.100000&x=-11.500000&e=520.500000&v=12.250000&h=270.000000", 3, "up"},
      {"enable buddy", EnableBuddyQuery(3, true), "/online/os.asp?a=bc&b=3&e=1", 2, "bc"},
      {"disable buddy", EnableBuddyQuery(3, false), "/online/os.asp?a=bc&b=3&e=0", 2, "bc"},
      {"buddy list", BuddyListQuery(), "/online/os.asp?a=bl", 3, "bl"},
      {"buddy positions", BuddyPositionsQuery(), "/online/os.asp?a=bp", 3, "bp"},
      {"add buddy", AddBuddyQuery("Bob", "9/9"), "/online/os.asp?a=ba&n=Bob&c=9%2F9", 2, "ba"},
      {"delete buddy", DeleteBuddyQuery(5), "/online/os.asp?a=bd&b=5", 2, "bd"},
      {"send chat", SendChatQuery(5, "Hi & bye \xE2\x82\xAC"), "/online/os.asp?a=cs&b=5&m=Hi+%26+bye+%E2%82%AC", 2, "cs"},
      {"receive chat", ReceiveChatQuery(), "/online/os.asp?a=cr", 3, "cr"},
      {"map list", MapListQuery(), "/online/os.asp?a=gm", 1, "gm"},
      {"geocode", GeocodeQuery("Main St 1, Berlin"), "/online/os.asp?a=gc&q=Main+St+1%2C+Berlin", 4, "gc"},
      {"directions", DirectionsQuery(48.1, 11.5, 52.5, -13.4, false),
       "/online/os.asp?a=di&sa=48.100000%2C11.500000&da=52.500000%2C-13.400000", 5, "di"},
      {"directions refresh", DirectionsQuery(48.1, 11.5, 52.5, -13.4, true),
       "/online/os.asp?a=di&sa=48.100000%2C11.500000&da=52.500000%2C-13.400000", 6, "di"},
      {"route", RouteQuery(1, 2, 3, 4), "/online/os.asp?a=ro&sa=1.000000%2C2.000000&da=3.000000%2C4.000000", 5, "ro"},
      {"local search", LocalSearchQuery(48.1, 11.5, "pizza napoli"),
       "/online/os.asp?a=ls&d=48.100000%2C11.500000&b=pizza+napoli", 7, "ls"},
      {"search provider pa", ProviderSearchPaQuery("caf\xC3\xA9"), "/online/os.asp?a=pa&q=caf%C3%A9", 7, "pa"},
      {"search provider gn", ProviderSearchGnQuery("Z\xC3\xBCrich"), "/online/os.asp?a=gn&q=Z%C3%BCrich", 7, "gn"},
      {"search provider ys", ProviderSearchYsQuery("a/b"), "/online/os.asp?a=ys&q=a%2Fb", 7, "ys"},
  };
  for (const QueryCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.action.query, c.query);
    EXPECT_EQ(c.action.kind, c.kind);
    EXPECT_EQ(c.action.action, c.actionName);
  }
}

// Values that would end a parameter or start a new one stay inside theirs.
TEST(WebServiceQueries, HostileTextsStayInTheirParameter) {
  const ServiceAction a = AddBuddyQuery("x&a=bd&b=1", "1?2#3");
  EXPECT_EQ(a.query, "/online/os.asp?a=ba&n=x%26a%3Dbd%26b%3D1&c=1%3F2%233");
}

}  // namespace
}  // namespace rovana
