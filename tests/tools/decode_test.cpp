// zenolith decode, run as a user runs it: exact JSON lines for known
// sentences, the options, and a real capture decoded without a failure.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <thread>
#include <tuple>
#include <sstream>

#include "platform/serial/PortTable.h"
#include "tests/support/Process.h"
#include "tests/support/TempRegistry.h"

namespace {

using testing_support::ProcessResult;
using testing_support::RunProcess;

const std::string kTool = ZEN_TOOL_PATH;
const std::string kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
const std::string kRmc = "$GPRMC,123520,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*60\r\n";

std::vector<std::string> Lines(const std::string& text) { return testing_support::SplitLines(text); }

class Decode : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(RunProcess(kTool, {"register"}).status, 0); }
  testing_support::TempRegistry temp_;
};

TEST_F(Decode, KnownSentencesGiveExactLines) {
  const ProcessResult r = RunProcess(kTool, {"decode"}, kGga + kRmc);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> expected = {
      R"({"event":"GGA","valid":true,"utc":"12:35:19.000","lat":48.11729999999999,"lon":11.516666666666667,"alt":545.4,"sats":8,"hdop":0.9})",
      R"({"event":"ComStatus","nmea":false,"fix":true,"port":0,"baud":0})",
      R"({"event":"GpsFix","fix":3,"utc":"12:35:19.000","lat":48.11729999999999,"lon":11.516666666666667,"alt":545.4,"height":592.3})",
      R"({"event":"RMC","valid":true,"utc":"1994-03-23T12:35:20.000Z","lat":48.11729999999999,"lon":11.516666666666667,"speed_kn":22.4,"heading":84.4,"magvar":-3.1})",
      R"({"event":"GpsFix","fix":3,"utc":"1994-03-23T12:35:20.000Z","lat":48.11729999999999,"lon":11.516666666666667,"alt":545.4,"height":592.3})",
      R"({"event":"Movement","speed_kn":22.4,"heading":84.4,"magvar":-3.1})",
  };
  EXPECT_EQ(Lines(r.out), expected) << r.out;
}

TEST_F(Decode, Options) {
  const ProcessResult generic = RunProcess(kTool, {"decode", "--all-generic"}, kGga + kRmc);
  EXPECT_EQ(Lines(generic.out), (std::vector<std::string>{
                                    R"({"event":"Generic","sentence":"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47"})",
                                    R"({"event":"Generic","sentence":"$GPRMC,123520,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*60"})"}));
  EXPECT_EQ(Lines(RunProcess(kTool, {"decode", "--generic"}, kGga).out).size(), 4u);

  const std::string noChecksum = "$GPGLL,4916.45,N,12311.12,W,225444,A\r\n";
  EXPECT_EQ(RunProcess(kTool, {"decode"}, noChecksum).out, "");
  EXPECT_NE(RunProcess(kTool, {"decode", "--no-checksum"}, noChecksum).out.find("\"event\":\"GLL\""), std::string::npos);

  // Fixes one second apart, GpsFix throttled to one every two seconds.
  std::string fixes;
  for (const char* s : {"$GPGGA,000001,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*4B\r\n",
                        "$GPGGA,000002,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*48\r\n",
                        "$GPGGA,000003,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*49\r\n"})
    fixes += s;
  int count = 0;
  for (const std::string& line : Lines(RunProcess(kTool, {"decode", "--interval", "GpsFix=2500"}, fixes).out))
    if (line.find("\"GpsFix\"") != std::string::npos) ++count;
  EXPECT_EQ(count, 2);

  const ProcessResult datum = RunProcess(kTool, {"decode", "--datum", "3"}, kGga);
  EXPECT_EQ(datum.status, 0);

  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"decode", "--datum", "29"}, {"decode", "--interval", "Generic=5"},
        {"decode", "--interval", "GpsFix"}, {"decode", "--bogus"}})
    EXPECT_EQ(RunProcess(kTool, bad).status, 2) << bad[1];
  EXPECT_EQ(RunProcess(kTool, {"decode", "/nonexistent.log"}).status, 1);
  EXPECT_NE(RunProcess(kTool, {"decode", "--help"}).out.find("usage: zenolith decode"), std::string::npos);
  EXPECT_NE(RunProcess(kTool, {"listen", "--help"}).out.find("usage: zenolith listen"), std::string::npos);
}

TEST_F(Decode, ARealCaptureWithUnixLineEnds) {
  const std::string log = std::string(ZEN_SOURCE_DIR) + "/tests/lib/nmea/data/ublox-lea-5h.log";
  const ProcessResult r = RunProcess(kTool, {"decode", log});
  ASSERT_EQ(r.status, 0) << r.err;
  int fixes = 0, lines = 0;
  for (const std::string& line : Lines(r.out)) {
    ++lines;
    EXPECT_EQ(line.front(), '{');
    EXPECT_EQ(line.back(), '}');
    if (line.find("\"event\":\"GpsFix\"") != std::string::npos) ++fixes;
  }
  EXPECT_EQ(fixes, 55) << "the capture holds 55 position sentences";
  EXPECT_GT(lines, fixes);
}

// Guards the fault where a folder given as FILE read as an empty input with
// exit status 0.
TEST_F(Decode, AFileThatCannotBeReadIsReportedAndTheOthersAreDecoded) {
  const std::string log = temp_.folder().string() + "/one.log";
  std::ofstream(log, std::ios::binary) << kGga;
  struct Case {
    const char* name;
    std::string file;
    std::string message;
  };
  const Case cases[] = {
      {"folder", temp_.folder().string(), temp_.folder().string() + ": Is a directory"},
      {"missing", "/nonexistent.log", "/nonexistent.log: No such file or directory"},
      {"odd name", "/nonexistent\x01.log", "/nonexistent\\x01.log: No such file or directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ProcessResult r = RunProcess(kTool, {"decode", c.file, log});
    EXPECT_EQ(std::make_tuple(r.status, r.err, Lines(r.out).size()),
              std::make_tuple(1, "zenolith decode: " + c.message + "\n", std::size_t{3}))
        << "the readable file is still decoded";
  }
}

TEST_F(Decode, ListenPrintsALiveReceiversEvents) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  ASSERT_TRUE(platform::RegisterPort(5, ptsname(master)));  // a pseudo-terminal is a real serial device
  std::thread receiver([&] {
    for (int i = 0; i < 15; ++i) {
      if (write(master, kGga.data(), kGga.size()) < 0) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  });
  const ProcessResult r = RunProcess(kTool, {"listen", "--port", "5", "--baud", "4800", "--seconds", "1"});
  receiver.join();
  close(master);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(R"({"event":"ComStatus","nmea":true,)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(R"("port":5,"baud":4800})"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(R"({"event":"GGA","valid":true)"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("opening COM5:"), std::string::npos) << r.err;
}

TEST_F(Decode, ListenOnAPortWithoutDeviceFailsWithTheParsersMessage) {
  const ProcessResult r = RunProcess(kTool, {"listen", "--port", "7", "--seconds", "1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Comm port does not exist"), std::string::npos) << r.err;
}

}  // namespace
