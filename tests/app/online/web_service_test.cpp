// The web-service session over a fake server: the permission table of the
// request kinds (dropped, asked, refused with the message and the setting
// it changes, sent), the session suffix, login with registration, every
// login result, re-login after an expired session, the result texts, one
// login at a time across threads, settings changed only through the queue,
// and no password in the log.
#include "app/online/WebService.h"

#include <gtest/gtest.h>

#include <thread>

#include "app/core/VersionBanner.h"
#include "app/online/QueryText.h"
#include "tests/app/online/WebServiceFixture.h"

namespace rovana {
namespace {

using testing_support::FakeServer;
using testing_support::FakeUiQueue;
using testing_support::FakeUser;
using testing_support::kLoginOk;
using testing_support::QueryValue;
using testing_support::ResultReply;

using Buttons = UserQuestion::Buttons;

class WebServiceTest : public testing_support::WebServiceFixture {};

// One action of each kind.
ServiceAction ActionOfKind(int kind) {
  switch (kind) {
    case 0: return ServiceAction{"/public?a=pq", 0, "pq"};
    case 1: return MapListQuery();
    case 2: return AddBuddyQuery("Bob", "1234");
    case 3: return BuddyListQuery();
    case 4: return GeocodeQuery("Berlin");
    case 5: return RouteQuery(1, 2, 3, 4);
    case 6: return DirectionsQuery(1, 2, 3, 4, true);
    default: return LocalSearchQuery(1, 2, "pizza");
  }
}

constexpr const char* kDeclinedMaps = "You chose to stay offline.\n\n'Online maps' now downloads tiles only while Rovana is online.";
constexpr const char* kDeclinedVozazId = "You chose to stay offline.\n\nVozazId buddy tracking now runs only while Rovana is online.";
constexpr const char* kDeclinedDirections =
    "You chose to stay offline.\n\nDirections and routes are now refreshed only while Rovana is online.";
constexpr const char* kNeedsInternet = "This service needs an internet connection.";

struct PermissionCase {
  const char* name;
  int kind;
  int governing;  // mapsOnlineDownload, vozazidEnabled and dirsRefresh all get this
  bool online;    // allowInternet
  bool agrees;    // the user's answer to going online
  bool sent;      // the action reached the server
  bool asked;     // the user was asked to go online
  const char* message;  // the refusal shown, "" for none
  int governingAfter;   // the kind's governing setting after the queue ran (the value itself when ungoverned)
};

TEST_F(WebServiceTest, PermissionTable) {
  const PermissionCase cases[] = {
      {"buddy query, VozazId off", 3, 0, true, true, false, false, "", 0},
      {"buddy query, VozazId off, offline", 3, 0, false, true, false, false, "", 0},
      {"buddy query, only while online, offline: dropped without a word", 3, 2, false, true, false, false, "", 2},
      {"buddy query, only while online, online", 3, 2, true, false, true, false, "", 2},
      {"buddy query, always, offline, user stays offline", 3, 1, false, false, false, true, kDeclinedVozazId, 2},
      {"buddy query, always, offline, user goes online", 3, 1, false, true, true, true, "", 1},
      {"buddy query, always, online", 3, 1, true, false, true, false, "", 1},
      {"map catalogue, never", 1, 0, true, true, false, false, "", 0},
      {"map catalogue, only while online, offline", 1, 2, false, true, false, false, "", 2},
      {"map catalogue, always, offline, user stays offline", 1, 1, false, false, false, true, kDeclinedMaps, 2},
      {"map catalogue, always, online", 1, 1, true, false, true, false, "", 1},
      {"directions refresh, off", 6, 0, true, true, false, false, "", 0},
      {"directions refresh, always, offline, user stays offline", 6, 1, false, false, false, true, kDeclinedDirections, 2},
      {"directions refresh, only while online, online", 6, 2, true, false, true, false, "", 2},
      {"a value beyond the choices refuses", 3, 7, true, true, false, false, "", 7},
      {"buddy change, offline, user stays offline", 2, 0, false, false, false, true, kNeedsInternet, 0},
      {"buddy change is not governed", 2, 0, true, false, true, false, "", 0},
      {"geocoder, offline, user stays offline", 4, 0, false, false, false, true, kNeedsInternet, 0},
      {"geocoder, online", 4, 0, true, false, true, false, "", 0},
      {"route, offline, user stays offline", 5, 0, false, false, false, true, kNeedsInternet, 0},
      {"route, offline, user goes online", 5, 0, false, true, true, true, "", 0},
      {"search, offline, user stays offline", 7, 0, false, false, false, true, kNeedsInternet, 0},
      {"search, online", 7, 0, true, false, true, false, "", 0},
      {"public service, offline, user stays offline", 0, 0, false, false, false, true, kNeedsInternet, 0},
      {"public service, online", 0, 0, true, false, true, false, "", 0},
  };
  for (const PermissionCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakeServer server;
    FakeUser user;
    FakeUiQueue ui;
    SettingsStore store(folder_);
    server.Always("ul", kLoginOk);
    const ServiceAction action = ActionOfKind(c.kind);
    server.Always(std::string(action.action), ResultReply(0));
    user.answer = c.agrees;
    WebService service(language_, ServiceHooks{server.transport(), ui.post(), user.ask(), {}, [] { return 1u; }},
                       "00000000000000000000000000000000");
    store.trackerEmail = "anna@example.org";
    store.trackerPassword = "pw";
    store.allowInternet = c.online;
    store.mapsOnlineDownload = store.vozazidEnabled = store.dirsRefresh = c.governing;
    service.Configure(ServiceSettingsOf(store));

    const std::optional<std::string> reply = service.Request(action);
    ui.Drain(store);

    EXPECT_EQ(reply.has_value(), c.sent);
    std::vector<std::string> expected;
    if (c.sent && c.kind != 0) expected.push_back("ul");
    if (c.sent) expected.push_back(std::string(action.action));
    EXPECT_EQ(server.actions(), expected);

    const std::vector<UserQuestion> asked = user.asked();
    const bool wasAsked = !asked.empty() && asked.front().buttons == Buttons::YesNo;
    EXPECT_EQ(wasAsked, c.asked);
    const std::string shown = !asked.empty() && asked.back().buttons == Buttons::Ok ? asked.back().text : "";
    EXPECT_EQ(shown, c.message);
    EXPECT_EQ(store.allowInternet, c.online || (c.asked && c.agrees));

    const int governing = c.kind == 1 ? store.mapsOnlineDownload : c.kind == 6 ? store.dirsRefresh : store.vozazidEnabled;
    EXPECT_EQ(governing, c.governingAfter);
  }
}

TEST_F(WebServiceTest, TheQuestionNamesTheService) {
  Online();
  store_->allowInternet = false;
  Configure();
  service_->Request(BuddyListQuery());
  ASSERT_FALSE(user_.asked().empty());
  EXPECT_EQ(user_.asked().front().text, "Rovana is offline. Go online for this service?\n\nVozazId buddy tracking");
  EXPECT_EQ(user_.asked().front().buttons, Buttons::YesNo);
}

TEST_F(WebServiceTest, ServiceRequestsCarryTheSessionThenTheTick) {
  Online();
  server_.Always("ul", kLoginOk);
  server_.Always("bl", ResultReply(0));
  ASSERT_TRUE(service_->Request(BuddyListQuery()));
  const std::vector<ServiceRequest> requests = server_.requests();
  ASSERT_EQ(requests.size(), 2u);
  const std::string version = "3.4.6+" + EncodeQueryValue(SalesChannelName(BuildSalesChannel()));
  EXPECT_EQ(requests[0].path,
            "/online/os.asp?a=ul&e=anna%40example.org&p=Geheim%2342&s=&v=" + version +
                "&l=0&d=PPC&c=00112233445566778899aabbccddeeff&tick=123456");
  EXPECT_EQ(requests[0].kind, 0);
  EXPECT_EQ(requests[1].path, "/online/os.asp?a=bl&i=17&s=4711&tick=123456");
  EXPECT_EQ(requests[1].kind, 3);
  for (const ServiceRequest& r : requests) EXPECT_EQ(r.host, "http://127.0.0.1:8642");
  EXPECT_EQ(service_->userId(), 17);
  EXPECT_EQ(service_->sessionId(), 4711);
}

TEST_F(WebServiceTest, TheHostComesFromTheSetting) {
  Online();
  store_->serviceHost = "https://tracker.example.net:8443";
  Configure();
  server_.Always("ul", kLoginOk);
  server_.Always("gc", "<geocode/>");
  ASSERT_TRUE(service_->Request(GeocodeQuery("x")));
  for (const ServiceRequest& r : server_.requests()) EXPECT_EQ(r.host, "https://tracker.example.net:8443");
  // An emptied setting falls back to the default server.
  store_->serviceHost.clear();
  Configure();
  ASSERT_TRUE(service_->Request(GeocodeQuery("x")));
  EXPECT_EQ(server_.requests().back().host, "http://127.0.0.1:8642");
}

TEST_F(WebServiceTest, PublicRequestsAndDirectOnesCarryTheTickOnly) {
  Online();
  EXPECT_EQ(service_->Prepare(kKindPublic), "&tick=123456");
  server_.Always("up", "ok");
  EXPECT_EQ(service_->SendDirect(ServiceRequest{"http://second.example", "/pos?a=up&t=1", 3}), "ok");
  ASSERT_EQ(server_.requests().size(), 1u);
  EXPECT_EQ(server_.requests()[0].path, "/pos?a=up&t=1&tick=123456");
  EXPECT_EQ(server_.requests()[0].host, "http://second.example");
  EXPECT_FALSE(service_->loggedIn()) << "neither logs in";
}

struct LoginCase {
  const char* name;
  std::vector<std::pair<std::string, std::optional<std::string>>> replies;  // in the order the actions are asked
  const char* email;
  std::int32_t result;
  std::vector<std::string> actions;
  std::vector<std::string> logLines;
  const char* password = "pw";
};

TEST_F(WebServiceTest, LoginResults) {
  const LoginCase cases[] = {
      {"known user", {{"ul", kLoginOk}}, "anna@example.org", 0, {"ul"}, {"reqLoginUser: 0"}},
      {"unknown user is registered and logged in again",
       {{"ul", ResultReply(12)}, {"ur", ResultReply(0)}, {"ul", kLoginOk}},
       "anna@example.org",
       0,
       {"ul", "ur", "ul"},
       {"reqLoginUser: 12", "reqRegisterUser: 0", "reqLoginUser2: 0"}},
      {"registration refused", {{"ul", ResultReply(12)}, {"ur", ResultReply(5)}}, "anna@example.org", 5, {"ul", "ur"},
       {"reqLoginUser: 12", "reqRegisterUser: 5"}},
      {"registration without reply", {{"ul", ResultReply(12)}, {"ur", std::nullopt}}, "anna@example.org", -2,
       {"ul", "ur"}, {"reqRegisterUser: -2"}},
      {"wrong password", {{"ul", ResultReply(1)}}, "anna@example.org", 1, {"ul"}, {"reqLoginUser: 1"}},
      {"no reply", {{"ul", std::nullopt}}, "anna@example.org", -2, {"ul"}, {"reqLoginUser: -2"}},
      {"a reply without result", {{"ul", "<reply><user id=\"17\"/></reply>"}}, "anna@example.org", -2, {"ul"}, {}},
      {"a reply cut inside its first tag", {{"ul", "<reply><result id=\"0\""}}, "anna@example.org", -2, {"ul"}, {}},
      {"result 0 without a user", {{"ul", ResultReply(0)}}, "anna@example.org", -1, {"ul"}, {"reqLoginUser: -1"}},
      {"result 0 without a session",
       {{"ul", "<reply><result id=\"0\"/><user id=\"17\"><nickname>A</nickname></user></reply>"}}, "anna@example.org", -1,
       {"ul"}, {}},
      {"result 0 with user id 0", {{"ul", "<reply><result id=\"0\"/><user id=\"0\"><session>5</session></user></reply>"}},
       "anna@example.org", -1, {"ul"}, {}},
      {"a result that is no number", {{"ul", "<reply><result id=\"ok\"/></reply>"}}, "anna@example.org", -2, {"ul"}, {}},
      {"no e-mail address", {}, "", -3, {}, {}},
      {"no password: no traffic", {}, "anna@example.org", 3, {}, {}, ""},
  };
  for (const LoginCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakeServer server;
    FakeUiQueue ui;
    for (const auto& [action, reply] : c.replies) server.Queue(action, reply);
    WebService service(language_, ServiceHooks{server.transport(), ui.post(), {}, {}, [] { return 9u; }}, "id");
    ServiceSettings settings;
    settings.email = c.email;
    settings.password = c.password;
    settings.allowInternet = false;
    service.Configure(settings);

    EXPECT_EQ(service.Login(), c.result);
    EXPECT_EQ(server.actions(), c.actions);
    EXPECT_EQ(service.loggedIn(), c.result == 0);
    EXPECT_EQ(service.lastResult(), c.result);
    EXPECT_EQ(service.settings().allowInternet, c.result == 0) << "a failed login leaves Rovana offline";
    if (c.result != 0) {
      EXPECT_EQ(service.userId(), 0);
    }
    const std::string log = LogText();
    for (const std::string& line : c.logLines) EXPECT_NE(log.find(line + "\n"), std::string::npos) << line;
    // The second login sends what the first sent.
    const std::vector<ServiceRequest> requests = server.requests();
    if (c.actions.size() == 3) {
      EXPECT_EQ(requests[0].path, requests[2].path);
    }
  }
}

TEST_F(WebServiceTest, TheServerMessageIsShownOnceAndNicknameAndPinGoThroughTheQueue) {
  Online();
  server_.Always("ul",
                 "<reply><result id=\"0\"/><user id=\"17\"><session>4711</session><nickname>Anna \xC3\xA9</nickname>"
                 "<pincode>2468</pincode><msg>Welcome back</msg></user></reply>");
  server_.Always("bl", ResultReply(0));
  ASSERT_TRUE(service_->Request(BuddyListQuery()));
  ASSERT_TRUE(service_->Request(BuddyListQuery()));
  EXPECT_EQ(user_.texts(), std::vector<std::string>{"Welcome back"});
  EXPECT_EQ(service_->serverMessage(), "Welcome back");
  // Nothing reached the store before the user-interface thread ran the queue.
  EXPECT_EQ(store_->trackerNickname, "");
  EXPECT_EQ(store_->trackerPINpublic, "6137");
  Drain();
  EXPECT_EQ(store_->trackerNickname, "Anna \xC3\xA9");
  EXPECT_EQ(store_->trackerPINpublic, "2468");
}

TEST_F(WebServiceTest, GoingOnlineIsQueuedNotWritten) {
  Online();
  store_->allowInternet = false;
  Configure();
  user_.answer = true;
  server_.Always("ul", kLoginOk);
  server_.Always("bl", ResultReply(0));
  std::thread worker([this] { service_->Request(BuddyListQuery()); });
  worker.join();
  EXPECT_FALSE(store_->allowInternet);
  EXPECT_GT(Drain(), 0u);
  EXPECT_TRUE(store_->allowInternet);
}

TEST_F(WebServiceTest, AFailedLoginIsShownOffersTheAccountAndRefusesTheRequest) {
  Online();
  server_.Always("ul", ResultReply(1));
  user_.answer = true;  // Ok to the failure: open the account dialog
  EXPECT_FALSE(service_->Request(BuddyListQuery()));
  const std::vector<UserQuestion> asked = user_.asked();
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].buttons, Buttons::OkCancel);
  EXPECT_EQ(asked[0].text, "Login to the online service failed (wrong password!)\n\nPress Ok to check your account settings.");
  EXPECT_EQ(asked[1].buttons, Buttons::Ok);
  EXPECT_EQ(asked[1].text, "The login to the online service failed.\n\nVozazId buddy tracking now runs only while Rovana is online.");
  EXPECT_EQ(accountOpened_, 1);
  EXPECT_EQ(server_.actions(), std::vector<std::string>{"ul"});
  Drain();
  EXPECT_EQ(store_->vozazidEnabled, 2);
  EXPECT_FALSE(store_->allowInternet);

  // Offline now, and the tracker's requests go only while online: dropped
  // without traffic or another word.
  EXPECT_FALSE(service_->Request(BuddyListQuery()));
  EXPECT_EQ(server_.actions().size(), 1u);
  EXPECT_EQ(user_.asked().size(), 2u);
}

TEST_F(WebServiceTest, CancelToTheFailedLoginOpensNothing) {
  Online();
  server_.Always("ul", ResultReply(6));
  user_.answer = false;
  EXPECT_FALSE(service_->Request(AddBuddyQuery("Bob", "1")));
  EXPECT_EQ(accountOpened_, 0);
  ASSERT_EQ(user_.texts().size(), 2u);
  EXPECT_EQ(user_.texts()[0], "Login to the online service failed (account not activated yet!)\n\nPress Ok to check your account settings.");
  EXPECT_EQ(user_.texts()[1], "The online request failed.");
}

TEST_F(WebServiceTest, AnExpiredSessionLogsInOnceMoreAndRepeatsTheRequest) {
  Online();
  server_.Queue("ul", kLoginOk);
  server_.Queue("ul", "<reply><result id=\"0\"/><user id=\"17\"><session>4712</session></user></reply>");
  server_.Queue("bl", ResultReply(7));
  server_.Queue("bl", "<reply><result id=\"0\"/><buddylist/></reply>");
  const std::optional<std::string> reply = service_->Request(BuddyListQuery());
  ASSERT_TRUE(reply);
  EXPECT_EQ(*reply, "<reply><result id=\"0\"/><buddylist/></reply>");
  EXPECT_EQ(server_.actions(), (std::vector<std::string>{"ul", "bl", "ul", "bl"}));
  const std::vector<ServiceRequest> requests = server_.requests();
  EXPECT_EQ(QueryValue(requests[1].path, "s"), "4711");
  EXPECT_EQ(QueryValue(requests[3].path, "s"), "4712");
  EXPECT_EQ(service_->sessionId(), 4712);
  EXPECT_NE(LogText().find("session expired"), std::string::npos);
}

TEST_F(WebServiceTest, ASecondExpiryIsGivenToTheCallerWithoutAThirdLogin) {
  Online();
  server_.Always("ul", kLoginOk);
  server_.Always("bp", ResultReply(7));
  const std::optional<std::string> reply = service_->Request(BuddyPositionsQuery());
  ASSERT_TRUE(reply);
  EXPECT_EQ(*reply, ResultReply(7));
  EXPECT_EQ(server_.actions(), (std::vector<std::string>{"ul", "bp", "ul", "bp"}));
  EXPECT_EQ(service_->lastResult(), 7);
}

TEST_F(WebServiceTest, NoReplyToASessionActionIsResultMinus2) {
  Online();
  server_.Always("ul", kLoginOk);
  ASSERT_EQ(service_->Login(), 0);
  EXPECT_FALSE(service_->Request(BuddyListQuery()));
  EXPECT_EQ(service_->lastResult(), -2);
  EXPECT_TRUE(service_->loggedIn()) << "a lost reply does not end the session";
}

TEST_F(WebServiceTest, ResultTexts) {
  const std::pair<int, const char*> cases[] = {
      {0, "logged in"},
      {1, "wrong password"},
      {3, "no password set"},
      {4, "invalid e-mail address"},
      {5, "e-mail address already registered"},
      {6, "account not activated yet"},
      {7, "session expired"},
      {8, "server busy"},
      {9, "program version no longer supported"},
      {14, "buddy not found"},
      {15, "wrong PIN"},
      {16, "nickname already in use"},
      {-1, "no user account"},
      {-2, "no reply from the server"},
      {-3, "no e-mail address set"},
      {2, "ERROR 2"},
      {12, "ERROR 12"},
      {13, "ERROR 13"},
      {17, "ERROR 17"},
      {-4, "ERROR -4"},
      {2147483647, "ERROR 2147483647"},
  };
  for (const auto& [code, text] : cases) {
    SCOPED_TRACE(code);
    EXPECT_EQ(service_->ResultText(code), text);
  }
}

TEST_F(WebServiceTest, OneLoginForManyThreads) {
  Online();
  server_.Always("ul", kLoginOk);
  server_.Delay("ul", std::chrono::milliseconds(300));
  server_.Always("bl", ResultReply(0));
  std::vector<std::thread> threads;
  int ok[4] = {};
  for (int i = 0; i < 4; ++i) threads.emplace_back([this, &ok, i] { ok[i] = service_->Request(BuddyListQuery()).has_value(); });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(server_.Count("ul"), 1u);
  EXPECT_EQ(server_.Count("bl"), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(ok[i]) << i;
}

TEST_F(WebServiceTest, AFailedLoginIsNotRepeatedByTheRequestsThatWaitedForIt) {
  Online();
  server_.Always("ul", ResultReply(1));
  server_.Delay("ul", std::chrono::milliseconds(300));
  std::vector<std::thread> threads;
  for (int i = 0; i < 3; ++i) threads.emplace_back([this] { service_->Request(BuddyListQuery()); });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(server_.Count("ul"), 1u);
  EXPECT_EQ(server_.Count("bl"), 0u);
  int failures = 0;
  for (const UserQuestion& q : user_.asked()) failures += q.buttons == Buttons::OkCancel;
  EXPECT_EQ(failures, 1) << "the failure is shown once";
}

TEST_F(WebServiceTest, ThePasswordNeverReachesTheLog) {
  Online();
  server_.Queue("ul", ResultReply(12));
  server_.Queue("ur", ResultReply(0));
  server_.Queue("ul", kLoginOk);
  server_.Queue("bl", ResultReply(7));
  server_.Queue("ul", std::nullopt);
  service_->Request(BuddyListQuery());
  service_->Login();
  const std::string log = LogText();
  EXPECT_FALSE(log.empty());
  EXPECT_EQ(log.find("Geheim"), std::string::npos) << log;
  EXPECT_EQ(log.find("anna%40"), std::string::npos) << "nor the query that holds it";
}

TEST_F(WebServiceTest, WithoutHooksNothingIsSentAndNothingBreaks) {
  WebService bare(language_, ServiceHooks{}, "id");
  ServiceSettings settings;
  settings.email = "a@b";
  settings.password = "p";
  settings.allowInternet = true;
  settings.vozazidEnabled = 1;
  bare.Configure(settings);
  EXPECT_EQ(bare.Login(), -2);
  EXPECT_FALSE(bare.Request(BuddyListQuery()));
  EXPECT_NE(LogText().find("no transport"), std::string::npos);
}

TEST_F(WebServiceTest, ATransportThatThrowsIsNoReply) {
  WebService service(language_,
                     ServiceHooks{[](const ServiceRequest&) -> std::optional<std::string> { throw std::runtime_error("x"); },
                                  {}, {}, {}, {}},
                     "id");
  ServiceSettings settings;
  settings.email = "a@b";
  settings.password = "p";
  service.Configure(settings);
  EXPECT_EQ(service.Login(), -2);
}

}  // namespace
}  // namespace rovana
