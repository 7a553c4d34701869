// The XML replies of local search B ("ResultSet") and the encyclopedia
// ("geonames"), read through the program's XML reader straight from the
// reply stream.
#include <functional>
#include <numbers>

#include "app/core/XmlReader.h"
#include "app/online/SearchProviders.h"
#include "app/online/SearchXmlSource.h"

namespace rovana {
namespace {

constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

// Walks the tokens: `start` hears every start tag with a way to take the
// element's text, `end` every end tag. The text taker reads the token after
// the start tag; a token that is not text is handed back to the walk, so a
// nested or empty element is never skipped.
class ElementWalker final : public XmlReader {
 public:
  using Start = std::function<void(XmlReader& reader, const std::function<std::string()>& text)>;
  using End = std::function<void(XmlReader& reader)>;

  ElementWalker(ReplyStream& stream, Start start, End end)
      : XmlReader(std::make_unique<ReplyXmlSource>(stream)), start_(std::move(start)), end_(std::move(end)) {}

 protected:
  void Parse() override {
    bool have = NextToken();
    while (have) {
      bool advanced = false;
      if (type() == XmlToken::StartTag) {
        const bool empty = EmptyElement();
        auto text = [&]() -> std::string {
          if (empty || advanced) return {};
          advanced = true;
          have = NextToken();
          if (have && type() == XmlToken::Text) {
            std::string value = Text(true);
            have = NextToken();
            return value;
          }
          return {};  // the current token is looked at again by the walk
        };
        start_(*this, text);
      } else if (type() == XmlToken::EndTag) {
        end_(*this);
      }
      if (!advanced) have = NextToken();
    }
  }

 private:
  Start start_;
  End end_;
};

double Real(const std::string& text) { return ScanReal(text).value_or(0); }

// "%s\r\n%s%s" onto an existing description, "%s%s" onto none.
void AddLine(std::string& desc, std::string_view prefix, const std::string& value) {
  if (value.empty()) return;
  std::string line = std::string(prefix) + value;
  desc = desc.empty() ? line : desc + "\r\n" + line;
  desc = CutText(std::move(desc));
}

// A result the reply cut off (its element never closed) is left out: its
// numbers may be cut too. Those before it stay.
void DropOpen(SearchContext& context, const GeoPoint* open) {
  if (open && !context.points.empty() && &context.points.back() == open) context.points.pop_back();
}

}  // namespace

void ScanLocalSearchB(ReplyStream& stream, SearchContext& context) {
  GeoPoint* point = nullptr;  // the Result being read
  std::string desc;
  double lat = 0, lon = 0;
  auto finish = [&] {
    if (!point) return;
    point->setLatitude(lat * kRadiansPerDegree);
    point->setLongitude(lon * kRadiansPerDegree);
    point->setText(PointText::Desc, desc);
    point = nullptr;
  };
  ElementWalker walker(
      stream,
      [&](XmlReader& r, const std::function<std::string()>& text) {
        if (r.IsTag(XmlToken::StartTag, "ResultSet")) {
          if (const auto total = r.Attribute("totalResultsAvailable")) context.reported = ScanInt(*total).value_or(0);
          return;
        }
        if (r.IsTag(XmlToken::StartTag, "Result")) {
          finish();
          point = &context.NewPoint();
          desc.clear();
          lat = lon = 0;
          return;
        }
        if (!point) return;
        const std::string name = r.Name();
        if (name == "Title") point->setText(PointText::Name, CutText(text()));
        else if (name == "Phone") point->setText(PointText::Phone, CutText(text()));
        else if (name == "Latitude") lat = Real(text());
        else if (name == "Longitude") lon = Real(text());
        else if (name == "ClickUrl") point->setText(PointText::Link, CutText(text()));
        else if (name == "BusinessClickUrl") point->setText(PointText::Pic, CutText(text()));
        else if (name == "Address" || name == "City" || name == "State") AddLine(desc, "", text());
        else if (name == "AverageRating") AddLine(desc, "average rating: ", text());
        else if (name == "LastReviewIntro") AddLine(desc, "last review: ", text());
      },
      [&](XmlReader& r) {
        if (r.IsTag(XmlToken::EndTag, "Result")) finish();
      });
  walker.Read();
  DropOpen(context, point);
}

void ScanArticles(ReplyStream& stream, SearchContext& context) {
  GeoPoint* point = nullptr;
  double lat = 0, lon = 0;
  auto finish = [&] {
    if (!point) return;
    point->setLatitude(lat * kRadiansPerDegree);
    point->setLongitude(lon * kRadiansPerDegree);
    point = nullptr;
  };
  ElementWalker walker(
      stream,
      [&](XmlReader& r, const std::function<std::string()>& text) {
        if (r.IsTag(XmlToken::StartTag, "entry")) {
          finish();
          point = &context.NewPoint();
          lat = lon = 0;
          return;
        }
        if (!point) return;
        const std::string name = r.Name();
        if (name == "title") point->setText(PointText::Name, CutText(text()));
        else if (name == "summary") point->setText(PointText::Desc, CutText(text()));
        else if (name == "elevation") point->setAltitude(Real(text()));
        else if (name == "lat") lat = Real(text());
        else if (name == "lng") lon = Real(text());
        else if (name == "wikipediaUrl") {
          const std::string url = text();
          if (!url.empty()) point->setText(PointText::Link, CutText(url + "?printable=yes"));
        } else if (name == "thumbnailImg") point->setText(PointText::Pic, CutText(text()));
      },
      [&](XmlReader& r) {
        if (r.IsTag(XmlToken::EndTag, "entry")) finish();
      });
  walker.Read();
  DropOpen(context, point);
}

}  // namespace rovana
