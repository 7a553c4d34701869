// Directions: the instruction of a reply (list form, paragraph form,
// neither), the page cut, and the step of DirectionsThread with a scripted
// tick: fetches only when asked while dirsRefresh is off, automatic fetches
// after 4 s and a 20 m move, an unchanged instruction changing nothing, the
// notices without a target and after a failed download, a Refresh during a
// download, and the thread against a real HTTP server on loopback without
// ever holding the lock during the download.
#include "app/online/Directions.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <chrono>
#include <thread>

#include "app/core/LanguageTable.h"
#include "app/online/DirectionsThread.h"
#include "app/online/OnlineConnection.h"
#include "app/online/ServiceTransport.h"
#include "app/online/WebService.h"
#include "tests/app/online/OnlineTestSupport.h"
#include "tests/app/online/WebServiceFixture.h"
#include "tests/support/LoggedFolder.h"
#include "tests/support/LoopbackHttp.h"

namespace rovana {
namespace {

using testing_support::QueryValue;
using testing_support::SourceLanguageFolder;

constexpr double kDeg = 3.14159265358979323846 / 180.0;

// The relay's example reply, and one whose first instruction differs.
constexpr const char* kReply =
    "<html><body><div class=\"head\"><center>12.3 km, 15 min</center></div><ol>"
    "<li>Head north on Lombardsbr\xC3\xBC"
    "cke<br />0.4 km<br /></li><li>Turn left onto Ballindamm<br />0.6 km<br /></li>"
    "<li>Arrive at your destination<br />0 m<br /></li></ol></body></html>";
constexpr const char* kHeadline = "<li>Head north on Lombardsbr\xC3\xBC" "cke<br />0.4 km";
constexpr const char* kOtherReply =
    "<div><center>1 km</center></div><ol><li>Turn right<br />1 km<br /></li></ol>";

struct HeadlineCase {
  const char* name;
  std::string page;
  std::string headline;
};

TEST(DirectionsHeadlineTest, InstructionOfAPage) {
  const HeadlineCase cases[] = {
      {"list form", kReply, kHeadline},
      {"list item without a second break", "<center>x</center></div><li>Go<br />1 km", "<li>Go<br />1 km"},
      {"paragraph form", "<div><center>5 km</center></div><p>Drive west<br />5 km<br /></p>", "Drive west"},
      {"neither list nor paragraph", "<center>h</center></div>Keep left<br />rest", "Keep left"},
      {"no header: the whole page", "<p>Drive<br />on</p>", "<p>Drive<br />on</p>"},
      {"no route", "<div><center>No route</center></div>", ""},
  };
  for (const HeadlineCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(HeadlineOf(c.page), c.headline);
  }
}

TEST(DirectionsHeadlineTest, InstructionStaysWithin2048BytesAndWholeCharacters) {
  // 2047 ASCII bytes, then a two-byte character across the limit.
  const std::string page = std::string(2047, 'a') + "\xC3\xBC" + "tail";
  EXPECT_EQ(HeadlineOf(page), std::string(2047, 'a'));
  const std::string afterHeader = "</center></div>" + std::string(3000, 'b');
  EXPECT_EQ(HeadlineOf(afterHeader).size(), kMaxHeadline);
}

TEST(DirectionsHeadlineTest, PageEndsBeforeFormsAndLinks) {
  struct Case {
    const char* name;
    std::string reply, page;
  } cases[] = {
      {"plain", "<b>x</b>", "<b>x</b>"},
      {"form", "<b>x</b><form action=y>", "<b>x</b>"},
      {"link", "<b>x</b><a href=\"y\">", "<b>x</b><a "},
      {"link after a form", "a<form>b href=c", "a"},
      {"link before a form", "a href=b<form>", "a "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DirectionsPageOf(c.reply), c.page);
  }
}

class DirectionsTest : public testing_support::LoggedFolderTest {
 protected:
  void SetUp() override {
    LoggedFolderTest::SetUp();
    ASSERT_TRUE(language_.Load("English"));
  }

  std::unique_ptr<Directions> Make() {
    DirectionsHooks hooks;
    hooks.request = [this](const ServiceAction& action) -> std::optional<std::string> {
      actions_.push_back(action);
      if (during_) during_();
      return reply_;
    };
    hooks.online = [this] { return online_; };
    hooks.tick = [this] { return tick_; };
    auto d = std::make_unique<Directions>(language_, folder_ / "temp", std::move(hooks));
    d->SetPlaces(user_, target_);
    return d;
  }
  std::string Page(const std::filesystem::path& file) const { return ReadBytes(file); }

  LanguageTable language_{std::vector<std::filesystem::path>{SourceLanguageFolder()}};
  std::vector<ServiceAction> actions_;
  std::optional<std::string> reply_ = std::string(kReply);
  std::function<void()> during_;
  bool online_ = true;
  std::uint32_t tick_ = 100000;
  GeoPoint user_{53.5558 * kDeg, 9.9947 * kDeg};
  std::optional<GeoPoint> target_ = GeoPoint(53.5573 * kDeg, 10.0062 * kDeg);
};

TEST_F(DirectionsTest, StartsWithTheWaitingPage) {
  auto d = Make();
  EXPECT_EQ(Page(d->headlinePage()), "<b><font color=black>Waiting for directions...</font></b>");
  EXPECT_EQ(Page(d->bodyPage()), "<b><font color=black>Waiting for directions...</font></b>");
  EXPECT_EQ(d->headlinePage(), folder_ / "temp" / "dirsHeadline.html");
  EXPECT_EQ(d->bodyPage(), folder_ / "temp" / "dirsBody.html");
  EXPECT_EQ(d->headlineUrl(), "file://" + d->headlinePage().string());
  EXPECT_EQ(d->ChangeCount(), 0);
  EXPECT_EQ(d->lastFetch(), 0u);
}

TEST_F(DirectionsTest, WithRefreshOffItFetchesOnlyWhenAsked) {
  auto d = Make();
  d->SetRefresh(false);
  GeoPoint moving = user_;
  for (int i = 0; i < 10; ++i) {
    tick_ += 10000;
    moving.Offset(100, 0);
    d->SetPlaces(moving, target_);
    EXPECT_FALSE(d->Step());
  }
  EXPECT_TRUE(actions_.empty());
  d->SetPlaces(user_, target_);
  d->RequestFetch();
  EXPECT_TRUE(d->FetchPending());
  EXPECT_TRUE(d->Step());
  ASSERT_EQ(actions_.size(), 1u);
  EXPECT_EQ(actions_[0].kind, kKindRoute) << "a requested fetch is not governed by dirsRefresh";
  EXPECT_EQ(QueryValue(actions_[0].query, "a"), "di");
  EXPECT_EQ(QueryValue(actions_[0].query, "sa"), "53.555800%2C9.994700");
  EXPECT_EQ(QueryValue(actions_[0].query, "da"), "53.557300%2C10.006200");
  EXPECT_FALSE(d->FetchPending());
  EXPECT_EQ(d->ChangeCount(), 1);
  EXPECT_EQ(d->headline(), kHeadline);
  EXPECT_EQ(Page(d->headlinePage()), kHeadline);
  EXPECT_EQ(Page(d->bodyPage()), kReply);
  EXPECT_EQ(d->lastFetch(), tick_);
  EXPECT_FALSE(d->Step()) << "one request, one fetch";
}

TEST_F(DirectionsTest, TwoAutomaticFetchesWithTheSameInstructionChangeNothing) {
  auto d = Make();
  d->SetRefresh(true);
  ASSERT_TRUE(d->Step());
  ASSERT_EQ(actions_.size(), 1u);
  EXPECT_EQ(actions_[0].kind, kKindDirectionsRefresh);
  EXPECT_EQ(d->ChangeCount(), 1);
  const std::uint32_t first = d->lastFetch();
  // Marks the page so that a rewrite would show.
  std::ofstream(d->headlinePage(), std::ios::trunc) << "untouched";

  tick_ += 5000;
  user_.Offset(30, 0);
  d->SetPlaces(user_, target_);
  ASSERT_TRUE(d->Step());
  EXPECT_EQ(actions_.size(), 2u);
  EXPECT_EQ(d->ChangeCount(), 1);
  EXPECT_EQ(d->lastFetch(), first);
  EXPECT_EQ(Page(d->headlinePage()), "untouched");

  // A different instruction is a change.
  reply_ = kOtherReply;
  user_.Offset(30, 0);
  d->SetPlaces(user_, target_);
  ASSERT_TRUE(d->Step());
  EXPECT_EQ(d->ChangeCount(), 2);
  EXPECT_EQ(d->headline(), "<li>Turn right<br />1 km");
  EXPECT_EQ(Page(d->headlinePage()), "<li>Turn right<br />1 km");
}

TEST_F(DirectionsTest, AutomaticFetchesWaitForTimeAndAMove) {
  auto d = Make();
  d->SetRefresh(true);
  ASSERT_TRUE(d->Step());
  reply_ = kOtherReply;
  struct Case {
    const char* name;
    std::uint32_t wait;
    double userMove, targetMove;
    bool fetches;
  } cases[] = {
      {"5 s later, moved 15 m", 6000, 15, 0, false},
      {"target moved 25 m", 0, 0, 25, true},
      {"4.999 s after that change, moved 100 m", 4999, 100, 0, false},
      {"5 s after that change", 1, 0, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tick_ += c.wait;
    user_.Offset(c.userMove, 0);
    target_->Offset(c.targetMove, 0);
    d->SetPlaces(user_, target_);
    EXPECT_EQ(d->Step(), c.fetches);
  }
  EXPECT_EQ(actions_.size(), 3u);
}

TEST_F(DirectionsTest, WithoutATargetTheNoticeNeedsNoNetwork) {
  target_.reset();
  auto d = Make();
  d->RequestFetch();
  ASSERT_TRUE(d->Step());
  EXPECT_TRUE(actions_.empty());
  const std::string notice = "<b><font color=red>No target is set. Please set a target first (View > Set target).</font></b>";
  EXPECT_EQ(d->headline(), notice);
  EXPECT_EQ(Page(d->bodyPage()), notice);
  // Automatic fetches without a target run, but the same notice changes nothing.
  d->SetRefresh(true);
  tick_ += 5000;
  std::ofstream(d->bodyPage(), std::ios::trunc) << "untouched";
  EXPECT_TRUE(d->Step());
  EXPECT_EQ(d->ChangeCount(), 1);
  EXPECT_EQ(Page(d->bodyPage()), "untouched") << "the same page is not written again every second";
}

TEST_F(DirectionsTest, AFailedDownloadSaysOfflineOrFailed) {
  reply_.reset();
  struct Case {
    const char* name;
    bool online;
    std::string headline;
  } cases[] = {
      {"offline", false,
       "<b><font color=red>Rovana is offline.</font></b><br>Directions and routes are now refreshed only while Rovana is "
       "online."},
      {"failed", true, "<b><font color=red>The online request failed.</font></b><br>Directions and routes: Please try "
                       "again later."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto d = Make();
    online_ = c.online;
    d->RequestFetch();
    ASSERT_TRUE(d->Step());
    EXPECT_EQ(d->headline(), c.headline);
    EXPECT_EQ(Page(d->bodyPage()), c.headline);
  }
}

TEST_F(DirectionsTest, ARefreshDuringADownloadFetchesAgain) {
  auto d = Make();
  Directions* directions = d.get();
  bool lockFree = false;
  during_ = [&] {
    lockFree = directions->LockFree();
    directions->RequestFetch();  // takes the lock: the download must not hold it
    during_ = nullptr;
  };
  d->RequestFetch();
  ASSERT_TRUE(d->Step());
  EXPECT_TRUE(lockFree);
  EXPECT_TRUE(d->FetchPending());
  EXPECT_TRUE(d->Step());
  EXPECT_EQ(actions_.size(), 2u);
  EXPECT_EQ(d->ChangeCount(), 2) << "each requested fetch is a change";
}

TEST_F(DirectionsTest, RoutesComeFromTheRouteAction) {
  auto d = Make();
  struct Case {
    const char* name;
    std::optional<std::string> reply;
    bool online;
    Directions::RouteFetch::Outcome outcome;
    std::size_t points;
  } cases[] = {
      {"three points", "<route>points:\"_p~iF~ps|U_ulLnnqC_mqNvxq`@\"</route>", true,
       Directions::RouteFetch::Outcome::Ok, 3},
      {"no marker", "<reply><result id=\"0\"/></reply>", true, Directions::RouteFetch::Outcome::NoRoute, 0},
      {"empty line", "points:\"\"", true, Directions::RouteFetch::Outcome::NoRoute, 0},
      {"no reply, online", std::nullopt, true, Directions::RouteFetch::Outcome::Failed, 0},
      {"no reply, offline", std::nullopt, false, Directions::RouteFetch::Outcome::Offline, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    actions_.clear();
    reply_ = c.reply;
    online_ = c.online;
    const Directions::RouteFetch fetch = d->FetchRoute(user_, *target_, 836809);
    EXPECT_EQ(fetch.outcome, c.outcome);
    EXPECT_EQ(fetch.points.size(), c.points);
    ASSERT_EQ(actions_.size(), 1u);
    EXPECT_EQ(QueryValue(actions_[0].query, "a"), "ro");
    EXPECT_EQ(actions_[0].kind, kKindRoute);
  }
}

// The download of the thread must not hold the lock the user-interface
// thread takes for every look at the directions.
TEST_F(DirectionsTest, TheThreadDownloadsFromARealServerWithoutTheLock) {
  testing_support::LoopbackServer server;
  std::atomic<Directions*> directions{nullptr};
  std::atomic<int> heldDuringDownload{0}, downloads{0};
  server.routes().Get("/online/os.asp", [&](const httplib::Request& req, httplib::Response& res) {
    const std::string action = req.get_param_value("a");
    if (action == "ul") {
      res.set_content(testing_support::kLoginOk, "text/xml");
      return;
    }
    if (Directions* d = directions.load()) {
      // The test's own thread takes the lock for a moment now and then (it
      // polls the change count); a download that held it would hold it all
      // along, so the lock must come free within half a second.
      bool freed = false;
      for (int attempt = 0; attempt < 500 && !freed; ++attempt) {
        freed = d->LockFree();
        if (!freed) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      if (!freed) ++heldDuringDownload;
      (void)d->headline();  // what a viewer reads meanwhile
    }
    ++downloads;
    res.set_content(kReply, "text/html");
  });
  ASSERT_TRUE(server.Start());

  OnlineOptions options;
  options.allowInternet = [] { return true; };
  options.useConnMgr = [] { return false; };
  OnlineConnection connection(options);
  ServiceHooks serviceHooks;
  serviceHooks.transport = HttpTransport(connection);
  WebService service(language_, serviceHooks, testing_support::kTestDeviceId);
  ServiceSettings settings;
  settings.host = server.base();
  settings.email = "anna@example.org";
  settings.password = "Geheim#42";
  settings.allowInternet = true;
  settings.dirsRefresh = 1;
  service.Configure(settings);

  DirectionsHooks hooks;
  hooks.request = [&service](const ServiceAction& action) { return service.Request(action); };
  hooks.online = [] { return true; };
  Directions d(language_, folder_ / "temp", hooks);
  d.SetPlaces(user_, target_);
  directions = &d;
  std::atomic<bool> quit{false};
  {
    DirectionsThread thread(d, quit, 10);
    d.RequestFetch();
    while (d.ChangeCount() < 1) std::this_thread::yield();
    d.RequestFetch();
    while (d.ChangeCount() < 2) std::this_thread::yield();
    quit = true;
  }
  EXPECT_GE(downloads.load(), 2);
  EXPECT_EQ(heldDuringDownload.load(), 0);
  EXPECT_EQ(d.headline(), kHeadline);
  EXPECT_EQ(ReadBytes(d.bodyPage()), kReply);
  EXPECT_NE(LogText().find("DirectionsThread=0x"), std::string::npos);
}

}  // namespace
}  // namespace rovana
