// The geocoder: coordinates and the address name with its two fixes, a reply
// without coordinates, failures, and the request through the session.
#include "app/online/Geocoder.h"

#include <gtest/gtest.h>

#include <numbers>

#include "app/online/ReplyScanner.h"
#include "tests/app/online/WebServiceFixture.h"

namespace {

using namespace rovana;
using testing_support::kLoginOk;

constexpr double kDeg = std::numbers::pi / 180.0;

GeocodeFind Read(std::string reply) {
  TextReplyStream stream(std::move(reply));
  stream.Open();
  return ReadGeocodeReply(stream);
}

TEST(GeocoderTest, RepliesGiveThePointAndItsName) {
  struct Case {
    const char* name;
    std::string reply;
    bool found;
    double lat, lon, alt;  // degrees, metres
    std::string pointName;
  };
  const Case cases[] = {
      {"the relay's sample",
       "<reply><result id=\"0\"/><Placemark><address>Hotel Atlantic, An der Alster 72, 20099 Hamburg</address><Point>"
       "<coordinates>10.0062,53.5573,0</coordinates></Point></Placemark></reply>",
       true, 53.5573, 10.0062, 0, "Hotel Atlantic\nAn der Alster 72\n20099 Hamburg"},
      {"altitude and no address", "<reply><coordinates>-3.7,40.4,657.5</coordinates></reply>", true, 40.4, -3.7, 657.5, ""},
      {"two fields only", "<reply><coordinates>2.35,48.85</coordinates></reply>", true, 48.85, 2.35, 0, ""},
      {"nothing found", "<reply><result id=\"0\"/></reply>", false, 0, 0, 0, ""},
      {"coordinates that do not scan", "<reply><coordinates>east,north,0</coordinates></reply>", false, 0, 0, 0, ""},
      {"empty coordinates", "<reply><coordinates/><address>Nowhere</address></reply>", false, 0, 0, 0, "Nowhere"},
      {"cut off inside the coordinates", "<reply><address>A, B</address><coordinates>10.0,5", false, 0, 0, 0, "A\nB"},
      {"empty reply", "", false, 0, 0, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const GeocodeFind f = Read(c.reply);
    EXPECT_EQ(f.found, c.found);
    EXPECT_NEAR(f.point.latitude(), c.lat * kDeg, 1e-12);
    EXPECT_NEAR(f.point.longitude(), c.lon * kDeg, 1e-12);
    EXPECT_DOUBLE_EQ(f.point.altitude(), c.alt);
    EXPECT_EQ(f.point.name(), c.pointName);
  }
}

TEST(GeocoderTest, AddressFixes) {
  struct Case {
    const char* name;
    std::string in, out;
  };
  const Case cases[] = {
      {"plain", "Hamburg", "Hamburg"},
      {"comma and blank break the line", "A, B, C", "A\nB\nC"},
      {"comma without blank stays", "A,B", "A,B"},
      {"sign-widened Latin-1 comes back", "M\xEF\xBF\xBCnchen", "M\xC3\xBCnchen"},  // U+FFFC -> U+00FC
      {"lowest widened byte", "\xEF\xBE\x80", "\xC2\x80"},                          // U+FF80 -> U+0080
      {"full-width asterisk stays", "\xEF\xBC\x8A", "\xEF\xBC\x8A"},                // U+FF0A
      {"full-width letter stays", "\xEF\xBC\xA1", "\xEF\xBC\xA1"},                  // U+FF21
      {"highest full-width form stays", "\xEF\xBD\xBF", "\xEF\xBD\xBF"},            // U+FF7F
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FixGeocodedAddress(c.in), c.out);
  }
}

TEST(GeocoderTest, AddressFromTheDialogsFields) {
  struct Case {
    const char* name;
    std::string country, city, street, address;
  };
  const Case cases[] = {
      {"all three", "Germany", "Hamburg", "An der Alster 72", "An der Alster 72, Hamburg, Germany"},
      {"city only", "", "Hamburg", "", "Hamburg"},
      {"no street", "Germany", "Hamburg", "", "Hamburg, Germany"},
      {"nothing", "", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(GeocoderAddress(c.country, c.city, c.street), c.address);
  }
}

class GeocodeTest : public testing_support::WebServiceFixture {
 protected:
  GeocodeResult Run(const std::string& address) {
    return Geocode(
        address, [this](const ServiceAction& a) { return service_->Request(a); }, language_,
        [this] { return service_->settings().allowInternet; });
  }
};

TEST_F(GeocodeTest, ResultTexts) {
  struct Case {
    const char* name;
    std::optional<std::string> reply;
    bool online;
    bool success;
    std::string text;
  };
  const Case cases[] = {
      {"found", "<reply><result id=\"0\"/><Placemark><address>Alster, Hamburg</address><Point><coordinates>10,53.5,0"
                "</coordinates></Point></Placemark></reply>",
       true, true, "Alster\nHamburg"},
      {"not found", "<reply><result id=\"0\"/></reply>", true, false, "The address was not found."},
      {"no reply", std::nullopt, true, false, "The online request failed."},
      {"offline and declined", std::nullopt, false, false, "Rovana is offline."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server_.Always("ul", kLoginOk);
    server_.Always("gc", c.reply);
    store_->trackerEmail = "anna@example.org";
    store_->trackerPassword = "pw";
    store_->allowInternet = c.online;
    user_.answer = false;
    Configure();
    service_->Logout();
    const GeocodeResult r = Run("Alster, Hamburg");
    EXPECT_EQ(r.success, c.success);
    EXPECT_EQ(r.text, c.text);
  }
  const std::vector<ServiceRequest> sent = server_.requests();
  ASSERT_FALSE(sent.empty());
  EXPECT_TRUE(sent.back().path.starts_with("/online/os.asp?a=gc&q=Alster%2C+Hamburg&i=17&s=4711&tick=")) << sent.back().path;
  EXPECT_EQ(sent.back().kind, kKindGeocoder);
}

}  // namespace
