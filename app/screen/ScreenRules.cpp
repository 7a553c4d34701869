#include "app/screen/ScreenRules.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "app/core/LanguageEntries.h"
#include "app/core/SettingsStore.h"
#include "app/core/Utilities.h"

namespace rovana::screen {

int Scale(int units, int dpi) { return ScaleToScreen(units, dpi); }
int Unscale(int pixels, int dpi) { return ScaleToDesign(pixels, dpi); }

std::uint32_t PaintPeriod(bool anyLoaderBusy) { return anyLoaderBusy ? kPaintPeriodBusyMs : kPaintPeriodIdleMs; }

bool PaintDue(std::uint32_t nowTick, std::uint32_t lastPaintTick, bool anyLoaderBusy) {
  return static_cast<std::uint32_t>(nowTick - lastPaintTick) > PaintPeriod(anyLoaderBusy);
}

bool MoveIsStillTap(int dxPx, int dyPx, std::uint32_t msSincePenDown, int dpiX, int dpiY) {
  if (msSincePenDown >= kTapTimeMs) return false;
  return std::abs(Unscale(dxPx, dpiX)) <= kTapSlopUnits && std::abs(Unscale(dyPx, dpiY)) <= kTapSlopUnits;
}

ButtonFlags FlagsFrom(const SettingsStore& s) {
  return ButtonFlags{s.hideBugMenu, s.zoomEnabled, s.dirsRefresh != 0, s.compassEnabled, s.locatorEnabled,
                     s.basicsEnabled};
}

ButtonLayout LayoutButtons(int widthPx, int heightPx, int dpi) {
  // Designed in units on the low-resolution screen, then scaled.
  const int w = Unscale(widthPx, dpi);
  const int h = Unscale(heightPx, dpi);
  auto r = [dpi](int x, int y, int bw, int bh) { return Rect{Scale(x, dpi), Scale(y, dpi), Scale(bw, dpi), Scale(bh, dpi)}; };
  ButtonLayout l;
  l.cornerMenu = r(w - 32, 0, 32, 32);
  l.menuBar = r(w - 32, h - 24, 32, 24);
  l.zoomBar = r(0, h - 24, w - 36, 24);
  l.hyperzoom = r(0, h - 24, 28, 24);
  l.zoomOut = r(30, h - 24, 24, 24);
  l.zoomIn = r(w - 36 - 24, h - 24, 24, 24);
  l.directions = r(w - 32, 36, 32, 20);
  l.compass = r(0, 0, 48, 48);
  l.locator = r(52, 0, w - 52 - 36, 22);
  for (int i = 0; i < 4; ++i) l.basics[static_cast<std::size_t>(i)] = r(0, 52 + i * 24, 56, 22);
  return l;
}

Button HitTest(const ButtonLayout& l, const ButtonFlags& f, int x, int y) {
  if (!f.hideBugMenu && l.cornerMenu.Contains(x, y)) return Button::CornerMenu;
  if (l.menuBar.Contains(x, y)) return Button::MenuBar;
  if (f.zoomEnabled && l.zoomBar.Contains(x, y)) {
    if (l.hyperzoom.Contains(x, y)) return Button::Hyperzoom;
    if (l.zoomIn.Contains(x, y)) return Button::ZoomIn;
    if (l.zoomOut.Contains(x, y)) return Button::ZoomOut;
    return Button::ZoomSlider;
  }
  if (f.dirsPane && l.directions.Contains(x, y)) return Button::DirectionsPane;
  if (f.compassEnabled && l.compass.Contains(x, y)) return Button::Compass;
  if (f.locatorEnabled && l.locator.Contains(x, y)) return Button::Locator;
  if (f.basicsEnabled) {
    constexpr Button kBasics[] = {Button::Analyzer, Button::Trainer, Button::Satellites, Button::SpeedAlert};
    for (std::size_t i = 0; i < 4; ++i)
      if (l.basics[i].Contains(x, y)) return kBasics[i];
  }
  return Button::None;
}

int CommandOfButton(Button button) {
  struct Row {
    Button button;
    int command;
  };
  constexpr Row kRows[] = {
      {Button::DirectionsPane, 32877}, {Button::Compass, 32815},    {Button::Locator, 32835},
      {Button::Analyzer, 32834},       {Button::Trainer, 32875},    {Button::Satellites, 32821},
      {Button::SpeedAlert, 32878},
  };
  for (const Row& row : kRows)
    if (row.button == button) return row.command;
  return 0;
}

int ClampSlider(int x, const Rect& bar, int dpi) {
  const int edge = Scale(kSliderEdgeUnits, dpi);
  const int low = bar.x + edge;
  const int high = std::max(low, bar.x + bar.w - edge);
  return std::clamp(x, low, high);
}

double SliderZoomFactor(int offset, const Rect& bar) {
  if (bar.w < 8) return 1;
  const double centre = bar.x + bar.w / 2.0;
  return std::pow(2.0, (offset - centre) / (bar.w / 8.0));
}

namespace {

struct KeyRow {
  NavKey key;
  KeyAction pan;   // code 132
  KeyAction zoom;  // code 131
};

constexpr KeyRow kKeys[] = {
    {NavKey::Left, KeyAction::PanLeft, KeyAction::PanLeft},
    {NavKey::D4, KeyAction::PanLeft, KeyAction::PanLeft},
    {NavKey::Right, KeyAction::PanRight, KeyAction::PanRight},
    {NavKey::D6, KeyAction::PanRight, KeyAction::PanRight},
    {NavKey::Up, KeyAction::PanUp, KeyAction::ZoomIn},
    {NavKey::D2, KeyAction::PanUp, KeyAction::ZoomIn},
    {NavKey::D3, KeyAction::ZoomIn, KeyAction::ZoomIn},
    {NavKey::Down, KeyAction::PanDown, KeyAction::ZoomOut},
    {NavKey::D8, KeyAction::PanDown, KeyAction::ZoomOut},
    {NavKey::D1, KeyAction::ZoomOut, KeyAction::ZoomOut},
    {NavKey::D0, KeyAction::QuickMenu, KeyAction::QuickMenu},
    {NavKey::D5, KeyAction::QuickMenu, KeyAction::QuickMenu},
};

}  // namespace

KeyAction ActionForKey(NavKey key, bool zoomCase) {
  for (const KeyRow& row : kKeys)
    if (row.key == key) return zoomCase ? row.zoom : row.pan;
  return KeyAction::None;
}

ViewBinding BindView(SettingsStore& s) {
  ViewBinding b{&s.translateX, &s.translateY, &s.zoomN3, &s.rotate, &s.heading};
  if (s.hyperzooming) {
    b.zoom = &s.zoomH3;
    b.rotate = &s.rotateH;
    b.heading = &s.headingH;
  }
  return b;
}

namespace {

using K = CommandKind;

// Menu-bar order; menu 0 View, 1 Map, 2 GPX, 3 Tools, 4 Config.
constexpr Command kCommands[] = {
    {32852, 0, K::ResetUserPos}, {32893, 0, K::GotoUser}, {32896, 0, K::FollowUser}, {32826, 0, K::SetTarget},
    {32825, 0, K::GotoTarget}, {32833, 0, K::DeleteTarget},

    {32870, 1, K::OnlineMaps}, {32784, 1, K::MapSelect}, {32894, 1, K::MapDetails}, {32786, 1, K::Calibrate},
    {32842, 1, K::SetReference1}, {32843, 1, K::SetReference2},

    {32858, 2, K::GpxSelect}, {32859, 2, K::GpxDetails}, {32797, 2, K::AddPoi}, {32881, 2, K::PoiDetails},
    {32828, 2, K::RecordTrack}, {32880, 2, K::Search},

    {32815, 3, K::Dashboard}, {32895, 3, K::TripComputer}, {32878, 3, K::SpeedAlert}, {32883, 3, K::Stopwatch},
    {32821, 3, K::SatelliteStatus}, {32834, 3, K::TrackAnalyzer}, {32875, 3, K::Trainer}, {32835, 3, K::Locator},
    {32839, 3, K::Filter}, {32851, 3, K::VozazId}, {32872, 3, K::Geocoder}, {32877, 3, K::Directions},

    {32793, 4, K::GpsSettings}, {32874, 4, K::OnlineServices}, {32856, 4, K::Language}, {32803, 4, K::Settings},
    {32873, 4, K::Quit},
};

constexpr Command kQuitAlt{kCommandQuitAlt, 4, K::Quit};

using Q = QuickKind;
namespace L = lang;

constexpr QuickButton Pg(QuickPage p, int caption) { return {Q::Page, static_cast<int>(p), caption}; }
constexpr QuickButton Cmd(int id, int caption) { return {Q::Command, id, caption}; }
constexpr QuickButton kNone{};

// Buttons 1 to 3 of every page but the main one: previous, main, next.
constexpr QuickButton Prev(QuickPage p) { return Pg(p, L::kQuickPrevious); }
constexpr QuickButton Home() { return Pg(QuickPage::Main, L::kQuickMenuMainPage); }
constexpr QuickButton Next(QuickPage p) { return Pg(p, L::kQuickNext); }

constexpr std::array<QuickButton, kQuickButtons> kQuick[kQuickPages] = {
    {kNone, kNone, kNone, Pg(QuickPage::View, L::kMenuView), Pg(QuickPage::Map, L::kMenuMap),
     Pg(QuickPage::Gpx, L::kMenuGpx), Pg(QuickPage::Tools1, L::kQuickTools1Page),
     Pg(QuickPage::Tools2, L::kQuickTools2Page), Pg(QuickPage::Config, L::kMenuConfig)},
    {Prev(QuickPage::Config), Home(), Next(QuickPage::Map), Cmd(32826, L::kMenuViewSetTarget),
     Cmd(32825, L::kMenuViewGotoTarget), Cmd(32833, L::kMenuViewDeleteTarget), Cmd(32852, L::kMenuViewResetUserPos),
     Cmd(32893, L::kMenuViewGotoUser), Cmd(32896, L::kMenuViewFollowUser)},
    {Prev(QuickPage::View), Home(), Next(QuickPage::Gpx), Cmd(32870, L::kMenuMapGoogleMaps),
     Cmd(32784, L::kMenuMapSelect), Cmd(32894, L::kMenuMapDetails), Cmd(32786, L::kMenuMapCalibrate),
     Cmd(32842, L::kMenuMapSetReference1), Cmd(32843, L::kMenuMapSetReference2)},
    {Prev(QuickPage::Map), Home(), Next(QuickPage::Tools1), Cmd(32858, L::kMenuGpxSelect),
     Cmd(32797, L::kMenuGpxAddPoi), Cmd(32828, L::kMenuGpxRecordTrack), Cmd(32859, L::kMenuGpxDetails),
     Cmd(32881, L::kMenuGpxPoiDetails), Cmd(32880, L::kMenuGpxSearch)},
    {Prev(QuickPage::Gpx), Home(), Next(QuickPage::Tools2), Cmd(32815, L::kMenuToolsDashboard),
     Cmd(32895, L::kMenuToolsTripComputer), Cmd(32878, L::kMenuToolsSpeedAlert), Cmd(32883, L::kMenuToolsStopwatch),
     Cmd(32821, L::kMenuToolsSatelliteStatus), Cmd(32834, L::kMenuToolsVudizaduroz)},
    {Prev(QuickPage::Tools1), Home(), Next(QuickPage::Config), Cmd(32875, L::kMenuToolsTrainer),
     Cmd(32835, L::kMenuToolsLocator), Cmd(32839, L::kMenuToolsAccurator), Cmd(32851, L::kMenuToolsVozazId),
     Cmd(32872, L::kMenuToolsGeocoder), Cmd(32877, L::kMenuToolsDirections)},
    {Prev(QuickPage::Tools2), Home(), Next(QuickPage::View), Cmd(32793, L::kMenuConfigGps), kNone,
     Cmd(32874, L::kMenuConfigOnlineServices), Cmd(32856, L::kMenuConfigLanguage),
     Cmd(32803, L::kMenuConfigSettings), Cmd(32873, L::kMenuConfigQuit)},
};

constexpr int kQuickTitles[kQuickPages] = {L::kQuickMenuMainPage, L::kMenuView,        L::kMenuMap,   L::kMenuGpx,
                                           L::kQuickTools1Page,   L::kQuickTools2Page, L::kMenuConfig};

}  // namespace

std::span<const Command> Commands() { return kCommands; }

const Command* FindCommand(int id) {
  if (id == kCommandQuitAlt) return &kQuitAlt;
  for (const Command& c : kCommands)
    if (c.id == id) return &c;
  return nullptr;
}

QuickPage QuickPageFrom(int page) {
  return (page >= 0 && page < kQuickPages) ? static_cast<QuickPage>(page) : QuickPage::Main;
}

std::span<const QuickButton, kQuickButtons> QuickButtons(QuickPage page) {
  return std::span<const QuickButton, kQuickButtons>(kQuick[static_cast<int>(QuickPageFrom(static_cast<int>(page)))]);
}

int QuickPageTitle(QuickPage page) { return kQuickTitles[static_cast<int>(QuickPageFrom(static_cast<int>(page)))]; }

int MoveFocus(int focus, int dx, int dy) {
  focus = ((focus % kQuickButtons) + kQuickButtons) % kQuickButtons;
  if (dx != 0) focus = ((focus + dx) % kQuickButtons + kQuickButtons) % kQuickButtons;
  if (dy != 0) focus = (((focus / 3 + dy) % 3 + 3) % 3) * 3 + focus % 3;  // same column
  return focus;
}

}  // namespace rovana::screen
