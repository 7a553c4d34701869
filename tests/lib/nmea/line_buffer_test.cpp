// NmeaLineBuffer against real receiver captures and the awkward streams a
// serial line delivers: reads split anywhere, garbage and broken sentences,
// bad or missing checksums, the 16-bit position wrap and ring overflow.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "lib/nmea/NmeaLineBuffer.h"

namespace {

using zenolith::NmeaLineBuffer;
using Sentences = std::vector<std::string>;

// Real sentences (GPSmap 76S and Geko 201 captures) with their checksums.
constexpr std::string_view kRmc = "$GPRMC,125106,V,3854.5087,N,07726.4523,W,0.0,0.0,241011,10.5,W,S*28";
constexpr std::string_view kGga = "$GPGGA,125106,3854.5087,N,07726.4523,W,8,10,2.0,268.8,M,-33.9,M,,*7F";
constexpr std::string_view kRmb = "$GPRMB,V,,,,,,,,,,,,A,S*0E";
constexpr std::string_view kGsvNoChecksum = "$GPGSV,3,1,10,03,41,050,46,07,60,317,49,08,34,315,45,11,35,148,45";
constexpr std::string_view kGsv = "$GPGSV,3,1,10,03,41,050,46,07,60,317,49,08,34,315,45,11,35,148,45*71";

std::string Line(std::string_view sentence) { return std::string(sentence) + "\r\n"; }

Sentences Drain(NmeaLineBuffer& buffer) {
  Sentences found;
  while (buffer.FindNext()) found.emplace_back(buffer.TakeText());
  return found;
}

Sentences FeedWhole(std::string_view text, bool mandatory = true) {
  NmeaLineBuffer buffer;
  buffer.set_checksum_mandatory(mandatory);
  buffer.Append(text);
  return Drain(buffer);
}

// Feeds `text` in pieces of 1 to `maxChunk` bytes and looks for sentences
// only when a piece held a line feed, as the reader thread does.
Sentences FeedChunks(std::string_view text, std::size_t maxChunk, unsigned seed, bool mandatory = true) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<std::size_t> size(1, maxChunk);
  NmeaLineBuffer buffer;
  buffer.set_checksum_mandatory(mandatory);
  Sentences found;
  for (std::size_t at = 0; at < text.size();) {
    const std::string_view piece = text.substr(at, size(random));
    at += piece.size();
    if (!buffer.Append(piece)) continue;
    for (std::string& s : Drain(buffer)) found.push_back(std::move(s));
  }
  return found;
}

// --------------------------------------------------------------- reference
// An independent reading of a capture, line by line instead of through a
// ring: every CR LF ends a line, the sentence of a line starts at its last
// '$', and it counts when the hex digits after its first '*' (upper case
// only, as NMEA 0183 writes them) equal the XOR of the bytes between.
Sentences Reference(std::string_view text, bool mandatory = true) {
  Sentences found;
  std::size_t from = 0;
  for (std::size_t end; (end = text.find("\r\n", from)) != std::string_view::npos; from = end + 2) {
    const std::string_view line = text.substr(from, end - from);
    const std::size_t dollar = line.rfind('$');
    if (dollar == std::string_view::npos) continue;
    const std::string_view sentence = line.substr(dollar);
    const std::size_t stop = sentence.find_first_of("*\r");
    bool good = false;
    if (stop == std::string_view::npos || sentence[stop] == '\r') {
      good = !mandatory;
    } else if (stop + 2 < sentence.size()) {
      unsigned sum = 0;
      for (char c : sentence.substr(1, stop - 1)) sum ^= static_cast<unsigned char>(c);
      const std::string_view hex = "0123456789ABCDEF";
      good = hex.find(sentence[stop + 1]) == sum >> 4 && hex.find(sentence[stop + 2]) == (sum & 15);
    }
    if (good) found.emplace_back(sentence);
  }
  return found;
}

std::filesystem::path DataFolder() { return std::filesystem::path(__FILE__).parent_path() / "data"; }

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A capture as a serial line carries it: every bare LF becomes CR LF.
std::string WithCrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

std::size_t SentenceLines(std::string_view text) {
  std::size_t count = text.starts_with('$') ? 1 : 0;
  for (std::size_t at = 0; (at = text.find("\n$", at)) != std::string_view::npos; ++at) ++count;
  return count;
}

// ------------------------------------------------------------------- tests

TEST(NmeaLineBuffer, ASentenceSplitAnywhereIsFoundOnceAfterTheSecondRead) {
  const std::string line = Line(kRmc);
  int failures = 0;
  for (std::size_t cut = 0; cut <= line.size(); ++cut) {
    NmeaLineBuffer buffer;
    buffer.Append(line.substr(0, cut));
    const bool early = buffer.FindNext();
    buffer.Append(line.substr(cut));
    const Sentences found = Drain(buffer);
    const bool ok = cut == line.size() ? early && found.empty() && buffer.TakeText() == kRmc
                                       : !early && found == Sentences{std::string(kRmc)};
    if (!ok) {
      ++failures;
      ADD_FAILURE() << "cut at " << cut << ": early " << early << ", found " << found.size();
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST(NmeaLineBuffer, FeedingByteByByteFindsEverySentenceOnce) {
  const std::string text = Line(kRmc) + Line(kGga) + Line(kRmb);
  NmeaLineBuffer buffer;
  Sentences found;
  for (char c : text) {
    buffer.Append(&c, 1);
    for (std::string& s : Drain(buffer)) found.push_back(std::move(s));
  }
  EXPECT_EQ(found, (Sentences{std::string(kRmc), std::string(kGga), std::string(kRmb)}));
}

TEST(NmeaLineBuffer, GarbageAndABrokenSentenceBeforeAnRmcLeaveOnlyTheRmc) {
  const std::string text = std::string("\x01\xff noise *12\r$GPG") + Line(kRmc);
  EXPECT_EQ(FeedWhole(text), Sentences{std::string(kRmc)});
  EXPECT_EQ(FeedChunks(text, 3, 7), Sentences{std::string(kRmc)});
}

TEST(NmeaLineBuffer, AWrongChecksumIsSkippedAndTheNextSentenceOfTheSameReadFound) {
  std::string bad = Line(kRmc);
  bad[bad.size() - 3] = '9';  // *28 -> *29
  EXPECT_EQ(FeedWhole(bad + Line(kGga)), Sentences{std::string(kGga)});
}

struct ChecksumCase {
  const char* name;
  std::string sentence;  // without its CR LF
  bool mandatory;
  bool found;
};

TEST(NmeaLineBuffer, ChecksumRules) {
  const ChecksumCase cases[] = {
      {"good", std::string(kGsv), true, true},
      {"wrong", std::string(kGsv.substr(0, kGsv.size() - 1)) + "2", true, false},
      {"wrong while optional", std::string(kGsv.substr(0, kGsv.size() - 1)) + "2", false, false},
      {"none while mandatory", std::string(kGsvNoChecksum), true, false},
      {"none while optional", std::string(kGsvNoChecksum), false, true},
      {"lower-case letter", "$GPRMB,V,,,,,,,,,,,,A,S*0e", true, false},
      {"lower-case letter while optional", "$GPRMB,V,,,,,,,,,,,,A,S*0e", false, false},
      {"upper-case letter", std::string(kRmb), true, true},
      {"carriage return before the star", "$GPRMB,V,,,\r,,,,,,,,,A,S*0E", true, false},
      {"a bare dollar while optional", "$", false, true},
      {"a bare dollar while mandatory", "$", true, false},
  };
  int failures = 0;
  for (const ChecksumCase& c : cases) {
    const Sentences found = FeedWhole(Line(c.sentence), c.mandatory);
    const bool ok = c.found ? found == Sentences{c.sentence} : found.empty();
    if (!ok) {
      ++failures;
      ADD_FAILURE() << c.name << ": found " << found.size();
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST(NmeaLineBuffer, ChecksumMandatoryCanChangeBetweenSearches) {
  NmeaLineBuffer buffer;
  EXPECT_TRUE(buffer.checksum_mandatory()) << "mandatory by default";
  buffer.Append(Line(kGsvNoChecksum));
  EXPECT_FALSE(buffer.FindNext());
  buffer.set_checksum_mandatory(false);
  buffer.Append(Line(kGsvNoChecksum));
  EXPECT_EQ(Drain(buffer), Sentences{std::string(kGsvNoChecksum)}) << "the first one was consumed while rejected";
}

TEST(NmeaLineBuffer, AppendTellsWhetherALineFeedArrived) {
  NmeaLineBuffer buffer;
  EXPECT_FALSE(buffer.Append(kRmc));
  EXPECT_FALSE(buffer.Append("\r"));
  EXPECT_TRUE(buffer.Append("\n"));
  EXPECT_TRUE(buffer.Append("\nxx"));
  EXPECT_FALSE(buffer.Append(nullptr, 5));
  EXPECT_FALSE(buffer.Append("", 0));
  EXPECT_EQ(Drain(buffer), Sentences{std::string(kRmc)});
}

TEST(NmeaLineBuffer, ALineFeedWithoutCarriageReturnDoesNotEndASentence) {
  // The later '$' restarts, so the LF-only sentence is dropped.
  EXPECT_EQ(FeedWhole(std::string(kRmc) + "\n" + Line(kGga)), Sentences{std::string(kGga)});
  EXPECT_EQ(FeedWhole(std::string(kRmc) + "\r \n"), Sentences{}) << "CR LF must be adjacent";
}

// 1000 sentences of 70 bytes are 70000 bytes: the 16-bit positions wrap once,
// and one sentence straddles the wrap.
TEST(NmeaLineBuffer, PositionsWrapAt65536WithoutLosingASentence) {
  const std::string line = Line(kGga);
  ASSERT_EQ(65536 % line.size(), 16u) << "a sentence must cross the wrap";
  std::string text;
  for (int i = 0; i < 1000; ++i) text += line;
  const Sentences found = FeedChunks(text, 97, 3);
  EXPECT_EQ(found.size(), 1000u);
  EXPECT_EQ(std::count(found.begin(), found.end(), std::string(kGga)), 1000);
}

TEST(NmeaLineBuffer, OverflowKeepsTheNewest512Bytes) {
  // 30 sentences of 70 bytes in one read: the last 512 bytes hold 7 whole
  // ones (490 bytes) behind the tail of an eighth.
  const std::string line = Line(kGga);
  std::string text;
  for (int i = 0; i < 30; ++i) text += line;
  EXPECT_EQ(FeedWhole(text).size(), 7u);

  // Exactly 512 unconsumed bytes are still all there.
  const std::string exact = std::string(512 - line.size(), 'x') + line;
  EXPECT_EQ(FeedWhole(exact), Sentences{std::string(kGga)});
}

TEST(NmeaLineBuffer, OverflowDropsTheOverwrittenSentenceAndGoesOn) {
  NmeaLineBuffer buffer;
  buffer.Append(Line(kRmc));  // never searched for before it is overwritten
  for (int i = 0; i < 6; ++i) buffer.Append(std::string(100, 'x'));
  buffer.Append(Line(kGga));
  EXPECT_EQ(Drain(buffer), Sentences{std::string(kGga)});

  // A sentence begun before an overflow is gone; the ones after it are found.
  buffer.Append("$GPGGA,1,2,3");
  EXPECT_FALSE(buffer.FindNext());
  buffer.Append(std::string(700, ','));
  buffer.Append("*00\r\n" + Line(kRmb));
  EXPECT_EQ(Drain(buffer), Sentences{std::string(kRmb)});
  for (int i = 0; i < 20; ++i) buffer.Append(Line(kRmc));  // 1380 bytes, searched only now
  EXPECT_EQ(Drain(buffer).size(), 7u);
  buffer.Append(Line(kGga));
  EXPECT_EQ(Drain(buffer), Sentences{std::string(kGga)});
}

TEST(NmeaLineBuffer, ASentenceLongerThanTheRingIsNeverFound) {
  NmeaLineBuffer buffer;
  buffer.set_checksum_mandatory(false);
  const std::string longSentence = "$GPTXT," + std::string(600, 'A');
  Sentences found;
  for (std::size_t at = 0; at < longSentence.size(); at += 50) {
    buffer.Append(longSentence.substr(at, 50));
    for (std::string& s : Drain(buffer)) found.push_back(std::move(s));
  }
  buffer.Append("\r\n" + Line(kRmb));
  for (std::string& s : Drain(buffer)) found.push_back(std::move(s));
  EXPECT_EQ(found, Sentences{std::string(kRmb)});

  // The longest sentence that fits: 510 characters plus CR LF.
  const std::string longest = "$GPTXT," + std::string(503, 'B');
  EXPECT_EQ(FeedWhole(Line(longest), false), Sentences{longest});
}

// ------------------------------------------------------------------ captures

struct Capture {
  const char* file;
  std::size_t lines;  // beginning with '$'
  std::size_t good;   // of them with a good checksum
};

// The Geko's "$GPBOD,,T,,M,,*" has a star without digits.
constexpr Capture kCaptures[] = {
    {"GPSmap-76S.log", 151, 151},
    {"garmin-geko201.log", 213, 212},
    {"ublox-lea-5h.log", 164, 164},
};

TEST(NmeaLineBuffer, CapturesGiveTheSameSentencesInAnyPieces) {
  int failures = 0;
  for (const Capture& capture : kCaptures) {
    const std::string name = capture.file;
    const std::string text = WithCrLf(ReadFile(DataFolder() / name));
    const Sentences expected = Reference(text);
    EXPECT_EQ(SentenceLines(text), capture.lines) << name;
    EXPECT_EQ(expected.size(), capture.good) << name;

    Sentences lineByLine;
    {
      NmeaLineBuffer buffer;
      std::size_t from = 0;
      for (std::size_t end; (end = text.find('\n', from)) != std::string::npos; from = end + 1) {
        buffer.Append(std::string_view(text).substr(from, end + 1 - from));
        for (std::string& s : Drain(buffer)) lineByLine.push_back(std::move(s));
      }
    }
    if (lineByLine != expected) {
      ++failures;
      ADD_FAILURE() << name << " line by line: " << lineByLine.size() << " of " << expected.size();
    }
    for (unsigned seed = 1; seed <= 12; ++seed) {
      const std::size_t maxChunk = seed <= 4 ? 8 : seed <= 8 ? 64 : 300;
      for (bool mandatory : {true, false}) {
        const Sentences chunked = FeedChunks(text, maxChunk, seed, mandatory);
        if (chunked != expected) {
          ++failures;
          ADD_FAILURE() << name << " seed " << seed << " mandatory " << mandatory << ": " << chunked.size()
                        << " of " << expected.size();
        }
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST(NmeaLineBuffer, MixedLineEndsOfACaptureAsReceived) {
  // The GPSmap 76S capture ends its header lines in LF only and its sentences
  // in CR LF: as it is, every sentence is still found.
  const std::string raw = ReadFile(DataFolder() / "GPSmap-76S.log");
  const Sentences expected = Reference(raw);
  EXPECT_EQ(expected.size(), SentenceLines(raw));
  EXPECT_EQ(FeedChunks(raw, 40, 11), expected);
}

}  // namespace
