// A whole search: the reply's points in the current file's POIs collection,
// earlier results deleted only after a reply, the result texts of failures,
// and runs against a real HTTP server on loopback (the relay and the
// geocaching site's POST).
#include "app/online/Search.h"

#include <gtest/gtest.h>

#include <numbers>

#include "app/online/OnlineConnection.h"
#include "app/online/ServiceTransport.h"
#include "app/waypoints/Waypoints.h"
#include "tests/app/online/WebServiceFixture.h"
#include "tests/support/LoopbackHttp.h"

namespace {

using namespace rovana;
using testing_support::kLoginOk;

constexpr double kDeg = std::numbers::pi / 180.0;

const std::string kLocalA =
    "<html><body><div class=\"r\"><a latlng=53557300%2C10006200>Hotel Atlantic</a><br/>An der Alster 72</div>"
    "<div class=\"r\"><a latlng=53550000%2C10000000>Kiosk</a></div></body></html>";

SearchArea Hamburg() {
  SearchArea a;
  a.minLatitude = 53.5 * kDeg;
  a.maxLatitude = 53.6 * kDeg;
  a.minLongitude = 9.9 * kDeg;
  a.maxLongitude = 10.1 * kDeg;
  a.centre = GeoPoint(53.55 * kDeg, 10.0 * kDeg);
  return a;
}

class SearchTest : public testing_support::WebServiceFixture {
 protected:
  void SetUp() override {
    WebServiceFixture::SetUp();
    store_->primaryDataPath = store_->secondaryDataPath = folder_.string();
    store_->poiStyle = "Pin";
    waypoints_ = std::make_unique<Waypoints>(*store_);
    FreshFile("search.gpx");
  }
  // A new current file whose POIs collection holds the user's own point.
  void FreshFile(const std::string& name) {
    file_ = &waypoints_->NewFile(name);
    waypoints_->SetCurrentFile(file_);
    GeoPoint mine(0.1, 0.2);
    mine.setText(PointText::Name, "Mine");
    waypoints_->FirstOf(*file_)->AddPoint(mine, -1, true);
  }
  void TearDown() override {
    waypoints_.reset();
    WebServiceFixture::TearDown();
  }

  SearchTransport Transport() {
    SearchTransport t;
    t.service = [this](const ServiceAction& a) { return service_->Request(a); };
    return t;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const GeoPoint& p : waypoints_->FirstOf(*file_)->Points()) names.push_back(p.name());
    return names;
  }
  SearchResult Run(const SearchSettings& s, bool online) {
    return ApplySearch(*waypoints_, FetchSearch(s, Hamburg(), Transport()), s, language_, online);
  }

  std::unique_ptr<Waypoints> waypoints_;
  GpxParser* file_ = nullptr;
};

TEST_F(SearchTest, ResultsJoinOrReplaceTheUsersPoints) {
  struct Case {
    const char* name;
    bool deletePois;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"kept", false, {"Mine", "Hotel Atlantic", "Kiosk"}},
      {"deleted first", true, {"Hotel Atlantic", "Kiosk"}},
  };
  server_.Always("ul", kLoginOk);
  server_.Always("ls", kLocalA);
  Online();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FreshFile(std::string(c.deletePois ? "deleting" : "keeping") + ".gpx");
    SearchSettings s = SearchSettingsOf(*store_);
    s.provider = 0;
    s.what = "hotel";
    s.deletePois = c.deletePois;
    const SearchResult r = Run(s, true);
    EXPECT_TRUE(r.success);
    EXPECT_EQ(r.text, "Points found (2).");
    EXPECT_EQ(r.added, 2u);
    EXPECT_EQ(Names(), c.names);
    POIs* pois = waypoints_->FirstOf(*file_);
    EXPECT_EQ(waypoints_->current(), pois);
    ASSERT_NE(r.first, nullptr);
    EXPECT_EQ(r.first->name(), "Hotel Atlantic");
    EXPECT_EQ(r.first->sym(), "Pin") << "stamped with poiStyle";
    EXPECT_EQ(pois->SelectedPoint()->name(), "Hotel Atlantic");
    EXPECT_NEAR(pois->bounds().maxLatitude, 53.5573 * kDeg, 1e-12);
    EXPECT_TRUE(file_->modified());
  }
}

TEST_F(SearchTest, AFailedSearchKeepsThePointsAndTellsWhy) {
  struct Case {
    const char* name;
    bool allowInternet;  // the user's answer to going online, too
    std::string text;
  };
  const Case cases[] = {
      {"no reply while online", true, "The online request failed."},
      {"declined to go online", false, "Rovana is offline."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server_.Always("ul", kLoginOk);
    server_.Always("ls", std::nullopt);
    store_->trackerEmail = "anna@example.org";
    store_->trackerPassword = "pw";
    store_->allowInternet = c.allowInternet;
    user_.answer = false;
    Configure();
    SearchSettings s = SearchSettingsOf(*store_);
    s.provider = 0;
    s.deletePois = true;
    const SearchResult r = Run(s, service_->settings().allowInternet);
    EXPECT_FALSE(r.success);
    EXPECT_EQ(r.text, c.text);
    EXPECT_EQ(Names(), std::vector<std::string>{"Mine"}) << "searchDeletePOIs waits for a reply";
  }
}

TEST_F(SearchTest, ProvidersThatCannotRun) {
  struct Case {
    const char* name;
    int provider;
    std::string text;
  };
  const Case cases[] = {
      {"geocaching site without a host", 2, "Geocaches: The online request failed."},
      {"provider out of range", 6, "?"},
      {"negative provider", -1, "?"},
  };
  Online();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SearchSettings s = SearchSettingsOf(*store_);
    s.provider = c.provider;
    s.deletePois = true;
    const SearchResult r = Run(s, true);
    EXPECT_FALSE(r.success);
    EXPECT_EQ(r.text, c.text);
    EXPECT_EQ(Names(), std::vector<std::string>{"Mine"});
  }
  EXPECT_TRUE(server_.requests().empty()) << "nothing was sent";
}

TEST_F(SearchTest, WithoutACurrentFileNothingHappens) {
  waypoints_->SetCurrentFile(nullptr);
  server_.Always("ls", kLocalA);
  SearchSettings s = SearchSettingsOf(*store_);
  SearchReply reply;
  reply.status = SearchStatus::Replied;
  reply.found.NewPoint();
  const SearchResult r = ApplySearch(*waypoints_, std::move(reply), s, language_, true);
  EXPECT_FALSE(r.success);
  EXPECT_TRUE(r.text.empty());
  EXPECT_EQ(Names(), std::vector<std::string>{"Mine"});
}

// The relay and the geocaching site as one real server on loopback, reached
// through the program's own HTTP requests.
class SearchLoopbackTest : public SearchTest {
 protected:
  void SetUp() override {
    SearchTest::SetUp();
    auto& r = site_.routes();
    r.Get("/online/os.asp", [this](const httplib::Request& req, httplib::Response& res) {
      const std::string a = req.get_param_value("a");
      if (a == "ul") {
        res.set_content(kLoginOk, "text/xml");
      } else if (a == "ls") {
        what_ = req.get_param_value("b");
        res.set_content(kLocalA, "text/html");
      } else {
        res.status = 404;
      }
    });
    r.Post("/map/default.aspx", [this](const httplib::Request& req, httplib::Response& res) {
      postHost_ = req.get_header_value("Host");
      postType_ = req.get_header_value("Content-Type");
      postParam_ = req.get_param_value("eo_cb_id");
      res.set_content(
          "{\"cs\":{\"count\":1,\"cc\":[{\"gc\":\"GC77\",\"nn\":\"Alster box\",\"lat\":53.56,\"lon\":10.01,"
          "\"ctid\":2,\"f\":false,\"o\":false,\"ia\":true}]}}",
          "application/json");
    });
    ASSERT_TRUE(site_.Start());
    OnlineOptions options;
    options.allowInternet = [] { return true; };
    options.useConnMgr = [] { return false; };
    connection_ = std::make_unique<OnlineConnection>(options);
    ServiceHooks hooks;
    hooks.transport = HttpTransport(*connection_);
    hooks.ask = user_.ask();
    service_ = std::make_unique<WebService>(language_, std::move(hooks), testing_support::kTestDeviceId);
    store_->serviceHost = site_.base();
    store_->geocacheHost = site_.base();
    Online();
  }

  SearchTransport Transport() {
    SearchTransport t;
    t.service = [this](const ServiceAction& a) { return service_->Request(a); };
    t.post = [this](const FormPost& post) {
      return SendFormPost(*connection_, post, [this] { return service_->Prepare(kKindPublic).has_value(); });
    };
    return t;
  }

  testing_support::LoopbackServer site_;
  std::unique_ptr<OnlineConnection> connection_;
  std::string what_, postHost_, postType_, postParam_;
};

TEST_F(SearchLoopbackTest, LocalSearchThroughTheRelay) {
  SearchSettings s = SearchSettingsOf(*store_);
  s.provider = 0;
  s.what = "Hotel & Bar";
  const SearchResult r = ApplySearch(*waypoints_, FetchSearch(s, Hamburg(), Transport()), s, language_, true);
  EXPECT_TRUE(r.success);
  EXPECT_EQ(r.text, "Points found (2).");
  EXPECT_EQ(what_, "Hotel & Bar");
  EXPECT_EQ(Names(), (std::vector<std::string>{"Mine", "Hotel Atlantic", "Kiosk"}));
}

TEST_F(SearchLoopbackTest, GeocachesByTheSitesFormPost) {
  SearchSettings s = SearchSettingsOf(*store_);
  s.provider = 2;
  const SearchResult r = ApplySearch(*waypoints_, FetchSearch(s, Hamburg(), Transport(), GeocacheTextsOf(language_, {})),
                                     s, language_, true);
  EXPECT_TRUE(r.success);
  EXPECT_EQ(r.text, "Points found (1).");
  EXPECT_EQ(postHost_, "127.0.0.1:" + std::to_string(site_.port()));
  EXPECT_EQ(postType_, "application/x-www-form-urlencoded");
  EXPECT_EQ(postParam_, "ctl00_ContentBody_cbAjax");
  ASSERT_NE(r.first, nullptr);
  EXPECT_EQ(r.first->name(), "Alster box");
  EXPECT_EQ(r.first->sym(), "CacheTrad");
  EXPECT_EQ(r.first->text(PointText::Link),
            site_.base() + "/seek/cache_details.aspx?wp=GC77&pf=y&log=y&numlogs=5&decrypt=y");
}

}  // namespace
