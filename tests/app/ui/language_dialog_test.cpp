// The language dialog lists the shipped files and stores the choice.
#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>

#include "app/core/LanguageEntries.h"
#include "app/dialogs/LanguageDialog.h"
#include "tests/support/TempHome.h"

TEST(LanguageDialog, ChoosingALanguageLoadsAndStoresIt) {
  testing_support::TempHome home;
  rovana::SettingsStore& st = *home.settings;
  ASSERT_FALSE(st.languageInit);
  rovana::dialogs::LanguageDialog dialog(*home.language, st, true);
  ASSERT_EQ(dialog.list()->count(), 2);
  EXPECT_EQ(dialog.list()->currentRow(), 0);  // English is loaded: its row is selected
  const std::string englishIntro = dialog.intro()->text().toStdString();
  EXPECT_EQ(englishIntro, home.language->Entry(rovana::lang::kLanguageIntroBoot));

  int german = -1;
  for (std::size_t i = 0; i < dialog.languages().items.size(); ++i)
    if (dialog.languages().items[i].name == "German") german = static_cast<int>(i);
  ASSERT_GE(german, 0);
  dialog.list()->setCurrentRow(german);
  EXPECT_EQ(st.language, "German");
  EXPECT_TRUE(st.languageInit);
  EXPECT_EQ(home.language->language(), "German");
  EXPECT_NE(dialog.intro()->text().toStdString(), englishIntro);  // relabelled
}

TEST(LanguageDialog, FromTheMenuShowsTheSecondIntroduction) {
  testing_support::TempHome home;
  rovana::dialogs::LanguageDialog dialog(*home.language, *home.settings, false);
  EXPECT_EQ(dialog.intro()->text().toStdString(), home.language->Entry(rovana::lang::kLanguageIntroMenu));
  dialog.Choose(99);  // out of range: nothing happens
  EXPECT_FALSE(home.settings->languageInit);
}

// Guards the boot-time dialog, which has no parent: it must take the layout
// of the size it is given, not of the machine's monitor.
TEST(LanguageDialog, FollowsTheOrientationOfItsOwnSize) {
  testing_support::TempHome home;
  rovana::dialogs::LanguageDialog dialog(*home.language, *home.settings, true);
  dialog.resize(480, 640);  // sized before it is shown, as at boot
  dialog.show();
  EXPECT_FALSE(dialog.sideBySide());
  dialog.resize(640, 480);
  EXPECT_TRUE(dialog.sideBySide());
  dialog.resize(240, 320);
  EXPECT_FALSE(dialog.sideBySide());
}

// Guards a fresh home: it has no Language folder of its own, and the
// first-start dialog showed "..." and no languages until the shipped files
// were looked up in the resource folder.
TEST(LanguageDialog, FreshHomeListsTheShippedLanguagesWithTheirTexts) {
  testing_support::TempRegistry registry;
  rovana::SettingsStore settings(registry.folder() / "fresh");
  rovana::LanguageTable language(
      {registry.folder() / "fresh" / "Language", testing_support::SourceDir() / "data" / "Language"});
  language.Load("", false, rovana::LanguageSetting{settings.language, settings.languageInit});
  rovana::dialogs::LanguageDialog dialog(language, settings, true);
  ASSERT_EQ(dialog.list()->count(), 2);
  EXPECT_EQ(dialog.list()->item(0)->text().toStdString(), "English");
  EXPECT_EQ(dialog.list()->item(1)->text().toStdString(), "Deutsch");
  EXPECT_EQ(dialog.list()->currentRow(), 0);
  EXPECT_NE(dialog.intro()->text().toStdString(), "...");
}
