// The search providers: each reply scanner on a sample reply, the geocache
// filters and symbols, replies that stop early, the request texts, and the
// result texts with their limit forms.
#include "app/online/SearchProviders.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "app/core/LanguageTable.h"
#include "app/online/HttpRequest.h"
#include "app/online/QueryText.h"
#include "app/online/ReplyScanner.h"
#include "app/online/Search.h"
#include "app/online/SearchGeocaches.h"
#include "tests/app/online/OnlineTestSupport.h"

namespace {

using namespace rovana;

constexpr double kDeg = std::numbers::pi / 180.0;
constexpr double kTolDeg = 1e-9;

double Lat(const GeoPoint& p) { return p.latitude() / kDeg; }
double Lon(const GeoPoint& p) { return p.longitude() / kDeg; }

SearchContext Scan(SearchProvider provider, std::string reply, const GeocacheFilters& filters = {},
                   const GeocacheTexts& texts = {}) {
  TextReplyStream stream(std::move(reply));
  stream.Open();
  SearchContext context{"Default"};
  ScanProviderReply(provider, stream, context, filters, texts);
  return context;
}

// What a test expects of one point.
struct Want {
  double lat, lon;
  std::string name, desc, phone, link, pic, sym;
};

void ExpectPoint(const GeoPoint& p, const Want& w) {
  EXPECT_NEAR(Lat(p), w.lat, kTolDeg);
  EXPECT_NEAR(Lon(p), w.lon, kTolDeg);
  EXPECT_EQ(p.name(), w.name);
  EXPECT_EQ(p.text(PointText::Desc), w.desc);
  EXPECT_EQ(p.text(PointText::Phone), w.phone);
  EXPECT_EQ(p.text(PointText::Link), w.link);
  EXPECT_EQ(p.text(PointText::Pic), w.pic);
  EXPECT_EQ(p.sym(), w.sym);
}

const std::string kLocalA =
    "<html><body><div class=\"r\"><a latlng=53557300%2C10006200>Hotel Atlantic</a> <a href=\"tel:+4940288880\">call</a>"
    "<br/>An der Alster 72<br/>  20099 Hamburg</div>"
    "<div class=\"r\"><a latlng=52371234%2C4891234>Dam &amp; Square</a><br/><b>Amsterdam</b></div></body></html>";

const std::string kLocalB =
    "<ResultSet totalResultsAvailable=\"2\"><Result><Title>Hotel Atlantic</Title><Address>An der Alster 72</Address>"
    "<City>Hamburg</City><State></State><Phone>+49 40 288880</Phone><Latitude>53.5573</Latitude>"
    "<Longitude>10.0062</Longitude><AverageRating>4.5</AverageRating><ClickUrl>https://www.openstreetmap.org/node/1</ClickUrl>"
    "<BusinessClickUrl/></Result><Result><Title>Kiosk</Title><Latitude>x</Latitude><Longitude>9.5</Longitude></Result>"
    "</ResultSet>";

const std::string kArticles =
    "<geonames><entry><lang>en</lang><title>Binnenalster</title><summary>The Binnenalster is a lake</summary>"
    "<feature>landmark</feature><elevation>6</elevation><lat>53.5558</lat><lng>9.9947</lng>"
    "<wikipediaUrl>en.wikipedia.org/wiki/Binnenalster</wikipediaUrl><thumbnailImg></thumbnailImg></entry></geonames>";

const std::string kPhotos =
    "{\"count\":1,\"photos\":[{\"photo_id\":1,\"photo_title\":\"Alster\",\"photo_url\":\"https://example.org/p/1\","
    "\"photo_file_url\":\"https://example.org/p/1.jpg\",\"longitude\":10.0,\"latitude\":53.56,\"width\":500}]}";

const std::string kWeather =
    "{\"weatherObservation\":{\"clouds\":\"few clouds\",\"weatherCondition\":\"n/a\",\"observation\":\"EDDH 091220Z\","
    "\"windDirection\":270,\"ICAO\":\"EDDH\",\"elevation\":16,\"countryCode\":\"DE\",\"lng\":10,\"temperature\":\"7\","
    "\"dewPoint\":\"3\",\"windSpeed\":\"12\",\"humidity\":75,\"stationName\":\"Hamburg-Fuhlsbuettel\","
    "\"datetime\":\"2026-12-09 12:20:00\",\"lat\":53.633,\"hectoPascAltimeter\":1018}}";

// Caches: found and own, found and not own, not found and own, not found
// and not own (unavailable), in that order.
const std::string kCaches =
    "{\"cs\":{\"count\":4,\"li\":true,\"cc\":["
    "{\"gc\":\"GC1\",\"nn\":\"Mine found\",\"lat\":53.1,\"lon\":10.1,\"ctid\":2,\"f\":true,\"o\":true,\"ia\":true},"
    "{\"gc\":\"GC2\",\"nn\":\"Found\",\"lat\":53.2,\"lon\":10.2,\"ctid\":3,\"f\":true,\"o\":false,\"ia\":true},"
    "{\"gc\":\"GC3\",\"nn\":\"Mine\",\"lat\":53.3,\"lon\":10.3,\"ctid\":1858,\"f\":false,\"o\":true,\"ia\":true},"
    "{\"gc\":\"GC4\",\"nn\":\"Open\",\"lat\":53.4,\"lon\":10.4,\"ctid\":453,\"f\":false,\"o\":false,\"ia\":false}]}}";

TEST(SearchProvidersTest, EachScannerReadsItsSampleReply) {
  const std::string deg = "\xC2\xB0";
  struct Case {
    const char* name;
    SearchProvider provider;
    std::string reply;
    std::vector<Want> points;
    int reported;
  };
  const Case cases[] = {
      {"local search A",
       SearchProvider::LocalA,
       kLocalA,
       {{53.5573, 10.0062, "Hotel Atlantic", "An der Alster 72\r\n20099 Hamburg", "+4940288880", "", "", "Default"},
        {52.371234, 4.891234, "Dam & Square", "Amsterdam", "", "", "", "Default"}},
       -1},
      {"local search B",
       SearchProvider::LocalB,
       kLocalB,
       {{53.5573, 10.0062, "Hotel Atlantic", "An der Alster 72\r\nHamburg\r\naverage rating: 4.5", "+49 40 288880",
         "https://www.openstreetmap.org/node/1", "", "Default"},
        {0, 9.5, "Kiosk", "", "", "", "", "Default"}},
       2},
      {"articles",
       SearchProvider::Articles,
       kArticles,
       {{53.5558, 9.9947, "Binnenalster", "The Binnenalster is a lake", "", "en.wikipedia.org/wiki/Binnenalster?printable=yes",
         "", "Default"}},
       -1},
      {"photos",
       SearchProvider::Photos,
       kPhotos,
       {{53.56, 10.0, "Alster", "", "", "https://example.org/p/1", "https://example.org/p/1.jpg", "Default"}},
       -1},
      {"weather",
       SearchProvider::Weather,
       kWeather,
       {{53.633, 10, "Hamburg-Fuhlsbuettel",
         "date/time: 2026-12-09 12:20:00\r\ntemperature: 7" + deg + "C\r\ndew point: 3" + deg +
             "C\r\nwind speed: 12\r\nwind direction: 270.0" + deg +
             "\r\nhumidity: 75%\r\nclouds: few clouds\r\nweather condition: n/a\r\naltimeter: 1018Pascal\r\n"
             "elevation: 16m\r\nICAO: EDDH\r\ncountry code: DE\r\nobservation: EDDH 091220Z\r\n",
         "", "", "", "Default"}},
       -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SearchContext found = Scan(c.provider, c.reply);
    ASSERT_EQ(found.points.size(), c.points.size());
    for (std::size_t i = 0; i < c.points.size(); ++i) ExpectPoint(found.points[i], c.points[i]);
    EXPECT_EQ(found.reported, c.reported);
    for (const GeoPoint& p : found.points) EXPECT_NE(p.date(), 0) << "stamped now";
  }
}

TEST(SearchProvidersTest, GeocacheFiltersKeepWhatTheyMatch) {
  struct Case {
    const char* name;
    GeocacheFilters filters;
    std::vector<std::string> kept;
  };
  const Case cases[] = {
      {"all on", {true, true, true, true}, {"Mine found", "Found", "Mine", "Open"}},
      {"only not found", {false, true, false, false}, {"Mine", "Open"}},
      {"only own", {false, false, true, false}, {"Mine found", "Mine"}},
      {"all off", {false, false, false, false}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SearchContext found = Scan(SearchProvider::Geocaches, kCaches, c.filters);
    std::vector<std::string> names;
    for (const GeoPoint& p : found.points) names.push_back(p.name());
    EXPECT_EQ(names, c.kept);
    EXPECT_EQ(found.reported, 4);
  }
}

TEST(SearchProvidersTest, GeocachesGetTheirTypeSymbolLinkAndLines) {
  GeocacheTexts texts;
  texts.siteHost = "https://caches.example.org/";
  const SearchContext found = Scan(SearchProvider::Geocaches, kCaches, {}, texts);
  ASSERT_EQ(found.points.size(), 4u);
  struct Case {
    const char* name;
    std::size_t index;
    Want want;
  };
  const Case cases[] = {
      {"traditional, found and own", 0,
       {53.1, 10.1, "Mine found", "waypoint GC1\r\nFound by me: Yes\r\nOwned by me: Yes", "",
        "https://caches.example.org/seek/cache_details.aspx?wp=GC1&pf=y&log=y&numlogs=5&decrypt=y", "", "CacheTrad"}},
      {"multi", 1,
       {53.2, 10.2, "Found", "waypoint GC2\r\nFound by me: Yes\r\nOwned by me: No", "",
        "https://caches.example.org/seek/cache_details.aspx?wp=GC2&pf=y&log=y&numlogs=5&decrypt=y", "", "CacheMulti"}},
      {"a type without its own symbol", 2,
       {53.3, 10.3, "Mine", "waypoint GC3\r\nFound by me: No\r\nOwned by me: Yes", "",
        "https://caches.example.org/seek/cache_details.aspx?wp=GC3&pf=y&log=y&numlogs=5&decrypt=y", "", "CacheUnknown"}},
      {"unavailable mega event is defect", 3,
       {53.4, 10.4, "Open", "waypoint GC4\r\nFound by me: No\r\nOwned by me: No", "",
        "https://caches.example.org/seek/cache_details.aspx?wp=GC4&pf=y&log=y&numlogs=5&decrypt=y", "", "CacheDefect"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectPoint(found.points[c.index], c.want);
  }
}

TEST(SearchProvidersTest, GeocacheSymbolByType) {
  struct Case {
    int type;
    bool available;
    std::string_view symbol;
  };
  const Case cases[] = {
      {2, true, "CacheTrad"},     {3, true, "CacheMulti"},   {4, true, "CacheVirtual"}, {5, true, "CacheHybrid"},
      {6, true, "CacheEvent"},    {8, true, "CacheMyst"},    {11, true, "CacheWebcam"}, {13, true, "CacheInOut"},
      {137, true, "CacheEarth"},  {453, true, "CacheMega"},  {0, true, "CacheUnknown"}, {1858, true, "CacheUnknown"},
      {2, false, "CacheDefect"},  {453, false, "CacheDefect"}, {-1, false, "CacheDefect"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.type) + (c.available ? " available" : " unavailable"));
    EXPECT_EQ(GeocacheSymbol(c.type, c.available), c.symbol);
  }
}

// A reply that breaks off keeps the results read before the break.
TEST(SearchProvidersTest, ARepliesCutShortKeepsThePointsSoFar) {
  struct Case {
    const char* name;
    SearchProvider provider;
    std::string reply;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"local search A inside the second result", SearchProvider::LocalA,
       kLocalA.substr(0, kLocalA.find("Dam") + 2), {"Hotel Atlantic"}},
      {"local search B inside the second result", SearchProvider::LocalB,
       kLocalB.substr(0, kLocalB.find("Kiosk")), {"Hotel Atlantic"}},
      {"articles inside the latitude", SearchProvider::Articles, kArticles.substr(0, kArticles.find("53.5558") + 4), {}},
      {"photos inside the second object", SearchProvider::Photos,
       "{\"photos\":[{\"photo_title\":\"One\",\"latitude\":1},{\"photo_title\":\"Tw", {"One"}},
      {"geocaches inside the third cache", SearchProvider::Geocaches, kCaches.substr(0, kCaches.find("GC3")),
       {"Mine found", "Found"}},
      {"weather inside its object", SearchProvider::Weather, kWeather.substr(0, 60), {}},
      {"nothing at all", SearchProvider::LocalB, "", {}},
      {"binary junk", SearchProvider::Articles, std::string("\0\xFF<entry\x01", 9), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SearchContext found = Scan(c.provider, c.reply);
    std::vector<std::string> names;
    for (const GeoPoint& p : found.points) names.push_back(p.name());
    EXPECT_EQ(names, c.names);
  }
}

TEST(SearchProvidersTest, UnscannableNumbersLeaveZero) {
  const SearchContext found = Scan(SearchProvider::LocalA, "<div><a latlng=north%2Ceast>Nowhere</a></div>");
  ASSERT_EQ(found.points.size(), 1u);
  EXPECT_EQ(found.points[0].latitude(), 0);
  EXPECT_EQ(found.points[0].longitude(), 0);
  EXPECT_EQ(found.points[0].name(), "Nowhere");
}

SearchArea Hamburg() {
  SearchArea a;
  a.minLatitude = 53.5 * kDeg;
  a.maxLatitude = 53.6 * kDeg;
  a.minLongitude = 9.9 * kDeg;
  a.maxLongitude = 10.1 * kDeg;
  a.centre = GeoPoint(53.55 * kDeg, 10.0 * kDeg);
  return a;
}

TEST(SearchProvidersTest, RequestsAreTheRelayActionsOfEachProvider) {
  const SearchArea area = Hamburg();
  // 0.05 degrees of latitude along the meridian on the program's sphere, in miles.
  const std::string radius = QueryReal(0.05 * kDeg * kEarthRadius / 1609.344);
  struct Case {
    const char* name;
    SearchProvider provider;
    std::string query;
  };
  const Case cases[] = {
      {"local search A", SearchProvider::LocalA, "/online/os.asp?a=ls&d=53.550000%2C10.000000&b=Caf%C3%A9+%26+Bar"},
      {"local search B", SearchProvider::LocalB,
       "/online/os.asp?a=ys&q=" +
           EncodeQueryValue("latitude=53.550000&longitude=10.000000&radius=" + radius +
                            "&query=Caf%C3%A9+%26+Bar&results=20&sort=relevance")},
      {"articles", SearchProvider::Articles,
       "/online/os.asp?a=gn&q=" +
           EncodeQueryValue("wikipediaBoundingBox?maxRows=50&north=53.600000&south=53.500000&east=10.100000&west=9.900000")},
      {"photos", SearchProvider::Photos,
       "/online/os.asp?a=pa&q=" +
           EncodeQueryValue("/map/get_panoramas.php?order=popularity&set=public&from=0&to=50&maxy=53.600000&miny=53.500000"
                            "&minx=9.900000&maxx=10.100000")},
      {"weather", SearchProvider::Weather,
       "/online/os.asp?a=gn&q=" + EncodeQueryValue("findNearByWeatherJSON?lat=53.550000&lng=10.000000")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<ServiceAction> action = ProviderRequest(c.provider, area, "Café & Bar");
    ASSERT_TRUE(action);
    EXPECT_EQ(action->query, c.query);
    EXPECT_EQ(action->kind, kKindSearch);
  }
  EXPECT_FALSE(ProviderRequest(SearchProvider::Geocaches, area, "x")) << "the geocaching site is asked directly";
  EXPECT_NEAR(SearchRadiusMiles(area), 0.05 * kDeg * kEarthRadius / 1609.344, 1e-9);
}

TEST(SearchProvidersTest, GeocacheRequestIsTheSitesFormPost) {
  const FormPost post = GeocacheRequest("https://caches.example.org:8443", Hamburg());
  EXPECT_EQ(post.host, "https://caches.example.org:8443");
  EXPECT_EQ(post.path, "/map/default.aspx?");
  const std::vector<std::string> headers = SplitHeaderLines(post.headers);
  ASSERT_EQ(headers.size(), 5u);
  EXPECT_EQ(headers[0], "Host: caches.example.org:8443");
  EXPECT_EQ(headers[1], "Content-Type: application/x-www-form-urlencoded");
  EXPECT_TRUE(headers[2].starts_with("User-Agent: Mozilla/5.0 "));
  EXPECT_EQ(headers[3],
            "Accept: text/xml,application/xml,application/xhtml+xml,text/html;q=0.9,text/plain;q=0.8,image/png,*/*;q=0.5");
  EXPECT_EQ(headers[4], "Accept-Language: nl,en-us;q=0.7,en;q=0.3");
  EXPECT_TRUE(post.body.starts_with(
      "eo_cb_id=ctl00_ContentBody_cbAjax&eo_cb_param=%7B%22c%22%3A1%2C%22m%22%3A%22%22%2C%22d%22%3A%22"
      "53.600000%7C53.500000%7C10.100000%7C9.900000%22%7D&__eo_obj_states=&__VIEWSTATE="))
      << post.body;
  EXPECT_TRUE(post.body.ends_with("&eo_version=5.0.44.2&=2&=3&=4&=5&=1858&=6&=8&=11&=137&=13&=453"
                                  "&__EVENTTARGET=&__EVENTARGUMENT="))
      << post.body;
}

TEST(SearchProvidersTest, LocalSearchDescriptionBreaksLinesAndDropsTags) {
  struct Case {
    const char* name;
    std::string html;
    std::string desc;
  };
  const Case cases[] = {
      {"one line", "Main Street 1", "Main Street 1"},
      {"two lines", "Main Street 1<br/>  12345 Town", "Main Street 1\r\n12345 Town"},
      {"tags removed", "<b>Open</b> <i>now</i><br/><span>late</span>", "Open now\r\nlate"},
      {"an unclosed tag ends the text", "Street<b", "Street"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(LocalSearchDescription(c.html), c.desc);
  }
}

class SearchTextTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(language_.Load("English")); }
  LanguageTable language_{std::vector<std::filesystem::path>{testing_support::SourceLanguageFolder()}};
};

TEST_F(SearchTextTest, CountsAndLimitForms) {
  struct Case {
    const char* name;
    SearchProvider provider;
    std::size_t count;
    int reported;
    std::string text;
  };
  const std::string limit = "Points found (50). Only the first results are shown.\n\nZoom in to see more results.";
  const Case cases[] = {
      {"nothing", SearchProvider::LocalA, 0, -1, "Nothing was found.\n\nMove the map or try other words."},
      {"some", SearchProvider::LocalA, 3, -1, "Points found (3)."},
      {"photos below the limit", SearchProvider::Photos, 49, -1, "Points found (49)."},
      {"photos at the limit", SearchProvider::Photos, 50, -1, limit},
      {"articles at the limit", SearchProvider::Articles, 50, -1, limit},
      {"local search B, total 20", SearchProvider::LocalB, 20, 20, "Points found (20)."},
      {"local search B, total over 20", SearchProvider::LocalB, 20, 21, "Points found (>20).\n\nZoom in to see more results."},
      {"geocaches, 500", SearchProvider::Geocaches, 12, 500, "Points found (12)."},
      {"geocaches over 500", SearchProvider::Geocaches, 12, 501, "Points found (>500).\n\nZoom in to see more results."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SearchCountText(c.provider, c.count, c.reported, language_), c.text);
  }
}

}  // namespace
