// The device id: SHA-256 and HMAC-SHA-256 against the published test vectors
// and against openssl on random messages, and the id itself: 32 lower-case
// hex digits, stable, unlike the machine id, read from a file.
#include "app/online/WebServiceDeviceId.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <regex>

#include "tests/support/LoggedFolder.h"
#include "tests/support/Shell.h"

namespace rovana {
namespace {

std::string Hex(const Sha256Digest& digest) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (const std::uint8_t b : digest) {
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

struct DigestCase {
  const char* name;
  std::string message;
  const char* digest;
};

TEST(DeviceIdHash, Sha256PublishedVectors) {
  const DigestCase cases[] = {
      {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"two blocks", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"a million a", std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const DigestCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Hex(Sha256(c.message)), c.digest);
  }
}

struct HmacCase {
  const char* name;
  std::string key, message;
  const char* mac;
};

TEST(DeviceIdHash, HmacSha256PublishedVectors) {
  const HmacCase cases[] = {
      {"RFC 4231 case 1", std::string(20, '\x0b'), "Hi There",
       "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
      {"RFC 4231 case 2", "Jefe", "what do ya want for nothing?",
       "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
      {"RFC 4231 case 6 (key longer than a block)", std::string(131, '\xaa'),
       "Test Using Larger Than Block-Size Key - Hash Key First",
       "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
  };
  for (const HmacCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Hex(HmacSha256(c.key, c.message)), c.mac);
  }
}

TEST(DeviceIdHash, AgreesWithOpenssl) {
  if (testing_support::RunShell("openssl version").status != 0) GTEST_SKIP() << "openssl is not installed";
  std::mt19937 random(42);
  const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  // Lengths around the block and padding boundaries.
  for (const std::size_t length : {0u, 1u, 55u, 56u, 63u, 64u, 65u, 119u, 120u, 128u, 1000u}) {
    std::string message(length, 'a');
    for (char& c : message) c = letters[random() % 36];
    const std::string key = "k" + std::to_string(length);
    const auto run = testing_support::RunShell("printf '%s' '" + message + "' | openssl dgst -sha256 -hmac '" + key + "'");
    ASSERT_EQ(run.status, 0) << run.output;
    const std::string expected = run.output.substr(run.output.rfind(' ') + 1, 64);
    EXPECT_EQ(Hex(HmacSha256(key, message)), expected) << "length " << length;
  }
}

TEST(DeviceId, ThirtyTwoLowerCaseHexDigitsThatHideTheMachineId) {
  const std::string machine = "0f1e2d3c4b5a69788796a5b4c3d2e1f0";
  const std::string id = DeviceIdFromMachineId(machine);
  EXPECT_TRUE(std::regex_match(id, std::regex("[0-9a-f]{32}"))) << id;
  EXPECT_NE(id, machine);
  EXPECT_EQ(id.find(machine.substr(0, 8)), std::string::npos);
  // Not the plain hash either: the key makes it ours.
  EXPECT_NE(id, Hex(Sha256(machine)).substr(0, 32));
  EXPECT_EQ(id, DeviceIdFromMachineId(machine + "\n")) << "the file's line feed is not part of the id";
  EXPECT_EQ(id, DeviceIdFromMachineId(machine));
  EXPECT_NE(id, DeviceIdFromMachineId("0f1e2d3c4b5a69788796a5b4c3d2e1f1"));
}

class DeviceIdFileTest : public testing_support::LoggedFolderTest {};

TEST_F(DeviceIdFileTest, ReadFromTheFileOrZerosWithoutOne) {
  const std::string machine = "a3c5e7f90b1d3f5a7c9e0b2d4f6a8c0e";
  std::ofstream(folder_ / "machine-id") << machine << "\n";
  EXPECT_EQ(MachineDeviceId(folder_ / "machine-id"), DeviceIdFromMachineId(machine));

  EXPECT_EQ(MachineDeviceId(folder_ / "missing"), std::string(32, '0'));
  std::ofstream(folder_ / "empty");
  EXPECT_EQ(MachineDeviceId(folder_ / "empty"), std::string(32, '0'));
  EXPECT_EQ(MachineDeviceId(folder_), std::string(32, '0')) << "a folder is no id";
  EXPECT_NE(LogText().find("No machine id in"), std::string::npos);
}

}  // namespace
}  // namespace rovana
