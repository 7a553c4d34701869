// The GPS settings dialog's source list: fixed entries, found ports with
// their friendly names replacing the plain entry in place, and the selection.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/gps/GpsPortList.h"

namespace {

using rovana::MakePortList;

TEST(GpsPortList, FixedEntriesFoundPortsAndSelection) {
  const std::vector<std::string> found = {"COM3: u-blox 7 GPS", "COM12:", "garbage"};
  struct Case {
    const char* gpsName;
    const char* replayText;
    const char* selectedDevice;  // "" for the replay entry
  } cases[] = {
      {"", "File...", ""},
      {"COM3:", "File...", "COM3:"},
      {"GPD1:", "File...", "GPD1:"},
      {"COM12:", "File...", "COM12:"},
      {"/home/u/drive.pgl", "File...(drive.pgl)", ""},
      {"COM77:", "File...", ""},
  };
  for (const Case& c : cases) {
    const rovana::PortList list = MakePortList(c.gpsName, "File", found);
    ASSERT_EQ(list.entries.size(), 1u + 10 + 10 + 1) << "COM3 replaced in place, COM12 added, garbage dropped";
    EXPECT_TRUE(list.entries[0].replay);
    EXPECT_EQ(list.entries[0].display, c.replayText);
    EXPECT_EQ(list.entries[list.selected].device, c.selectedDevice) << c.gpsName;
    EXPECT_EQ(list.entries[4].display, "COM3: (u-blox 7 GPS)");
    EXPECT_EQ(list.entries[4].device, "COM3:");
    EXPECT_EQ(list.entries[11].display, "GPD0");
    EXPECT_EQ(list.entries[11].device, "GPD0:");
    EXPECT_EQ(list.entries.back().display, "COM12:");
  }
  EXPECT_TRUE(rovana::IsDeviceName("GPD1:"));
  EXPECT_FALSE(rovana::IsDeviceName("/tmp/log.pgl"));
  EXPECT_EQ(rovana::BaudRates().front(), 0);
  EXPECT_EQ(rovana::BaudRates().size(), 16u);
}

}  // namespace
