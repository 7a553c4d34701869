// The loading dialog creates the data folders, runs LoadThread and closes itself.
#include <gtest/gtest.h>

#include <QProgressBar>

#include "app/dialogs/LoadingDialog.h"
#include "tests/support/TempHome.h"

TEST(LoadingDialog, CreatesDataFoldersAndClosesWhenLoaded) {
  testing_support::TempHome home;
  home.settings->primaryDataPath = (home.folder() / "maps" / "inner").string();
  home.settings->secondaryDataPath = (home.folder() / "examples").string();
  rovana::dialogs::LoadingDialog dialog(*home.settings, *home.language, "Rovana", 96);
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);  // would hang if LoadThread never closed it
  EXPECT_TRUE(std::filesystem::is_directory(home.folder() / "maps" / "inner"));
  EXPECT_TRUE(std::filesystem::is_directory(home.folder() / "examples"));
  EXPECT_EQ(dialog.mapsBar()->value(), dialog.mapsBar()->maximum());
  EXPECT_EQ(dialog.dataBar()->value(), dialog.dataBar()->maximum());
}
