// The position filter's dialog (Tools › Accurator...): a short explanation,
// the horizon (1 to 50 fixes), the spread and deviation of the filter ("?"
// when the horizon is 2 or less, with a note saying why), and a plot of the
// recent fixes as measured against the filter's outputs. The figures and the
// plot are read again every second while the dialog is open, since fixes keep
// arriving on the GPS thread.
//
// OK hands the horizon to the filter, which clamps it, and stores the clamped
// value in `horizon`; Cancel changes nothing. Runs on the user-interface
// thread, so the settings are written there.
#pragma once

#include <QDialog>
#include <QWidget>
#include <vector>

#include "app/processing/Accurator.h"
#include "app/processing/MatrixT.h"

class QLabel;
class QSpinBox;
class QTimer;

namespace rovana {
class LanguageTable;
class SettingsStore;
}  // namespace rovana

namespace rovana::dialogs {

// The transform of the plot: the box [minX, maxX] x [minY, maxY] (metres east
// and north) centred in a width x height pixel area less `margin` on every
// side, one scale for both axes, north up (pixel y grows downwards). Spans
// under kMinPlotSpan metres count as that span, so a receiver that stands
// still is not magnified without end.
inline constexpr double kMinPlotSpan = 1.0;  // metres
matrixT FitTransform(double minX, double minY, double maxX, double maxY, int width, int height, int margin);

// Owner-drawn plot: measured fixes as red rings, the filter's outputs as a
// blue line ending in a disc at the newest one, the straight continuation
// used for the deviation as a green cross, a scale bar. Positions are drawn
// in metres east and north of the newest output.
class FilterPlot : public QWidget {
  Q_OBJECT

 public:
  explicit FilterPlot(int dpi, QWidget* parent = nullptr);

  struct Local {
    double east = 0, north = 0;  // metres from the newest output
  };
  // Samples oldest first, as Accurator::Samples gives them; `quality` is
  // drawn when it is available.
  void SetSamples(const std::vector<Accurator::Sample>& samples, const Accurator::Quality& quality);

  const std::vector<Local>& measured() const { return measured_; }
  const std::vector<Local>& filtered() const { return filtered_; }
  // Local metres to widget pixels for the current size.
  matrixT Transform() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int dpi_;
  std::vector<Local> measured_, filtered_;
  bool hasContinuation_ = false;
  Local continuation_;
};

class FilterDialog : public QDialog {
  Q_OBJECT

 public:
  FilterDialog(Accurator& filter, SettingsStore& settings, const LanguageTable& language, int dpi,
               QWidget* parent = nullptr);

  QSpinBox* horizon() const { return horizon_; }
  QLabel* spread() const { return spread_; }
  QLabel* deviation() const { return deviation_; }
  QLabel* note() const { return note_; }
  FilterPlot* plot() const { return plot_; }

  // Updates the filter's quality and reads figures and samples again.
  void Refresh();

  void accept() override;

 protected:
  // The figures are read again every second while the dialog is shown.
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  Accurator& filter_;
  SettingsStore& settings_;
  QSpinBox* horizon_ = nullptr;
  QLabel* spread_ = nullptr;
  QLabel* deviation_ = nullptr;
  QLabel* note_ = nullptr;
  FilterPlot* plot_ = nullptr;
  QTimer* timer_ = nullptr;
};

}  // namespace rovana::dialogs
