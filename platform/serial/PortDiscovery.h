// Internals of the serial port table shared by PortTable.cpp and the tests:
// discovery over given folders, so a test can hand it a fake /dev.
#pragma once

#include <filesystem>

namespace platform::serial_detail {

// Registry key whose subkeys are the table's entries.
inline constexpr const char* kActivePortsKey = "HKEY_LOCAL_MACHINE\\Drivers\\Active";

// Adds the serial devices found in `devFolder` (ttyUSB<n>, ttyACM<n>,
// rfcomm<n>, ttyS<n>, in that order, then by <n>) to the free port numbers
// 1..9, skipping devices already in the table. A ttyS<n> counts only when
// `sysTtyFolder`/ttyS<n>/type names a known UART (not 0): most PCs list 32 of
// them whether or not the hardware exists. Returns how many were added.
int DiscoverPortsIn(const std::filesystem::path& devFolder, const std::filesystem::path& sysTtyFolder);

}  // namespace platform::serial_detail
