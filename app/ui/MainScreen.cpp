#include "app/ui/MainScreen.h"
#include "app/maps/MapCatalogue.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <chrono>
#include <cmath>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "app/core/Utilities.h"
#include "app/dialogs/LanguageDialog.h"
#include "app/dialogs/QuickMenuDialog.h"
#include "app/coords/Locator.h"
#include "app/dialogs/SettingsDialog.h"
#include "app/dialogs/VozazIdDialog.h"
#include "app/gps/GpsConnection.h"
#include "app/maps/OnlineMaps.h"
#include "app/ui/LiveTexts.h"

namespace rovana::ui {

using namespace rovana::screen;  // the screen rules this room draws and acts on
namespace {

constexpr int kBandUnits = 26;  // title band above, menu bar below

// Checked states of the menu items that show a switch.
struct CheckRow {
  int command;
  bool (*checked)(const SettingsStore&);
};
constexpr CheckRow kChecks[] = {
    {32896, [](const SettingsStore& s) { return s.followUser; }},
    {32878, [](const SettingsStore& s) { return s.speedAlertEnabled; }},
    // Trainer also needs a followed route or track (UpdateTargetMenuStates).
    {32875, [](const SettingsStore& s) { return s.trainerEnabled; }},
    {32851, [](const SettingsStore& s) { return s.vozazidEnabled > 0; }},
    {32793, [](const SettingsStore& s) { return s.gpsEnabled; }},
    {32874, [](const SettingsStore& s) { return s.allowInternet; }},
    {32870, [](const SettingsStore& s) { return s.mapsOnlineEnabled; }},
    // No track is recorded yet.
    {32828, [](const SettingsStore&) { return false; }},
};

const CheckRow* FindCheck(int command) {
  for (const CheckRow& row : kChecks)
    if (row.command == command) return &row;
  return nullptr;
}

struct KeyMapRow {
  int qtKey;
  NavKey key;
};
constexpr KeyMapRow kKeyMap[] = {
    {Qt::Key_Left, NavKey::Left}, {Qt::Key_Right, NavKey::Right}, {Qt::Key_Up, NavKey::Up},
    {Qt::Key_Down, NavKey::Down}, {Qt::Key_0, NavKey::D0},        {Qt::Key_1, NavKey::D1},
    {Qt::Key_2, NavKey::D2},      {Qt::Key_3, NavKey::D3},        {Qt::Key_4, NavKey::D4},
    {Qt::Key_5, NavKey::D5},      {Qt::Key_6, NavKey::D6},        {Qt::Key_8, NavKey::D8},
};

QColor ColourOf(std::int32_t bgr) { return ColourOfBgr(static_cast<std::uint32_t>(bgr)); }

QRect ToQt(const Rect& r) { return QRect(r.x, r.y, r.w, r.h); }

QString MenuText(const std::string& text) { return QString::fromStdString(text).replace('&', "&&"); }

}  // namespace

std::uint32_t TickCount() {
  using namespace std::chrono;
  return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::optional<NavKey> NavKeyOf(int qtKey) {
  for (const KeyMapRow& row : kKeyMap)
    if (row.qtKey == qtKey) return row.key;
  return std::nullopt;
}

MainScreen::MainScreen(AppContext& context, int width, int height, QWidget* parent)
    : QDialog(parent), context_(context), speedAlert_([this] {
        ++speedAlerts_;
        LogMessage("Speed alert");
        QApplication::beep();
      }),
      mapView_(context.settings) {
  LogMessage("Starting Rovana");
  setWindowTitle(QString::fromStdString(context_.language.Entry(lang::kMessageCaption)));
  setAttribute(Qt::WA_OpaquePaintEvent);  // no background erase: the image covers everything
  setFocusPolicy(Qt::StrongFocus);
  dpi_ = rovana::DpiForScreen(width, height);
  BuildMenus();
  WatchCalibrationOverwrites();
  RelabelMenus();
  menuHidden_ = context_.settings.hideMenuBar2;
  view_ = BindView(context_.settings);
  sliderOffset_ = Scale(Unscale(width, dpi_) / 2 + 24, dpi_);
  OfferToResumeRecording();
  calibrationMode_ = false;
  if (context_.settings.gpsName.empty()) LogMessage("No GPS device configured: the GPS dialog is absent");
  setFixedSize(width, height);
  connect(&timer_, &QTimer::timeout, this, &MainScreen::OnTimer);
  timer_.setTimerType(Qt::CoarseTimer);
  StartTimer();
  UpdateMenuStates();
}

MainScreen::~MainScreen() {
  if (context_.catalogue) context_.catalogue->SetOverwriteHook(nullptr);
}

void MainScreen::BuildMenus() {
  menuBar_ = new QMenuBar(this);
  menuBar_->setNativeMenuBar(false);
  for (int i = 0; i < 5; ++i) menus_[i] = menuBar_->addMenu(QString());
  for (const Command& command : Commands()) {
    QAction* action = menus_[command.menu]->addAction(QString());
    const int id = command.id;
    action->setData(id);
    action->setCheckable(FindCheck(id) != nullptr);
    connect(action, &QAction::triggered, this, [this, id] {
      // A checkable action flips itself; the command sets the true state.
      ExecuteCommand(id);
      UpdateMenuStates();
    });
    actions_[id] = action;
  }
}

void MainScreen::RelabelMenus() {
  for (int i = 0; i < 5; ++i) menus_[i]->setTitle(MenuText(context_.language.Entry(lang::kTopMenus[i])));
  for (const lang::MenuItemText& item : lang::kMenuItemTexts)
    if (QAction* action = actionOf(item.command)) action->setText(MenuText(context_.language.Entry(item.entry)));
}

QAction* MainScreen::actionOf(int command) const {
  const auto it = actions_.find(command);
  return it == actions_.end() ? nullptr : it->second;
}

void MainScreen::UpdateMenuStates() {
  for (const Command& command : Commands()) {
    QAction* action = actionOf(command.id);
    if (!action) continue;
    action->setEnabled(command.kind != CommandKind::NotBuilt);
    if (const CheckRow* check = FindCheck(command.id)) action->setChecked(check->checked(context_.settings));
  }
  UpdateGpxMenuStates();
  // Reset user pos only while the receiver gives no fix.
  if (QAction* reset = actionOf(32852)) reset->setEnabled(context_.gps && !context_.gps->HasFix());
  UpdateMapMenuStates();
  UpdateTargetMenuStates();
}

QRect MainScreen::mapArea() const {
  const int band = Scale(kBandUnits, dpi_);
  const int top = context_.settings.hideTitleBar ? 0 : band;
  const int bottom = menuHidden_ ? 0 : band;
  return QRect(0, top, width(), std::max(1, height() - top - bottom));
}

void MainScreen::StartTimer() {
  ++generation_;  // every restart re-applies the layout at the next paint
  timer_.start(kTimerPeriodMs);
}

void MainScreen::StopTimer() { timer_.stop(); }

void MainScreen::OnTimer() {
  // New chat messages would open the VozazId dialog here; the buddy tracker is absent.
  // Tile jobs pending: redraws slow down while they are decoded or fetched.
  const bool loadersBusy = context_.onlineMaps && context_.onlineMaps->pending();
  if (!PaintDue(TickCount(), lastPaintTick_, loadersBusy)) return;
  repaint();
  TickDirections();
  UpdateMenuStates();
}

void MainScreen::ApplyLayout() {
  const int band = Scale(kBandUnits, dpi_);
  menuBar_->setVisible(!menuHidden_);
  menuBar_->setGeometry(0, height() - band, width(), band);
  const QRect area = mapArea();
  buttons_ = LayoutButtons(area.width(), area.height(), dpi_);
  sliderOffset_ = ClampSlider(sliderOffset_, buttons_.zoomBar, dpi_);
  appliedGeneration_ = generation_;
}

void MainScreen::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (size() != lastSize_) {
    lastSize_ = size();
    dpi_ = rovana::DpiForScreen(width(), height());
    ++generation_;
  }
}

void MainScreen::paintEvent(QPaintEvent*) {
  lastPaintTick_ = TickCount();
  ++paints_;
  if (appliedGeneration_ != generation_) ApplyLayout();
  const QRect area = mapArea();
  if (image_.size() != area.size()) image_ = QImage(area.size(), QImage::Format_RGB32);
  TickGuidance();
  Paint(image_);
  QPainter painter(this);
  if (!context_.settings.hideTitleBar) {
    const QRect band(0, 0, width(), area.top());
    painter.fillRect(band, QColor(0x20, 0x40, 0x80));
    painter.setPen(Qt::white);
    painter.drawText(band.adjusted(Scale(4, dpi_), 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                     QString::fromStdString(context_.language.Entry(lang::kMessageCaption)));
  }
  painter.drawImage(area.topLeft(), image_);
}

void MainScreen::Paint(QImage& image) {
  image.fill(ColourOf(context_.settings.backgroundCol));
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  QFont font("Arial");
  font.setPixelSize(Scale(11, dpi_));
  painter.setFont(font);
  // A command waiting from the quick menu skips the map layers.
  const MapFrame frame = Frame();
  if (pendingCommand_ == 0) {
    mapView_.Build(view_, frame);
    mapView_.PaintLayers(painter, frame, context_.waypoints, &Symbols());
  }
  PaintButtons(painter, frame);
}

MapFrame MainScreen::Frame() const {
  const SettingsStore& s = context_.settings;
  MapFrame frame;
  const QRect area = mapArea();
  frame.width = area.width();
  frame.height = area.height();
  frame.dpi = dpi_;
  if (context_.gps) {
    frame.user = context_.gps->filter().GetPosition(true);
    frame.course = context_.gps->live().MovingHeading();
  }
  frame.marker = marker_;
  frame.calibrationMode = calibrationMode_;
  maps::OffsetFlags offset;
  offset.directionsPane = s.dirsRefresh != 0;
  offset.basicsEnabled = s.basicsEnabled;
  offset.zoomEnabled = s.zoomEnabled;
  offset.headingMode = view_.heading ? *view_.heading : 0;
  frame.verticalOffsetUnits = maps::VerticalOffsetUnits(offset);
  return frame;
}

void MainScreen::PaintButtons(QPainter& p, const MapFrame& frame) {
  const SettingsStore& s = context_.settings;
  const ButtonFlags flags = FlagsFrom(s);
  auto box = [&p](const Rect& r, const QString& text, QColor fill) {
    if (r.empty()) return;
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
    p.setBrush(fill);
    p.drawRoundedRect(ToQt(r).adjusted(1, 1, -1, -1), 3, 3);
    p.setPen(Qt::black);
    // Captions in other languages are longer: shrink the font to fit, down
    // to a readable minimum, and elide what still does not fit.
    const QRect area = ToQt(r).adjusted(3, 1, -3, -1);
    const QFont original = p.font();
    QFont font = original;
    constexpr int kMinimumPixels = 8;
    int pixels = QFontMetrics(font).height();
    auto widest = [&text](const QFont& f) {
      int most = 0;
      for (const QString& line : text.split('\n')) most = std::max(most, QFontMetrics(f).horizontalAdvance(line));
      return most;
    };
    const int lines = static_cast<int>(text.count('\n')) + 1;
    while ((widest(font) > area.width() || QFontMetrics(font).height() * lines > area.height()) &&
           pixels > kMinimumPixels) {
      pixels = std::max(kMinimumPixels, pixels * 9 / 10);
      font.setPixelSize(pixels);
    }
    p.setFont(font);
    QStringList shown;
    for (const QString& line : text.split('\n')) shown << QFontMetrics(font).elidedText(line, Qt::ElideRight, area.width());
    p.drawText(area, Qt::AlignCenter, shown.join('\n'));
    p.setFont(original);
  };
  const QColor panel(0xF0, 0xF0, 0xE0, 0xE0);
  const LanguageTable& lt = context_.language;
  const LiveTexts live = MakeLiveTexts(context_.gps, s, lt);
  if (flags.compassEnabled)
    mapView_.PaintCompass(p, ToQt(buttons_.compass).adjusted(2, 2, -2, -2), frame, context_.waypoints, &Symbols());
  lastLive_ = live;
  if (flags.locatorEnabled) {
    // The locator's lines for the marker or the user; the fix text until the locator is connected.
    QStringList lines;
    for (const std::string& line : mapView_.LocatorLines(frame)) lines << QString::fromStdString(line);
    box(buttons_.locator, lines.isEmpty() ? QString::fromStdString(live.fix) : lines.join('\n'), panel);
  }
  if (flags.basicsEnabled) {
    constexpr int kCaptions[] = {lang::kWordStatistics, lang::kWordSpeed, lang::kSatInView, lang::kMenuToolsSpeedAlert};
    for (std::size_t i = 0; i < 4; ++i)
      box(buttons_.basics[i], QString::fromStdString(lt.Title(kCaptions[i]) + "\n" + live.basics[i]), panel);
  }
  if (flags.zoomEnabled) {
    box(buttons_.zoomBar, QString(), panel);
    const QColor hyper = s.hyperzooming ? QColor(0xFF, 0xC0, 0x40) : panel;
    box(buttons_.hyperzoom, "H", hyper);
    box(buttons_.zoomOut, "-", panel);
    box(buttons_.zoomIn, "+", panel);
    const QRect bar = ToQt(buttons_.zoomBar);
    p.setBrush(Qt::darkGray);
    p.drawRect(QRect(sliderOffset_ - Scale(3, dpi_), bar.top() + 2, Scale(6, dpi_), bar.height() - 4));
    mapView_.PaintScale(p, bar, dpi_);
  }
  if (flags.dirsPane) box(buttons_.directions, QString::fromStdString(lt.Title(lang::kMenuToolsDirections)), panel);
  box(buttons_.menuBar, menuHidden_ ? "^" : "v", panel);
  if (!flags.hideBugMenu) box(buttons_.cornerMenu, QString::fromStdString(lt.Entry(lang::kQuickMenuButton)), QColor(0x40, 0x80, 0xFF));
}

std::optional<QPoint> MainScreen::marker() const {
  if (!marker_) return std::nullopt;
  const maps::ScreenPoint p = mapView_.transform().ToScreen(*marker_);
  return QPoint(static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y)));
}

int MainScreen::RunModal(QDialog& dialog) {
  StopTimer();
  const int result = dialog.exec();
  menuHidden_ = context_.settings.hideMenuBar2;
  StartTimer();
  UpdateMenuStates();
  update();
  return result;
}

void MainScreen::ExecuteCommand(int id) {
  const Command* command = FindCommand(id);
  if (!command) return;
  switch (command->kind) {
    case CommandKind::NotBuilt:
      LogMessage("Command %d is not available yet", id);
      break;
    case CommandKind::FollowUser:
      ToggleFollowUser();
      break;
    case CommandKind::Language:
      OpenLanguageDialog();
      break;
    case CommandKind::Settings:
      OpenSettingsDialog();
      break;
    case CommandKind::Quit:
      Quit();
      break;
    case CommandKind::GpsSettings:
    case CommandKind::SatelliteStatus:
    case CommandKind::Filter:
    case CommandKind::TripComputer:
    case CommandKind::Dashboard:
    case CommandKind::Stopwatch:
    case CommandKind::SpeedAlert:
      OpenToolDialog(command->kind);
      break;
    case CommandKind::GpxSelect:
    case CommandKind::GpxDetails:
    case CommandKind::AddPoi:
    case CommandKind::PoiDetails:
    case CommandKind::RecordTrack:
      OpenGpxCommand(command->kind);
      break;
    case CommandKind::MapSelect:
    case CommandKind::MapDetails:
    case CommandKind::OnlineMaps:
    case CommandKind::Locator:
    case CommandKind::TrackAnalyzer:
    case CommandKind::ResetUserPos:
    case CommandKind::GotoUser:
    case CommandKind::Calibrate:
    case CommandKind::SetReference1:
    case CommandKind::SetReference2:
      OpenMapCommand(command->kind);
      break;
    case CommandKind::SetTarget:
    case CommandKind::GotoTarget:
    case CommandKind::DeleteTarget:
    case CommandKind::Trainer:
      OpenTargetCommand(command->kind);
      break;
    case CommandKind::OnlineServices:
      OpenOnlineServices();
      break;
    case CommandKind::VozazId:
      OpenVozazId(dialogs::VozazIdDialog::kOptions);
      break;
    case CommandKind::Directions:
      OpenDirections();
      break;
    case CommandKind::Search:
      OpenSearch();
      break;
    case CommandKind::Geocoder:
      OpenGeocoder();
      break;
  }
}

void MainScreen::ToggleFollowUser() {
  context_.settings.followUser = !context_.settings.followUser;
  if (context_.settings.followUser) SetMarker(std::nullopt);
  mapView_.ClearDrag();
  update();
}

void MainScreen::OpenLanguageDialog() {
  dialogs::LanguageDialog dialog(context_.language, context_.settings, false, this);
  RunModal(dialog);
  RelabelMenus();
  // The GPS connection would refresh its texts here; it is absent.
}

void MainScreen::OpenSettingsDialog() {
  dialogs::SettingsDialog dialog(context_.settings, context_.language, this);
  if (RunModal(dialog) == QDialog::Accepted) {
    ApplySettingsToGps();
    // The locator box, the position dialog and the display grid follow the
    // coordinate system and the units just chosen.
    if (context_.locator) context_.locator->FollowSettings();
  }
  view_ = BindView(context_.settings);
  ++generation_;
}

void MainScreen::OpenQuickMenu() {
  const SettingsStore& s = context_.settings;
  auto highlight = [this, &s](int command) {
    if (command == 32828) return Recording() ? 1 : 0;  // Record track: second style while recording
    const CheckRow* check = FindCheck(command);
    return (check && check->checked(s)) ? 1 : 0;
  };
  dialogs::QuickMenuDialog dialog(context_.language, quickPage_, highlight, dpi_, this);
  RunModal(dialog);
  quickPage_ = dialog.page();
  pendingCommand_ = dialog.chosenCommand();
  if (pendingCommand_ != 0) {
    // Run after the menu has gone, exactly as if chosen from the menu bar.
    QTimer::singleShot(0, this, [this] {
      const int id = pendingCommand_;
      pendingCommand_ = 0;
      ExecuteCommand(id);
      UpdateMenuStates();
    });
  }
}

bool MainScreen::Quit(bool ask) {
  if (quitting_) return true;
  StopTimer();
  bool ok = context_.automatic || !ask;
  if (!ok) {
    QMessageBox box(QMessageBox::Critical, QString::fromStdString(context_.language.Entry(lang::kMessageCaption)),
                    QString::fromStdString(context_.language.Entry(lang::kQuitQuestion)),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Cancel);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    ok = box.exec() == QMessageBox::Ok;
  }
  if (!ok) {
    StartTimer();
    return false;
  }
  quitting_ = true;
  LogMessage("Quitting Rovana!");
  context_.quit.store(true);
  if (context_.shutdown) context_.shutdown();
  done(0);
  return true;
}

bool MainScreen::SaveScreenshot(const QString& file) {
  if (appliedGeneration_ != generation_) ApplyLayout();
  return grab().toImage().save(file, "PNG");
}

void MainScreen::closeEvent(QCloseEvent* event) {
  // Closing the window goes through the quit question like the Quit command.
  if (!Quit()) event->ignore();
}

void MainScreen::reject() { Quit(); }  // Escape

void MainScreen::PanBy(int dx, int dy) {
  if (MoveCalibration(dx, dy)) return;
  pan_ += QPoint(dx, dy);
  mapView_.Build(view_, Frame());
  mapView_.PanBy(view_, dx, dy);
  update();
}

void MainScreen::ZoomBy(double factor) {
  if (ScaleCalibration(factor)) return;
  if (view_.zoom && std::isfinite(*view_.zoom * factor) && *view_.zoom * factor > 0) *view_.zoom *= factor;
  update();
}

void MainScreen::TapMap(QPoint point) {
  if (paints_ == 0) mapView_.Build(view_, Frame());  // the transform of what the screen shows
  const std::optional<MarkedPoint> object = PointNear(point);
  const GeoPoint position = object ? GeoPoint(object->point->latitude(), object->point->longitude())
                                   : mapView_.transform().ToPosition(point.x(), point.y());
  if (const std::optional<QPoint> old = marker()) {
    // Tapping a plain marker again removes it; one on an object is replaced.
    if (!marked_ && std::abs(old->x() - point.x()) <= kMarkerToggleSlopPx &&
        std::abs(old->y() - point.y()) <= kMarkerToggleSlopPx) {
      SetMarker(std::nullopt);
      return;
    }
  }
  SetMarker(position, object);
}

void MainScreen::PressButton(Button button) {
  SettingsStore& s = context_.settings;
  switch (button) {
    case Button::CornerMenu: OpenQuickMenu(); break;
    case Button::MenuBar:
      menuHidden_ = !menuHidden_;
      ++generation_;
      break;
    case Button::Hyperzoom:
      s.hyperzooming = !s.hyperzooming;
      view_ = BindView(s);
      mapView_.ClearDrag();
      break;
    case Button::ZoomIn: ZoomBy(2.0); break;
    case Button::ZoomOut: ZoomBy(0.5); break;
    case Button::ZoomSlider:
    case Button::None: break;
    default:
      if (const int command = CommandOfButton(button)) ExecuteCommand(command);
      break;
  }
}

void MainScreen::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QDialog::mousePressEvent(event);
  const QPoint point = event->position().toPoint() - mapArea().topLeft();
  penDown_ = true;
  panned_ = false;
  penDownPoint_ = lastMovePoint_ = point;
  penDownTick_ = TickCount();
  active_ = HitTest(buttons_, FlagsFrom(context_.settings), point.x(), point.y());
}

void MainScreen::mouseMoveEvent(QMouseEvent* event) {
  if (!penDown_) return;
  const QPoint point = event->position().toPoint() - mapArea().topLeft();
  const QPoint fromDown = point - penDownPoint_;
  const QPoint step = point - lastMovePoint_;  // since the previous move, ignored ones included
  lastMovePoint_ = point;
  if (!panned_ && MoveIsStillTap(fromDown.x(), fromDown.y(), TickCount() - penDownTick_, dpi_, dpi_)) return;
  panned_ = true;
  lastPanTick_ = TickCount();
  if (active_ == Button::ZoomSlider) {
    const int before = sliderOffset_;
    sliderOffset_ = ClampSlider(point.x(), buttons_.zoomBar, dpi_);
    ZoomBy(SliderZoomFactor(sliderOffset_, buttons_.zoomBar) / SliderZoomFactor(before, buttons_.zoomBar));
  } else if (active_ == Button::None) {
    PanBy(step.x(), step.y());
  }
  repaint();
}

void MainScreen::mouseReleaseEvent(QMouseEvent* event) {
  if (!penDown_ || event->button() != Qt::LeftButton) return;
  const QPoint point = event->position().toPoint() - mapArea().topLeft();
  penDown_ = false;
  const Button button = active_;
  active_ = Button::None;
  if (!panned_) {
    if (button == Button::None)
      TapMap(point);
    else
      PressButton(button);
  }
  panned_ = false;
  repaint();
}

void MainScreen::keyPressEvent(QKeyEvent* event) {
  constexpr double kDegree = 3.14159265358979323846 / 180;
  if ((event->key() == Qt::Key_7 || event->key() == Qt::Key_9) &&
      RotateCalibration(event->key() == Qt::Key_9 ? kDegree : -kDegree))
    return QDialog::keyPressEvent(event);
  if (const std::optional<NavKey> key = NavKeyOf(event->key())) {
    const bool zoomCase = event->modifiers().testFlag(Qt::ControlModifier);
    const QRect area = mapArea();
    switch (ActionForKey(*key, zoomCase)) {
      case KeyAction::PanLeft: PanBy(area.width() / 4, 0); break;
      case KeyAction::PanRight: PanBy(-area.width() / 4, 0); break;
      case KeyAction::PanUp: PanBy(0, area.height() / 4); break;
      case KeyAction::PanDown: PanBy(0, -area.height() / 4); break;
      case KeyAction::ZoomIn: ZoomBy(2.0); break;
      case KeyAction::ZoomOut: ZoomBy(0.5); break;
      case KeyAction::QuickMenu: OpenQuickMenu(); break;
      case KeyAction::None: break;
    }
  }
  QDialog::keyPressEvent(event);
}

}  // namespace rovana::ui
