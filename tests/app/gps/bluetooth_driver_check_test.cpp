// The GPS dialog's Bluetooth driver check reads the driver keys and changes
// nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/gps/BluetoothDriverCheck.h"
#include "platform/registry/Registry.h"
#include "tests/support/TempRegistry.h"

TEST(BluetoothDriverCheck, ReportsEachKeyAndChangesNothing) {
  testing_support::TempRegistry temp;
  registry::Registry reg(temp.file());
  ASSERT_TRUE(reg.SetString("HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\Serial6", "DLL", "btceif.dll").ok());
  ASSERT_TRUE(reg.SetString("HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\Serial7", "DLL", "serial.dll").ok());
  EXPECT_EQ(rovana::CheckBluetoothDrivers(reg),
            (std::vector<std::string>{"cannot access", "ok", "serial.dll", "cannot access"}));
  EXPECT_EQ(reg.GetString("HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\Serial7", "DLL"), "serial.dll");
}
