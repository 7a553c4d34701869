// The main screen's rules that need no window: resolution scaling, the paint
// rate, the stylus tap/pan rule, the on-screen button rectangles and their hit
// order, the command table of the menu bar and the pages of the quick menu.
// Everything here is plain data and pure functions so that it is tested
// without a display.
//
// Units: "units" are lengths designed for a 96-dpi screen; pixels are the
// screen's. Ticks are 32-bit milliseconds that wrap; differences are taken
// unsigned so a wrap between two ticks does no harm.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace rovana {
class SettingsStore;
}

namespace rovana::screen {

// ---- resolution ----------------------------------------------------------------

// Units to pixels and back: the scaling rule of app/core/Utilities.h.
int Scale(int units, int dpi);
int Unscale(int pixels, int dpi);

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
  bool Contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
  bool empty() const { return w <= 0 || h <= 0; }
  bool operator==(const Rect&) const = default;
};

// ---- paint rate ----------------------------------------------------------------

inline constexpr int kTimerPeriodMs = 200;
inline constexpr std::uint32_t kPaintPeriodIdleMs = 200;   // both tile loaders idle
inline constexpr std::uint32_t kPaintPeriodBusyMs = 2000;  // a loader is downloading

std::uint32_t PaintPeriod(bool anyLoaderBusy);
// True when more than the paint period has passed since the last paint.
bool PaintDue(std::uint32_t nowTick, std::uint32_t lastPaintTick, bool anyLoaderBusy);

// ---- stylus --------------------------------------------------------------------

inline constexpr int kTapSlopUnits = 30;          // per axis, 96-dpi units
inline constexpr std::uint32_t kTapTimeMs = 1000;  // after pen down
inline constexpr int kMarkerToggleSlopPx = 15;     // tapping an old marker again removes it
inline constexpr int kSliderEdgeUnits = 30;       // the zoom slider stays this far from the edges

// A pen move is still part of a tap (ignored) when it comes within 1000 ms of
// pen down and lies within 30 units of the pen-down point on both axes.
bool MoveIsStillTap(int dxPx, int dyPx, std::uint32_t msSincePenDown, int dpiX, int dpiY);

// ---- on-screen buttons ---------------------------------------------------------

enum class Button : std::uint8_t {
  None,
  CornerMenu,
  MenuBar,
  Hyperzoom,
  ZoomIn,
  ZoomOut,
  ZoomSlider,
  DirectionsPane,
  Compass,
  Locator,
  Analyzer,
  Trainer,
  Satellites,
  SpeedAlert,
};

// Which buttons are shown, from the settings.
struct ButtonFlags {
  bool hideBugMenu = false;
  bool zoomEnabled = true;
  bool dirsPane = false;  // dirsRefresh != 0
  bool compassEnabled = true;
  bool locatorEnabled = true;
  bool basicsEnabled = true;
};
ButtonFlags FlagsFrom(const SettingsStore& settings);

// The rectangles in pixels inside the map area (0,0 is its top-left corner).
struct ButtonLayout {
  Rect cornerMenu, menuBar, zoomBar, hyperzoom, zoomIn, zoomOut, directions, compass, locator;
  std::array<Rect, 4> basics;  // analyzer, trainer, satellites, speed alert
};
ButtonLayout LayoutButtons(int widthPx, int heightPx, int dpi);

// The first button under the point, in the main screen's hit order: corner
// menu, menu-bar button, zoom bar (hyperzoom, zoom in, zoom out, else the
// slider), directions pane, compass, locator box, the four basics buttons.
// Hidden buttons are skipped; None means a gesture on the map.
Button HitTest(const ButtonLayout& layout, const ButtonFlags& flags, int x, int y);

// The menu command a tap on an on-screen button runs (directions pane:
// Directions, compass: Dashboard, locator box: Locator, analyzer:
// Vudizaduroz, trainer: Trainer, satellites: Satellite status, speed alert:
// Speed alert); 0 for buttons that act on the screen itself.
int CommandOfButton(Button button);

// The zoom slider offset for a pen at `x`, kept 30 units from both edges of
// the zoom bar, and the zoom factor 2^((offset - centre) / (bar width / 8)):
// the centre is ×1, each eighth of the bar doubles or halves.
int ClampSlider(int x, const Rect& zoomBar, int dpi);
double SliderZoomFactor(int offset, const Rect& zoomBar);

// ---- navigation keys -------------------------------------------------------------

enum class KeyAction : std::uint8_t { None, PanLeft, PanRight, PanUp, PanDown, ZoomIn, ZoomOut, QuickMenu };

// Logical keys of the navigation table (arrows and the digits, numeric pad
// digits are the same rows).
enum class NavKey : std::uint8_t { Left, Right, Up, Down, D0, D1, D2, D3, D4, D5, D6, D8 };

// `zoomCase` is the second key code of the device (131; Ctrl held on a
// keyboard); otherwise the pan case (132).
KeyAction ActionForKey(NavKey key, bool zoomCase);

// ---- view parameters -------------------------------------------------------------

// The zoom, rotation and heading mode the view uses: the hyperzoom set when
// `hyperzooming`, else the normal set. Re-bind after every change of it.
struct ViewBinding {
  double* translateX = nullptr;
  double* translateY = nullptr;
  double* zoom = nullptr;
  double* rotate = nullptr;
  std::int32_t* heading = nullptr;
};
ViewBinding BindView(SettingsStore& settings);

// ---- commands ------------------------------------------------------------------

inline constexpr int kCommandQuitAlt = 18;  // the window's command 18 quits like Config › Quit

enum class CommandKind : std::uint8_t {
  NotBuilt,   // its room is still to come: shown greyed, does nothing
  FollowUser,
  Language,
  Settings,
  Quit,
  // Dialogs of the GPS connection, the filter and the statistics (opened by
  // the main screen's tool dialogs).
  GpsSettings,
  SatelliteStatus,
  Filter,
  TripComputer,
  Dashboard,
  Stopwatch,
  SpeedAlert,
  // The GPX menu: files and collections, points, track recording.
  GpxSelect,
  GpxDetails,
  AddPoi,
  PoiDetails,
  RecordTrack,
  // Maps and positions.
  MapSelect,
  MapDetails,
  OnlineMaps,  // the online maps dialog (tile sources, cache)
  Locator,
  TrackAnalyzer,
  ResetUserPos,
  GotoUser,
  Calibrate,
  SetReference1,
  SetReference2,
  // The navigation target and the trainer.
  SetTarget,
  GotoTarget,
  DeleteTarget,
  Trainer,
  // The online services and buddy tracking.
  OnlineServices,
  VozazId,
  // Directions and routes from the web service.
  Directions,
  // Search providers and the geocoder.
  Search,
  Geocoder,
};

struct Command {
  int id;
  int menu;  // index into lang::kTopMenus
  CommandKind kind;
};

// Every menu item in menu-bar order; the texts come from lang::kMenuItemTexts.
std::span<const Command> Commands();
const Command* FindCommand(int id);

// ---- quick menu -------------------------------------------------------------------

enum class QuickPage : std::uint8_t { Main, View, Map, Gpx, Tools1, Tools2, Config };
inline constexpr int kQuickPages = 7;
inline constexpr int kQuickButtons = 9;

enum class QuickKind : std::uint8_t { Empty, Page, Command };

struct QuickButton {
  QuickKind kind = QuickKind::Empty;
  int target = 0;   // page number for Page, command identifier for Command
  int caption = 0;  // language entry
};

// The nine buttons of a page (3 × 3, row by row).
std::span<const QuickButton, kQuickButtons> QuickButtons(QuickPage page);
// Language entry of a page's title line.
int QuickPageTitle(QuickPage page);
// The page in `page` as a valid page (0 to 6); anything else is the main page.
QuickPage QuickPageFrom(int page);
// Focus frame movement over the 3 × 3 grid, wrapping: dx ±1 moves within the
// whole sequence of nine, dy ±1 moves a row up or down within the column.
int MoveFocus(int focus, int dx, int dy);

}  // namespace rovana::screen
