// The main screen's rules as pure functions: paint rate, tap/pan, hit order,
// key table, view binding, command table and quick-menu pages.
#include <gtest/gtest.h>

#include <set>

#include "app/core/LanguageEntries.h"
#include "app/screen/ScreenRules.h"
#include "tests/support/TempHome.h"

namespace s = rovana::screen;

TEST(PaintRate, IdleEvery200msBusyEvery2s) {
  struct Case {
    std::uint32_t now, last;
    bool busy, due;
  };
  const Case cases[] = {
      {1200, 1000, false, false}, {1201, 1000, false, true},  {2999, 1000, true, false},
      {3000, 1000, true, false},  {3001, 1000, true, true},   {150, 0xFFFFFFF0u, false, false},  // wrap: 166 ms
      {300, 0xFFFFFFF0u, false, true},                                                              // wrap: 316 ms
  };
  int failures = 0;
  for (const Case& c : cases)
    if (s::PaintDue(c.now, c.last, c.busy) != c.due) {
      ++failures;
      ADD_FAILURE() << "now " << c.now << " last " << c.last << " busy " << c.busy;
    }
  EXPECT_EQ(failures, 0);
}

TEST(Gesture, TapWithin30UnitsAndOneSecond) {
  struct Case {
    int dx, dy;
    std::uint32_t ms;
    int dpi;
    bool tap;
  };
  const Case cases[] = {
      {0, 0, 0, 96, true},      {30, 30, 999, 96, true},  {31, 0, 10, 96, false},   {0, -31, 10, 96, false},
      {60, 60, 500, 192, true},  // 30 units at 192 dpi
      {62, 0, 500, 192, false},  {0, 0, 1000, 96, false},  // a slow press pans
      {-20, 5, 1500, 192, false},
  };
  int failures = 0;
  for (const Case& c : cases)
    if (s::MoveIsStillTap(c.dx, c.dy, c.ms, c.dpi, c.dpi) != c.tap) {
      ++failures;
      ADD_FAILURE() << c.dx << "," << c.dy << " after " << c.ms << " ms at " << c.dpi;
    }
  EXPECT_EQ(failures, 0);
}

TEST(Buttons, HitOrderAndHiddenButtons) {
  const s::ButtonLayout l = s::LayoutButtons(480, 588, 192);
  s::ButtonFlags all;
  all.dirsPane = true;
  auto centre = [](const s::Rect& r) { return std::pair{r.x + r.w / 2, r.y + r.h / 2}; };
  struct Case {
    s::Rect rect;
    s::Button expected;
  };
  const Case cases[] = {
      {l.cornerMenu, s::Button::CornerMenu}, {l.menuBar, s::Button::MenuBar},     {l.hyperzoom, s::Button::Hyperzoom},
      {l.zoomIn, s::Button::ZoomIn},         {l.zoomOut, s::Button::ZoomOut},     {l.directions, s::Button::DirectionsPane},
      {l.compass, s::Button::Compass},       {l.locator, s::Button::Locator},     {l.basics[0], s::Button::Analyzer},
      {l.basics[1], s::Button::Trainer},     {l.basics[2], s::Button::Satellites}, {l.basics[3], s::Button::SpeedAlert},
  };
  int failures = 0;
  for (const Case& c : cases) {
    const auto [x, y] = centre(c.rect);
    if (s::HitTest(l, all, x, y) != c.expected) {
      ++failures;
      ADD_FAILURE() << "button " << static_cast<int>(c.expected);
    }
  }
  EXPECT_EQ(failures, 0);
  // The bar between its sub-buttons is the slider; the middle of the screen is the map.
  EXPECT_EQ(s::HitTest(l, all, l.zoomBar.x + l.zoomBar.w / 2, l.zoomBar.y + 2), s::Button::ZoomSlider);
  EXPECT_EQ(s::HitTest(l, all, 240, 300), s::Button::None);
  // Hidden buttons fall through to the map.
  s::ButtonFlags none{true, false, false, false, false, false};
  for (const Case& c : cases) {
    const auto [x, y] = centre(c.rect);
    const s::Button hit = s::HitTest(l, none, x, y);
    EXPECT_TRUE(hit == s::Button::None || hit == s::Button::MenuBar) << static_cast<int>(c.expected);
  }
}

TEST(Buttons, SliderKeepsItsDistanceFromTheEdges) {
  const s::Rect bar{0, 500, 400, 48};
  EXPECT_EQ(s::ClampSlider(-50, bar, 192), 60);
  EXPECT_EQ(s::ClampSlider(1000, bar, 192), 340);
  EXPECT_EQ(s::ClampSlider(200, bar, 192), 200);
  EXPECT_DOUBLE_EQ(s::SliderZoomFactor(200, bar), 1.0);
  EXPECT_DOUBLE_EQ(s::SliderZoomFactor(250, bar), 2.0);
  EXPECT_DOUBLE_EQ(s::SliderZoomFactor(150, bar), 0.5);
}

TEST(Keys, PanAndZoomCases) {
  using A = s::KeyAction;
  using K = s::NavKey;
  struct Case {
    K key;
    A pan, zoom;
  };
  const Case cases[] = {
      {K::Left, A::PanLeft, A::PanLeft},  {K::D4, A::PanLeft, A::PanLeft},    {K::Right, A::PanRight, A::PanRight},
      {K::D6, A::PanRight, A::PanRight},  {K::Up, A::PanUp, A::ZoomIn},       {K::D2, A::PanUp, A::ZoomIn},
      {K::D3, A::ZoomIn, A::ZoomIn},      {K::Down, A::PanDown, A::ZoomOut},  {K::D8, A::PanDown, A::ZoomOut},
      {K::D1, A::ZoomOut, A::ZoomOut},    {K::D0, A::QuickMenu, A::QuickMenu}, {K::D5, A::QuickMenu, A::QuickMenu},
  };
  int failures = 0;
  for (const Case& c : cases) {
    failures += s::ActionForKey(c.key, false) != c.pan;
    failures += s::ActionForKey(c.key, true) != c.zoom;
  }
  EXPECT_EQ(failures, 0);
}

TEST(View, HyperzoomSwitchesSetsWithoutLosingEither) {
  testing_support::TempHome home;
  rovana::SettingsStore& st = *home.settings;
  s::ViewBinding v = s::BindView(st);
  *v.zoom = 1000;
  *v.rotate = 0.5;
  *v.heading = 2;
  st.hyperzooming = true;
  v = s::BindView(st);
  EXPECT_DOUBLE_EQ(*v.zoom, 39.79331706606942);
  *v.zoom = 7;
  st.hyperzooming = false;
  v = s::BindView(st);
  EXPECT_DOUBLE_EQ(*v.zoom, 1000);
  EXPECT_DOUBLE_EQ(*v.rotate, 0.5);
  EXPECT_EQ(*v.heading, 2);
  EXPECT_DOUBLE_EQ(st.zoomH3, 7);
}

TEST(Commands, EveryMenuItemHasATextAndOneQuickButton) {
  std::multiset<int> quick;
  for (int p = 0; p < s::kQuickPages; ++p)
    for (const s::QuickButton& b : s::QuickButtons(s::QuickPageFrom(p)))
      if (b.kind == s::QuickKind::Command) quick.insert(b.target);
  int failures = 0;
  for (const s::Command& c : s::Commands()) {
    bool texted = false;
    for (const auto& t : rovana::lang::kMenuItemTexts) texted |= t.command == c.id;
    if (!texted || quick.count(c.id) != 1) {
      ++failures;
      ADD_FAILURE() << "command " << c.id;
    }
  }
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(s::Commands().size(), std::size(rovana::lang::kMenuItemTexts));
  EXPECT_EQ(quick.size(), s::Commands().size());
  ASSERT_NE(s::FindCommand(18), nullptr);
  EXPECT_EQ(s::FindCommand(18)->kind, s::CommandKind::Quit);
  EXPECT_EQ(s::FindCommand(12345), nullptr);
}

TEST(QuickMenu, PagesLinkInARing) {
  // Main page opens pages 1 to 6; every other page's previous and next form a ring.
  const auto main = s::QuickButtons(s::QuickPage::Main);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(main[static_cast<std::size_t>(i)].kind, s::QuickKind::Empty);
  for (int i = 3; i < 9; ++i) {
    EXPECT_EQ(main[static_cast<std::size_t>(i)].kind, s::QuickKind::Page);
    EXPECT_EQ(main[static_cast<std::size_t>(i)].target, i - 2);
  }
  for (int p = 1; p < s::kQuickPages; ++p) {
    const auto b = s::QuickButtons(s::QuickPageFrom(p));
    EXPECT_EQ(b[0].target, p == 1 ? 6 : p - 1) << p;
    EXPECT_EQ(b[1].target, 0) << p;
    EXPECT_EQ(b[2].target, p == 6 ? 1 : p + 1) << p;
  }
  EXPECT_EQ(s::QuickButtons(s::QuickPage::Config)[4].kind, s::QuickKind::Empty);
  EXPECT_EQ(s::QuickPageFrom(99), s::QuickPage::Main);
  EXPECT_EQ(s::QuickPageFrom(-1), s::QuickPage::Main);
}

TEST(QuickMenu, FocusWraps) {
  EXPECT_EQ(s::MoveFocus(0, -1, 0), 8);
  EXPECT_EQ(s::MoveFocus(8, 1, 0), 0);
  EXPECT_EQ(s::MoveFocus(1, 0, -1), 7);
  EXPECT_EQ(s::MoveFocus(7, 0, 1), 1);
  EXPECT_EQ(s::MoveFocus(4, 0, 1), 7);
}
