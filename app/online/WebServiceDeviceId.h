// The device identifier sent at login: 32 lower-case hex digits that stay the
// same on one machine and tell nothing about it. They are the first 16 bytes
// of HMAC-SHA-256 over the machine's id (/etc/machine-id, as systemd writes
// it) with a key of Rovana's own, so the server never sees the machine id
// itself and other programs' ids derived from it do not match ours.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace rovana {

using Sha256Digest = std::array<std::uint8_t, 32>;

Sha256Digest Sha256(std::string_view data);
Sha256Digest HmacSha256(std::string_view key, std::string_view message);

// The identifier of a machine id (surrounding whitespace, such as the file's
// line feed, is not part of the id).
std::string DeviceIdFromMachineId(std::string_view machineId);

// The identifier of this machine: from `file`, else /var/lib/dbus/machine-id
// when `file` is the default. A machine without a readable id gives 32 zeros
// (logged once per call).
std::string MachineDeviceId(const std::filesystem::path& file = "/etc/machine-id");

}  // namespace rovana
