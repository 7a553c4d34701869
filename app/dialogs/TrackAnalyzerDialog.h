// The track analyzer: a graph of one route or track - up to two series
// (altitude, grade, speed, accelerations; left and right axis) against the
// distance along it or the time since its start - and the tab-separated
// ".tsf" export of the same series.
//
// The pickers edit the settings `xSelector`, `leftSelector` and
// `rightSelector`; `targetReverseTrack` runs the series from the last point
// to the first. The values come from TrackAnalysis (a replay of the points
// through a fresh Analyzer); the scale labels are in the user's units.
#pragma once

#include <QDialog>
#include <QString>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "app/coords/Units.h"
#include "app/dialogs/DialogAsker.h"
#include "app/processing/TrackAnalysis.h"

class QComboBox;
class QPushButton;

namespace rovana {
class LanguageTable;
class POIs;
class SettingsStore;
class Waypoints;
}  // namespace rovana

namespace rovana::dialogs {

// The graph: white ground, a frame round the plot area with four scale
// labels on each used axis, the left series in blue and the right series in
// red, each scaled to its own range.
class TrackGraph : public QWidget {
  Q_OBJECT

 public:
  static constexpr QRgb kLeftColour = 0xFF1040D0;
  static constexpr QRgb kRightColour = 0xFFD02020;

  explicit TrackGraph(QWidget* parent = nullptr);

  void SetSeries(const TrackSeries& series, const TrackSeriesChoice& choice, const UnitChoice& units);
  const TrackSeries& series() const { return series_; }

  // Draws the graph into `area` (what paintEvent does on the widget).
  void Draw(QPainter& painter, const QRect& area) const;
  // The plot area inside `area`: the frame, without the scale labels.
  QRect PlotRect(const QRect& area) const;
  // The texts on the scales, bottom to top or left to right.
  QStringList XLabels() const;
  QStringList LeftLabels() const;
  QStringList RightLabels() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  struct Range {
    double low = 0, high = 1;
  };
  static Range RangeOf(const std::vector<double>& values);
  void DrawCurve(QPainter& painter, const QRect& plot, const std::vector<double>& y, const Range& yRange,
                 QRgb colour) const;

  TrackSeries series_;
  TrackSeriesChoice choice_;
  UnitChoice units_;
};

class TrackAnalyzerDialog : public QDialog {
  Q_OBJECT

 public:
  // The file to export to, given the suggested file name; nothing when the
  // user cancels. Without one a save-file dialog asks.
  using FileChooser = std::function<std::optional<std::filesystem::path>(const QString& suggestedName)>;

  // Offers every route and track of `waypoints` (which must outlive the
  // dialog), the current collection first chosen when it is one. Messages go
  // to `asker.message` (a message box when empty).
  TrackAnalyzerDialog(Waypoints& waypoints, SettingsStore& settings, const LanguageTable& language,
                      QWidget* parent = nullptr, DialogAsker asker = {}, FileChooser chooser = {});

  // Picks the collection (one of the offered ones); false when it is not.
  bool ChooseCollection(const POIs* collection);
  POIs* chosenCollection() const;
  // The series for the chosen collection and selectors again.
  void Refresh();
  // The Export... button: "Please choose a track..." without a collection
  // with points; else asks for the file, writes it and tells its path.
  // True when a file was written.
  bool Export();

  QComboBox* trackBox() const { return track_; }
  QComboBox* xBox() const { return x_; }
  QComboBox* leftBox() const { return left_; }
  QComboBox* rightBox() const { return right_; }
  QPushButton* exportButton() const { return export_; }
  TrackGraph* graph() const { return graph_; }

 private:
  void SelectorsChanged();
  TsfLabels Labels() const;

  Waypoints& waypoints_;
  SettingsStore& settings_;
  const LanguageTable& language_;
  DialogAsker asker_;
  FileChooser chooser_;
  std::vector<POIs*> collections_;
  QComboBox* track_ = nullptr;
  QComboBox* x_ = nullptr;
  QComboBox* left_ = nullptr;
  QComboBox* right_ = nullptr;
  QPushButton* export_ = nullptr;
  TrackGraph* graph_ = nullptr;
};

}  // namespace rovana::dialogs
