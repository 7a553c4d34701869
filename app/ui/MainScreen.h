// MainScreen: Rovana's one main window. It paints the map screen into an
// off-screen image, carries the menu bar built from the command table, takes
// stylus gestures and navigation keys, and drives the application with one
// 200 ms timer. Every dialog runs modally on top of it through RunModal, which
// stops the timer while the dialog is up.
//
// The paint draws the map view (MapView.h: maps, grid, collections, marker,
// user) under the on-screen buttons; the hit rectangles are the real ones
// (ScreenRules.h). Stylus and key pans and zooms move the view; a tap puts
// the marker on the position under it. Commands of rooms that are still to
// come are in the menu, greyed, and do nothing when reached through the
// quick menu.
#pragma once

#include <QDialog>
#include <QImage>
#include <QTimer>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/dialogs/DialogAsker.h"
#include "app/processing/SpeedAlert.h"
#include "app/screen/ScreenRules.h"
#include "app/ui/AppContext.h"
#include "app/ui/LiveTexts.h"
#include "app/ui/MapView.h"
#include "app/ui/Symbols.h"
#include "app/waypoints/GeoPoint.h"

namespace rovana::maps {
class MapImage;
}

class QMenuBar;
class QMenu;
class QAction;
class QTextBrowser;

namespace rovana::ui {

// Milliseconds of a monotonic clock, wrapping at 2^32.
std::uint32_t TickCount();

// The navigation key of a Qt key code, or nothing.
std::optional<screen::NavKey> NavKeyOf(int qtKey);

class MainScreen : public QDialog {
  Q_OBJECT

 public:
  // `width` × `height` pixels is the screen the window covers.
  MainScreen(AppContext& context, int width, int height, QWidget* parent = nullptr);
  ~MainScreen() override;

  // Stops the timer, shows the dialog modally, restarts the timer (raising the
  // layout generation) and takes the menu-bar flag from the settings again.
  int RunModal(QDialog& dialog);

  // Runs a menu command as if chosen from the menu bar; unknown identifiers
  // and commands of rooms not built yet do nothing.
  void ExecuteCommand(int id);
  // The speed alert's evaluation, once per paint while there is a fix (the
  // navigation target's tick will run it once it exists).
  // Once per paint: the navigation target's tick (following, trainer,
  // prompts and the speed alert), or without a target the speed alert
  // alone.
  void TickGuidance();
  void TickSpeedAlert();
  int speedAlerts() const { return speedAlerts_; }
  // Hands what the settings dialog may have changed to the GPS connection:
  // the filter's horizon (stored back clamped) and the connection's options.
  void ApplySettingsToGps();

  // The quit question (unless `ask` is false) and shutdown; true when the
  // screen ended.
  bool Quit(bool ask = true);

  // Renders the window as it is now (menu bar included) and saves it as PNG.
  bool SaveScreenshot(const QString& file);

  // Relabels the menu bar from the language table.
  void RelabelMenus();
  void UpdateMenuStates();

  // For tests and the status of the screen.
  bool timerActive() const { return timer_.isActive(); }
  int layoutGeneration() const { return generation_; }
  bool menuBarHidden() const { return menuHidden_; }
  QAction* actionOf(int command) const;
  QMenuBar* menuBar() const { return menuBar_; }
  const screen::ButtonLayout& buttons() const { return buttons_; }
  QRect mapArea() const;
  int paints() const { return paints_; }
  // What the last paint showed of the GPS connection and the statistics.
  const LiveTexts& lastLive() const { return lastLive_; }
  // The marker's pixel in the map area through the current transform.
  std::optional<QPoint> marker() const;
  const std::optional<GeoPoint>& markerPosition() const { return marker_; }
  // The object a tap put the marker on: a POI, or a point of a route or
  // track (the point is the stored one; check it with MarkedObject()).
  struct MarkedPoint {
    POIs* collection = nullptr;
    const GeoPoint* point = nullptr;
  };
  // The marked object while it still exists, else nothing.
  std::optional<MarkedPoint> MarkedObject() const;
  // The sum of the stylus and key pans, in pixels.
  QPoint panOffset() const { return pan_; }
  // The map view: the application hands it the inputs of the locator and
  // the map catalogue (MapView::SetInputs).
  MapView& mapView() { return mapView_; }
  int quickPage() const { return quickPage_; }
  bool calibrationMode() const { return calibrationMode_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void BuildMenus();
  void OnTimer();
  void StartTimer();
  void StopTimer();
  void ApplyLayout();
  void Paint(QImage& image);
  void PaintButtons(QPainter& painter, const MapFrame& frame);
  // What the map view needs of this paint.
  MapFrame Frame() const;
  void OpenQuickMenu();
  void OpenLanguageDialog();
  void OpenSettingsDialog();
  // The dialogs of the GPS connection, the filter and the statistics
  // (MainScreenTools.cpp); nothing without a connection.
  void OpenToolDialog(screen::CommandKind kind);
  // Map › Select and Details, Tools › Locator and the track analyzer
  // (MainScreenMaps.cpp); nothing without their objects.
  void OpenMapCommand(screen::CommandKind kind);
  // Map › Calibrate: into calibration mode on the selected map (asking "by
  // map" or "by grid") or out of it.
  void ToggleCalibration();
  // Before an interactive calibration replaces the file another picture
  // of the folder pairs with ("a.jpg" and "a.png" share "a.txt"), the user
  // is asked.
  void WatchCalibrationOverwrites();
  void SetCalibrationReference(int n);
  // In calibration mode "by map" pans and zooms edit the map's calibration
  // under the fixed view; true when they did.
  bool MoveCalibration(int dx, int dy);
  bool ScaleCalibration(double factor);
  // "By map": turns the map by `radians` (clockwise on the screen) about
  // the middle of the screen. Keys 7 and 9 do it a degree at a time.
  bool RotateCalibration(double radians);
  // Centres the view on a calibrated map and zooms so that it fills nine
  // tenths of the screen, when the view lies outside the map.
  void FitViewToMap(const maps::MapImage& map);
  void UpdateMapMenuStates();
  // View › Set target, Goto target, Delete target and Tools › Trainer
  // (MainScreenTarget.cpp).
  void OpenTargetCommand(screen::CommandKind kind);
  void SetTargetFromMarker();
  void UpdateTargetMenuStates();

 public:
  // Config › Online services, the account, and Tools › VozazId on a page
  // (MainScreenOnline.cpp); nothing without the online services.
  void OpenOnlineServices();
  void OpenAccount();
  void OpenVozazId(int page);
  // A chat line arrived: with `chatNotify`, the chat page opens, unless a
  // dialog is open already.
  void NotifyChat();
  // Tools › Directions and the directions pane (MainScreenDirections.cpp):
  // the dialog, and once per paint the places handed to the directions and
  // the pane shown (while `dirsRefresh` is on) with the latest instruction.
  void OpenDirections();
  void TickDirections();
  QTextBrowser* directionsPane() const { return directionsPane_; }
  // GPX › Search and Tools › Geocoder (MainScreenSearch.cpp); nothing
  // without the online services and the waypoint store.
  void OpenSearch();
  void OpenGeocoder();
  // Centres the view on `point` and puts the marker there.
  void ShowOnMap(const GeoPoint& point);

 private:
  // The GPX menu (MainScreenGpx.cpp); nothing without a waypoint store.
  void OpenGpxCommand(screen::CommandKind kind);
  void StartRecording();
  void StopRecording();
  // With `trackRecording` set at start-up the record dialog comes again.
  void OfferToResumeRecording();
  bool Recording() const;
  void UpdateGpxMenuStates();
  // Where new points and tracks start.
  GeoPoint UserPosition() const;
  // A message box (a log line in an unattended run).
  void Tell(const std::string& text);
  dialogs::DialogAsker Asker() const;
  // Loaded the first time a dialog needs them.
  const SymbolTable& Symbols();
  void ToggleFollowUser();
  void PanBy(int dx, int dy);
  void ZoomBy(double factor);
  void TapMap(QPoint point);
  // The point of a shown collection whose screen position lies nearest to
  // `pixel`, within the marker's slop (POIs and route points with a
  // symbol, and every point of a track).
  std::optional<MarkedPoint> PointNear(QPoint pixel) const;
  // Every change of the marker goes through here, so that a marker moved
  // elsewhere is no longer attached to an object.
  void SetMarker(std::optional<GeoPoint> position, std::optional<MarkedPoint> object = std::nullopt);
  void PressButton(screen::Button button);
  int Dpi() const { return dpi_; }

  AppContext& context_;
  QTimer timer_;
  QMenuBar* menuBar_ = nullptr;
  std::map<int, QAction*> actions_;
  QMenu* menus_[5] = {};
  QImage image_;

  int dpi_ = 96;
  int generation_ = 0;
  int appliedGeneration_ = -1;
  QSize lastSize_;
  std::uint32_t lastPaintTick_ = 0;
  int paints_ = 0;
  int speedAlerts_ = 0;
  SpeedAlert speedAlert_;
  LiveTexts lastLive_;
  bool menuHidden_ = true;
  bool calibrationMode_ = false;
  bool calibrateByMap_ = false;
  maps::MapImage* calibrating_ = nullptr;  // pinned while calibration mode runs
  bool quitting_ = false;
  int pendingCommand_ = 0;  // chosen in the quick menu, run after it closed
  int quickPage_ = 0;

  std::unique_ptr<SymbolTable> symbols_;
  screen::ViewBinding view_;
  screen::ButtonLayout buttons_;
  int sliderOffset_ = 0;

  // Stylus gesture.
  bool penDown_ = false;
  bool panned_ = false;
  QPoint penDownPoint_, lastMovePoint_;
  std::uint32_t penDownTick_ = 0, lastPanTick_ = 0;
  screen::Button active_ = screen::Button::None;

  MapView mapView_;
  QPoint pan_;
  std::optional<GeoPoint> marker_;
  std::optional<MarkedPoint> marked_;
  QTextBrowser* directionsPane_ = nullptr;  // a child, made on first need
  std::int64_t paneShown_ = -1;             // the change count the pane shows
};

}  // namespace rovana::ui
