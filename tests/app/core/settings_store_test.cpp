// SettingsStore: the saved file of a fresh store against a golden list
// written from the key table of the design (every key, kind, default and
// written form, in the saved order), a round trip of every key with
// non-default values, files written by hand (CDATA with references, UTF-8
// narrow files, unreadable values, duplicate list items, any order, unknown
// elements), damaged files, the registry fallback for gpsName, the atomic
// save with mode 0600, and xmllint on the UTF-16 file and on its UTF-8
// conversion.
#include "app/core/SettingsStore.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>

#include "app/core/Log.h"
#include "app/core/TextCodec.h"
#include "platform/registry/Registry.h"
#include "tests/support/TempRegistry.h"
#include "tests/support/Shell.h"
#include "tests/support/LoggedFolder.h"

namespace rovana {
namespace {

namespace fs = std::filesystem;

constexpr double kPi = 3.14159265358979323846;
// Reals are written with six decimals ("%lf").
constexpr double kSixDecimals = 5e-7;
// Positions are written in degrees with six decimals.
constexpr double kPositionRadians = kSixDecimals * kPi / 180 + 1e-15;

// The keys in creation order: kind (b boolean, i integer, r real, t text,
// p position, l list) and the element a fresh store writes ("" for none;
// "{folder}" stands for the store's folder).
struct GoldenKey {
  const char* key;
  char kind;
  const char* element;
};
constexpr GoldenKey kGolden[] = {
    {"translateX", 'r', " <translateX>0.000000</translateX>\n"},
    {"translateY", 'r', " <translateY>0.000000</translateY>\n"},
    {"zoomN3", 'r', " <zoomN3>5215789.654484</zoomN3>\n"},
    {"rotate", 'r', " <rotate>0.000000</rotate>\n"},
    {"heading", 'i', " <heading>0</heading>\n"},
    {"zoomH3", 'r', " <zoomH3>39.793317</zoomH3>\n"},
    {"rotateH", 'r', " <rotateH>0.000000</rotateH>\n"},
    {"headingH", 'i', " <headingH>0</headingH>\n"},
    {"followMarker", 'b', " <followMarker>1</followMarker>\n"},
    {"followUser", 'b', " <followUser>1</followUser>\n"},
    {"hyperzooming", 'b', " <hyperzooming>0</hyperzooming>\n"},
    {"position", 'p', " <position>0.000000#0.000000#0.000000</position>\n"},
    {"soundEnabled", 'b', " <soundEnabled>1</soundEnabled>\n"},
    {"zoomEnabled", 'b', " <zoomEnabled>1</zoomEnabled>\n"},
    {"directionEnabled", 'b', " <directionEnabled>1</directionEnabled>\n"},
    {"directionWidth", 'i', " <directionWidth>2</directionWidth>\n"},
    {"directionSize", 'i', " <directionSize>9</directionSize>\n"},
    {"directionCol", 'i', " <directionCol>6579455</directionCol>\n"},
    {"backgroundCol", 'i', " <backgroundCol>16777215</backgroundCol>\n"},
    {"gridAuto", 'b', " <gridAuto>1</gridAuto>\n"},
    {"gridEnabled", 'b', " <gridEnabled>1</gridEnabled>\n"},
    {"gridStep", 'r', " <gridStep>100.000000</gridStep>\n"},
    {"altitudeOffset", 'r', " <altitudeOffset>0.000000</altitudeOffset>\n"},
    {"eastingOffset", 'r', " <eastingOffset>0.000000</eastingOffset>\n"},
    {"northingOffset", 'r', " <northingOffset>0.000000</northingOffset>\n"},
    {"timePerDistance", 'r', " <timePerDistance>1000.000000</timePerDistance>\n"},
    {"userEnabled", 'b', " <userEnabled>1</userEnabled>\n"},
    {"userSymbol", 't', " <userSymbol><![CDATA[User]]></userSymbol>\n"},
    {"targetSymbol", 't', " <targetSymbol><![CDATA[Target]]></targetSymbol>\n"},
    {"targetEnabled", 'b', " <targetEnabled>1</targetEnabled>\n"},
    {"labels2Enabled", 'b', " <labels2Enabled>1</labels2Enabled>\n"},
    {"excludeStops", 'b', " <excludeStops>1</excludeStops>\n"},
    {"gridWidth", 'i', " <gridWidth>1</gridWidth>\n"},
    {"gridCol", 'i', " <gridCol>16752800</gridCol>\n"},
    {"labelWidth", 'i', " <labelWidth>2</labelWidth>\n"},
    {"labelCol", 'i', " <labelCol>52377</labelCol>\n"},
    {"basicsEnabled", 'b', " <basicsEnabled>1</basicsEnabled>\n"},
    {"compassEnabled", 'b', " <compassEnabled>1</compassEnabled>\n"},
    {"headingCompass", 'i', " <headingCompass>1</headingCompass>\n"},
    {"locatorEnabled", 'b', " <locatorEnabled>1</locatorEnabled>\n"},
    {"selectedMap", 't', ""},
    {"selectedGPX", 't', ""},
    {"selectedPOIs", 't', ""},
    {"gpsEnabled", 'b', " <gpsEnabled>1</gpsEnabled>\n"},
    {"gpsName", 't', ""},
    {"baudRate", 'i', " <baudRate>0</baudRate>\n"},
    {"configGPS", 'b', " <configGPS>0</configGPS>\n"},
    {"gpsLogging", 't', ""},
    {"useGPSHeading", 'b', " <useGPSHeading>1</useGPSHeading>\n"},
    {"useGPSSpeed", 'b', " <useGPSSpeed>1</useGPSSpeed>\n"},
    {"target", 'p', " <target>0.000000#0.000000#0.000000</target>\n"},
    {"targetSet", 'b', " <targetSet>0</targetSet>\n"},
    {"targetTrackName", 't', ""},
    {"targetReverseTrack", 'b', " <targetReverseTrack>0</targetReverseTrack>\n"},
    {"ETAFac", 'r', " <ETAFac>1.414214</ETAFac>\n"},
    {"trainerEnabled", 'b', " <trainerEnabled>0</trainerEnabled>\n"},
    {"trainerVisible", 'b', " <trainerVisible>1</trainerVisible>\n"},
    {"trainerConstant", 'b', " <trainerConstant>1</trainerConstant>\n"},
    {"trainerConstantVal", 'r', " <trainerConstantVal>20.000000</trainerConstantVal>\n"},
    {"trainerRelativeVal", 'r', " <trainerRelativeVal>1.000000</trainerRelativeVal>\n"},
    {"trainerSymbol", 't', " <trainerSymbol><![CDATA[Trainer]]></trainerSymbol>\n"},
    {"reRankingDelay", 'i', " <reRankingDelay>5</reRankingDelay>\n"},
    {"reSpeedAlertDelay", 'i', " <reSpeedAlertDelay>5</reSpeedAlertDelay>\n"},
    {"horizon", 'i', " <horizon>5</horizon>\n"},
    {"poisTab", 'i', " <poisTab>0</poisTab>\n"},
    {"settingsTab", 'i', " <settingsTab>0</settingsTab>\n"},
    {"unitSpeed", 'i', " <unitSpeed>0</unitSpeed>\n"},
    {"unitDistance", 'i', " <unitDistance>0</unitDistance>\n"},
    {"unitAltitude", 'i', " <unitAltitude>1</unitAltitude>\n"},
    {"locatorTab", 'i', " <locatorTab>1</locatorTab>\n"},
    {"locatorDatum", 'i', " <locatorDatum>1</locatorDatum>\n"},
    {"locatorGrid", 'i', " <locatorGrid>0</locatorGrid>\n"},
    {"locatorZoneSPCS27", 't', " <locatorZoneSPCS27><![CDATA[0101]]></locatorZoneSPCS27>\n"},
    {"locatorZoneSPCS83", 't', " <locatorZoneSPCS83><![CDATA[0101]]></locatorZoneSPCS83>\n"},
    {"locatorZoneDHDN", 't', " <locatorZoneDHDN><![CDATA[2]]></locatorZoneDHDN>\n"},
    {"primaryDataPath", 't', " <primaryDataPath><![CDATA[{folder}/data]]></primaryDataPath>\n"},
    {"secondaryDataPath", 't', " <secondaryDataPath><![CDATA[{folder}/examples]]></secondaryDataPath>\n"},
    {"CacheDataPath", 't', " <CacheDataPath><![CDATA[{folder}/cache]]></CacheDataPath>\n"},
    {"trackRecording", 'b', " <trackRecording>0</trackRecording>\n"},
    {"trackerEnabled", 'b', " <trackerEnabled>0</trackerEnabled>\n"},
    {"trackerNickname", 't', ""},
    {"trackerPINprivate", 't', ""},
    {"trackerPINpublic", 't', " <trackerPINpublic><![CDATA[6137]]></trackerPINpublic>\n"},
    {"trackerInterval", 'i', " <trackerInterval>10</trackerInterval>\n"},
    {"languageInit", 'b', " <languageInit>0</languageInit>\n"},
    {"language", 't', " <language><![CDATA[English]]></language>\n"},
    {"hiddenMaps", 'l', " <hiddenMaps>\n </hiddenMaps>\n"},
    {"hiddenPOIs", 'l', " <hiddenPOIs>\n </hiddenPOIs>\n"},
    {"chatMessages", 'l', " <chatMessages>\n </chatMessages>\n"},
    {"trackMaxTimeCheck", 'b', " <trackMaxTimeCheck>0</trackMaxTimeCheck>\n"},
    {"trackMaxTimeVal", 'i', " <trackMaxTimeVal>10</trackMaxTimeVal>\n"},
    {"trackMaxDistCheck", 'b', " <trackMaxDistCheck>0</trackMaxDistCheck>\n"},
    {"trackMaxDistVal", 'r', " <trackMaxDistVal>25.000000</trackMaxDistVal>\n"},
    {"trackMaxDevCheck", 'b', " <trackMaxDevCheck>1</trackMaxDevCheck>\n"},
    {"trackMaxDevVal", 'r', " <trackMaxDevVal>8.000000</trackMaxDevVal>\n"},
    {"helpPoiAdd", 'b', " <helpPoiAdd>1</helpPoiAdd>\n"},
    {"mapsOnlineEnabled", 'b', " <mapsOnlineEnabled>1</mapsOnlineEnabled>\n"},
    {"mapsOnlineDownload", 'i', " <mapsOnlineDownload>0</mapsOnlineDownload>\n"},
    {"mapsOnlineHiRes", 'b', " <mapsOnlineHiRes>0</mapsOnlineHiRes>\n"},
    {"mapsOnlineType", 'i', " <mapsOnlineType>0</mapsOnlineType>\n"},
    {"mapsOnlineCacheSize", 'i', " <mapsOnlineCacheSize>5000</mapsOnlineCacheSize>\n"},
    {"GoogleVersionSat", 't', " <GoogleVersionSat><![CDATA[/kh?n=404&amp;v=21&amp;]]></GoogleVersionSat>\n"},
    {"GoogleVersionMap", 't', " <GoogleVersionMap><![CDATA[/mt?n=404&amp;v=w2.61&amp;]]></GoogleVersionMap>\n"},
    {"GoogleVersionHyb", 't', " <GoogleVersionHyb><![CDATA[/mt?n=404&amp;v=w2t.61&amp;]]></GoogleVersionHyb>\n"},
    {"GoogleVersionTer", 't', " <GoogleVersionTer><![CDATA[/mt?n=404&amp;v=w2p.64&amp;]]></GoogleVersionTer>\n"},
    {"mapsOnlineMapHost", 't', ""},
    {"mapsOnlineSatHost", 't', ""},
    {"mapsOnlineTemplate", 't', ""},
    {"helpInternetTraffic", 'b', " <helpInternetTraffic>1</helpInternetTraffic>\n"},
    {"helpVozazIdPrivacy", 'b', " <helpVozazIdPrivacy>1</helpVozazIdPrivacy>\n"},
    {"helpVozazIdFollow", 'b', " <helpVozazIdFollow>1</helpVozazIdFollow>\n"},
    {"saveDataUnicode", 'b', " <saveDataUnicode>0</saveDataUnicode>\n"},
    {"poiTab", 'i', " <poiTab>0</poiTab>\n"},
    {"vozazidTab", 'i', " <vozazidTab>3</vozazidTab>\n"},
    {"trackerEmail", 't', ""},
    {"trackerPassword", 't', ""},
    {"vozazidEnabled", 'i', " <vozazidEnabled>0</vozazidEnabled>\n"},
    {"uploadPosEnabled", 'b', " <uploadPosEnabled>1</uploadPosEnabled>\n"},
    {"uploadPosInterval", 'i', " <uploadPosInterval>10</uploadPosInterval>\n"},
    {"secondaryServer", 't', ""},
    {"secondaryUrl", 't', ""},
    {"downloadPosEnabled", 'b', " <downloadPosEnabled>1</downloadPosEnabled>\n"},
    {"downloadPosInterval", 'i', " <downloadPosInterval>10</downloadPosInterval>\n"},
    {"pollMsgEnabled", 'b', " <pollMsgEnabled>1</pollMsgEnabled>\n"},
    {"pollMsgInterval", 'i', " <pollMsgInterval>30</pollMsgInterval>\n"},
    {"chatNotify", 'b', " <chatNotify>1</chatNotify>\n"},
    {"xSelector", 'i', " <xSelector>0</xSelector>\n"},
    {"leftSelector", 'i', " <leftSelector>1</leftSelector>\n"},
    {"rightSelector", 'i', " <rightSelector>3</rightSelector>\n"},
    {"geoCountry", 't', ""},
    {"geoCity", 't', ""},
    {"geoStreet", 't', ""},
    {"useConnMgr", 'b', " <useConnMgr>1</useConnMgr>\n"},
    {"allowInternet", 'b', " <allowInternet>0</allowInternet>\n"},
    {"destNet", 'i', " <destNet>0</destNet>\n"},
    {"accessType", 'i', " <accessType>1</accessType>\n"},
    {"serviceHost", 't', " <serviceHost><![CDATA[http://127.0.0.1:8642]]></serviceHost>\n"},
    {"geocacheHost", 't', ""},
    {"preventStandbyEnabled", 'b', " <preventStandbyEnabled>1</preventStandbyEnabled>\n"},
    {"preventBackLightsEnabled", 'b', " <preventBackLightsEnabled>0</preventBackLightsEnabled>\n"},
    {"wakeupEnabled", 'b', " <wakeupEnabled>0</wakeupEnabled>\n"},
    {"wakeupInterval", 'i', " <wakeupInterval>3600</wakeupInterval>\n"},
    {"dirsRefresh", 'i', " <dirsRefresh>0</dirsRefresh>\n"},
    {"speedAlertEnabled", 'b', " <speedAlertEnabled>1</speedAlertEnabled>\n"},
    {"speedMaxMin", 'b', " <speedMaxMin>1</speedMaxMin>\n"},
    {"speedSelected", 'r', " <speedSelected>100.000000</speedSelected>\n"},
    {"speed1", 'r', " <speed1>50.000000</speed1>\n"},
    {"speed2", 'r', " <speed2>100.000000</speed2>\n"},
    {"speed3", 'r', " <speed3>130.000000</speed3>\n"},
    {"searchDB", 'i', " <searchDB>0</searchDB>\n"},
    {"searchWhat", 't', ""},
    {"searchDeletePOIs", 'b', " <searchDeletePOIs>0</searchDeletePOIs>\n"},
    {"poiStyle", 't', " <poiStyle><![CDATA[Default]]></poiStyle>\n"},
    {"shrinkSymbols", 'b', " <shrinkSymbols>0</shrinkSymbols>\n"},
    {"hideTitleBar", 'b', " <hideTitleBar>1</hideTitleBar>\n"},
    {"hideMenuBar2", 'b', " <hideMenuBar2>1</hideMenuBar2>\n"},
    {"hideBugMenu", 'b', " <hideBugMenu>0</hideBugMenu>\n"},
    {"stopwatchType", 'i', " <stopwatchType>0</stopwatchType>\n"},
    {"stopwatchStartSpeed", 'r', " <stopwatchStartSpeed>0.000000</stopwatchStartSpeed>\n"},
    {"stopwatchStopSpeed", 'r', " <stopwatchStopSpeed>100.000000</stopwatchStopSpeed>\n"},
    {"stopwatchStopDistance", 'r', " <stopwatchStopDistance>100.000000</stopwatchStopDistance>\n"},
    {"stopwatchStopTime", 'r', " <stopwatchStopTime>10.000000</stopwatchStopTime>\n"},
    {"tabLinePicker", 'i', " <tabLinePicker>0</tabLinePicker>\n"},
    {"distTotal", 'r', " <distTotal>0.000000</distTotal>\n"},
    {"timeTotal", 'i', " <timeTotal>0</timeTotal>\n"},
    {"timeRunning", 'i', " <timeRunning>0</timeRunning>\n"},
    {"speedMin", 'r', " <speedMin>0.000000</speedMin>\n"},
    {"speedMax", 'r', " <speedMax>0.000000</speedMax>\n"},
    {"speedAverage", 'r', " <speedAverage>0.000000</speedAverage>\n"},
    {"speedAverageExclStops", 'r', " <speedAverageExclStops>0.000000</speedAverageExclStops>\n"},
    {"altitudeMin", 'r', " <altitudeMin>0.000000</altitudeMin>\n"},
    {"altitudeMax", 'r', " <altitudeMax>0.000000</altitudeMax>\n"},
    {"altitudeAverage", 'r', " <altitudeAverage>0.000000</altitudeAverage>\n"},
    {"elevation", 'r', " <elevation>0.000000</elevation>\n"},
    {"decline", 'r', " <decline>0.000000</decline>\n"},
    {"compassDirectionEnabled", 'b', " <compassDirectionEnabled>1</compassDirectionEnabled>\n"},
    {"compassDirectionWidth", 'i', " <compassDirectionWidth>2</compassDirectionWidth>\n"},
    {"compassDirectionSize", 'i', " <compassDirectionSize>8</compassDirectionSize>\n"},
    {"compassDirectionCol", 'i', " <compassDirectionCol>6579455</compassDirectionCol>\n"},
    {"compassLabelUser", 'b', " <compassLabelUser>1</compassLabelUser>\n"},
    {"compassLabelTarget", 'b', " <compassLabelTarget>1</compassLabelTarget>\n"},
    {"searchGeoF", 'b', " <searchGeoF>1</searchGeoF>\n"},
    {"searchGeoNF", 'b', " <searchGeoNF>1</searchGeoNF>\n"},
    {"searchGeoO", 'b', " <searchGeoO>1</searchGeoO>\n"},
    {"searchGeoNO", 'b', " <searchGeoNO>1</searchGeoNO>\n"},
};

std::string Utf16Bytes(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (const char16_t u : text) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  }
  return bytes;
}

std::string FromUtf16File(const std::string& bytes) {
  if (bytes.size() < 2 || bytes.compare(0, 2, "\xFF\xFE") != 0) return "<no byte-order mark>";
  std::u16string units;
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
    units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
  return Utf16ToUtf8(units);
}

using testing_support::RunShell;
using Command = testing_support::ShellResult;

class SettingsStoreTest : public testing_support::LoggedFolderTest {
 protected:
  fs::path File() const { return folder_ / "settings.xml"; }
  void WriteBytes(const std::string& bytes) const { std::ofstream(File(), std::ios::binary) << bytes; }
  void WriteUtf16(std::string_view utf8) const { WriteBytes(Utf16Bytes(Utf8ToUtf16(utf8))); }

  testing_support::TempRegistry registry_;  // ZENOLITH_REGISTRY for every store built here
};

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
  return text;
}

TEST_F(SettingsStoreTest, TableMatchesTheGoldenList) {
  const std::span<const SettingKey> keys = SettingKeys();
  ASSERT_EQ(keys.size(), std::size(kGolden));
  int failures = 0;
  const std::string kinds = "birtpl";
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (keys[i].key != kGolden[i].key || kinds[static_cast<int>(keys[i].kind)] != kGolden[i].kind) {
      ++failures;
      ADD_FAILURE() << "row " << i << ": " << keys[i].key << " against " << kGolden[i].key;
    }
  }
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(FindSettingKey("trackMaxDistVal"), &keys[std::distance(std::begin(kGolden),
                                                                    std::find_if(std::begin(kGolden), std::end(kGolden), [](const GoldenKey& g) {
                                                                      return std::string_view(g.key) == "trackMaxDistVal";
                                                                    }))]);
  EXPECT_EQ(FindSettingKey("TrackMaxDistVal"), nullptr) << "keys compare with letter case";
}

// A fresh store writes exactly the golden file: every default in its written
// form, last key first.
TEST_F(SettingsStoreTest, FreshStoreWritesTheGoldenFile) {
  SettingsStore store(folder_);
  ASSERT_TRUE(store.Save());
  std::string expected = "<?xml version=\"1.0\"?>\n<settings>\n";
  for (std::size_t i = std::size(kGolden); i-- > 0;) expected += kGolden[i].element;
  expected += "</settings>\n";
  expected = Replace(expected, "{folder}", folder_.string());
  const std::string got = FromUtf16File(ReadBytes(File()));
  EXPECT_EQ(got, expected);
  EXPECT_TRUE(got.starts_with("<?xml version=\"1.0\"?>\n<settings>\n <searchGeoNO>1</searchGeoNO>\n"));
  EXPECT_TRUE(got.ends_with(" <translateX>0.000000</translateX>\n</settings>\n"));
}

TEST_F(SettingsStoreTest, DefaultsOfAFreshStore) {
  SettingsStore store(folder_);
  EXPECT_EQ(store.zoomN3, 5215789.654483851);
  // The hyperzoom default is the normal zoom over 2^17.
  EXPECT_NEAR(store.zoomH3, store.zoomN3 / 131072, 1e-13 * store.zoomH3);
  EXPECT_NEAR(store.ETAFac, std::sqrt(2.0), 1e-16);
  EXPECT_EQ(store.directionCol, 0x6464FF);
  EXPECT_EQ(store.horizon, 5);
  EXPECT_TRUE(store.followMarker);
  EXPECT_FALSE(store.hyperzooming);
  EXPECT_EQ(store.trackerPINpublic, "6137");
  EXPECT_EQ(store.GoogleVersionSat, "/kh?n=404&v=21&");
  EXPECT_EQ(store.primaryDataPath, (folder_ / "data").string());
  EXPECT_EQ(store.secondaryDataPath, (folder_ / "examples").string());
  EXPECT_EQ(store.CacheDataPath, (folder_ / "cache").string());
  EXPECT_EQ(store.position, LatLonAlt{});
  EXPECT_TRUE(store.hiddenMaps.empty());
  EXPECT_NE(LogText().find("Error opening file"), std::string::npos) << "a missing file is logged";
}

// Puts a value unlike its default into every key; `seed` varies them.
void FillEveryKey(SettingsStore& store, int seed) {
  int i = seed;
  for (const SettingKey& row : SettingKeys()) {
    ++i;
    switch (row.kind) {
      case SettingKind::Boolean: store.*row.boolean = row.number == 0; break;
      case SettingKind::Integer:
        store.*row.integer = i % 5 == 0   ? std::numeric_limits<std::int32_t>::min()
                             : i % 5 == 1 ? std::numeric_limits<std::int32_t>::max()
                                          : (i * 7919 - 500000) * (i % 2 ? 1 : -1);
        break;
      case SettingKind::Real: store.*row.real = i * 1234.567891 - 99999.5; break;
      case SettingKind::Text:
        store.*row.text = "v\xC3\xA4lue " + std::string(row.key) + " <&> ]]> &lt; <![CDATA[ \"'\n2nd line \xF0\x9F\x98\x80 ";
        break;
      case SettingKind::Position: store.*row.position = LatLonAlt{(i % 90) * 0.0123, -(i % 180) * 0.0171, i * 3.25}; break;
      case SettingKind::TextList: {
        TextList& list = store.*row.list;
        list.Clear();
        list.Add("first " + std::string(row.key));
        list.Add("second <&>");
        list.Add("first " + std::string(row.key), true);  // a duplicate, read back once
        list.Add("");
        list.Add("two\r\nlines");
        break;
      }
    }
  }
}

TEST_F(SettingsStoreTest, EveryKeyRoundTrips) {
  for (const int seed : {0, 3}) {
    {
      SettingsStore store(folder_);
      FillEveryKey(store, seed);
      ASSERT_TRUE(store.Save());
    }
    SettingsStore expected(folder_ / "unused");
    FillEveryKey(expected, seed);
    const SettingsStore loaded(folder_);
    int failures = 0;
    for (const SettingKey& row : SettingKeys()) {
      bool same = true;
      switch (row.kind) {
        case SettingKind::Boolean: same = loaded.*row.boolean == expected.*row.boolean; break;
        case SettingKind::Integer: same = loaded.*row.integer == expected.*row.integer; break;
        case SettingKind::Real: same = std::abs(loaded.*row.real - expected.*row.real) <= kSixDecimals; break;
        case SettingKind::Text: same = loaded.*row.text == expected.*row.text; break;
        case SettingKind::Position: {
          const LatLonAlt &a = loaded.*row.position, &b = expected.*row.position;
          same = std::abs(a.latitude - b.latitude) <= kPositionRadians &&
                 std::abs(a.longitude - b.longitude) <= kPositionRadians && std::abs(a.altitude - b.altitude) <= kSixDecimals;
          break;
        }
        case SettingKind::TextList: {
          const std::vector<std::string> want = {"first " + std::string(row.key), "second <&>", "", "two\r\nlines"};
          same = (loaded.*row.list).items() == want;
          break;
        }
      }
      if (!same) {
        ++failures;
        ADD_FAILURE() << "seed " << seed << ": key " << row.key << " did not round-trip";
      }
    }
    EXPECT_EQ(failures, 0);
  }
}

TEST_F(SettingsStoreTest, EmptiedTextWithADefaultStaysEmpty) {
  {
    SettingsStore store(folder_);
    store.trackerPINpublic.clear();
    store.language.clear();
    store.primaryDataPath.clear();
    ASSERT_TRUE(store.Save());
  }
  const SettingsStore loaded(folder_);
  EXPECT_EQ(loaded.trackerPINpublic, "");
  EXPECT_EQ(loaded.language, "");
  EXPECT_EQ(loaded.primaryDataPath, "");
  EXPECT_EQ(loaded.userSymbol, "User");
}

// Files as a person, another program or an older version may have written them.
TEST_F(SettingsStoreTest, HandWrittenFiles) {
  struct Case {
    const char* what;
    std::string body;  // inside <settings>
    bool unicode;
    std::function<std::string(const SettingsStore&)> value;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"CDATA reads back", "<userSymbol><![CDATA[Walker]]></userSymbol>", true,
       [](const SettingsStore& s) { return s.userSymbol; }, "Walker"},
      {"reference inside CDATA", "<userSymbol><![CDATA[a &lt; b]]></userSymbol>", true,
       [](const SettingsStore& s) { return s.userSymbol; }, "a < b"},
      {"narrow file is UTF-8", "<language><![CDATA[Fran\xC3\xA7" "ais]]></language>", false,
       [](const SettingsStore& s) { return s.language; }, "Fran\xC3\xA7" "ais"},
      {"narrow list item is UTF-8", "<hiddenMaps><s>K\xC3\xB6ln</s></hiddenMaps>", false,
       [](const SettingsStore& s) { return s.hiddenMaps.items().empty() ? "" : s.hiddenMaps.items()[0]; }, "K\xC3\xB6ln"},
      {"non-numeric integer reads 0, not its default", "<trackerInterval>abc</trackerInterval>", true,
       [](const SettingsStore& s) { return std::to_string(s.trackerInterval); }, "0"},
      {"empty integer reads 0", "<horizon></horizon>", true,
       [](const SettingsStore& s) { return std::to_string(s.horizon); }, "0"},
      {"non-numeric boolean reads false", "<followMarker>yes</followMarker>", true,
       [](const SettingsStore& s) { return std::to_string(s.followMarker); }, "0"},
      {"non-numeric real reads 0", "<zoomN3>big</zoomN3>", true,
       [](const SettingsStore& s) { return std::to_string(s.zoomN3); }, "0.000000"},
      {"two equal list items keep one", "<hiddenPOIs><s>a</s><s>b</s><s>a</s></hiddenPOIs>", true,
       [](const SettingsStore& s) {
         std::string all;
         for (const std::string& item : s.hiddenPOIs) all += item + ";";
         return all;
       },
       "a;b;"},
      {"list items are multi-line texts", "<chatMessages><s><![CDATA[hi\nthere]]></s></chatMessages>", true,
       [](const SettingsStore& s) { return s.chatMessages.items().empty() ? "" : s.chatMessages.items()[0]; }, "hi\r\nthere"},
      {"any order, unknown elements skipped", "<unknown>5</unknown><horizon>9</horizon><trackerInterval>7</trackerInterval>", true,
       [](const SettingsStore& s) { return std::to_string(s.horizon) + "," + std::to_string(s.trackerInterval); }, "9,7"},
      {"a key inside an unknown element still counts", "<group><horizon>11</horizon></group>", true,
       [](const SettingsStore& s) { return std::to_string(s.horizon); }, "11"},
      {"empty element", "<userSymbol/><horizon>3</horizon>", true,
       [](const SettingsStore& s) { return s.userSymbol + "," + std::to_string(s.horizon); }, ",3"},
      {"position", "<target>52.5#-1.25#7.5</target>", true,
       [](const SettingsStore& s) {
         char text[96];
         std::snprintf(text, sizeof text, "%.9f %.9f %.3f", s.target.latitude, s.target.longitude, s.target.altitude);
         return std::string(text);
       },
       "0.916297857 -0.021816616 7.500"},
      {"old program's CDATA with bare ampersands", "<GoogleVersionMap><![CDATA[/mt?n=404&v=w2.99&]]></GoogleVersionMap>", true,
       [](const SettingsStore& s) { return s.GoogleVersionMap; }, "/mt?n=404&v=w2.99&"},
      {"keys compare with letter case", "<Horizon>9</Horizon>", true,
       [](const SettingsStore& s) { return std::to_string(s.horizon); }, "5"},
  };
  int failures = 0;
  for (const Case& c : cases) {
    const std::string doc = "<?xml version=\"1.0\"?>\n<settings>\n" + c.body + "\n</settings>\n";
    if (c.unicode) {
      WriteUtf16(doc);
    } else {
      WriteBytes(doc);
    }
    const SettingsStore store(folder_);
    const std::string got = c.value(store);
    if (got != c.expected) {
      ++failures;
      ADD_FAILURE() << c.what << ": got [" << got << "] expected [" << c.expected << "]";
    }
  }
  EXPECT_EQ(failures, 0);
}

// A file cut anywhere keeps the values before the cut and the defaults after.
TEST_F(SettingsStoreTest, TruncatedFileKeepsWhatCouldBeRead) {
  {
    SettingsStore store(folder_);
    FillEveryKey(store, 1);
    ASSERT_TRUE(store.Save());
  }
  const std::string full = ReadBytes(File());
  SettingsStore filled(folder_ / "unused");
  FillEveryKey(filled, 1);
  std::mt19937 random(77);
  int failures = 0;
  for (int n = 0; n < 40; ++n) {
    const std::size_t cut = n == 0 ? 0 : n == 1 ? 1 : n == 2 ? 3 : random() % full.size();
    WriteBytes(full.substr(0, cut));
    const SettingsStore store(folder_);
    // In file order, once a key was not read (the cut came first) no later
    // key may have been read.
    bool sawDefault = false;
    for (auto row = SettingKeys().rbegin(); row != SettingKeys().rend(); ++row) {
      if (row->kind != SettingKind::Integer) continue;
      const std::int32_t value = store.*row->integer;
      const bool saved = value == filled.*row->integer;
      if (saved && sawDefault) {
        ++failures;
        ADD_FAILURE() << "cut " << cut << ": " << row->key << " read after an unread key";
      }
      sawDefault |= !saved;
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST_F(SettingsStoreTest, DamagedFilesLeaveDefaults) {
  std::mt19937 random(5);
  std::vector<std::pair<const char*, std::string>> files = {
      {"empty", ""},
      {"one byte", "<"},
      {"not XML", "this is a shopping list\nmilk\neggs\n"},
      {"binary", std::string(5000, '\0')},
      {"UTF-16 of odd length", Utf16Bytes(u"<settings><horizon>8</horizon>") + "x"},
  };
  std::string junk(40000, ' ');
  for (char& c : junk) c = static_cast<char>(random() & 0xFF);
  files.emplace_back("random bytes", junk);
  for (const auto& [what, bytes] : files) {
    WriteBytes(bytes);
    const SettingsStore store(folder_);
    EXPECT_EQ(store.userSymbol, "User") << what;
    EXPECT_EQ(store.trackerPINpublic, "6137") << what;
    EXPECT_EQ(store.horizon, std::string(what) == "UTF-16 of odd length" ? 8 : 5) << what;
  }
  EXPECT_NE(LogText().find("too short"), std::string::npos);
}

TEST_F(SettingsStoreTest, GpsNameFallsBackToTheDriverKey) {
  registry::Registry reg = registry::Registry::Default();
  ASSERT_EQ(reg.path(), registry_.file());

  const SettingsStore without(folder_);
  EXPECT_EQ(without.gpsName, "") << "no driver key: stays empty";

  ASSERT_TRUE(reg.SetString(kGpsDriverKey, kGpsDriverValue, "GPD1:").ok());
  const SettingsStore fromRegistry(folder_);
  EXPECT_EQ(fromRegistry.gpsName, "GPD1:");

  WriteUtf16("<settings><gpsName><![CDATA[COM4:]]></gpsName></settings>");
  const SettingsStore fromFile(folder_);
  EXPECT_EQ(fromFile.gpsName, "COM4:") << "the file's port wins";

  WriteUtf16("<settings></settings>");
  ASSERT_TRUE(reg.SetInteger(kGpsDriverKey, kGpsDriverValue, 4).ok());
  const SettingsStore wrongType(folder_);
  EXPECT_EQ(wrongType.gpsName, "") << "a value of another type is ignored";

  // The registry can also be handed over.
  testing_support::TempRegistry other;
  registry::Registry given(other.file());
  ASSERT_TRUE(given.SetString(kGpsDriverKey, kGpsDriverValue, "GPD7:").ok());
  const SettingsStore explicitRegistry(folder_, given);
  EXPECT_EQ(explicitRegistry.gpsName, "GPD7:");
}

TEST_F(SettingsStoreTest, SaveIsAtomicAndPrivate) {
  const mode_t oldMask = ::umask(0);
  SettingsStore store(folder_);
  store.trackerPassword = "s3cret";
  ASSERT_TRUE(store.Save());
  struct stat st{};
  ASSERT_EQ(::stat(File().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u) << "created for the owner only";
  EXPECT_EQ(Entries(), std::vector<std::string>{"settings.xml"});

  ::chmod(File().c_str(), 0644);
  ASSERT_TRUE(store.Save());
  ASSERT_EQ(::stat(File().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u) << "a rewrite makes it private again";
  ::umask(oldMask);
  EXPECT_EQ(SettingsStore(folder_).trackerPassword, "s3cret");
}

TEST_F(SettingsStoreTest, FailedSaveKeepsTheOldFile) {
  SettingsStore store(folder_);
  store.horizon = 17;
  ASSERT_TRUE(store.Save());
  const std::string before = ReadBytes(File());

  // The temporary file cannot be made (a folder stands in its way).
  fs::create_directories(folder_ / "settings.xml.temp" / "x");
  store.horizon = 18;
  EXPECT_FALSE(store.Save());
  EXPECT_EQ(ReadBytes(File()), before);
  fs::remove_all(folder_ / "settings.xml.temp");

  // The disk fills up half-way (the file size limit stands in for it).
  for (int i = 0; i < 3000; ++i) store.chatMessages.Add("message number " + std::to_string(i));
  struct rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  struct rlimit small = old;
  small.rlim_cur = 20000;
  auto* previous = ::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool saved = store.Save();
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::signal(SIGXFSZ, previous);
  EXPECT_FALSE(saved);
  EXPECT_EQ(ReadBytes(File()), before);
  EXPECT_EQ(Entries(), std::vector<std::string>{"settings.xml"});
  EXPECT_EQ(SettingsStore(folder_).horizon, 17);
}

TEST_F(SettingsStoreTest, TextListOperations) {
  struct Step {
    const char* op;  // add, force, remove, clear
    const char* item;
    std::vector<std::string> after;
  };
  const std::vector<Step> steps = {
      {"add", "a", {"a"}},
      {"add", "b", {"a", "b"}},
      {"add", "a", {"a", "b"}},
      {"add", "A", {"a", "b", "A"}},
      {"force", "a", {"a", "b", "A", "a"}},
      {"remove", "a", {"b", "A"}},
      {"remove", "missing", {"b", "A"}},
      {"add", "", {"b", "A", ""}},
      {"clear", "", {}},
  };
  TextList list;
  int failures = 0;
  for (const Step& s : steps) {
    const std::string op = s.op;
    if (op == "add") list.Add(s.item);
    if (op == "force") list.Add(s.item, true);
    if (op == "remove") list.Remove(s.item);
    if (op == "clear") list.Clear();
    if (list.items() != s.after) {
      ++failures;
      ADD_FAILURE() << op << " " << s.item;
    }
  }
  EXPECT_EQ(failures, 0);
  list.Add("x");
  EXPECT_TRUE(list.Contains("x"));
  EXPECT_FALSE(list.Contains("X"));
}

// xmllint reads the UTF-16 file by its byte-order mark, and the same file
// converted to UTF-8; both must be well-formed and hold the values meant.
TEST_F(SettingsStoreTest, XmllintAcceptsTheSettingsFile) {
  if (RunShell("command -v xmllint").status != 0) GTEST_SKIP() << "xmllint not installed (Debian package libxml2-utils)";
  SettingsStore store(folder_);
  FillEveryKey(store, 2);
  store.horizon = 12;
  store.trackerNickname = "caf\xC3\xA9";
  ASSERT_TRUE(store.Save());

  const fs::path utf8 = folder_ / "settings-utf8.xml";
  std::ofstream(utf8, std::ios::binary) << FromUtf16File(ReadBytes(File()));
  for (const fs::path& file : {File(), utf8}) {
    const std::string quoted = "'" + file.string() + "'";
    const Command lint = RunShell("xmllint --noout " + quoted);
    EXPECT_EQ(lint.status, 0) << file << ": " << lint.output;
    EXPECT_EQ(RunShell("xmllint --xpath 'string(/settings/horizon)' " + quoted).output, "12\n") << file;
    EXPECT_EQ(RunShell("xmllint --xpath 'string(/settings/trackerNickname)' " + quoted).output, "caf\xC3\xA9\n") << file;
    EXPECT_EQ(RunShell("xmllint --xpath 'count(/settings/*)' " + quoted).output, std::to_string(SettingKeys().size()) + "\n") << file;
    EXPECT_EQ(RunShell("xmllint --xpath 'name(/settings/*[1])' " + quoted).output, "searchGeoNO\n") << file;
  }
  // The same check against iconv's conversion, when iconv is there.
  if (RunShell("command -v iconv").status == 0) {
    const Command converted = RunShell("iconv -f UTF-16 -t UTF-8 '" + File().string() + "' | xmllint --noout -");
    EXPECT_EQ(converted.status, 0) << converted.output;
  }
}

}  // namespace
}  // namespace rovana
