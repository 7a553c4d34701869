// The trip computer: two tabs over two analyzers - the live one ("since
// start", statistics since the program started) and the trip one (kept across
// runs). Each tab shows the time (moving time when stops are excluded, else
// the total time), the distance, the average, lowest and highest speed, the
// average, lowest and highest altitude, the climb and the descent, in the
// user's units. Times and the distance grow live: the tab is read again every
// second. The "excl. stops" box edits the setting `excludeStops`; Reset
// clears the analyzer of the tab shown once the user confirms.
//
// The analyzers are read through their own locks; the settings are written
// here, on the user-interface thread.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QTimer;

namespace rovana {
class Analyzer;
class LanguageTable;
class SettingsStore;
}  // namespace rovana

namespace rovana::dialogs {

// The lines of a tab, top to bottom.
enum class TripLine { Time, Distance, AverageSpeed, MinSpeed, MaxSpeed, AverageAltitude, MinAltitude,
                      MaxAltitude, Climb, Descent };
inline constexpr int kTripLines = 10;

enum class TripTab { Live = 0, Trip = 1 };

class TripComputerDialog : public QDialog {
  Q_OBJECT

 public:
  // Asks an OK/Cancel question; true for OK.
  using Asker = std::function<bool(const QString& question)>;

  // `live` and `trip` must outlive the dialog. Without `asker` the question
  // is a message box.
  TripComputerDialog(Analyzer& live, Analyzer& trip, SettingsStore& settings, const LanguageTable& language,
                     QWidget* parent = nullptr, Asker asker = {});

  // Reads the analyzer of the tab shown again (the timer calls it).
  void Refresh();
  // The Reset button: asks "<reset question>?" and on OK resets the analyzer
  // of the tab shown.
  void ResetShown();

  TripTab shownTab() const;
  void showTab(TripTab tab);
  QString labelText(TripTab tab, TripLine line) const;
  QString valueText(TripTab tab, TripLine line) const;
  QCheckBox* excludeStopsBox() const { return excludeStops_; }
  QPushButton* resetButton() const { return reset_; }

 private:
  struct Page {
    Analyzer* analyzer = nullptr;
    std::array<QLabel*, kTripLines> labels{};
    std::array<QLabel*, kTripLines> values{};
  };

  QWidget* BuildPage(Page& page);
  void Fill(Page& page);
  Page& PageOf(TripTab tab) { return pages_[static_cast<int>(tab)]; }
  const Page& PageOf(TripTab tab) const { return pages_[static_cast<int>(tab)]; }

  SettingsStore& settings_;
  const LanguageTable& language_;
  Asker asker_;
  std::array<Page, 2> pages_{};
  QTabWidget* tabs_ = nullptr;
  QCheckBox* excludeStops_ = nullptr;
  QPushButton* reset_ = nullptr;
  QTimer* timer_ = nullptr;
};

}  // namespace rovana::dialogs
