// The relay adapters against a fake outside service on loopback: each
// action's reply shape from canned Nominatim, OSRM and GeoNames replies, the
// requests re-built from parsed values, and a well-formed "nothing found"
// (with a log line) for failing, garbage, oversized and slow upstreams.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/server/RelayHarness.h"

using relay_test::Canned;
using relay_test::FakeConfig;
using relay_test::FakeUpstream;
using rovana::server::Query;
using rovana::server::RelayConfig;
using rovana::server::RelayReply;
using rovana::server::WebRelay;
using server_test::TestServer;

namespace {

constexpr const char* kPlace =
    R"([{"place_id":1,"osm_type":"node","osm_id":1,"lat":"53.5573","lon":"10.0062","name":"Hotel Atlantic",)"
    R"("display_name":"Hotel Atlantic, An der Alster 72, 20099 Hamburg",)"
    R"("address":{"road":"An der Alster","house_number":"72","postcode":"20099","city":"Hamburg","state":"Hamburg"},)"
    R"("extratags":{"phone":"+4940288880"}}])";

constexpr const char* kSteps =
    R"({"code":"Ok","routes":[{"distance":12345,"duration":900,"legs":[{"steps":[)"
    R"({"distance":400,"name":"Lombardsbr\u00fccke","maneuver":{"type":"depart","bearing_after":2}},)"
    R"({"distance":600,"name":"Ballindamm","maneuver":{"type":"turn","modifier":"left"}},)"
    R"({"distance":0,"name":"","maneuver":{"type":"arrive"}}]}]}]})";

constexpr const char* kExampleLine = "_p~iF~ps|U_ulLnnqC_mqNvxq`@";

// Tests with a relay over the fake and a log in a temporary folder.
class RelayAdapters : public ::testing::Test {
 protected:
  RelayAdapters() : folder_(server_test::MakeTempFolder("rovana-relay-adapters-")) {
    log_.Open(folder_ / "server.log");
  }
  ~RelayAdapters() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  RelayReply Ask(const RelayConfig& config, const std::string& action, const std::string& query) {
    WebRelay relay(config, log_);
    return relay.Answer(action, Query(query), {"127.0.0.1:8642", false});
  }
  RelayReply Ask(const std::string& action, const std::string& query) {
    return Ask(FakeConfig(fake), action, query);
  }
  std::string LogText() const { return server_test::ReadFile(folder_ / "server.log"); }

  FakeUpstream fake;
  std::filesystem::path folder_;
  rovana::server::ServerLog log_;
};

// A reply of the service's XML envelope with result 0, read by the
// application's XML reader.
::testing::AssertionResult EmptyEnvelope(const std::string& body) {
  server_test::ReplyReader reader(body);
  reader.Read();
  if (!reader.wellFormed || !reader.problem().empty()) return ::testing::AssertionFailure() << "not XML: " << body;
  if (reader.elements.size() != 2 || reader.elements[1].name != "result" || reader.elements[1].id != 0) {
    return ::testing::AssertionFailure() << "not an empty reply: " << body;
  }
  return ::testing::AssertionSuccess();
}

TEST_F(RelayAdapters, GeocoderGivesPlacemark) {
  fake.Answer("/search", {200, kPlace});
  const RelayReply reply = Ask("gc", "q=" + TestServer::Encode("An der Alster 72, Hamburg"));
  EXPECT_NE(reply.body.find("<result id=\"0\"/>"), std::string::npos);
  EXPECT_NE(reply.body.find("<Placemark><address>Hotel Atlantic, An der Alster 72, 20099 Hamburg</address>"
                            "<Point><coordinates>10.0062,53.5573,0</coordinates></Point>"),
            std::string::npos)
      << reply.body;
  EXPECT_NE(reply.body.find("</Placemark>"), std::string::npos);
  EXPECT_EQ(fake.lastTarget(), "/search?q=An%20der%20Alster%2072%2C%20Hamburg&format=jsonv2&limit=1");
  EXPECT_EQ(fake.lastAgent(), "rovana-server/1.0 (+ops@example.org)");
}

TEST_F(RelayAdapters, FailingGeocoderGivesNothingFoundAndLogs) {
  struct Case {
    const char* name;
    Canned canned;
    const char* logged;  // "" when nothing is to be logged
  };
  const Case cases[] = {
      {"server error", {500, "oops"}, "upstream geocoder: HTTP status 500"},
      {"html error page", {200, "<html><body>Error</body></html>", "text/html"}, "the reply is not JSON"},
      {"cut JSON", {200, R"([{"lat":"53.5","lon":)"}, "the reply is not JSON"},
      {"oversized", {200, "[" + std::string(8000, ' ') + "]"}, "reply larger than 4096 bytes"},
      {"too slow", {200, kPlace, "application/json", 2500}, "upstream geocoder: no reply"},
      {"nothing found", {200, "[]"}, ""},
      {"place without coordinates", {200, R"([{"display_name":"x"}])"}, ""},
      {"coordinates off the globe", {200, R"([{"lat":"95","lon":"10","display_name":"x"}])"}, ""},
  };
  RelayConfig config = FakeConfig(fake);
  config.replyCap = 4096;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake.Answer("/search", c.canned);
    const std::size_t logged = LogText().size();
    const RelayReply reply = Ask(config, "gc", "q=Hamburg");
    EXPECT_TRUE(EmptyEnvelope(reply.body));
    const std::string newLines = LogText().substr(logged);
    if (*c.logged) EXPECT_NE(newLines.find(c.logged), std::string::npos) << newLines;
    else EXPECT_EQ(newLines, "");
  }
}

TEST_F(RelayAdapters, GeocoderRefusesMissingAddress) {
  const RelayReply reply = Ask("gc", "q=");
  EXPECT_NE(reply.body.find("<result id=\"2\"/>"), std::string::npos);
  EXPECT_TRUE(fake.targets().empty());
}

TEST_F(RelayAdapters, LocalSearchGivesHtmlList) {
  fake.Answer("/search", {200, kPlace});
  const RelayReply reply = Ask("ls", "d=53.5573%2C10.0062&b=hotel&i=1&s=2");
  EXPECT_EQ(reply.contentType, rovana::server::kHtmlContentType);
  EXPECT_EQ(reply.body,
            "<html><body><div class=\"r\"><a latlng=53557300%2C10006200>Hotel Atlantic</a> "
            "<a href=\"tel:+4940288880\">call</a><br/>An der Alster 72<br/>20099 Hamburg</div></body></html>");
  const std::string target = fake.lastTarget();
  EXPECT_EQ(target.rfind("/search?q=hotel&format=jsonv2&limit=20&addressdetails=1&extratags=1&viewbox=", 0), 0u)
      << target;
  EXPECT_NE(target.find("&bounded=1"), std::string::npos);
}

TEST_F(RelayAdapters, LocalSearchEscapesWhatTheClientScansFor) {
  fake.Answer("/search", {200, R"([{"lat":"1","lon":"2","name":"<b>latlng=9</b></div>","display_name":"x"}])"});
  const RelayReply reply = Ask("ls", "d=1%2C2&b=x");
  EXPECT_EQ(reply.body.find("latlng="), reply.body.rfind("latlng=")) << reply.body;
  EXPECT_EQ(reply.body.find("<b>"), std::string::npos);
  EXPECT_EQ(reply.body.find("</div>"), reply.body.rfind("</div>"));
}

TEST_F(RelayAdapters, ResultSetSearchGivesResults) {
  fake.Answer("/search", {200, kPlace});
  const std::string inner = "latitude=53.557300&longitude=10.006200&radius=1.500000&query=" +
                            TestServer::Encode("hotel atlantic") + "&results=20&sort=relevance";
  const RelayReply reply = Ask("ys", "q=" + TestServer::Encode(inner));
  EXPECT_EQ(reply.body,
            "<ResultSet totalResultsAvailable=\"1\"><Result><Title>Hotel Atlantic</Title><Address>An der Alster "
            "72</Address><City>20099 Hamburg</City><State>Hamburg</State><Phone>+4940288880</Phone>"
            "<Latitude>53.5573</Latitude><Longitude>10.0062</Longitude>"
            "<ClickUrl>https://www.openstreetmap.org/node/1</ClickUrl><BusinessClickUrl></BusinessClickUrl>"
            "</Result></ResultSet>");
  EXPECT_EQ(fake.lastTarget().rfind("/search?q=hotel%20atlantic&format=jsonv2&limit=20&", 0), 0u)
      << fake.lastTarget();
  fake.Answer("/search", {503, ""});
  EXPECT_EQ(Ask("ys", "q=" + TestServer::Encode(inner)).body, "<ResultSet totalResultsAvailable=\"0\"></ResultSet>");
}

TEST_F(RelayAdapters, DirectionsGiveStepList) {
  fake.Answer("/route/v1/driving/10.0062,53.5573;9.99,53.55", {200, kSteps});
  const RelayReply reply = Ask("di", "sa=53.557300%2C10.006200&da=53.550000%2C9.990000");
  EXPECT_EQ(reply.body,
            "<html><body><div class=\"head\"><center>12.3 km, 15 min</center></div><ol>"
            "<li>Head north on Lombardsbr\xC3\xBC" "cke<br />0.4 km<br /></li>"
            "<li>Turn left onto Ballindamm<br />0.6 km<br /></li>"
            "<li>Arrive at your destination<br />0 m<br /></li></ol></body></html>");
  EXPECT_EQ(fake.lastTarget(), "/route/v1/driving/10.0062,53.5573;9.99,53.55?overview=false&steps=true");
  // What the client takes as its headline: from the first <li> to the second <br />.
  const std::size_t li = reply.body.find("<li>");
  const std::size_t second = reply.body.find("<br />", reply.body.find("<br />", li) + 1);
  EXPECT_EQ(reply.body.substr(li, second - li), "<li>Head north on Lombardsbr\xC3\xBC" "cke<br />0.4 km");
}

TEST_F(RelayAdapters, DirectionsWithoutRouteSayNoRoute) {
  const std::string noRoute = "<html><body><div class=\"head\"><center>No route</center></div></body></html>";
  struct Case {
    const char* name;
    std::string query;
    Canned canned;
  };
  const Case cases[] = {
      {"router found none", "sa=1%2C2&da=3%2C4", {200, R"({"code":"NoRoute","routes":[]})"}},
      {"router failed", "sa=1%2C2&da=3%2C4", {500, "{}"}},
      {"garbage", "sa=1%2C2&da=3%2C4", {200, "\x01\x02garbage"}},
      {"route without steps", "sa=1%2C2&da=3%2C4", {200, R"({"code":"Ok","routes":[{"legs":[]}]})"}},
      {"start off the globe", "sa=91%2C2&da=3%2C4", {200, kSteps}},
      {"destination missing", "sa=1%2C2", {200, kSteps}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake.Answer("/route/v1/driving/2,1;4,3", c.canned);
    const RelayReply reply = Ask("di", c.query);
    EXPECT_EQ(reply.body, noRoute);
    EXPECT_EQ(reply.body.find("<form"), std::string::npos);
  }
}

TEST_F(RelayAdapters, InstructionsFollowManeuvers) {
  struct Case {
    const char* name;
    const char* step;
    const char* instruction;
  };
  const Case cases[] = {
      {"depart without bearing", R"({"name":"A","maneuver":{"type":"depart"}})", "Head on A"},
      {"depart south-west", R"({"name":"A","maneuver":{"type":"depart","bearing_after":225}})", "Head southwest on A"},
      {"slight right", R"({"name":"B","maneuver":{"type":"turn","modifier":"slight right"}})", "Turn slight right onto B"},
      {"u-turn", R"({"name":"B","maneuver":{"type":"continue","modifier":"uturn"}})", "Continue around on B"},
      {"unknown modifier", R"({"name":"B","maneuver":{"type":"turn","modifier":"sideways"}})", "Turn straight onto B"},
      {"roundabout exit", R"({"name":"C","maneuver":{"type":"roundabout","exit":3}})", "At the roundabout take exit 3 onto C"},
      {"fork unnamed", R"({"name":"","maneuver":{"type":"fork","modifier":"left"}})", "Keep left at the fork"},
      {"ref for name", R"({"name":"","ref":"B 4","maneuver":{"type":"merge","modifier":"right"}})", "Merge right onto B 4"},
      {"unknown type", R"({"name":"D","maneuver":{"type":"teleport"}})", "Continue on D"},
      {"markup in name", R"({"name":"<a href=x>","maneuver":{"type":"new name"}})", "Continue onto &lt;a href&#61;x&gt;"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake.Answer("/route/v1/driving/2,1;4,3",
                {200, std::string(R"({"code":"Ok","routes":[{"distance":50,"duration":60,"legs":[{"steps":[)") +
                          c.step + "]}]}]}"});
    const RelayReply reply = Ask("di", "sa=1%2C2&da=3%2C4");
    EXPECT_NE(reply.body.find(std::string("<li>") + c.instruction + "<br />"), std::string::npos) << reply.body;
    EXPECT_EQ(reply.body.find("href="), std::string::npos);
  }
}

TEST_F(RelayAdapters, RouteIsReEncodedAtFiveDecimals) {
  const std::string example = "<route>points:\"" + std::string(kExampleLine) + "\"</route>";
  struct Case {
    const char* name;
    int precision;  // asked of the router
    std::string geometry;
    std::string route;
    const char* asked;
  };
  const Case cases[] = {
      {"polyline", 5, "\"_p~iF~ps|U_ulLnnqC_mqNvxq`@\"", example, "geometries=polyline"},
      {"polyline6", 6, "\"_izlhA~rlgdF_{geC~ywl@_kwzCn`{nI\"", example, "geometries=polyline6"},
      // Read at 5 decimals a polyline6 line leaves the globe, so it is read at 6.
      {"polyline6 when polyline was asked", 5, "\"_izlhA~rlgdF_{geC~ywl@_kwzCn`{nI\"", example,
       "geometries=polyline"},
      {"geojson", 0, R"({"type":"LineString","coordinates":[[-120.2,38.5],[-120.95,40.7],[-126.453,43.252]]})",
       example, "geometries=geojson"},
      {"backslash doubled", 0, R"({"type":"LineString","coordinates":[[-0.00015,0]]})",
       "<route>points:\"?\\\\\"</route>", "geometries=geojson"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RelayConfig config = FakeConfig(fake);
    config.routerPrecision = c.precision;
    fake.Answer("/route/v1/driving/-120.2,38.5;-126.453,43.252",
                {200, R"({"code":"Ok","routes":[{"distance":1,"geometry":)" + c.geometry + "}]}"});
    const RelayReply reply = Ask(config, "ro", "sa=38.500000%2C-120.200000&da=43.252000%2C-126.453000");
    EXPECT_NE(reply.body.find("<result id=\"0\"/>"), std::string::npos);
    EXPECT_NE(reply.body.find(c.route), std::string::npos) << reply.body;
    const std::string asked = std::string("?overview=full&steps=false&") + c.asked;
    const std::string target = fake.lastTarget();
    EXPECT_TRUE(target.size() > asked.size() && target.compare(target.size() - asked.size(), asked.size(), asked) == 0)
        << target;
  }
}

TEST_F(RelayAdapters, RouteWithoutLineHasNoPointsMarker) {
  const Canned cases[] = {
      {200, R"({"code":"Ok","routes":[{"geometry":"!!!"}]})"},
      {200, R"({"code":"Ok","routes":[{"geometry":{"coordinates":[[1]]}}]})"},
      {200, R"({"code":"NoRoute"})"},
      {404, "not found"},
      {200, "[" + std::string(40, '[')},
  };
  for (const Canned& canned : cases) {
    SCOPED_TRACE(canned.body);
    fake.Answer("/route/v1/driving/2,1;4,3", canned);
    const RelayReply reply = Ask("ro", "sa=1%2C2&da=3%2C4");
    EXPECT_TRUE(EmptyEnvelope(reply.body));
    EXPECT_EQ(reply.body.find("points:"), std::string::npos);
  }
}

TEST_F(RelayAdapters, GeoNamesRequestsAreReBuilt) {
  const std::string articles =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<geonames><entry><title>Binnenalster</title>"
      "<lat>53.5558</lat><lng>9.9947</lng></entry></geonames>";
  fake.Answer("/wikipediaBoundingBox", {200, articles, "text/xml"});
  const std::string request =
      "wikipediaBoundingBox?maxRows=50&north=53.600000&south=53.500000&east=10.100000&west=9.900000"
      "&username=someone&lang=../../etc";
  const RelayReply reply = Ask("gn", "q=" + TestServer::Encode(request));
  EXPECT_EQ(reply.body, articles);
  EXPECT_EQ(fake.lastTarget(),
            "/wikipediaBoundingBox?north=53.6&south=53.5&east=10.1&west=9.9&maxRows=50&username=demo");

  const std::string weather = R"({"weatherObservation":{"stationName":"Hamburg-Fuhlsbuettel","lat":53.633,"lng":10}})";
  fake.Answer("/findNearByWeatherJSON", {200, weather});
  const RelayReply observed = Ask("gn", "q=" + TestServer::Encode("findNearByWeatherJSON?lat=53.56&lng=10.0"));
  EXPECT_EQ(observed.body, weather);
  EXPECT_EQ(observed.contentType, rovana::server::kJsonContentType);
  EXPECT_EQ(fake.lastTarget(), "/findNearByWeatherJSON?lat=53.56&lng=10&username=demo");
}

TEST_F(RelayAdapters, GeoNamesRepliesMustBeWhatTheyClaim) {
  struct Case {
    const char* name;
    std::string request;
    const char* path;
    Canned canned;
    const char* answer;
  };
  const Case cases[] = {
      {"articles as HTML", "wikipediaBoundingBox?north=1&south=0&east=1&west=0", "/wikipediaBoundingBox",
       {200, "<html>Error</html>", "text/html"}, "<geonames></geonames>"},
      {"articles cut", "wikipediaBoundingBox?north=1&south=0&east=1&west=0", "/wikipediaBoundingBox",
       {200, "<geonames><entry>", "text/xml"}, "<geonames></geonames>"},
      {"articles with binary", "wikipediaBoundingBox?north=1&south=0&east=1&west=0", "/wikipediaBoundingBox",
       {200, std::string("<geonames>\x01</geonames>"), "text/xml"}, "<geonames></geonames>"},
      {"box off the globe", "wikipediaBoundingBox?north=100&south=0&east=1&west=0", "/wikipediaBoundingBox",
       {200, "<geonames></geonames>", "text/xml"}, "<geonames></geonames>"},
      {"weather not JSON", "findNearByWeatherJSON?lat=1&lng=2", "/findNearByWeatherJSON", {200, "weather!"}, "{}"},
      {"weather an array", "findNearByWeatherJSON?lat=1&lng=2", "/findNearByWeatherJSON", {200, "[1]"}, "{}"},
      {"weather failed", "findNearByWeatherJSON?lat=1&lng=2", "/findNearByWeatherJSON", {502, "{}"}, "{}"},
      {"unknown service", "search?q=x", "/search", {200, "{}"}, "<geonames></geonames>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake.Answer(c.path, c.canned);
    EXPECT_EQ(Ask("gn", "q=" + TestServer::Encode(c.request)).body, c.answer);
  }
}

TEST_F(RelayAdapters, PhotosAreReBuiltAndChecked) {
  const std::string photos = R"({"count":1,"photos":[{"photo_id":1,"latitude":53.56,"longitude":10.0}]})";
  fake.Answer("/map/get_panoramas.php", {200, photos});
  const std::string request =
      "/map/get_panoramas.php?order=popularity&set=public&from=0&to=50&maxy=53.600000&miny=53.500000"
      "&minx=9.900000&maxx=10.100000&extra=1";
  EXPECT_EQ(Ask("pa", "q=" + TestServer::Encode(request)).body, photos);
  EXPECT_EQ(fake.lastTarget(),
            "/map/get_panoramas.php?order=popularity&set=public&from=0&to=50&maxy=53.6&miny=53.5&minx=9.9&maxx=10.1");
  fake.Answer("/map/get_panoramas.php", {200, "<html/>"});
  EXPECT_EQ(Ask("pa", "q=" + TestServer::Encode(request)).body, "{\"count\":0,\"photos\":[]}");
  EXPECT_EQ(Ask("pa", "q=" + TestServer::Encode("/etc/passwd?x=1")).body, "{\"count\":0,\"photos\":[]}");
}

TEST_F(RelayAdapters, MapCatalogueNamesTheRequestHost) {
  RelayConfig config;
  EXPECT_TRUE(EmptyEnvelope(Ask(config, "gm", "").body)) << "no tiles: nothing to offer";
  config.tileFolder = folder_;
  WebRelay relay(config, log_);
  EXPECT_EQ(relay.Answer("gm", Query(""), {"maps.example.org:8642", false}).body,
            "versions([\"http://maps.example.org:8642/mt?n=404&v=w2.61&\",\"http://maps.example.org:8642/kh?n=404&v=21&\","
            "\"http://maps.example.org:8642/mt?n=404&v=w2t.61&\",\"http://maps.example.org:8642/mt?n=404&v=w2p.64&\"])");
  EXPECT_NE(relay.Answer("gm", Query(""), {"maps.example.org", true}).body.find("\"https://maps.example.org/kh?"),
            std::string::npos);
  for (const char* host : {"", "evil\"])", "a b", "x/y"}) {
    SCOPED_TRACE(host);
    EXPECT_TRUE(EmptyEnvelope(relay.Answer("gm", Query(""), {host, false}).body));
  }
}

TEST_F(RelayAdapters, FixturesAnswerWithoutUpstreams) {
  struct Case {
    const char* action;
    std::string query;
    const char* file;
    const char* type;
  };
  const Case cases[] = {
      {"gc", "q=x", "gc.xml", rovana::server::kXmlContentType},
      {"di", "sa=1%2C2&da=3%2C4", "di.html", rovana::server::kHtmlContentType},
      {"ro", "sa=1%2C2&da=3%2C4", "ro.txt", rovana::server::kXmlContentType},
      {"ls", "d=1%2C2&b=x", "ls.html", rovana::server::kHtmlContentType},
      {"ys", "q=x", "ys.xml", rovana::server::kXmlContentType},
      {"gn", "q=wikipediaBoundingBox%3Fnorth%3D1", "gn-wikipedia.xml", rovana::server::kXmlContentType},
      {"gn", "q=findNearByWeatherJSON%3Flat%3D1", "gn-weather.json", rovana::server::kJsonContentType},
      {"pa", "q=%2Fmap%2Fget_panoramas.php%3Fto%3D50", "pa.json", rovana::server::kJsonContentType},
  };
  RelayConfig config;
  config.fixtures = folder_ / "fixtures";
  std::filesystem::create_directories(config.fixtures);
  for (const Case& c : cases) std::ofstream(config.fixtures / c.file) << "canned " << c.file;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const RelayReply reply = Ask(config, c.action, c.query);
    EXPECT_EQ(reply.body, std::string("canned ") + c.file);
    EXPECT_EQ(reply.contentType, c.type);
  }
  // A fixture over the cap is not served.
  config.replyCap = 1024;
  std::ofstream(config.fixtures / "gc.xml") << std::string(2000, 'x');
  EXPECT_TRUE(EmptyEnvelope(Ask(config, "gc", "q=x").body));
  EXPECT_NE(LogText().find("fixture gc.xml is larger than the reply cap"), std::string::npos);
}

TEST_F(RelayAdapters, NothingConfiguredGivesEmptyReplies) {
  const RelayConfig config;
  struct Case {
    const char* action;
    const char* query;
    const char* body;  // "" for the empty XML envelope
  };
  const Case cases[] = {
      {"gm", "", ""},
      {"gc", "q=Hamburg", ""},
      {"ro", "sa=1%2C2&da=3%2C4", ""},
      {"di", "sa=1%2C2&da=3%2C4", "<html><body><div class=\"head\"><center>No route</center></div></body></html>"},
      {"ls", "d=1%2C2&b=x", "<html><body></body></html>"},
      {"ys", "q=latitude%3D1%26longitude%3D2%26query%3Dx", "<ResultSet totalResultsAvailable=\"0\"></ResultSet>"},
      {"gn", "q=findNearByWeatherJSON%3Flat%3D1%26lng%3D2", "{}"},
      {"pa", "q=%2Fmap%2Fget_panoramas.php%3Fmaxy%3D1%26miny%3D0%26minx%3D0%26maxx%3D1", "{\"count\":0,\"photos\":[]}"},
      {"zz", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.action);
    const RelayReply reply = Ask(config, c.action, c.query);
    if (*c.body) EXPECT_EQ(reply.body, c.body);
    else EXPECT_TRUE(EmptyEnvelope(reply.body));
  }
  EXPECT_TRUE(fake.targets().empty());
}

TEST(RelayOverHttp, RepliesCarryTheirTypesAndHost) {
  FakeUpstream fake;
  fake.Answer("/search", {200, kPlace});
  fake.Answer("/findNearByWeatherJSON", {200, R"({"weatherObservation":{}})"});
  RelayConfig config = FakeConfig(fake);
  const auto tiles = server_test::MakeTempFolder("rovana-relay-tiles-");
  config.tileFolder = tiles;
  relay_test::RelayServer server(config);
  const std::string login = server.SignUp();
  ASSERT_NE(login, "&i=&s=&tick=1");
  struct Case {
    const char* name;
    std::string query;
    const char* type;
    std::string contains;
  };
  const Case cases[] = {
      {"geocoder", "a=gc&q=Hamburg", "text/xml; charset=utf-8", "<coordinates>10.0062,53.5573,0</coordinates>"},
      {"local search", "a=ls&d=1%2C2&b=x", "text/html; charset=utf-8", "latlng=53557300%2C10006200>"},
      {"weather", "a=gn&q=findNearByWeatherJSON%3Flat%3D1%26lng%3D2", "application/json", "weatherObservation"},
      {"catalogue", "a=gm", "text/plain; charset=utf-8",
       "\"http://127.0.0.1:" + std::to_string(server.port()) + "/kh?n=404&v=21&\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto reply = server.client().Get(("/online/os.asp?" + c.query + login).c_str());
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
    EXPECT_EQ(reply->get_header_value("Content-Type"), c.type);
    EXPECT_NE(reply->body.find(c.contains), std::string::npos) << reply->body;
  }
  // The session is checked before any upstream is asked.
  const std::size_t asked = fake.targets().size();
  auto refused = server.client().Get("/online/os.asp?a=gc&q=Hamburg&i=1&s=99");
  ASSERT_TRUE(refused);
  EXPECT_NE(refused->body.find("<result id=\"7\"/>"), std::string::npos);
  EXPECT_EQ(fake.targets().size(), asked);
  std::filesystem::remove_all(tiles);
}

}  // namespace
