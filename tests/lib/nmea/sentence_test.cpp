// NmeaSentence as received text and as an edited sentence (command and
// fields changed, text rebuilt with a fresh checksum), through C++ and
// through its dispatch interface; and the coordinate, time and date texts
// that the sentence writers fill fields with.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "lib/component/ErrorRecord.h"
#include "lib/component/Identifiers.h"
#include "lib/nmea/NmeaSentence.h"
#include "lib/nmea/SentenceText.h"
#include "platform/com/Runtime.h"
#include "tests/support/TempRegistry.h"

namespace {

using com::ComPtr;
using com::IDispatch;
using com::Variant;
using zenolith::ErrorRecord;
using zenolith::NmeaSentence;

const testing_support::TempRegistry kRegistry;

// Real sentences of the GPSmap 76S and Geko 201 captures.
constexpr std::string_view kGga = "$GPGGA,125106,3854.5087,N,07726.4523,W,8,10,2.0,268.8,M,-33.9,M,,*7F";
constexpr std::string_view kGgaTwoSecondsLater = "$GPGGA,125108,3854.5087,N,07726.4523,W,8,10,2.0,268.8,M,-33.9,M,,*71";
constexpr std::string_view kRmc = "$GPRMC,214350,V,4023.8600,N,00339.1630,W,10.8,0.0,140605,2.5,W,S*21";
constexpr std::string_view kRmcLater = "$GPRMC,214352,V,4023.8660,N,00339.1630,W,10.8,0.0,140605,2.5,W,S*25";

// A sentence driven by member names, the way a client calls it.
class Client {
 public:
  Client() { EXPECT_EQ(NmeaSentence::Create(zenolith::IID_INmeaSentence, object_.PutVoid()), com::S_OK); }

  com::HRESULT Put(std::string_view name, Variant value) {
    return com::InvokeByName(object_.get(), name, com::kInvokePropertyPut, {&value, 1}, nullptr);
  }
  Variant Get(std::string_view name, std::vector<Variant> args = {}) {
    Variant v;
    last_ = com::InvokeByName(object_.get(), name, com::kInvokePropertyGet, args, &v);
    return v;
  }
  com::HRESULT SetField(Variant index, Variant value) {
    Variant args[2] = {std::move(index), std::move(value)};
    return com::InvokeByName(object_.get(), "SetField", com::kInvokeMethod, args, nullptr);
  }
  static std::string Error() {
    auto info = com::GetErrorInfo();
    return info ? info->description : std::string();
  }
  com::HRESULT last() const { return last_; }
  NmeaSentence& sentence() const { return *NmeaSentence::From(object_.get()); }

 private:
  ComPtr<IDispatch> object_;
  com::HRESULT last_ = com::S_OK;
};

const com::HRESULT kInvalidArgument = zenolith::StatusForError(zenolith::kErrorInvalidArgument);
const com::HRESULT kOutOfBounds = zenolith::StatusForError(zenolith::kErrorIndexOutOfBounds);

std::vector<std::string> AllFields(NmeaSentence& s) {
  std::vector<std::string> fields;
  for (int i = 1; i <= s.FieldsCount(); ++i) fields.emplace_back(s.Field(i).value_or("<none>"));
  return fields;
}

// ------------------------------------------------------------ received text

struct TextCase {
  const char* name;
  std::string_view text;
  std::string_view command, fullCommand;
  std::vector<std::string> fields;
};

TEST(NmeaSentence, ReceivedTextIsCutIntoCommandAndFields) {
  const TextCase cases[] = {
      {"empty checksummed GGA", "$GPGGA,,,*7A", "GGA", "GPGGA", {"", "", ""}},
      {"proprietary", "$PGRMZ,2282,f,3*21", "RMZ", "PGRMZ", {"2282", "f", "3"}},
      {"six characters", "$GPZDA", "ZDA", "GPZDA", {}},
      {"five characters stay empty", "$GPZD", "", "", {}},
      {"three characters stay empty", "$GP", "", "", {}},
      {"no checksum", "$GPGSV,1,1,00", "GSV", "GPGSV", {"1", "1", "00"}},
      {"a star ends only its own field", "$GPTXT,a*b,c,*,d*", "TXT", "GPTXT", {"a", "c", "", "d"}},
      {"text after the checksum", "$GPXTE,A,A,*3A,x", "XTE", "GPXTE", {"A", "A", "", "x"}},
      {"commas are counted anywhere", "$GP,,,", ",,,", "GP,,,", {"", "", ""}},
      {"real GGA", kGga, "GGA", "GPGGA",
       {"125106", "3854.5087", "N", "07726.4523", "W", "8", "10", "2.0", "268.8", "M", "-33.9", "M", "", ""}},
  };
  int failures = 0;
  for (const TextCase& c : cases) {
    NmeaSentence s;
    s.SetText(c.text);
    const bool empty = c.text.size() < 6;
    const bool ok = s.Command() == c.command && s.FullCommand() == c.fullCommand &&
                    s.FieldsCount() == static_cast<int>(c.fields.size()) && AllFields(s) == c.fields &&
                    s.Text() == (empty ? "" : c.text) && !s.Field(s.FieldsCount() + 1) && !s.Field(0);
    if (!ok) {
      ++failures;
      ADD_FAILURE() << c.name << ": command '" << s.Command() << "' full '" << s.FullCommand() << "' count "
                    << s.FieldsCount() << " text '" << s.Text() << "'";
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST(NmeaSentence, SettingTheTextReplacesEverythingBefore) {
  NmeaSentence s;
  s.SetText(kGga);
  ASSERT_EQ(s.Field(1), "125106");
  s.SetField(20, "x");
  s.SetText("$GP");
  EXPECT_EQ(s.Text(), "");
  EXPECT_EQ(s.TextWithLineEnd(), "\r\n");
  EXPECT_EQ(s.FieldsCount(), 0);
  EXPECT_EQ(s.Command(), "");
  EXPECT_EQ(s.Field(1), std::nullopt);
  s.SetText(kRmc);
  EXPECT_EQ(s.FieldsCount(), 12);
  EXPECT_EQ(s.Field(20), std::nullopt) << "no field left over from before";
  EXPECT_EQ(s.Text(), kRmc);
}

TEST(NmeaSentence, TypeCodesIgnoreLetterCase) {
  const std::pair<std::string_view, int> cases[] = {
      {"$GPrmc,", 1}, {"$GPGLL,", 2}, {"$GNgga,", 3}, {"$GPGSV,", 4}, {"$GLGsa,", 5},
      {"$GPvtg,", 6}, {"$GPZDA,", 0}, {"$PGRMZ,", 0}, {"", 0},          {"$GPRM,,", 0},
  };
  for (const auto& [text, type] : cases) {
    NmeaSentence s;
    s.SetText(text);
    EXPECT_EQ(s.Type(), type) << text;
  }
}

// -------------------------------------------------------- editing, rebuilding

TEST(NmeaSentence, AFreshSentenceBuildsFromCommandAndFields) {
  NmeaSentence s;
  EXPECT_EQ(s.Text(), "");
  EXPECT_EQ(s.FieldsCount(), 0);
  ErrorRecord error;
  ASSERT_TRUE(s.SetCommand("RMC", error));
  s.SetField(3, "x");
  EXPECT_EQ(s.FieldsCount(), 3);
  EXPECT_EQ(s.Text(), "$GPRMC,,,x*1F");
  EXPECT_EQ(s.TextWithLineEnd(), "$GPRMC,,,x*1F\r\n");
  EXPECT_EQ(s.Field(2), "") << "never set, below the count";
  EXPECT_EQ(s.Field(4), std::nullopt);
  EXPECT_EQ(s.Type(), zenolith::kTypeRMC);
}

// A receiver's own sentences are the oracle: editing one into the next gives
// the receiver's text, checksum and all.
TEST(NmeaSentence, EditedFieldsRebuildToTheReceiversText) {
  NmeaSentence gga;
  gga.SetText(kGga);
  gga.SetField(1, "125108");
  EXPECT_EQ(gga.Text(), kGgaTwoSecondsLater);

  NmeaSentence rmc;
  rmc.SetText(kRmc);
  EXPECT_EQ(rmc.TextWithLineEnd(), std::string(kRmc) + "\r\n");
  rmc.SetField(1, std::int32_t{214352});
  rmc.SetField(3, 4023.866, 4);
  EXPECT_EQ(rmc.Text(), kRmcLater);
  EXPECT_EQ(rmc.TextWithLineEnd(), std::string(kRmcLater) + "\r\n") << "the cached line end was dropped";
}

TEST(NmeaSentence, AWriterRebuildsARealGgaFieldByField) {
  NmeaSentence s;
  ErrorRecord error;
  ASSERT_TRUE(s.SetCommand("GGA", error));
  s.SetField(1, "125106");
  s.SetField(2, zenolith::NmeaLatitudeText(38, 54, 30.522 - 0.0005));
  s.SetField(3, zenolith::LatitudeHemisphere(38.9));
  s.SetField(4, zenolith::NmeaLongitudeText(77, 26, 27.138 - 0.0005));
  s.SetField(5, zenolith::LongitudeHemisphere(-77.4));
  s.SetField(6, std::int32_t{8});
  s.SetField(7, std::int32_t{10});
  s.SetField(8, 2.0, 1);
  s.SetField(9, 268.8, 1);
  s.SetField(10, "M");
  s.SetField(11, -33.9, 1);
  s.SetField(12, "M");
  s.SetField(13, "");
  s.SetField(14, "");
  // Our coordinate texts carry five decimals where the receiver wrote four;
  // the two extra '0's cancel in the XOR, so the checksum is the receiver's.
  EXPECT_EQ(s.Text(), "$GPGGA,125106,3854.50870,N,07726.45230,W,8,10,2.0,268.8,M,-33.9,M,,*7F");
}

TEST(NmeaSentence, NumberFieldForms) {
  const struct {
    double value;
    int decimals;
    const char* text;
  } doubles[] = {
      {2.0, 1, "2.0"}, {0.125, 2, "0.12"}, {-33.94, 1, "-33.9"}, {1.5, -1, "1.500000"}, {2.5, 0, "2"},
      {359.96, 1, "360.0"}, {-0.0, 1, "-0.0"},
  };
  NmeaSentence s;
  for (const auto& d : doubles) {
    s.SetField(1, d.value, d.decimals);
    EXPECT_EQ(s.Field(1), d.text) << d.value << " with " << d.decimals;
  }
  s.SetField(1, std::int32_t{-2147483647 - 1});
  EXPECT_EQ(s.Field(1), "-2147483648");
  s.SetField(1, 1e300, 1000);  // a wild decimal count is bounded
  EXPECT_LE(s.Field(1)->size(), 301u + 1 + 255);
  EXPECT_EQ(s.Text().size(), 255u);
}

TEST(NmeaSentence, FieldsCountOnlyGrows) {
  NmeaSentence s;
  s.SetText(kGga);
  s.SetField(2, "0000.0000");
  EXPECT_EQ(s.FieldsCount(), 14);
  s.SetField(17, "x");
  EXPECT_EQ(s.FieldsCount(), 17);
  EXPECT_EQ(s.Field(15), "");
  EXPECT_EQ(s.Field(16), "");
  const std::string text = s.Text();
  EXPECT_TRUE(text.starts_with("$GPGGA,125106,0000.0000,N,")) << text;
  EXPECT_NE(text.find(",M,-33.9,M,,,,,x*"), std::string::npos) << text;
}

TEST(NmeaSentence, CommandChangesKeepTheFields) {
  NmeaSentence s;
  s.SetText("$GPGGA,1,2*55");
  ErrorRecord error;
  ASSERT_TRUE(s.SetCommand("PGRMZ", error));
  EXPECT_EQ(s.Command(), "RMZ");
  EXPECT_EQ(s.FullCommand(), "PGRMZ");
  ASSERT_TRUE(s.SetCommand("GLL", error));
  EXPECT_EQ(s.FullCommand(), "GPGLL") << "a three-letter command takes the GP talker";
  EXPECT_EQ(s.Text(), "$GPGLL,1,2*53");
  EXPECT_EQ(s.Type(), zenolith::kTypeGLL);
}

TEST(NmeaSentence, AFailedCommandChangeLeavesEverything) {
  const std::pair<std::string_view, std::string_view> bad[] = {
      {"", "Null command not allowed"},
      {"GPGG", "Command must be 3 or 5 characters long"},
      {"GG", "Command must be 3 or 5 characters long"},
      {"GPGGAX", "Command must be 3 or 5 characters long"},
  };
  for (const auto& [command, message] : bad) {
    NmeaSentence s;
    s.SetText(kGga);
    ErrorRecord error;
    EXPECT_FALSE(s.SetCommand(command, error)) << command;
    EXPECT_EQ(error.number, zenolith::kErrorInvalidArgument);
    EXPECT_EQ(error.message, message);
    EXPECT_EQ(s.Command(), "GGA");
    EXPECT_EQ(s.FullCommand(), "GPGGA");
    EXPECT_EQ(s.Text(), kGga);
    EXPECT_EQ(s.FieldsCount(), 14);
  }
}

TEST(NmeaSentence, ChecksumOnlyUpTo252CharactersAndNothingBeyond255) {
  const struct {
    std::size_t fieldLength;
    std::size_t textLength;
    bool checksum;
  } cases[] = {
      {245, 255, true},   // "$GPGGA," + 245 = 252 written, then "*hh"
      {246, 253, false},  // 253 written: no room for the checksum
      {248, 255, false},
      {400, 255, false},  // cut at 255
  };
  for (const auto& c : cases) {
    NmeaSentence s;
    ErrorRecord error;
    ASSERT_TRUE(s.SetCommand("GGA", error));
    s.SetField(1, std::string(c.fieldLength, 'a'));
    const std::string& text = s.Text();
    EXPECT_EQ(text.size(), c.textLength) << c.fieldLength;
    EXPECT_EQ(text.find('*') != std::string::npos, c.checksum) << c.fieldLength;
  }
}

TEST(NmeaSentence, HugeFieldNumbersStayCheap) {
  NmeaSentence s;
  ErrorRecord error;
  ASSERT_TRUE(s.SetCommand("GGA", error));
  s.SetField(NmeaSentence::kMaxFields, "x");
  EXPECT_EQ(s.FieldsCount(), 32767);
  EXPECT_EQ(s.Text(), "$GPGGA" + std::string(249, ','));
  for (int index : {0, -1, -2147483647 - 1, 32768, 2147483647}) {
    s.SetField(index, "y");
    EXPECT_EQ(s.FieldsCount(), 32767) << index;
    EXPECT_EQ(s.Field(index), std::nullopt) << index;
  }
  // A text with more commas than a 16-bit count holds keeps the first 32767.
  NmeaSentence wide;
  wide.SetText("$GPXXX" + std::string(40000, ',') + "*00");
  EXPECT_EQ(wide.FieldsCount(), 32767);
  EXPECT_EQ(wide.Field(32767), "");
}

TEST(NmeaSentence, MakeAndFrom) {
  ComPtr<IDispatch> made = NmeaSentence::Make(kRmc);
  ASSERT_TRUE(made);
  NmeaSentence* s = NmeaSentence::From(made.get());
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->Text(), kRmc);
  EXPECT_EQ(NmeaSentence::From(nullptr), nullptr);
}

// ---------------------------------------------------------------- interface

TEST(NmeaSentence, InterfaceReadsAndWritesTheSentence) {
  Client c;
  EXPECT_EQ(c.Put("Sentence", Variant::Bstr("$GPGGA,,,*7A")), com::S_OK);
  EXPECT_EQ(c.Get("Command"), Variant::Bstr("GGA"));
  EXPECT_EQ(c.Get("FullCommand"), Variant::Bstr("GPGGA"));
  EXPECT_EQ(c.Get("FieldsCount"), Variant::I2(3));
  EXPECT_EQ(c.Get("Sentence"), Variant::Bstr("$GPGGA,,,*7A"));
  EXPECT_EQ(c.Get("Fields", {Variant::I2(3)}), Variant::Bstr(""));

  EXPECT_EQ(c.Put("Command", Variant::Bstr("RMC")), com::S_OK);
  EXPECT_EQ(c.SetField(Variant::I2(3), Variant::Bstr("x")), com::S_OK);
  EXPECT_EQ(c.Get("Sentence"), Variant::Bstr("$GPRMC,,,x*1F"));
  EXPECT_EQ(c.SetField(Variant::I4(4), Variant::I4(12)), com::S_OK) << "arguments are converted";
  EXPECT_EQ(c.Get("Fields", {Variant::I2(4)}), Variant::Bstr("12"));
  EXPECT_EQ(c.Put("FullCommand", Variant::Bstr("PGRMZ")), com::S_OK);
  EXPECT_EQ(c.Get("Command"), Variant::Bstr("RMZ"));

  EXPECT_EQ(c.Put("Sentence", Variant::Bstr("$GP")), com::S_OK);
  EXPECT_EQ(c.Get("Sentence"), Variant::Bstr(""));
  EXPECT_EQ(c.Get("FieldsCount"), Variant::I2(0));
}

TEST(NmeaSentence, InterfaceFieldIndexesOutsideTheCountFail) {
  Client c;
  ASSERT_EQ(c.Put("Sentence", Variant::Bstr(std::string(kGga))), com::S_OK);
  for (std::int16_t index : {std::int16_t{0}, std::int16_t{15}, std::int16_t{-1}, std::int16_t{32767},
                             std::int16_t{-32768}}) {
    const Variant v = c.Get("Fields", {Variant::I2(index)});
    EXPECT_EQ(c.last(), kOutOfBounds) << index;
    EXPECT_EQ(Client::Error(), "Index out of bounds") << index;
    EXPECT_TRUE(v.IsEmpty());
  }
  EXPECT_EQ(c.Get("Fields", {Variant::I2(14)}), Variant::Bstr(""));
  EXPECT_EQ(c.Get("Fields", {Variant::I2(1)}), Variant::Bstr("125106"));

  for (std::int16_t index : {std::int16_t{0}, std::int16_t{-1}, std::int16_t{-32768}}) {
    EXPECT_EQ(c.SetField(Variant::I2(index), Variant::Bstr("x")), kOutOfBounds) << index;
    EXPECT_EQ(Client::Error(), "Index out of bounds");
  }
  EXPECT_EQ(c.SetField(Variant::I4(40000), Variant::Bstr("x")), com::DISP_E_OVERFLOW) << "no 16-bit index";
  EXPECT_EQ(c.Get("FieldsCount"), Variant::I2(14));
  EXPECT_EQ(c.Get("Sentence"), Variant::Bstr(std::string(kGga))) << "failed calls changed nothing";
}

TEST(NmeaSentence, InterfaceCommandErrors) {
  Client c;
  ASSERT_EQ(c.Put("Sentence", Variant::Bstr(std::string(kGga))), com::S_OK);
  EXPECT_EQ(c.Put("Command", Variant()), kInvalidArgument);
  EXPECT_EQ(Client::Error(), "Null command not allowed");
  EXPECT_EQ(c.Put("FullCommand", Variant::Bstr("")), kInvalidArgument);
  EXPECT_EQ(Client::Error(), "Null command not allowed");
  EXPECT_EQ(c.Put("FullCommand", Variant::Bstr("GPGG")), kInvalidArgument);
  EXPECT_EQ(Client::Error(), "Command must be 3 or 5 characters long");
  EXPECT_EQ(c.Put("Command", Variant::I4(1234)), kInvalidArgument) << "a number arrives as its text";
  EXPECT_EQ(c.Get("FullCommand"), Variant::Bstr("GPGGA"));
  EXPECT_EQ(c.Get("Sentence"), Variant::Bstr(std::string(kGga)));
}

// ------------------------------------------------------------------- texts

TEST(SentenceText, CoordinatesRoundAndCarry) {
  const struct {
    bool latitude;
    int degrees, minutes;
    double seconds;
    const char* text;
  } cases[] = {
      {true, 48, 7, 2.28, "4807.03801"},
      {true, 9, 59, 59.9996, "1000.00000"},     // seconds and minutes carry
      {true, 9, 59, 59.999, "0959.99999"},      // just below the carry
      {true, 0, 0, 0.0, "0000.00001"},          // the 0.0005 s shows in the last digit
      {true, 89, 10, 0.0, "8910.00001"},        // two minute digits without padding
      {true, 90, 0, 0.0, "9000.00001"},
      {false, 11, 31, 0.0, "01131.00001"},
      {false, 179, 59, 59.9996, "18000.00000"},
      {false, 7, 5, 30.0, "00705.50001"},
      {false, 0, 59, 59.9999, "00100.00000"},
  };
  int failures = 0;
  for (const auto& c : cases) {
    const std::string text = c.latitude ? zenolith::NmeaLatitudeText(c.degrees, c.minutes, c.seconds)
                                        : zenolith::NmeaLongitudeText(c.degrees, c.minutes, c.seconds);
    if (text != c.text) {
      ++failures;
      ADD_FAILURE() << c.degrees << " " << c.minutes << " " << c.seconds << ": " << text << ", expected " << c.text;
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST(SentenceText, WildCoordinatesGiveBoundedText) {
  EXPECT_FALSE(zenolith::NmeaLatitudeText(2147483647, 59, 60.0).empty()) << "the degree carry does not overflow";
  EXPECT_EQ(zenolith::NmeaLatitudeText(2147483647, 59, 60.0), "214748364800.00000");
  EXPECT_LT(zenolith::NmeaLongitudeText(0, 0, -1e300).size(), 320u);
  EXPECT_NE(zenolith::NmeaLongitudeText(0, 0, std::nan("")).find("nan"), std::string::npos);
}

TEST(SentenceText, HemispheresBySign) {
  EXPECT_EQ(zenolith::LatitudeHemisphere(0.0), "N");
  EXPECT_EQ(zenolith::LatitudeHemisphere(-1e-300), "S");
  EXPECT_EQ(zenolith::LongitudeHemisphere(0.0), "E");
  EXPECT_EQ(zenolith::LongitudeHemisphere(-0.5), "W");
  EXPECT_EQ(zenolith::LatitudeHemisphere(std::nan("")), "S");
}

TEST(SentenceText, TimeAndDate) {
  const zenolith::UtcTime t{2005, 6, 14, 21, 43, 5, 999};
  EXPECT_EQ(zenolith::NmeaTimeText(t), "214305") << "no fraction";
  EXPECT_EQ(zenolith::NmeaDateText(t), "140605");
  EXPECT_EQ(zenolith::DisplayTimeText(t), "21:43.05");
  EXPECT_EQ(zenolith::NmeaDateText(zenolith::UtcTime{2100, 1, 2}), "020100");
  EXPECT_EQ(zenolith::NmeaDateText(zenolith::UtcTime{}), "000000") << "a time-only value";
}

TEST(SentenceText, WithoutAValueTheClockIsUsed) {
  const zenolith::UtcTime before = zenolith::CurrentUtc();
  const std::string time = zenolith::NmeaTimeText(std::nullopt);
  const std::string date = zenolith::NmeaDateText(std::nullopt);
  const zenolith::UtcTime after = zenolith::CurrentUtc();
  EXPECT_GE(before.year, 2024);
  EXPECT_GE(before.month, 1);
  EXPECT_LE(before.month, 12);
  EXPECT_LE(before.millisecond, 999);
  // The texts come from the clock read between `before` and `after`.
  const auto timeOf = [](const zenolith::UtcTime& u) { return zenolith::NmeaTimeText(u); };
  const auto dateOf = [](const zenolith::UtcTime& u) { return zenolith::NmeaDateText(u); };
  EXPECT_TRUE(time == timeOf(before) || time == timeOf(after)) << time;
  EXPECT_TRUE(date == dateOf(before) || date == dateOf(after)) << date;
  EXPECT_EQ(zenolith::DisplayTimeText(std::nullopt).size(), 8u);
}

}  // namespace
