// The loading dialog of start-up: the version banner, an icon and two
// labelled progress bars ("Maps:" and "Data:"). When it opens it creates the
// primary and secondary data folders (failures other than an existing folder
// are logged) and starts LoadThread, which scans the maps and loads the
// waypoint files, advancing the bars, and closes the dialog when done.
// Without a catalogue or a waypoint store (tests of the dialog alone) it
// finds no maps or no data files.
#pragma once

#include <QDialog>
#include <QString>
#include <atomic>
#include <thread>

class QLabel;
class QProgressBar;

namespace rovana {
class LanguageTable;
class SettingsStore;
class Waypoints;
namespace maps {
class MapCatalogue;
}
}  // namespace rovana

namespace rovana::dialogs {

class LoadingDialog : public QDialog {
  Q_OBJECT

 public:
  LoadingDialog(SettingsStore& settings, const LanguageTable& language, const QString& banner, int dpi,
                Waypoints* waypoints = nullptr, maps::MapCatalogue* catalogue = nullptr, QWidget* parent = nullptr);
  ~LoadingDialog() override;

  QProgressBar* mapsBar() const { return maps_; }
  QProgressBar* dataBar() const { return data_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void LoadThread();
  void Progress(QProgressBar* bar, int value, int maximum);

  SettingsStore& settings_;
  Waypoints* waypoints_;
  maps::MapCatalogue* catalogue_;
  int dpi_;
  QProgressBar* maps_ = nullptr;
  QProgressBar* data_ = nullptr;
  QLabel* mapsLabel_ = nullptr;
  QLabel* dataLabel_ = nullptr;
  QLabel* banner_ = nullptr;
  QLabel* icon_ = nullptr;
  std::thread thread_;
  bool started_ = false;
};

}  // namespace rovana::dialogs
