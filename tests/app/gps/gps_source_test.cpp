// GpsSource: the three kinds of name, lines cut at CR and at LF from files
// and from a pseudo-terminal registered as a serial port, the raw log, the
// commands sent with their checksum, and the failures.
#include "app/gps/GpsSource.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/serial/PortTable.h"
#include "tests/app/gps/PtyReceiver.h"
#include "tests/support/TempRegistry.h"

namespace {

using gps_testing::DataFolder;
using gps_testing::Nmea;
using gps_testing::PtyReceiver;
using gps_testing::ReadWhole;
using gps_testing::WaitFor;
using rovana::GpsSource;
using rovana::GpsSourceKind;

constexpr int kArrivalMs = 2000;  // "at once" on a loaded machine

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

struct Line {
  std::string text;
  std::size_t consumed;
  bool operator==(const Line&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Line& line) {
  return os << "{\"" << line.text << "\", " << line.consumed << "}";
}

// Every line until the source has nothing more.
std::vector<Line> ReadAll(GpsSource& source, std::size_t size = GpsSource::kLineSize) {
  std::vector<Line> lines;
  std::vector<char> buffer(size);
  for (;;) {
    const GpsSource::LineResult r = source.ReadLine(buffer.data(), buffer.size());
    EXPECT_EQ(r.status, GpsSource::kOk);
    if (r.consumed == 0) break;
    EXPECT_EQ(buffer[r.length], '\0');
    lines.push_back({std::string(buffer.data(), r.length), r.consumed});
  }
  return lines;
}

class GpsSourceTest : public ::testing::Test {
 protected:
  testing_support::TempRegistry registry_;  // also the temporary folder
  std::filesystem::path Path(const char* name) const { return registry_.folder() / name; }
};

TEST(SourceKindTest, NamesGiveTheirKind) {
  struct Row {
    const char* name;
    GpsSourceKind kind;
  };
  const Row kRows[] = {
      {"", GpsSourceKind::None},
      {"COM4:", GpsSourceKind::Serial},
      {"com12:", GpsSourceKind::Serial},
      {"GPD1:", GpsSourceKind::Gpsd},
      {"gpd0:", GpsSourceKind::Gpsd},
      {"COM:", GpsSourceKind::File},
      {"COM4", GpsSourceKind::File},
      {"COMX:", GpsSourceKind::File},
      {"/home/user/trip.pgl", GpsSourceKind::File},
      {"/home/user/10:30.pgl", GpsSourceKind::File},
  };
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(rovana::SourceKindOf(row.name), row.kind);
  }
}

TEST_F(GpsSourceTest, LinesEndAtCrOrLfAndCrLfGivesAnEmptyLine) {
  struct Row {
    const char* name;
    std::string bytes;
    std::vector<Line> lines;
  };
  const std::string gga = Nmea("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
  const Row kRows[] = {
      {"CR LF", gga + "\r\n" + gga + "\r\n", {{gga, gga.size() + 1}, {"", 1}, {gga, gga.size() + 1}, {"", 1}}},
      {"LF", gga + "\n" + gga + "\n", {{gga, gga.size() + 1}, {gga, gga.size() + 1}}},
      {"CR", gga + "\r" + gga + "\r", {{gga, gga.size() + 1}, {gga, gga.size() + 1}}},
      {"no line end at the end", gga + "\n$GP", {{gga, gga.size() + 1}, {"$GP", 3}}},
      {"127 characters make a line", std::string(130, 'x') + "\n",
       {{std::string(127, 'x'), 127}, {"xxx", 4}}},
      {"empty file", "", {}},
  };
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    WriteFile(Path("replay.pgl"), row.bytes);
    GpsSource source;
    ASSERT_EQ(source.Open(Path("replay.pgl").string(), 4800), 0);
    EXPECT_EQ(source.kind(), GpsSourceKind::File);
    EXPECT_FALSE(source.IsDevice());
    EXPECT_EQ(ReadAll(source), row.lines);
  }
}

TEST_F(GpsSourceTest, AFileThatGrowsIsReadOn) {
  const std::string first = Nmea("GPZDA,201530.00,04,07,2002,00,00") + "\n";
  WriteFile(Path("growing.pgl"), first);
  GpsSource source;
  ASSERT_EQ(source.Open(Path("growing.pgl").string(), 0), 0);
  EXPECT_EQ(ReadAll(source).size(), 1u);
  std::ofstream(Path("growing.pgl"), std::ios::binary | std::ios::app) << first;
  EXPECT_EQ(ReadAll(source).size(), 1u);
}

TEST_F(GpsSourceTest, TheRawLogHoldsExactlyTheBytesRead) {
  const char* kLogs[] = {"GPSmap-76S.log", "ublox-lea-5h.log"};
  for (const char* name : kLogs) {
    SCOPED_TRACE(name);
    const std::string bytes = ReadWhole(DataFolder() / name);
    GpsSource source;
    ASSERT_EQ(source.Open((DataFolder() / name).string(), 0), 0);
    ASSERT_TRUE(source.OpenLog(Path("raw.pgl")));
    ReadAll(source);
    EXPECT_EQ(ReadWhole(Path("raw.pgl")), bytes) << "flushed after every line";
    source.CloseLog();
    EXPECT_FALSE(source.IsLogging());
  }
  // A new log starts empty even under an old name.
  GpsSource source;
  ASSERT_TRUE(source.OpenLog(Path("raw.pgl")));
  source.CloseLog();
  EXPECT_EQ(std::filesystem::file_size(Path("raw.pgl")), 0u);
  EXPECT_FALSE(source.OpenLog(registry_.folder() / "no-such-folder" / "raw.pgl"));
}

TEST_F(GpsSourceTest, FailuresToOpenLeaveNothingOpen) {
  struct Row {
    const char* name;
    std::string gpsName;
    int baud;
  };
  std::filesystem::create_directories(Path("folder.pgl"));
  const Row kRows[] = {
      {"no name", "", 0},
      {"missing file", Path("missing.pgl").string(), 0},
      {"a folder", Path("folder.pgl").string(), 0},
      {"port not in the table", "COM7:", 4800},
      {"rate the port refuses", "COM3:", 12345},
  };
  PtyReceiver receiver;
  ASSERT_TRUE(receiver.ok());
  ASSERT_TRUE(platform::RegisterPort(3, receiver.slave()));
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    GpsSource source;
    EXPECT_EQ(source.Open(row.gpsName, row.baud), 1);
    EXPECT_FALSE(source.IsOpen());
    EXPECT_EQ(source.kind(), GpsSourceKind::None);
  }
}

TEST_F(GpsSourceTest, ASerialPortDeliversLinesAndCommandsGoOutWithTheirChecksum) {
  PtyReceiver receiver;
  ASSERT_TRUE(receiver.ok());
  ASSERT_TRUE(platform::RegisterPort(4, receiver.slave()));
  GpsSource source;
  ASSERT_EQ(source.Open("COM4:", 4800), 0);
  EXPECT_TRUE(source.IsDevice());
  EXPECT_EQ(receiver.LineSpeed(), static_cast<speed_t>(B4800));

  const std::string gga = Nmea("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
  ASSERT_TRUE(receiver.Send(gga + "\r\n"));
  std::vector<Line> lines;
  ASSERT_TRUE(WaitFor(
      [&] {
        for (const Line& l : ReadAll(source)) lines.push_back(l);
        return lines.size() >= 2;
      },
      kArrivalMs));
  // The terminal may hand the sentence over in pieces; joined they are the sentence.
  std::string joined;
  for (const Line& l : lines) joined += l.text + (l.consumed > l.text.size() ? "|" : "");
  EXPECT_EQ(joined, gga + "||");

  EXPECT_EQ(source.Send("PSRF103,00,00,01,01", true), GpsSource::kOk);
  EXPECT_EQ(source.Send("raw text\r\n", false), GpsSource::kOk);
  const std::string expected = "$PSRF103,00,00,01,01*25\r\nraw text\r\n";
  std::string heard;
  WaitFor([&] { return (heard += receiver.Heard()).size() >= expected.size(); }, kArrivalMs);
  EXPECT_EQ(heard, expected);
}

TEST_F(GpsSourceTest, Baud0LeavesTheLineSpeedAndWritesNothing) {
  PtyReceiver receiver;
  ASSERT_TRUE(receiver.ok());
  receiver.SetLineSpeed(B38400);
  ASSERT_TRUE(platform::RegisterPort(4, receiver.slave()));
  GpsSource source;
  ASSERT_EQ(source.Open("COM4:", 0), 0);
  EXPECT_EQ(receiver.LineSpeed(), static_cast<speed_t>(B38400));
  EXPECT_EQ(source.Send("PSRF105,1", true), GpsSource::kWriteFailed);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(receiver.Heard(), "");
}

TEST_F(GpsSourceTest, NothingIsSentToAFile) {
  const std::string bytes = Nmea("GPZDA,201530.00,04,07,2002,00,00") + "\n";
  WriteFile(Path("replay.pgl"), bytes);
  GpsSource source;
  ASSERT_EQ(source.Open(Path("replay.pgl").string(), 4800), 0);
  EXPECT_EQ(source.Send("PSRF105,1", true), GpsSource::kOk);
  source.Close();
  EXPECT_EQ(ReadWhole(Path("replay.pgl")), bytes);
}

TEST_F(GpsSourceTest, AReceiverThatGoesAwayGivesAReadError) {
  PtyReceiver receiver;
  ASSERT_TRUE(receiver.ok());
  ASSERT_TRUE(platform::RegisterPort(4, receiver.slave()));
  GpsSource source;
  ASSERT_EQ(source.Open("COM4:", 4800), 0);
  receiver.Unplug();
  char line[GpsSource::kLineSize];
  EXPECT_TRUE(WaitFor([&] { return source.ReadLine(line, sizeof line).status == GpsSource::kReadError; }, kArrivalMs));
  EXPECT_EQ(source.Send("PSRF105,1", true), GpsSource::kWriteFailed);
}

TEST_F(GpsSourceTest, RandomBytesAndTinyBuffersStayInBounds) {
  std::mt19937 random(7);
  std::string bytes(20000, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  WriteFile(Path("noise.pgl"), bytes);
  for (std::size_t size : {std::size_t{2}, std::size_t{3}, GpsSource::kLineSize}) {
    SCOPED_TRACE(size);
    GpsSource source;
    ASSERT_EQ(source.Open(Path("noise.pgl").string(), 0), 0);
    std::size_t consumed = 0;
    for (const Line& l : ReadAll(source, size)) {
      EXPECT_LT(l.text.size(), size);
      consumed += l.consumed;
    }
    EXPECT_EQ(consumed, bytes.size());
  }
}

}  // namespace
