// The settings keys: one row per key, in the store's order of creation.
#include <algorithm>

#include "app/core/ProgramFolders.h"
#include "app/core/SettingsStore.h"

namespace rovana {
namespace {

using S = SettingsStore;

// One overload per field type, so a row's kind always matches its field.
constexpr SettingKey Row(std::string_view key, bool S::*field, bool value) {
  SettingKey row{key, SettingKind::Boolean};
  row.boolean = field;
  row.number = value ? 1 : 0;
  return row;
}
constexpr SettingKey Row(std::string_view key, std::int32_t S::*field, std::int32_t value) {
  SettingKey row{key, SettingKind::Integer};
  row.integer = field;
  row.number = value;
  return row;
}
constexpr SettingKey Row(std::string_view key, double S::*field, double value) {
  SettingKey row{key, SettingKind::Real};
  row.real = field;
  row.number = value;
  return row;
}
constexpr SettingKey Row(std::string_view key, std::string S::*field, std::string_view value) {
  SettingKey row{key, SettingKind::Text};
  row.text = field;
  row.textDefault = value;
  return row;
}
constexpr SettingKey Row(std::string_view key, std::string S::*field, FolderDefault folder) {
  SettingKey row{key, SettingKind::Text};
  row.text = field;
  row.folderDefault = folder;
  return row;
}
constexpr SettingKey Row(std::string_view key, LatLonAlt S::*field) {
  SettingKey row{key, SettingKind::Position};
  row.position = field;
  return row;
}
constexpr SettingKey Row(std::string_view key, TextList S::*field) {
  SettingKey row{key, SettingKind::TextList};
  row.list = field;
  return row;
}

constexpr SettingKey kKeys[] = {
    Row("translateX", &S::translateX, 0.0),
    Row("translateY", &S::translateY, 0.0),
    Row("zoomN3", &S::zoomN3, 5215789.654483851),
    Row("rotate", &S::rotate, 0.0),
    Row("heading", &S::heading, 0),
    Row("zoomH3", &S::zoomH3, 39.79331706606942),
    Row("rotateH", &S::rotateH, 0.0),
    Row("headingH", &S::headingH, 0),
    Row("followMarker", &S::followMarker, true),
    Row("followUser", &S::followUser, true),
    Row("hyperzooming", &S::hyperzooming, false),
    Row("position", &S::position),
    Row("soundEnabled", &S::soundEnabled, true),
    Row("zoomEnabled", &S::zoomEnabled, true),
    Row("directionEnabled", &S::directionEnabled, true),
    Row("directionWidth", &S::directionWidth, 2),
    Row("directionSize", &S::directionSize, 9),
    Row("directionCol", &S::directionCol, 0x6464FF),
    Row("backgroundCol", &S::backgroundCol, 0xFFFFFF),
    Row("gridAuto", &S::gridAuto, true),
    Row("gridEnabled", &S::gridEnabled, true),
    Row("gridStep", &S::gridStep, 100.0),
    Row("altitudeOffset", &S::altitudeOffset, 0.0),
    Row("eastingOffset", &S::eastingOffset, 0.0),
    Row("northingOffset", &S::northingOffset, 0.0),
    Row("timePerDistance", &S::timePerDistance, 1000.0),
    Row("userEnabled", &S::userEnabled, true),
    Row("userSymbol", &S::userSymbol, "User"),
    Row("targetSymbol", &S::targetSymbol, "Target"),
    Row("targetEnabled", &S::targetEnabled, true),
    Row("labels2Enabled", &S::labels2Enabled, true),
    Row("excludeStops", &S::excludeStops, true),
    Row("gridWidth", &S::gridWidth, 1),
    Row("gridCol", &S::gridCol, 0xFFA0A0),
    Row("labelWidth", &S::labelWidth, 2),
    Row("labelCol", &S::labelCol, 0x00CC99),
    Row("basicsEnabled", &S::basicsEnabled, true),
    Row("compassEnabled", &S::compassEnabled, true),
    Row("headingCompass", &S::headingCompass, 1),
    Row("locatorEnabled", &S::locatorEnabled, true),
    Row("selectedMap", &S::selectedMap, ""),
    Row("selectedGPX", &S::selectedGPX, ""),
    Row("selectedPOIs", &S::selectedPOIs, ""),
    Row("gpsEnabled", &S::gpsEnabled, true),
    Row("gpsName", &S::gpsName, ""),
    Row("baudRate", &S::baudRate, 0),
    Row("configGPS", &S::configGPS, false),
    Row("gpsLogging", &S::gpsLogging, ""),
    Row("useGPSHeading", &S::useGPSHeading, true),
    Row("useGPSSpeed", &S::useGPSSpeed, true),
    Row("target", &S::target),
    Row("targetSet", &S::targetSet, false),
    Row("targetTrackName", &S::targetTrackName, ""),
    Row("targetReverseTrack", &S::targetReverseTrack, false),
    Row("ETAFac", &S::ETAFac, 1.4142135623730951),
    Row("trainerEnabled", &S::trainerEnabled, false),
    Row("trainerVisible", &S::trainerVisible, true),
    Row("trainerConstant", &S::trainerConstant, true),
    Row("trainerConstantVal", &S::trainerConstantVal, 20.0),
    Row("trainerRelativeVal", &S::trainerRelativeVal, 1.0),
    Row("trainerSymbol", &S::trainerSymbol, "Trainer"),
    Row("reRankingDelay", &S::reRankingDelay, 5),
    Row("reSpeedAlertDelay", &S::reSpeedAlertDelay, 5),
    Row("horizon", &S::horizon, 5),
    Row("poisTab", &S::poisTab, 0),
    Row("settingsTab", &S::settingsTab, 0),
    Row("unitSpeed", &S::unitSpeed, 0),
    Row("unitDistance", &S::unitDistance, 0),
    Row("unitAltitude", &S::unitAltitude, 1),
    Row("locatorTab", &S::locatorTab, 1),
    Row("locatorDatum", &S::locatorDatum, 1),
    Row("locatorGrid", &S::locatorGrid, 0),
    Row("locatorZoneSPCS27", &S::locatorZoneSPCS27, "0101"),
    Row("locatorZoneSPCS83", &S::locatorZoneSPCS83, "0101"),
    Row("locatorZoneDHDN", &S::locatorZoneDHDN, "2"),
    Row("primaryDataPath", &S::primaryDataPath, FolderDefault::Data),
    Row("secondaryDataPath", &S::secondaryDataPath, FolderDefault::Examples),
    Row("CacheDataPath", &S::CacheDataPath, FolderDefault::Cache),
    Row("trackRecording", &S::trackRecording, false),
    Row("trackerEnabled", &S::trackerEnabled, false),
    Row("trackerNickname", &S::trackerNickname, ""),
    Row("trackerPINprivate", &S::trackerPINprivate, ""),
    Row("trackerPINpublic", &S::trackerPINpublic, "6137"),
    Row("trackerInterval", &S::trackerInterval, 10),
    Row("languageInit", &S::languageInit, false),
    Row("language", &S::language, "English"),
    Row("hiddenMaps", &S::hiddenMaps),
    Row("hiddenPOIs", &S::hiddenPOIs),
    Row("chatMessages", &S::chatMessages),
    Row("trackMaxTimeCheck", &S::trackMaxTimeCheck, false),
    Row("trackMaxTimeVal", &S::trackMaxTimeVal, 10),
    Row("trackMaxDistCheck", &S::trackMaxDistCheck, false),
    Row("trackMaxDistVal", &S::trackMaxDistVal, 25.0),
    Row("trackMaxDevCheck", &S::trackMaxDevCheck, true),
    Row("trackMaxDevVal", &S::trackMaxDevVal, 8.0),
    Row("helpPoiAdd", &S::helpPoiAdd, true),
    Row("mapsOnlineEnabled", &S::mapsOnlineEnabled, true),
    Row("mapsOnlineDownload", &S::mapsOnlineDownload, 0),
    Row("mapsOnlineHiRes", &S::mapsOnlineHiRes, false),
    Row("mapsOnlineType", &S::mapsOnlineType, 0),
    Row("mapsOnlineCacheSize", &S::mapsOnlineCacheSize, 5000),
    Row("GoogleVersionSat", &S::GoogleVersionSat, "/kh?n=404&v=21&"),
    Row("GoogleVersionMap", &S::GoogleVersionMap, "/mt?n=404&v=w2.61&"),
    Row("GoogleVersionHyb", &S::GoogleVersionHyb, "/mt?n=404&v=w2t.61&"),
    Row("GoogleVersionTer", &S::GoogleVersionTer, "/mt?n=404&v=w2p.64&"),
    // Tile sources, "scheme://host[:port]" ("{s}": server 0..3) and an XYZ
    // address template; all empty: no provider is configured, nothing is
    // downloaded.
    Row("mapsOnlineMapHost", &S::mapsOnlineMapHost, ""),
    Row("mapsOnlineSatHost", &S::mapsOnlineSatHost, ""),
    Row("mapsOnlineTemplate", &S::mapsOnlineTemplate, ""),
    Row("helpInternetTraffic", &S::helpInternetTraffic, true),
    Row("helpVozazIdPrivacy", &S::helpVozazIdPrivacy, true),
    Row("helpVozazIdFollow", &S::helpVozazIdFollow, true),
    Row("saveDataUnicode", &S::saveDataUnicode, false),
    Row("poiTab", &S::poiTab, 0),
    Row("vozazidTab", &S::vozazidTab, 3),
    Row("trackerEmail", &S::trackerEmail, ""),
    Row("trackerPassword", &S::trackerPassword, ""),
    Row("vozazidEnabled", &S::vozazidEnabled, 0),
    Row("uploadPosEnabled", &S::uploadPosEnabled, true),
    Row("uploadPosInterval", &S::uploadPosInterval, 10),
    Row("secondaryServer", &S::secondaryServer, ""),
    Row("secondaryUrl", &S::secondaryUrl, ""),
    Row("downloadPosEnabled", &S::downloadPosEnabled, true),
    Row("downloadPosInterval", &S::downloadPosInterval, 10),
    Row("pollMsgEnabled", &S::pollMsgEnabled, true),
    Row("pollMsgInterval", &S::pollMsgInterval, 30),
    Row("chatNotify", &S::chatNotify, true),
    Row("xSelector", &S::xSelector, 0),
    Row("leftSelector", &S::leftSelector, 1),
    Row("rightSelector", &S::rightSelector, 3),
    Row("geoCountry", &S::geoCountry, ""),
    Row("geoCity", &S::geoCity, ""),
    Row("geoStreet", &S::geoStreet, ""),
    Row("useConnMgr", &S::useConnMgr, true),
    Row("allowInternet", &S::allowInternet, false),
    Row("destNet", &S::destNet, 0),
    Row("accessType", &S::accessType, 1),
    Row("serviceHost", &S::serviceHost, "http://127.0.0.1:8642"),
    Row("geocacheHost", &S::geocacheHost, ""),
    Row("preventStandbyEnabled", &S::preventStandbyEnabled, true),
    Row("preventBackLightsEnabled", &S::preventBackLightsEnabled, false),
    Row("wakeupEnabled", &S::wakeupEnabled, false),
    Row("wakeupInterval", &S::wakeupInterval, 3600),
    Row("dirsRefresh", &S::dirsRefresh, 0),
    Row("speedAlertEnabled", &S::speedAlertEnabled, true),
    Row("speedMaxMin", &S::speedMaxMin, true),
    Row("speedSelected", &S::speedSelected, 100.0),
    Row("speed1", &S::speed1, 50.0),
    Row("speed2", &S::speed2, 100.0),
    Row("speed3", &S::speed3, 130.0),
    Row("searchDB", &S::searchDB, 0),
    Row("searchWhat", &S::searchWhat, ""),
    Row("searchDeletePOIs", &S::searchDeletePOIs, false),
    Row("poiStyle", &S::poiStyle, "Default"),
    Row("shrinkSymbols", &S::shrinkSymbols, false),
    Row("hideTitleBar", &S::hideTitleBar, true),
    Row("hideMenuBar2", &S::hideMenuBar2, true),
    Row("hideBugMenu", &S::hideBugMenu, false),
    Row("stopwatchType", &S::stopwatchType, 0),
    Row("stopwatchStartSpeed", &S::stopwatchStartSpeed, 0.0),
    Row("stopwatchStopSpeed", &S::stopwatchStopSpeed, 100.0),
    Row("stopwatchStopDistance", &S::stopwatchStopDistance, 100.0),
    Row("stopwatchStopTime", &S::stopwatchStopTime, 10.0),
    Row("tabLinePicker", &S::tabLinePicker, 0),
    Row("distTotal", &S::distTotal, 0.0),
    Row("timeTotal", &S::timeTotal, 0),
    Row("timeRunning", &S::timeRunning, 0),
    Row("speedMin", &S::speedMin, 0.0),
    Row("speedMax", &S::speedMax, 0.0),
    Row("speedAverage", &S::speedAverage, 0.0),
    Row("speedAverageExclStops", &S::speedAverageExclStops, 0.0),
    Row("altitudeMin", &S::altitudeMin, 0.0),
    Row("altitudeMax", &S::altitudeMax, 0.0),
    Row("altitudeAverage", &S::altitudeAverage, 0.0),
    Row("elevation", &S::elevation, 0.0),
    Row("decline", &S::decline, 0.0),
    Row("compassDirectionEnabled", &S::compassDirectionEnabled, true),
    Row("compassDirectionWidth", &S::compassDirectionWidth, 2),
    Row("compassDirectionSize", &S::compassDirectionSize, 8),
    Row("compassDirectionCol", &S::compassDirectionCol, 0x6464FF),
    Row("compassLabelUser", &S::compassLabelUser, true),
    Row("compassLabelTarget", &S::compassLabelTarget, true),
    Row("searchGeoF", &S::searchGeoF, true),
    Row("searchGeoNF", &S::searchGeoNF, true),
    Row("searchGeoO", &S::searchGeoO, true),
    Row("searchGeoNO", &S::searchGeoNO, true),
};

// Every key once: the loader takes the first row of a name, so a second
// would never be read.
constexpr bool KeysAreUnique() {
  for (std::size_t i = 0; i < std::size(kKeys); ++i)
    for (std::size_t j = i + 1; j < std::size(kKeys); ++j)
      if (kKeys[i].key == kKeys[j].key) return false;
  return true;
}
static_assert(KeysAreUnique(), "a settings key appears twice");

}  // namespace

std::span<const SettingKey> SettingKeys() { return kKeys; }

const SettingKey* FindSettingKey(std::string_view key) {
  for (const SettingKey& row : kKeys)
    if (row.key == key) return &row;
  return nullptr;
}

std::string DefaultText(const SettingKey& row, const std::filesystem::path& folder) {
  switch (row.folderDefault) {
    case FolderDefault::Data: return InProgramFolder(folder, "data").string();
    case FolderDefault::Examples: return InProgramFolder(folder, "examples").string();
    case FolderDefault::Cache: return InProgramFolder(folder, "cache").string();
    case FolderDefault::None: break;
  }
  return std::string(row.textDefault);
}

}  // namespace rovana
