// The map dialogs offscreen: the calibration choice, the map list and the
// map details with its calibration tab, over real map folders.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/core/LanguageEntries.h"
#include "app/dialogs/CalibrationChoiceDialog.h"
#include "app/dialogs/MapDetailsDialog.h"
#include "app/dialogs/MapTreeDialog.h"
#include "app/maps/Loader.h"
#include "app/maps/MapCatalogue.h"
#include "tests/app/maps/TestGrids.h"
#include "tests/support/TempHome.h"

namespace {

namespace fs = std::filesystem;
using rovana::dialogs::CalibrationChoice;
using rovana::dialogs::CalibrationChoiceDialog;
using rovana::dialogs::MapDetailsDialog;
using rovana::dialogs::MapIcon;
using rovana::dialogs::MapTreeDialog;
using rovana::maps::MapImage;

constexpr double kDeg = 3.14159265358979323846 / 180;

struct Fixture {
  testing_support::TempHome home;
  testing_support::TestGrids grids;
  rovana::maps::Loader pictures{"pictures", rovana::maps::LoaderPolicy::OldestFirst, 10};
  std::unique_ptr<rovana::maps::MapCatalogue> catalogue;
  fs::path data;
  std::vector<std::string> messages;
  int redraws = 0;

  Fixture() {
    data = home.folder() / "data";
    fs::create_directories(data);
    home.settings->primaryDataPath = data.string();
    home.settings->secondaryDataPath = data.string();
    pictures.Start();
  }
  ~Fixture() { catalogue.reset(); }
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream out(data / name, std::ios::binary);
    out << text;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(data / name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void Png(const std::string& name, int width, int height) const {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.save(QString::fromStdString((data / name).string()), "PNG");
  }
  void Load() {
    catalogue = std::make_unique<rovana::maps::MapCatalogue>(*home.settings, grids, pictures);
    catalogue->Load();
  }
  rovana::dialogs::DialogAsker Asker() {
    rovana::dialogs::DialogAsker asker;
    asker.message = [this](const QString& m) { messages.push_back(m.toStdString()); };
    return asker;
  }
  std::string Entry(int entry) const { return home.language->Entry(entry); }
};

TEST(CalibrationChoiceDialog, EachButtonGivesItsChoice) {
  testing_support::TempHome home;
  struct Case {
    const char* name;
    QPushButton* (CalibrationChoiceDialog::*button)() const;
    CalibrationChoice choice;
    int result;
  } cases[] = {{"by map", &CalibrationChoiceDialog::byMapButton, CalibrationChoice::ByMap, QDialog::Accepted},
               {"by grid", &CalibrationChoiceDialog::byGridButton, CalibrationChoice::ByGrid, QDialog::Accepted},
               {"cancel", &CalibrationChoiceDialog::cancelButton, CalibrationChoice::Cancel, QDialog::Rejected}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CalibrationChoiceDialog dialog(*home.language);
    dialog.show();
    (dialog.*c.button)()->click();
    EXPECT_EQ(dialog.choice(), c.choice);
    EXPECT_EQ(dialog.result(), c.result);
  }
  CalibrationChoiceDialog dialog(*home.language);
  EXPECT_EQ(dialog.byMapButton()->text().toStdString(), home.language->Entry(rovana::lang::kCalibrateByMap));
  EXPECT_EQ(dialog.findChild<QLabel*>("question")->text().toStdString(),
            home.language->Entry(rovana::lang::kCalibrateQuestion));
}

TEST(MapTreeDialog, ListsTheMapsWithTheirBoxesAndIconsAndTheSelectedOneHighlighted) {
  Fixture f;
  f.Write("cal.png", "");
  f.Write("cal.txt", "width = 400\nheight = 300\nlat1 = 50\nlon1 = 10\nwidthM = 1000\n");
  f.Write("plain.gif", "");
  f.Write("broken.jpg", "no picture");
  f.home.settings->hiddenMaps.Add("plain.gif");
  f.home.settings->selectedMap = "broken.jpg";
  f.Load();
  MapImage& broken = *f.catalogue->Find("broken.jpg");
  EXPECT_FALSE(f.catalogue->EnsurePictureNow(broken, 100, 10));
  ASSERT_TRUE(broken.failed());

  MapTreeDialog dialog(*f.catalogue, f.grids, *f.home.language, nullptr, f.Asker(), [&] { ++f.redraws; });
  struct Row {
    const char* name;
    bool checked;
    MapIcon icon;
  } rows[] = {{"cal.png", true, MapIcon::Calibrated},
              {"plain.gif", false, MapIcon::Uncalibrated},
              {"broken.jpg", true, MapIcon::Failed}};
  ASSERT_EQ(dialog.tree()->topLevelItemCount(), 3);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(rows[i].name);
    QTreeWidgetItem* item = dialog.tree()->topLevelItem(i);
    EXPECT_EQ(item->text(0).toStdString(), rows[i].name);
    EXPECT_EQ(item->checkState(0) == Qt::Checked, rows[i].checked);
    EXPECT_EQ(item->data(0, Qt::UserRole + 1).toInt(), static_cast<int>(rows[i].icon));
    EXPECT_FALSE(item->icon(0).isNull());
  }
  EXPECT_EQ(dialog.tree()->currentItem(), dialog.ItemOf(broken));

  dialog.tree()->setCurrentItem(dialog.ItemOf(*f.catalogue->Find("cal.png")));
  EXPECT_EQ(f.home.settings->selectedMap, "cal.png");
  EXPECT_EQ(f.catalogue->selected()->name(), "cal.png");
  EXPECT_EQ(f.redraws, 1);

  dialog.ItemOf(*f.catalogue->Find("cal.png"))->setCheckState(0, Qt::Unchecked);
  dialog.ItemOf(*f.catalogue->Find("plain.gif"))->setCheckState(0, Qt::Checked);
  EXPECT_EQ(f.home.settings->hiddenMaps.items(), std::vector<std::string>{"cal.png"});
  EXPECT_FALSE(f.catalogue->Find("cal.png")->visible());
  EXPECT_EQ(f.redraws, 3);
}

TEST(MapTreeDialog, AnEmptyCatalogueTellsWhereMapsGo) {
  Fixture f;
  f.Load();
  MapTreeDialog dialog(*f.catalogue, f.grids, *f.home.language, nullptr, f.Asker());
  EXPECT_EQ(dialog.exec(), QDialog::Rejected);
  EXPECT_EQ(f.messages, std::vector<std::string>{f.Entry(rovana::lang::kMapNoMaps)});
}

TEST(MapTreeDialog, DetailsLoadThePictureFirst) {
  Fixture f;
  f.Png("good.png", 40, 30);
  f.Write("bad.png", "no picture");
  f.Load();
  int opened = 0;
  std::string shownName, shownSize;
  MapTreeDialog dialog(*f.catalogue, f.grids, *f.home.language, nullptr, f.Asker(), {},
                       [&](MapDetailsDialog& details) {
                         ++opened;
                         shownName = details.nameLabel()->text().toStdString();
                         shownSize = details.sizeLabel()->text().toStdString();
                       });
  f.catalogue->SetSelected(f.catalogue->Find("bad.png"));
  dialog.OpenDetails();
  EXPECT_EQ(opened, 0);
  EXPECT_EQ(f.messages, std::vector<std::string>{f.Entry(rovana::lang::kMapPictureFailed)});
  EXPECT_EQ(dialog.ItemOf(*f.catalogue->Find("bad.png"))->data(0, Qt::UserRole + 1).toInt(),
            static_cast<int>(MapIcon::Failed));

  f.catalogue->SetSelected(f.catalogue->Find("good.png"));
  dialog.OpenDetails();
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(shownName, "good.png");
  EXPECT_NE(shownSize.find("40 x 30"), std::string::npos) << shownSize;
}

TEST(MapDetailsDialog, ShowsTheCalibrationAndOkCalibratesByTheChosenMethod) {
  Fixture f;
  f.Write("m.png", "");
  f.Write("m.txt", "width = 400\nheight = 300\nref1x = 5\nref1y = 6\nlat1 = 50\nlon1 = 10\nwidthM = 1000\n");
  f.Load();
  MapImage& map = f.catalogue->at(0);
  int applied = 0;
  {
    MapDetailsDialog dialog(map, f.grids, *f.home.language, nullptr, [&] { ++applied; });
    EXPECT_TRUE(dialog.onePointButton()->isChecked());
    EXPECT_EQ(dialog.edit(MapDetailsDialog::X1)->text().toStdString(), "5");
    EXPECT_EQ(dialog.edit(MapDetailsDialog::Lat1)->text().toStdString(), "50.00000000");
    EXPECT_EQ(dialog.edit(MapDetailsDialog::WidthM)->text().toStdString(), "1000.00");
    EXPECT_EQ(dialog.gridBox()->currentData().toInt(), 0);
    EXPECT_FALSE(dialog.edit(MapDetailsDialog::X2)->isEnabled());
    // New values; a pixel that is no number keeps the map's value.
    dialog.edit(MapDetailsDialog::X1)->setText("12abc");
    dialog.edit(MapDetailsDialog::Y1)->setText("oops");
    dialog.edit(MapDetailsDialog::Lat1)->setText("51.25");
    dialog.edit(MapDetailsDialog::Lon1)->setText("-0.5");
    dialog.edit(MapDetailsDialog::WidthM)->setText("2500.5");
    dialog.gridBox()->setCurrentIndex(dialog.gridBox()->findData(testing_support::kUtmNorth));
    dialog.accept();
  }
  EXPECT_EQ(applied, 1);
  EXPECT_EQ(f.Read("m.txt"),
            "width  = 400\nheight = 300\ngrid   = 1\nref1x  = 12\nref1y  = 6\n"
            "lat1   = 51.25000000\nlon1   = -0.50000000\nwidthM = 2500.50\n");

  {
    MapDetailsDialog dialog(map, f.grids, *f.home.language);
    dialog.twoPointButton()->setChecked(true);
    EXPECT_TRUE(dialog.edit(MapDetailsDialog::X2)->isEnabled());
    dialog.edit(MapDetailsDialog::X2)->setText("390");
    dialog.edit(MapDetailsDialog::Y2)->setText("290");
    dialog.edit(MapDetailsDialog::Lat2)->setText("51.2");
    dialog.edit(MapDetailsDialog::Lon2)->setText("-0.45");
    dialog.accept();
  }
  EXPECT_EQ(map.method(), rovana::maps::CalibrationMethod::TwoPoint);
  EXPECT_NE(f.Read("m.txt").find("ref2x  = 390\nref2y  = 290\nlat2   = 51.20000000\nlon2   = -0.45000000\n"),
            std::string::npos)
      << f.Read("m.txt");
  EXPECT_NEAR(map.reference2Position().y, 51.2 * kDeg, 1e-12);
}

}  // namespace
