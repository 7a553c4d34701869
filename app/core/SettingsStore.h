// SettingsStore: every persistent preference of Rovana, kept in
// "settings.xml" in the program folder. The store is built at start-up, which
// loads the file, and saved at quit. Classes get the store by reference and
// read and write its fields directly; there are no accessors.
//
// The file is UTF-16 little-endian with a byte-order mark: a root element
// "settings" with one child per key (see SettingKeys() for the keys, their
// kinds and defaults). Keys missing from the file keep their defaults;
// unknown elements are skipped; a value that does not convert reads as 0
// (false for booleans); a file that cannot be read leaves every default and
// logs why. Files without a byte-order mark are read byte by byte with their
// texts taken as UTF-8.
//
// Saving writes "settings.xml.temp", syncs it and renames it over the old
// file, so a failed save keeps the old file whole. The file holds the
// web-service password (trackerPassword), so it is always created with mode
// 0600. A save never replaces anything but a regular file its owner may
// write (a settings.xml linked to /dev/null, a FIFO or a 0444 file stays as
// it is); it fails instead, and the session's values stay in memory.
//
// A file that could not be read whole (unreadable, a read error, a token too
// long for the reader, a cut, no closing </settings>) is not lost to the
// defaults: the values read are kept, LoadProblem() says what happened, and
// the first save keeps the old file as "settings.xml.bad" (".bad.2", ...
// when that name is taken; an earlier kept file is never replaced). A
// missing or empty file is a first start, not a problem.
//
// Threads: the user-interface thread loads, saves and writes values. Other
// threads may read the scalar fields; the texts and lists they need must be
// copied on the user-interface thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "app/core/XmlReader.h"

namespace registry {
class Registry;
}

namespace rovana {

// Where the GPS intermediate driver names its multiplexed port; the value
// fills gpsName when the settings leave it empty.
inline constexpr std::string_view kGpsDriverKey =
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\GPS Intermediate Driver\\Multiplexer";
inline constexpr std::string_view kGpsDriverValue = "DriverInterface";

// A list of texts (hidden maps, hidden POI sets, chat messages). Items are
// compared exactly, letter case included. Add and Contains take constant
// time on average (a set of the distinct items is kept beside the list), so
// loading a list of any length is linear; Remove is linear in the length.
class TextList {
 public:
  // Appends `item` unless an equal item is present; with `allowDuplicate` it
  // is appended in any case.
  void Add(std::string item, bool allowDuplicate = false);
  void Remove(std::string_view item);  // every equal item
  void Clear();
  bool Contains(std::string_view item) const;

  const std::vector<std::string>& items() const { return items_; }
  std::size_t size() const { return items_.size(); }
  bool empty() const { return items_.empty(); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }
  bool operator==(const TextList& other) const { return items_ == other.items_; }

 private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };

  std::vector<std::string> items_;  // in order, duplicates included
  std::unordered_set<std::string, Hash, std::equal_to<>> distinct_;  // each item of items_ once
};

class SettingsStore {
 public:
  // Sets every default and loads "settings.xml" from `folder`, the program
  // folder ("" is the root folder, kept as "/"), whose "data", "examples" and
  // "cache" subfolders are the defaults of primaryDataPath, secondaryDataPath
  // and CacheDataPath. When gpsName is still empty it takes the GPS driver's
  // value from the registry, when there is one (the default registry, or the
  // one given).
  explicit SettingsStore(std::filesystem::path folder);
  SettingsStore(std::filesystem::path folder, const registry::Registry& registry);
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;

  // Writes every key to "settings.xml" (UTF-16). True when the new file is in
  // place; on failure the old file is kept and the reason logged.
  bool Save() const;

  // For the user interface to show once at start-up, "" when all is well.
  // What went wrong reading "settings.xml" and what becomes of it, e.g.
  // "settings.xml is damaged (an XML token too long to read): ...".
  const std::string& LoadProblem() const { return loadProblem_; }
  // Why saving will fail, as far as can be told now (the home folder is
  // read-only or missing, settings.xml is read-only, not a regular file, or
  // a link into nowhere), "" when nothing stands against it.
  std::string SaveProblem() const;

  const std::filesystem::path& folder() const { return folder_; }
  std::filesystem::path file() const { return folder_ / kFileName; }
  static constexpr const char* kFileName = "settings.xml";

  // The values, in the order of the key table. Units: see the owning room.
  double translateX{};  // maps: view translation, x
  double translateY{};  // maps: view translation, y
  double zoomN3{};  // maps: zoom of the normal view set
  double rotate{};  // maps: rotation of the normal view set, radians
  std::int32_t heading{};  // maps: heading mode of the normal view set
  double zoomH3{};  // maps: zoom of the hyperzoom view set
  double rotateH{};  // maps: rotation of the hyperzoom view set, radians
  std::int32_t headingH{};  // maps: heading mode of the hyperzoom view set
  bool followMarker{};  // maps: view follows the marker
  bool followUser{};  // main screen: view follows the user (menu View › Follow user)
  bool hyperzooming{};  // main screen: use the hyperzoom view set
  LatLonAlt position{};  // gps: last user position
  bool soundEnabled{};  // gps: sounds and beeps on
  bool zoomEnabled{};  // main screen: on-screen zoom bar shown
  bool directionEnabled{};  // maps: direction line to the target drawn
  std::int32_t directionWidth{};  // maps: width of the direction line
  std::int32_t directionSize{};  // maps: size of the direction arrow
  std::int32_t directionCol{};  // maps: colour of the direction line (0x00BBGGRR)
  std::int32_t backgroundCol{};  // main screen: background colour of the map screen
  bool gridAuto{};  // maps: grid step chosen automatically
  bool gridEnabled{};  // maps: coordinate grid drawn
  double gridStep{};  // maps: grid step
  double altitudeOffset{};  // coords: added to displayed altitudes
  double eastingOffset{};  // coords: added to displayed eastings
  double northingOffset{};  // coords: added to displayed northings
  double timePerDistance{};  // processing: base distance of time-per-distance values
  bool userEnabled{};  // maps: user symbol drawn
  std::string userSymbol{};  // maps: symbol name of the user
  std::string targetSymbol{};  // maps: symbol name of the target
  bool targetEnabled{};  // maps: target symbol drawn
  bool labels2Enabled{};  // maps: POI labels drawn
  bool excludeStops{};  // processing: statistics exclude stops
  std::int32_t gridWidth{};  // maps: grid line width
  std::int32_t gridCol{};  // maps: grid colour
  std::int32_t labelWidth{};  // maps: label line width
  std::int32_t labelCol{};  // maps: label colour
  bool basicsEnabled{};  // main screen: trip data buttons drawn on the map screen
  bool compassEnabled{};  // main screen: compass drawn
  std::int32_t headingCompass{};  // maps: compass heading mode
  bool locatorEnabled{};  // main screen: locator box drawn
  std::string selectedMap{};  // maps: file name of the current map
  std::string selectedGPX{};  // waypoints: file name of the current GPX file
  std::string selectedPOIs{};  // waypoints: selected POI set
  bool gpsEnabled{};  // gps: GPS connection switched on
  std::string gpsName{};  // gps: GPS device (port) name
  std::int32_t baudRate{};  // gps: GPS baud rate
  bool configGPS{};  // gps: send configuration commands to the GPS
  std::string gpsLogging{};  // gps: NMEA log file name, empty for none
  bool useGPSHeading{};  // gps: take heading from the GPS
  bool useGPSSpeed{};  // gps: take speed from the GPS
  LatLonAlt target{};  // processing: target point
  bool targetSet{};  // processing: a target is set
  std::string targetTrackName{};  // processing: name of the followed route or track, empty for a point target
  bool targetReverseTrack{};  // processing: follow the target track from its last point to its first
  double ETAFac{};  // processing: factor on the straight-line distance to a point target for the time to go
  bool trainerEnabled{};  // processing: trainer on
  bool trainerVisible{};  // processing: trainer symbol drawn
  bool trainerConstant{};  // processing: trainer at a constant speed (else at the recorded pace times a factor)
  double trainerConstantVal{};  // processing: trainer constant speed, km/h
  double trainerRelativeVal{};  // processing: factor on the recorded pace of the target track
  std::string trainerSymbol{};  // processing: symbol name of the trainer
  std::int32_t reRankingDelay{};  // processing: minimum seconds between trainer sounds
  std::int32_t reSpeedAlertDelay{};  // processing: minimum seconds between speed alerts
  std::int32_t horizon{};  // processing: number of fixes averaged by the position filter (1 to 50)
  std::int32_t poisTab{};  // waypoints: last page of the POI dialog
  std::int32_t settingsTab{};  // settings dialog: last page of the settings dialog
  std::int32_t unitSpeed{};  // coords: speed unit index
  std::int32_t unitDistance{};  // coords: distance unit index
  std::int32_t unitAltitude{};  // coords: altitude unit index
  std::int32_t locatorTab{};  // coords: last page of the locator dialog
  std::int32_t locatorDatum{};  // coords: datum index of the locator
  std::int32_t locatorGrid{};  // coords: grid index of the locator
  std::string locatorZoneSPCS27{};  // coords: state plane zone (NAD27)
  std::string locatorZoneSPCS83{};  // coords: state plane zone (NAD83)
  std::string locatorZoneDHDN{};  // coords: Gauss-Krueger zone (DHDN)
  std::string primaryDataPath{};  // maps: primary data folder (maps, GPX)
  std::string secondaryDataPath{};  // maps: secondary data folder
  std::string CacheDataPath{};  // maps: tile cache folder
  bool trackRecording{};  // core: a track was being recorded at the last quit
  bool trackerEnabled{};  // online: buddy tracker on
  std::string trackerNickname{};  // online: nickname for buddy tracking
  std::string trackerPINprivate{};  // online: private PIN for buddy tracking
  std::string trackerPINpublic{};  // online: public PIN for buddy tracking
  std::int32_t trackerInterval{};  // online: tracker interval
  bool languageInit{};  // core: a language has been chosen once
  std::string language{};  // core: language name (file name without extension)
  TextList hiddenMaps{};  // maps: maps hidden in the catalogue (list)
  TextList hiddenPOIs{};  // waypoints: POI sets hidden (list)
  TextList chatMessages{};  // online: stored chat messages (list)
  bool trackMaxTimeCheck{};  // processing: time limit of the track point filter on
  std::int32_t trackMaxTimeVal{};  // processing: time limit of the track point filter
  bool trackMaxDistCheck{};  // processing: distance limit of the track point filter on
  double trackMaxDistVal{};  // processing: distance limit of the track point filter
  bool trackMaxDevCheck{};  // processing: deviation limit of the track point filter on
  double trackMaxDevVal{};  // processing: deviation limit of the track point filter
  bool helpPoiAdd{};  // waypoints: show the hint when adding a POI
  bool mapsOnlineEnabled{};  // maps: online maps allowed
  std::int32_t mapsOnlineDownload{};  // maps: tile download mode index
  bool mapsOnlineHiRes{};  // maps: high-resolution tiles
  std::int32_t mapsOnlineType{};  // maps: tile map type index
  std::int32_t mapsOnlineCacheSize{};  // maps: tile cache size limit
  std::string GoogleVersionSat{};  // maps: query prefix of satellite tiles
  std::string GoogleVersionMap{};  // maps: query prefix of map tiles
  std::string GoogleVersionHyb{};  // maps: query prefix of hybrid tiles
  std::string GoogleVersionTer{};  // maps: query prefix of terrain tiles
  // Tile sources (maps/TileSource.h): map and satellite hosts, XYZ template.
  std::string mapsOnlineMapHost{};  // maps: host of road map, hybrid and terrain tiles
  std::string mapsOnlineSatHost{};  // maps: host of satellite tiles
  std::string mapsOnlineTemplate{};  // maps: XYZ tile address template
  bool helpInternetTraffic{};  // online: show the internet traffic note
  bool helpVozazIdPrivacy{};  // online: show the VozazId privacy note
  bool helpVozazIdFollow{};  // online: show the VozazId follow note
  bool saveDataUnicode{};  // waypoints: write data files (GPX) as UTF-16 with byte-order mark
  std::int32_t poiTab{};  // waypoints: last page of the POI details dialog
  std::int32_t vozazidTab{};  // online: last page of the VozazId dialog
  std::string trackerEmail{};  // online: account e-mail for the web service
  std::string trackerPassword{};  // online: account password for the web service
  std::int32_t vozazidEnabled{};  // online: VozazId mode (0 off)
  bool uploadPosEnabled{};  // online: upload own position
  std::int32_t uploadPosInterval{};  // online: upload interval
  std::string secondaryServer{};  // online: second server to receive positions
  std::string secondaryUrl{};  // online: path on the second server
  bool downloadPosEnabled{};  // online: download buddy positions
  std::int32_t downloadPosInterval{};  // online: download interval
  bool pollMsgEnabled{};  // online: poll chat messages
  std::int32_t pollMsgInterval{};  // online: chat poll interval
  bool chatNotify{};  // main screen: open the chat page when messages arrive
  std::int32_t xSelector{};  // processing: x axis of the track analyzer graph
  std::int32_t leftSelector{};  // processing: left y axis of the track analyzer graph
  std::int32_t rightSelector{};  // processing: right y axis of the track analyzer graph
  std::string geoCountry{};  // online: last geocoder country
  std::string geoCity{};  // online: last geocoder city
  std::string geoStreet{};  // online: last geocoder street
  bool useConnMgr{};  // online: open connections through the connection manager
  bool allowInternet{};  // online: internet access allowed
  std::int32_t destNet{};  // online: connection manager destination network index
  std::int32_t accessType{};  // online: internet access type
  std::string serviceHost{};  // online: web service server as scheme, host and port ("http://127.0.0.1:8642")
  std::string geocacheHost{};  // online: the geocaching site as scheme, host and port; empty: not configured
  bool preventStandbyEnabled{};  // core: keep the device from suspending
  bool preventBackLightsEnabled{};  // core: keep the backlight on
  bool wakeupEnabled{};  // settings dialog: wake-up on
  std::int32_t wakeupInterval{};  // settings dialog: wake-up interval
  std::int32_t dirsRefresh{};  // online: directions pane refresh mode; 0 hides the pane
  bool speedAlertEnabled{};  // processing: speed alert on
  bool speedMaxMin{};  // processing: speed alert fires above (true) or below (false) the speed
  double speedSelected{};  // processing: speed alert threshold
  double speed1{};  // processing: speed alert preset 1
  double speed2{};  // processing: speed alert preset 2
  double speed3{};  // processing: speed alert preset 3
  std::int32_t searchDB{};  // online: search provider index
  std::string searchWhat{};  // online: last search text
  bool searchDeletePOIs{};  // online: delete earlier search results
  std::string poiStyle{};  // waypoints: POI drawing style name
  bool shrinkSymbols{};  // maps: draw symbols shrunk
  bool hideTitleBar{};  // main screen: hide the task bar on the map screen
  bool hideMenuBar2{};  // main screen: start with the menu bar hidden
  bool hideBugMenu{};  // main screen: hide the corner menu button
  std::int32_t stopwatchType{};  // processing: stopwatch mode
  double stopwatchStartSpeed{};  // processing: stopwatch start speed
  double stopwatchStopSpeed{};  // processing: stopwatch stop speed
  double stopwatchStopDistance{};  // processing: stopwatch stop distance
  double stopwatchStopTime{};  // processing: stopwatch stop time
  std::int32_t tabLinePicker{};  // waypoints: last page of the line picker
  double distTotal{};  // processing: stored total distance
  std::int32_t timeTotal{};  // processing: stored total time
  std::int32_t timeRunning{};  // processing: stored moving time
  double speedMin{};  // processing: stored minimum speed
  double speedMax{};  // processing: stored maximum speed
  double speedAverage{};  // processing: stored average speed
  double speedAverageExclStops{};  // processing: stored average speed without stops
  double altitudeMin{};  // processing: stored minimum altitude
  double altitudeMax{};  // processing: stored maximum altitude
  double altitudeAverage{};  // processing: stored average altitude
  double elevation{};  // processing: stored total climb
  double decline{};  // processing: stored total descent
  bool compassDirectionEnabled{};  // maps: direction line drawn in the compass
  std::int32_t compassDirectionWidth{};  // maps: width of the compass direction line
  std::int32_t compassDirectionSize{};  // maps: size of the compass direction arrow
  std::int32_t compassDirectionCol{};  // maps: colour of the compass direction line
  bool compassLabelUser{};  // maps: compass labels the user
  bool compassLabelTarget{};  // maps: compass labels the target
  bool searchGeoF{};  // online: geocaching search filter flag F
  bool searchGeoNF{};  // online: geocaching search filter flag NF
  bool searchGeoO{};  // online: geocaching search filter flag O
  bool searchGeoNO{};  // online: geocaching search filter flag NO

 private:
  void ApplyDefaults();
  void Load(const registry::Registry& registry);
  void ReadFile();

  std::filesystem::path folder_;
  std::string loadProblem_;
  // The file on disk was not read whole: the next save keeps it aside. Set
  // by the load, cleared by the save that kept it.
  mutable bool keepOldFile_ = false;
};

// ---- the key table -----------------------------------------------------------

enum class SettingKind : std::uint8_t { Boolean = 0, Integer = 1, Real = 2, Text = 3, Position = 4, TextList = 5 };

// Text defaults that depend on the program folder.
enum class FolderDefault : std::uint8_t { None, Data, Examples, Cache };

// One key: its element name, kind, field and default. Exactly the field of the
// row's kind is set. Boolean, integer and real defaults are in `number`;
// position defaults are all 0.
struct SettingKey {
  std::string_view key;
  SettingKind kind = SettingKind::Boolean;
  bool SettingsStore::*boolean = nullptr;
  std::int32_t SettingsStore::*integer = nullptr;
  double SettingsStore::*real = nullptr;
  std::string SettingsStore::*text = nullptr;
  LatLonAlt SettingsStore::*position = nullptr;
  TextList SettingsStore::*list = nullptr;
  double number = 0;
  std::string_view textDefault;
  FolderDefault folderDefault = FolderDefault::None;
};

// Every key, in the store's order of creation (translateX first). The file
// is written in the reverse order, last key first, as settings files have
// always been written; reading accepts any order.
//
// Text values and text-list items are bounded by what the reader reads back:
// at most XmlWriter::kMaxTextUnits (8179) UTF-16 units after escaping, that
// is 8179 plain characters, fewer when they hold "&", "<" or ">" (written as
// references of 4 or 5 units) or characters outside the BMP (2 units). A
// longer value is cut at a character boundary when saved, and the cut is
// logged; the session keeps the whole value until then.
std::span<const SettingKey> SettingKeys();
// The row of `key` (exact match), or null.
const SettingKey* FindSettingKey(std::string_view key);
// The text default of a text row for a store in `folder` ("" is the root
// folder, as for the store).
std::string DefaultText(const SettingKey& row, const std::filesystem::path& folder);

}  // namespace rovana
