// The track analyzer: which collections it offers, where its graph draws
// the curves (pixels of a real rendering), the scale labels in the user's
// units, the settings its pickers write, and the ".tsf" export.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <cmath>
#include <fstream>
#include <sstream>

#include "app/dialogs/TrackAnalyzerDialog.h"
#include "tests/app/ui/WaypointsFixture.h"

namespace {

using rovana::dialogs::TrackAnalyzerDialog;
using rovana::dialogs::TrackGraph;
using testing_support::WaypointsFixture;

// Climb.gpx: a POIs point, the track "Climb" of ten points 0.001 degrees
// (111.2 m) north of each other, 10 s apart (40 km/h), climbing 2 m each,
// and an empty route.
constexpr const char* kClimbGpx = R"(<?xml version="1.0"?>
<gpx version="1.0" creator="test">
<wpt lat="52.5" lon="13.4"><name>Start</name></wpt>
<trk><name>Climb</name><trkseg>
<trkpt lat="52.500" lon="13.4"><ele>100</ele><time>2024-05-01T10:00:00Z</time></trkpt>
<trkpt lat="52.501" lon="13.4"><ele>102</ele><time>2024-05-01T10:00:10Z</time></trkpt>
<trkpt lat="52.502" lon="13.4"><ele>104</ele><time>2024-05-01T10:00:20Z</time></trkpt>
<trkpt lat="52.503" lon="13.4"><ele>106</ele><time>2024-05-01T10:00:30Z</time></trkpt>
<trkpt lat="52.504" lon="13.4"><ele>108</ele><time>2024-05-01T10:00:40Z</time></trkpt>
<trkpt lat="52.505" lon="13.4"><ele>110</ele><time>2024-05-01T10:00:50Z</time></trkpt>
<trkpt lat="52.506" lon="13.4"><ele>112</ele><time>2024-05-01T10:01:00Z</time></trkpt>
<trkpt lat="52.507" lon="13.4"><ele>114</ele><time>2024-05-01T10:01:10Z</time></trkpt>
<trkpt lat="52.508" lon="13.4"><ele>116</ele><time>2024-05-01T10:01:20Z</time></trkpt>
<trkpt lat="52.509" lon="13.4"><ele>118</ele><time>2024-05-01T10:01:30Z</time></trkpt>
</trkseg></trk>
<rte><name>Empty</name></rte>
</gpx>
)";

struct Analyzer : WaypointsFixture {
  std::vector<QString> suggested;
  std::optional<std::filesystem::path> chosenFile;

  Analyzer() {
    Write("Climb.gpx", kClimbGpx);
    waypoints->LoadAll();
    rovana::SettingsStore& s = *home.settings;
    s.xSelector = rovana::kXDistance;
    s.leftSelector = rovana::kYAltitude;
    s.rightSelector = rovana::kYSpeed;
  }
  TrackAnalyzerDialog::FileChooser Chooser() {
    return [this](const QString& name) {
      suggested.push_back(name);
      return chosenFile;
    };
  }
  std::unique_ptr<TrackAnalyzerDialog> Open() {
    auto dialog = std::make_unique<TrackAnalyzerDialog>(*waypoints, *home.settings, *home.language, nullptr, Asker(),
                                                        Chooser());
    dialog->ChooseCollection(Collection("Climb.gpx/Climb"));
    dialog->Refresh();
    return dialog;
  }
};

constexpr QSize kPicture(400, 300);

QImage Render(const TrackGraph& graph) {
  QImage image(kPicture, QImage::Format_RGB32);
  QPainter painter(&image);
  graph.Draw(painter, image.rect());
  return image;
}

// The rows of column `x` inside `plot` whose pixel has `colour`.
std::vector<int> RowsOf(const QImage& image, const QRect& plot, int x, QRgb colour) {
  std::vector<int> rows;
  for (int y = plot.top(); y <= plot.bottom(); ++y)
    if (image.pixel(x, y) == colour) rows.push_back(y);
  return rows;
}

int CountOf(const QImage& image, const QRect& plot, QRgb colour) {
  int count = 0;
  for (int x = plot.left(); x <= plot.right(); ++x) count += static_cast<int>(RowsOf(image, plot, x, colour).size());
  return count;
}

std::string ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(TrackAnalyzer, OffersRoutesAndTracksOnly) {
  Analyzer f;
  auto dialog = f.Open();
  QStringList offered;
  for (int i = 0; i < dialog->trackBox()->count(); ++i) offered << dialog->trackBox()->itemText(i);
  EXPECT_TRUE(offered.contains("Climb.gpx/Climb"));
  EXPECT_TRUE(offered.contains("Climb.gpx/Empty"));
  for (const QString& name : offered) EXPECT_FALSE(name.endsWith("/POIs")) << name.toStdString();
  EXPECT_EQ(dialog->chosenCollection(), f.Collection("Climb.gpx/Climb"));
  EXPECT_FALSE(dialog->ChooseCollection(f.waypoints->FirstOf(*f.File("Climb.gpx"))));
}

TEST(TrackAnalyzer, StartsOnTheCurrentTrack) {
  Analyzer f;
  f.waypoints->MakeCurrent(f.Collection("Climb.gpx/Empty"));
  TrackAnalyzerDialog dialog(*f.waypoints, *f.home.settings, *f.home.language, nullptr, f.Asker(), f.Chooser());
  EXPECT_EQ(dialog.chosenCollection(), f.Collection("Climb.gpx/Empty"));
  EXPECT_TRUE(dialog.graph()->series().x.empty());
}

// Altitude over distance rises evenly: in each column the blue curve is
// where the same share of the plot's height is; speed (0 at the first point,
// then 40 km/h) runs along the top once it is up to speed.
TEST(TrackAnalyzer, DrawsTheCurvesWhereTheValuesAre) {
  Analyzer f;
  auto dialog = f.Open();
  const QImage image = Render(*dialog->graph());
  const QRect plot = dialog->graph()->PlotRect(image.rect());
  ASSERT_GT(plot.width(), 200);
  ASSERT_GT(plot.height(), 150);
  for (const double share : {0.05, 0.3, 0.5, 0.75, 0.95}) {
    const int x = plot.left() + static_cast<int>(std::lround(share * (plot.width() - 1)));
    const double expected = plot.bottom() - share * (plot.height() - 1);
    const std::vector<int> blue = RowsOf(image, plot, x, TrackGraph::kLeftColour);
    ASSERT_FALSE(blue.empty()) << share;
    for (const int y : blue) EXPECT_NEAR(y, expected, 3) << "share " << share;
  }
  for (const double share : {0.3, 0.6, 0.9}) {
    const int x = plot.left() + static_cast<int>(std::lround(share * (plot.width() - 1)));
    const std::vector<int> red = RowsOf(image, plot, x, TrackGraph::kRightColour);
    ASSERT_FALSE(red.empty()) << share;
    for (const int y : red) EXPECT_LE(y, plot.top() + 2) << "share " << share;
  }
  // The upper left and lower right of the plot stay free of both curves.
  const QRect empty(plot.left() + plot.width() / 8, plot.top() + plot.height() / 4, plot.width() / 4,
                    plot.height() / 4);
  for (int x = empty.left(); x <= empty.right(); ++x)
    for (int y = empty.top(); y <= empty.bottom(); ++y) {
      ASSERT_NE(image.pixel(x, y), TrackGraph::kLeftColour) << x << "," << y;
      ASSERT_NE(image.pixel(x, y), TrackGraph::kRightColour) << x << "," << y;
    }
}

TEST(TrackAnalyzer, ReversedTrackRunsFromItsEnd) {
  Analyzer f;
  f.home.settings->targetReverseTrack = true;
  auto dialog = f.Open();
  const QImage image = Render(*dialog->graph());
  const QRect plot = dialog->graph()->PlotRect(image.rect());
  // From the top end the altitude falls: high on the left, low on the right.
  const std::vector<int> start = RowsOf(image, plot, plot.left() + plot.width() / 10, TrackGraph::kLeftColour);
  const std::vector<int> end = RowsOf(image, plot, plot.right() - plot.width() / 10, TrackGraph::kLeftColour);
  ASSERT_FALSE(start.empty());
  ASSERT_FALSE(end.empty());
  EXPECT_LT(start.front(), plot.top() + plot.height() / 4);
  EXPECT_GT(end.front(), plot.bottom() - plot.height() / 4);
}

TEST(TrackAnalyzer, PickersWriteTheSettingsAndRedraw) {
  Analyzer f;
  auto dialog = f.Open();
  dialog->rightBox()->setCurrentIndex(rovana::kYNone);
  EXPECT_EQ(f.home.settings->rightSelector, rovana::kYNone);
  dialog->leftBox()->setCurrentIndex(rovana::kYGrade);
  EXPECT_EQ(f.home.settings->leftSelector, rovana::kYGrade);
  dialog->xBox()->setCurrentIndex(rovana::kXTime);
  EXPECT_EQ(f.home.settings->xSelector, rovana::kXTime);

  const QImage image = Render(*dialog->graph());
  const QRect plot = dialog->graph()->PlotRect(image.rect());
  EXPECT_EQ(CountOf(image, plot, TrackGraph::kRightColour), 0);
  EXPECT_GT(CountOf(image, plot, TrackGraph::kLeftColour), plot.width());
  EXPECT_TRUE(dialog->graph()->RightLabels().isEmpty());
  EXPECT_EQ(dialog->graph()->XLabels().front(), "00:00:00");
  EXPECT_EQ(dialog->graph()->XLabels().back(), "00:01:30");
}

TEST(TrackAnalyzer, ScaleLabelsAreInTheUsersUnits) {
  struct Case {
    const char* name;
    int unitDistance, unitAltitude, unitSpeed;
    QString firstX, lastX, firstLeft, lastLeft, lastRight;
  };
  const Case cases[] = {
      {"metric", 1, 1, 0, "0.0m", "1000.1m", "100.0m", "118.0m", "40.0kmh"},
      {"feet and knots", 16, 16, 2, "0ft", "3281ft", "328ft", "387ft", "21.6kts"},
  };
  for (const Case& c : cases) {
    Analyzer f;
    f.home.settings->unitDistance = c.unitDistance;
    f.home.settings->unitAltitude = c.unitAltitude;
    f.home.settings->unitSpeed = c.unitSpeed;
    auto dialog = f.Open();
    const TrackGraph& g = *dialog->graph();
    ASSERT_EQ(g.XLabels().size(), 5) << c.name;
    EXPECT_EQ(g.XLabels().front(), c.firstX) << c.name;
    EXPECT_EQ(g.XLabels().back(), c.lastX) << c.name;
    EXPECT_EQ(g.LeftLabels().front(), c.firstLeft) << c.name;
    EXPECT_EQ(g.LeftLabels().back(), c.lastLeft) << c.name;
    EXPECT_EQ(g.RightLabels().back(), c.lastRight) << c.name;
  }
}

TEST(TrackAnalyzer, TheWidgetPaintsTheGraph) {
  Analyzer f;
  auto dialog = f.Open();
  dialog->graph()->resize(kPicture);
  const QImage image = dialog->graph()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QRect plot = dialog->graph()->PlotRect(QRect(QPoint(0, 0), image.size()));
  EXPECT_GT(CountOf(image, plot, TrackGraph::kLeftColour), plot.width() / 2);
  EXPECT_GT(CountOf(image, plot, TrackGraph::kRightColour), plot.width() / 2);
}

TEST(TrackAnalyzer, ExportWritesTheTrackAnalysisFile) {
  Analyzer f;
  f.chosenFile = f.data / "out" / "climb";  // no extension: ".tsf" is added
  std::filesystem::create_directories(f.data / "out");
  auto dialog = f.Open();
  ASSERT_TRUE(dialog->Export());
  ASSERT_EQ(f.suggested.size(), 1u);
  EXPECT_EQ(f.suggested[0], "Climb.tsf");

  const std::filesystem::path written = f.data / "out" / "climb.tsf";
  const std::string text = ReadAll(written);
  rovana::TsfLabels labels;
  labels.x = {f.Entry(rovana::lang::kWordDistance), f.Entry(rovana::lang::kWordTime)};
  labels.y[rovana::kYAltitude] = f.Entry(rovana::lang::kWordAltitude);
  labels.y[rovana::kYSpeed] = f.Entry(rovana::lang::kWordSpeed);
  const std::vector<rovana::GeoPoint> points = f.Collection("Climb.gpx/Climb")->Points();
  const rovana::TrackSeriesChoice choice = rovana::TrackSeriesChoiceOf(*f.home.settings);
  EXPECT_EQ(text, rovana::TsfText(rovana::BuildTrackSeries(points, choice), choice, labels,
                                  rovana::UnitChoiceOf(*f.home.settings)));
  EXPECT_EQ(text.substr(0, text.find('\n')), "Distance (m)\tAltitude (m)\tSpeed (kmh)");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 11);

  ASSERT_EQ(f.messages.size(), 1u);
  EXPECT_EQ(f.messages[0].toStdString(),
            f.Entry(rovana::lang::kAnalyzerExported) + " " + f.Entry(rovana::lang::kAnalyzerExportedTo) + ":\n\n" +
                written.string());
}

TEST(TrackAnalyzer, NothingToExportWithoutPoints) {
  Analyzer f;
  f.chosenFile = f.data / "never.tsf";
  auto dialog = f.Open();
  ASSERT_TRUE(dialog->ChooseCollection(f.Collection("Climb.gpx/Empty")));
  EXPECT_FALSE(dialog->Export());
  EXPECT_TRUE(f.suggested.empty());
  ASSERT_EQ(f.messages.size(), 1u);
  EXPECT_EQ(f.messages[0].toStdString(), f.Entry(rovana::lang::kAnalyzerNoTrack));
  EXPECT_FALSE(std::filesystem::exists(f.data / "never.tsf"));
}

TEST(TrackAnalyzer, NothingToExportWithoutTracks) {
  WaypointsFixture f;
  f.Write("Other.gpx", testing_support::kOtherGpx);
  f.waypoints->LoadAll();
  TrackAnalyzerDialog dialog(*f.waypoints, *f.home.settings, *f.home.language, nullptr, f.Asker(),
                             [](const QString&) { return std::optional<std::filesystem::path>("/tmp/x.tsf"); });
  EXPECT_EQ(dialog.trackBox()->count(), 0);
  EXPECT_EQ(dialog.chosenCollection(), nullptr);
  EXPECT_FALSE(dialog.Export());
  ASSERT_EQ(f.messages.size(), 1u);
  EXPECT_EQ(f.messages[0].toStdString(), f.Entry(rovana::lang::kAnalyzerNoTrack));
}

TEST(TrackAnalyzer, CancelOrAnUnwritableFileTellsNothing) {
  struct Case {
    const char* name;
    std::optional<std::filesystem::path> file;
  };
  for (const Case& c : {Case{"cancelled", std::nullopt}, Case{"no such folder", std::filesystem::path("missing")}}) {
    Analyzer f;
    if (c.file) f.chosenFile = f.data / *c.file / "a.tsf";
    auto dialog = f.Open();
    EXPECT_FALSE(dialog->Export()) << c.name;
    EXPECT_EQ(f.suggested.size(), 1u) << c.name;
    EXPECT_TRUE(f.messages.empty()) << c.name;
    EXPECT_FALSE(std::filesystem::exists(f.data / "missing")) << c.name;
  }
}

}  // namespace
