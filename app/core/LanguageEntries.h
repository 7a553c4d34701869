// Entry numbers of the language table. Every text Rovana shows is looked up by
// one of these numbers (LanguageTable::Entry); the number is the line of the
// language file counted from 0, so data/Language/*.txt hold the texts in this
// order, one per line. Numbers 0 to 428 are the file's 429 lines; 429 is the
// empty line after the last line break and carries no text.
//
// The menu entries, 0 (the language's own name), 4 (message box caption) and
// 21 (quit question) are fixed; the other rows are grouped by the room that
// shows them. A text several dialogs need lives once under "shared words".
// Dialog titles are the menu entries of the commands that open them; take
// them through LanguageTable::Title, which drops the trailing "...".
// The comment after each constant is its English text, shortened.
#pragma once

namespace rovana::lang {

// Start-up, message boxes, dialog soft keys and the language dialog (app/core)
inline constexpr int kLanguageName = 0;  // English
inline constexpr int kButtonOk = 1;  // Ok
inline constexpr int kButtonCancel = 2;  // Cancel
inline constexpr int kButtonBack = 3;  // Back
inline constexpr int kMessageCaption = 4;  // Rovana
inline constexpr int kButtonYes = 5;  // Yes
inline constexpr int kButtonNo = 6;  // No
inline constexpr int kButtonEnable = 7;  // Enable
inline constexpr int kButtonReset = 8;  // Reset
inline constexpr int kButtonDelete = 10;  // Delete
inline constexpr int kButtonRename = 11;  // Rename
inline constexpr int kButtonStart = 12;  // Start
inline constexpr int kButtonStop = 13;  // Stop
inline constexpr int kLoadingMaps = 14;  // Maps
inline constexpr int kLoadingData = 15;  // Data
inline constexpr int kLanguageIntroBoot = 16;  // Welcome to Rovana! / Please choose your language.
inline constexpr int kLanguageIntroMenu = 17;  // Choose the language of the menus, dialogs and messages.
inline constexpr int kLanguageLabel = 18;  // Language:
inline constexpr int kQuitQuestion = 21;  // Do you really want to quit Rovana?

// Menu bar (the main screen relabels every item from these; the English text is the built-in one), and the two quick-menu texts among them
inline constexpr int kMenuMapDetails = 9;  // Details
inline constexpr int kMenuConfigQuit = 22;  // Quit
inline constexpr int kMenuView = 24;  // View
inline constexpr int kMenuViewResetUserPos = 29;  // Reset user pos
inline constexpr int kMenuViewSetTarget = 30;  // Set target
inline constexpr int kMenuViewDeleteTarget = 31;  // Delete target
inline constexpr int kMenuViewGotoTarget = 32;  // Goto target
inline constexpr int kMenuMap = 33;  // Map
inline constexpr int kMenuMapSelect = 34;  // Select...
inline constexpr int kMenuMapCalibrate = 35;  // Calibrate
inline constexpr int kMenuMapSetReference1 = 36;  // Set reference 1
inline constexpr int kMenuMapSetReference2 = 37;  // Set reference 2
inline constexpr int kMenuGpx = 38;  // GPX
inline constexpr int kQuickMenuMainPage = 39;  // Main menu
inline constexpr int kMenuGpxSelect = 40;  // Select...
inline constexpr int kMenuGpxDetails = 41;  // Details...
inline constexpr int kMenuGpxAddPoi = 42;  // Add POI...
inline constexpr int kMenuTools = 43;  // Tools
inline constexpr int kMenuToolsDashboard = 44;  // Dashboard...
inline constexpr int kMenuToolsSatelliteStatus = 45;  // Satellite status...
inline constexpr int kMenuToolsVudizaduroz = 46;  // Vudizaduroz...
inline constexpr int kMenuToolsLocator = 47;  // Locator...
inline constexpr int kMenuToolsAccurator = 48;  // Accurator...
inline constexpr int kMenuToolsVozazId = 49;  // VozazId...
inline constexpr int kMenuConfig = 50;  // Config
inline constexpr int kMenuConfigGps = 51;  // GPS...
inline constexpr int kQuickMenuButton = 52;  // Menu
inline constexpr int kMenuConfigLanguage = 53;  // Language...
inline constexpr int kMenuConfigSettings = 54;  // Settings...
inline constexpr int kMenuViewFollowUser = 99;  // Follow user
inline constexpr int kMenuMapGoogleMaps = 250;  // GoogleMaps...
inline constexpr int kMenuConfigOnlineServices = 274;  // Online services...
inline constexpr int kMenuToolsGeocoder = 316;  // Geocoder...
inline constexpr int kMenuToolsTrainer = 337;  // Trainer...
inline constexpr int kMenuToolsDirections = 349;  // Directions...
inline constexpr int kMenuToolsSpeedAlert = 351;  // Speed alert...
inline constexpr int kMenuGpxSearch = 354;  // Search...
inline constexpr int kMenuGpxPoiDetails = 369;  // POI details...
inline constexpr int kMenuGpxRecordTrack = 370;  // Record track
inline constexpr int kMenuToolsStopwatch = 387;  // Stopwatch...
inline constexpr int kMenuViewGotoUser = 405;  // Goto user
inline constexpr int kMenuToolsTripComputer = 411;  // Trip computer

// Main screen: quick menu, on-screen buttons and the messages of the menu commands (app/core)
inline constexpr int kQuickPrevious = 19;  // Previous
inline constexpr int kQuickNext = 20;  // Next
inline constexpr int kQuickTools1Page = 23;  // Tools 1
inline constexpr int kQuickTools2Page = 25;  // Tools 2
inline constexpr int kMapNotCalibrated = 26;  // This map is not calibrated. / Please calibrate it first (...
inline constexpr int kPlaceMarkerFirst = 27;  // Please tap the map to place a marker first.
inline constexpr int kCalibrateQuestion = 28;  // How do you want to calibrate this map? /  / By map: pans ...
inline constexpr int kCalibrateByMap = 55;  // By map
inline constexpr int kCalibrateByGrid = 56;  // By grid
inline constexpr int kCalibrateNeedsMap = 57;  // Please select a map first (Map > Select...).
inline constexpr int kCalibrationEnded = 58;  // Calibration mode ended for the map
inline constexpr int kHyperzoom = 59;  // Hyperzoom
inline constexpr int kNoGpsConfigured = 60;  // No GPS connection has been chosen yet. / Please choose th...

// Words shared by many dialogs and overlays
inline constexpr int kWordSpeed = 61;  // Speed
inline constexpr int kWordDistance = 62;  // Distance
inline constexpr int kWordAltitude = 63;  // Altitude
inline constexpr int kWordTime = 64;  // Time
inline constexpr int kWordDate = 65;  // Date
inline constexpr int kWordHeading = 66;  // Heading
inline constexpr int kWordLatitude = 67;  // Latitude
inline constexpr int kWordLongitude = 68;  // Longitude
inline constexpr int kWordName = 69;  // Name
inline constexpr int kWordDescription = 70;  // Description
inline constexpr int kWordSymbol = 71;  // Symbol
inline constexpr int kWordColour = 72;  // Colour
inline constexpr int kWordLineWidth = 73;  // Line width
inline constexpr int kWordGrade = 74;  // Grade
inline constexpr int kWordAcceleration = 75;  // Acceleration
inline constexpr int kWordNone = 76;  // none
inline constexpr int kWordFile = 77;  // File
inline constexpr int kWordOn = 78;  // on
inline constexpr int kWordOff = 79;  // off
inline constexpr int kWordUser = 80;  // User
inline constexpr int kWordPoints = 81;  // Points
inline constexpr int kWordStatistics = 82;  // Statistics
inline constexpr int kWordGeneral = 83;  // General
inline constexpr int kWordPosition = 84;  // Position
inline constexpr int kWordRoute = 85;  // Route
inline constexpr int kWordTrack = 86;  // Track
inline constexpr int kWordOutOfMemory = 87;  // Not enough memory.

// Settings dialog (app/dialogs over the settings store)
inline constexpr int kSettingsTabDisplay = 88;  // Display
inline constexpr int kSettingsTabMap = 89;  // Map
inline constexpr int kSettingsTabTrack = 90;  // Track
inline constexpr int kSettingsTabUnits = 91;  // Units
inline constexpr int kSettingsTabSystem = 92;  // System
inline constexpr int kSettingsShowZoomBar = 93;  // Show zoom bar
inline constexpr int kSettingsShowCompass = 94;  // Show compass
inline constexpr int kSettingsShowLocator = 95;  // Show coordinate box
inline constexpr int kSettingsShowBasics = 96;  // Show trip buttons
inline constexpr int kSettingsShowUser = 97;  // Show user symbol
inline constexpr int kSettingsShowTarget = 98;  // Show target symbol
inline constexpr int kSettingsShowLabels = 100;  // Show POI labels
inline constexpr int kSettingsShowDirection = 101;  // Show direction line to the target
inline constexpr int kSettingsShrinkSymbols = 102;  // Draw small symbols
inline constexpr int kSettingsHideTitleBar = 103;  // Hide the title bar
inline constexpr int kSettingsHideMenuBar = 104;  // Start with the menu bar hidden
inline constexpr int kSettingsHideBugMenu = 105;  // Hide the corner menu button
inline constexpr int kSettingsFollowMarker = 106;  // View follows the marker
inline constexpr int kSettingsMapHeading = 107;  // Map orientation:
inline constexpr int kSettingsNorthUp = 108;  // North up
inline constexpr int kSettingsCourseUp = 109;  // Course up
inline constexpr int kSettingsTargetUp = 110;  // Target up
inline constexpr int kSettingsShowGrid = 111;  // Show coordinate grid
inline constexpr int kSettingsGridAuto = 112;  // Choose the grid automatically
inline constexpr int kSettingsGridStep = 113;  // Grid step:
inline constexpr int kSettingsBackground = 114;  // Background
inline constexpr int kSettingsChooseColour = 115;  // Colour...
inline constexpr int kSettingsCompassNeedle = 116;  // Show the direction needle
inline constexpr int kSettingsCompassLabelUser = 117;  // Show my course
inline constexpr int kSettingsCompassLabelTarget = 118;  // Show the course to the target
inline constexpr int kSettingsCompassHeading = 119;  // Compass orientation:
inline constexpr int kSettingsTrackFilter = 120;  // Store a track point when
inline constexpr int kSettingsTrackMaxTime = 121;  // the time since the last point reaches (s):
inline constexpr int kSettingsTrackMaxDist = 122;  // the distance from the last point reaches:
inline constexpr int kSettingsTrackMaxDev = 123;  // the deviation from a straight line exceeds:
inline constexpr int kSettingsPaceDistance = 124;  // Pace for a distance of:
inline constexpr int kSettingsSaveUnicode = 125;  // Save GPX files as Unicode
inline constexpr int kSettingsPrimaryData = 126;  // Data folder:
inline constexpr int kSettingsSecondaryData = 127;  // Second data folder:
inline constexpr int kSettingsCacheFolder = 128;  // Tile cache folder:
inline constexpr int kSettingsSound = 129;  // Sounds on
inline constexpr int kSettingsPreventStandby = 130;  // Keep the device from switching off
inline constexpr int kSettingsBacklight = 131;  // Keep the backlight on
inline constexpr int kSettingsWakeup = 132;  // Wake the device up regularly
inline constexpr int kSettingsWakeupInterval = 133;  // Wake-up interval (s):

// GPS connection, GPS dialog, Bluetooth driver repair and satellite status (app/gps)
inline constexpr int kGpsTitle = 134;  // GPS
inline constexpr int kGpsConnection = 135;  // GPS connection:
inline constexpr int kGpsBaudRate = 136;  // Baud rate:
inline constexpr int kGpsBaudDefault = 137;  // default
inline constexpr int kGpsConfigure = 138;  // Configure GPS
inline constexpr int kGpsLogToFile = 139;  // Log to file:
inline constexpr int kGpsUseHeading = 140;  // use heading from GPS
inline constexpr int kGpsUseSpeed = 141;  // use speed from GPS
inline constexpr int kGpsReplayFile = 142;  // Replay a file
inline constexpr int kGpsStateOff = 143;  // GPS switched off
inline constexpr int kGpsStateNoSource = 144;  // No GPS connection chosen
inline constexpr int kGpsStateOpenFailed = 145;  // The GPS connection could not be opened
inline constexpr int kGpsStateReadFailed = 146;  // No data from the GPS receiver
inline constexpr int kGpsNoFix = 147;  // No position fix
inline constexpr int kBluetoothRepairQuestion = 148;  // The Bluetooth serial port driver is not the one Rovana wo...
inline constexpr int kBluetoothRepaired = 149;  // The Bluetooth driver has been repaired. / Please restart ...
inline constexpr int kBluetoothNoAccess = 150;  // The Bluetooth driver settings could not be accessed.
inline constexpr int kBluetoothRestoreQuestion = 151;  // The Bluetooth driver was repaired by Rovana earlier. / Ke...
inline constexpr int kBluetoothRestored = 152;  // The original Bluetooth driver has been restored. / Please...
inline constexpr int kSatInView = 153;  // Satellites in view
inline constexpr int kSatUsed = 154;  // Used in fix
inline constexpr int kSatElevation = 155;  // Elevation
inline constexpr int kSatAzimuth = 156;  // Azimuth
inline constexpr int kSatSignal = 157;  // Signal
inline constexpr int kSatUtcTime = 158;  // GPS time (UTC)
inline constexpr int kSatNoData = 159;  // No satellite data yet

// Position filter dialog (app/processing)
inline constexpr int kFilterHorizon = 160;  // Horizon (fixes):
inline constexpr int kFilterSpread = 161;  // Spread
inline constexpr int kFilterDeviation = 162;  // Deviation
inline constexpr int kFilterExplanation = 163;  // Accurator averages the last fixes, each moved forward by ...
inline constexpr int kFilterNoValues = 164;  // Spread and deviation need a horizon of 3 or more.

// Trip computer, dashboard, speed alert, stopwatch and track analyzer (app/processing)
inline constexpr int kTripTabLive = 165;  // Since start
inline constexpr int kTripTabTrip = 166;  // Trip
inline constexpr int kTripMovingTime = 167;  // Moving time
inline constexpr int kTripTotalTime = 168;  // Total time
inline constexpr int kTripAverageSpeed = 169;  // Average speed
inline constexpr int kTripMinSpeed = 170;  // Minimum speed
inline constexpr int kTripMaxSpeed = 171;  // Maximum speed
inline constexpr int kTripAverageAltitude = 172;  // Average altitude
inline constexpr int kTripMinAltitude = 173;  // Lowest altitude
inline constexpr int kTripMaxAltitude = 174;  // Highest altitude
inline constexpr int kTripClimb = 175;  // Climb
inline constexpr int kTripDescent = 176;  // Descent
inline constexpr int kTripExclStops = 177;  // excl. stops
inline constexpr int kTripResetQuestion = 178;  // Reset these statistics
inline constexpr int kDashboardPacePer = 179;  // Time per
inline constexpr int kSpeedAlertWhen = 180;  // Warn when the speed is
inline constexpr int kSpeedAlertAbove = 181;  // above
inline constexpr int kSpeedAlertBelow = 182;  // below
inline constexpr int kSpeedAlertSpeed = 183;  // Alert speed:
inline constexpr int kStopwatchModeSpeed = 184;  // From speed to speed
inline constexpr int kStopwatchModeDistance = 185;  // Over a distance
inline constexpr int kStopwatchModeTime = 186;  // For a time
inline constexpr int kStopwatchStartSpeed = 187;  // Start speed:
inline constexpr int kStopwatchStopSpeed = 188;  // Stop speed:
inline constexpr int kStopwatchStopDistance = 189;  // Distance:
inline constexpr int kStopwatchStopTime = 190;  // Time (s):
inline constexpr int kStopwatchArmed = 191;  // Ready: waiting for the start speed
inline constexpr int kStopwatchRunning = 192;  // Running
inline constexpr int kStopwatchStopped = 193;  // Stopped
inline constexpr int kAnalyzerTrack = 194;  // Track:
inline constexpr int kAnalyzerXAxis = 195;  // Horizontal axis:
inline constexpr int kAnalyzerLeftAxis = 196;  // Left axis:
inline constexpr int kAnalyzerRightAxis = 197;  // Right axis:
inline constexpr int kAnalyzerLongitudinal = 198;  // Longitudinal acceleration
inline constexpr int kAnalyzerLateral = 199;  // Lateral acceleration
inline constexpr int kAnalyzerExport = 200;  // Export...
inline constexpr int kAnalyzerExported = 201;  // The track analysis was exported
inline constexpr int kAnalyzerExportedTo = 202;  // to the file
inline constexpr int kAnalyzerNoTrack = 203;  // Please choose a track with points first.

// Navigation target, direction prompts and trainer (app/processing)
inline constexpr int kTargetName = 204;  // Target
inline constexpr int kTargetNone = 205;  // No target set
inline constexpr int kTargetDistanceToGo = 206;  // Distance to go
inline constexpr int kTargetTimeToGo = 207;  // Time to go
inline constexpr int kTargetArrived = 208;  // Arrived
inline constexpr int kTargetNotJoined = 209;  // Not yet on the route
inline constexpr int kTargetReverse = 210;  // Follow in reverse
inline constexpr int kPromptUTurn = 211;  // Turn around
inline constexpr int kPromptLeft = 212;  // Turn left
inline constexpr int kPromptStraight = 213;  // Straight on
inline constexpr int kPromptRight = 214;  // Turn right
inline constexpr int kTrainerEnable = 215;  // Trainer on
inline constexpr int kTrainerVisible = 216;  // Show the trainer on the map
inline constexpr int kTrainerConstant = 217;  // Constant speed:
inline constexpr int kTrainerRelative = 218;  // Recorded pace times:
inline constexpr int kTrainerRestart = 219;  // Restart trainer
inline constexpr int kTrainerNeedsTrack = 220;  // Set a route or track as the target to race against the tr...
inline constexpr int kTrainerStatusNone = 221;  // No trainer
inline constexpr int kTrainerStatusReady = 222;  // Trainer ready
inline constexpr int kTrainerStatusLevel = 223;  // Level with the trainer
inline constexpr int kTrainerStatusBehind = 224;  // Behind the trainer
inline constexpr int kTrainerStatusAhead = 225;  // Ahead of the trainer
inline constexpr int kTrainerStatusWon = 226;  // You won!
inline constexpr int kTrainerStatusLost = 227;  // You lost!
inline constexpr int kTrainerGap = 228;  // Gap
inline constexpr int kTrainerTimeGap = 229;  // Time gap

// POIs, routes and tracks: record dialog, POI and collection dialogs (app/waypoints)
inline constexpr int kPoisDefaultName = 230;  // POIs
inline constexpr int kTrackDefaultName = 231;  // Unnamed
inline constexpr int kRecordNewFile = 232;  // New file:
inline constexpr int kRecordExistingFile = 233;  // Existing file:
inline constexpr int kRecordTrackName = 234;  // Track name:
inline constexpr int kRecordStopped = 235;  // Track recording stopped:
inline constexpr int kRecordStoredIn = 236;  // stored in the file
inline constexpr int kRecordEmpty = 237;  // The track has no points and was deleted.
inline constexpr int kPoiTabAttachments = 238;  // Attachments
inline constexpr int kPoiCollection = 239;  // Collection:
inline constexpr int kPoiPicture = 240;  // Picture:
inline constexpr int kPoiLink = 241;  // Link:
inline constexpr int kPoiPhone = 242;  // Phone:
inline constexpr int kPoiCall = 243;  // Call
inline constexpr int kPoiAudio = 244;  // Audio note:
inline constexpr int kPoiRecord = 245;  // Record
inline constexpr int kPoiPlay = 246;  // Play
inline constexpr int kPoiDeleteAudioQuestion = 247;  // Delete the audio note
inline constexpr int kPoiDeletePointQuestion = 248;  // Delete this point
inline constexpr int kPoiAddHint = 249;  // The new POI is placed at the marker, or at your position ...
inline constexpr int kPoiDontShowAgain = 251;  // Do not show this hint again
inline constexpr int kPoiNeedsFile = 252;  // Please select or create a GPX file first.
inline constexpr int kCollectionMoveUp = 253;  // Up
inline constexpr int kCollectionMoveDown = 254;  // Down

// GPX files dialog (app/waypoints)
inline constexpr int kGpxTitle = 255;  // GPX files
inline constexpr int kGpxNewRoute = 256;  // New route
inline constexpr int kGpxRenamePrompt = 257;  // New file name:
inline constexpr int kGpxRouteNamePrompt = 258;  // Name of the new route:
inline constexpr int kGpxBadName = 259;  // The file name must end in .gpx and have at least one char...
inline constexpr int kGpxNameExists = 260;  // A GPX file with this name already exists.
inline constexpr int kGpxRenameFailed = 261;  // The file could not be renamed.
inline constexpr int kGpxDeletePoisQuestion = 262;  // Delete all POIs of this collection
inline constexpr int kGpxDeleteRouteQuestion = 263;  // Delete this route or track
inline constexpr int kGpxNoFiles = 264;  // There are no GPX files yet. / Record a track or add a POI...

// Map details and calibration, map catalogue, compass letters (app/maps)
inline constexpr int kMapDetailsTitle = 265;  // Map details
inline constexpr int kMapTabCalibration = 266;  // Calibration
inline constexpr int kMapMethod1 = 267;  // 1-point
inline constexpr int kMapMethod2 = 268;  // 2-point
inline constexpr int kMapAlignToGrid = 269;  // align to grid:
inline constexpr int kMapReference1 = 270;  // Reference 1:
inline constexpr int kMapReference2 = 271;  // Reference 2:
inline constexpr int kMapGroundWidth = 272;  // width
inline constexpr int kMapPixelSize = 273;  // Size (pixels):
inline constexpr int kMapDecalibrateQuestion = 275;  // Remove the calibration of this map
inline constexpr int kMapNoMaps = 276;  // No maps were found. / Copy your map pictures (gif, bmp, j...
inline constexpr int kMapPictureFailed = 277;  // The map picture could not be loaded.
inline constexpr int kCompassUserLetter = 278;  // U
inline constexpr int kCompassTargetLetter = 279;  // T

// Online maps dialog and tile status line (app/maps)
inline constexpr int kOnlineMapsShow = 280;  // Show online maps
inline constexpr int kOnlineMapsDownload = 281;  // Download tiles:
inline constexpr int kOnlineMapsNever = 282;  // never
inline constexpr int kOnlineMapsAlways = 283;  // always
inline constexpr int kOnlineMapsWhenOnline = 284;  // only when online
inline constexpr int kOnlineMapsType = 285;  // Map type:
inline constexpr int kOnlineMapsSatellite = 286;  // Satellite
inline constexpr int kOnlineMapsRoadMap = 287;  // Road map
inline constexpr int kOnlineMapsHybrid = 288;  // Hybrid
inline constexpr int kOnlineMapsTerrain = 289;  // Terrain
inline constexpr int kOnlineMapsHiRes = 290;  // High resolution
inline constexpr int kOnlineMapsCacheSize = 291;  // Cache size (KB):
inline constexpr int kOnlineMapsClearCache = 292;  // Clear cache
inline constexpr int kOnlineMapsClearQuestion = 293;  // Delete all stored map tiles
inline constexpr int kTileDownloading = 294;  // Downloading tiles:
inline constexpr int kTileDecoding = 295;  // Decoding tiles...
inline constexpr int kTileNoPermission = 296;  // No permission to download tiles
inline constexpr int kTileVersionUpdated = 297;  // Tile service version updated
inline constexpr int kTileDownloadOff = 298;  // Tile download is switched off
inline constexpr int kTileFailed = 299;  // Tile download failed
inline constexpr int kTileServiceError = 300;  // Error of the tile service
inline constexpr int kTileOffline = 301;  // Offline: no tiles are downloaded

// Coordinates, position entry and units (app/coords)
inline constexpr int kCoordNorthLetter = 302;  // N
inline constexpr int kCoordSouthLetter = 303;  // S
inline constexpr int kCoordEastLetter = 304;  // E
inline constexpr int kCoordWestLetter = 305;  // W
inline constexpr int kCoordNorthing = 306;  // Northing
inline constexpr int kCoordEasting = 307;  // Easting
inline constexpr int kCoordZone = 308;  // Zone
inline constexpr int kCoordDatum = 309;  // Datum:
inline constexpr int kCoordGrid = 310;  // Grid:
inline constexpr int kCoordTabDegrees = 311;  // Degrees
inline constexpr int kCoordTabDegMin = 312;  // Deg Min
inline constexpr int kCoordTabDegMinSec = 313;  // Deg Min Sec
inline constexpr int kCoordTabGrid = 314;  // Grid
inline constexpr int kCoordTabSigned = 315;  // Signed degrees
inline constexpr int kCoordConversionFailed = 317;  // The position could not be converted.
inline constexpr int kUnitSpeed = 318;  // Speed unit:
inline constexpr int kUnitDistance = 319;  // Distance unit:
inline constexpr int kUnitAltitude = 320;  // Altitude unit:
inline constexpr int kUnitAltitudeOffset = 321;  // Altitude offset (m):
inline constexpr int kUnitEastingOffset = 322;  // Easting offset (m):
inline constexpr int kUnitNorthingOffset = 323;  // Northing offset (m):

// Online services: connection, permission, login and account (app/online)
inline constexpr int kOnlineAllow = 324;  // Allow internet access
inline constexpr int kOnlineUseConnMgr = 325;  // Use the connection manager
inline constexpr int kOnlineNetwork = 326;  // Network:
inline constexpr int kOnlineTraffic = 327;  // Traffic:
inline constexpr int kOnlineSent = 328;  // sent
inline constexpr int kOnlineReceived = 329;  // received
inline constexpr int kOnlineTrafficNote = 330;  // Online services send and receive data over your internet ...
inline constexpr int kOnlineAccountButton = 331;  // Account...
inline constexpr int kNetGoOnlineQuestion = 332;  // Rovana is offline. Go online for this service?
inline constexpr int kServiceOnlineMaps = 333;  // Online maps
inline constexpr int kServiceVozazId = 334;  // VozazId buddy tracking
inline constexpr int kServiceGeocoder = 335;  // Address search
inline constexpr int kServiceDirections = 336;  // Directions and routes
inline constexpr int kServiceSearch = 338;  // Search
inline constexpr int kNetLoginTitle = 339;  // Login to the online service failed
inline constexpr int kNetLoginHint = 340;  // Press Ok to check your account settings.
inline constexpr int kNetDeclined = 341;  // You chose to stay offline.
inline constexpr int kNetLoginFailed = 342;  // The login to the online service failed.
inline constexpr int kNetHintOnlineMaps = 343;  // now downloads tiles only while Rovana is online.
inline constexpr int kNetHintVozazId = 344;  // now runs only while Rovana is online.
inline constexpr int kNetHintDirections = 345;  // are now refreshed only while Rovana is online.
inline constexpr int kNetRefused = 346;  // This service needs an internet connection.
inline constexpr int kNetOffline = 347;  // Rovana is offline.
inline constexpr int kNetRequestFailed = 348;  // The online request failed.
inline constexpr int kNetTryLater = 350;  // Please try again later.
inline constexpr int kNetResultOk = 352;  // logged in
inline constexpr int kNetResult1 = 353;  // wrong password
inline constexpr int kNetResult3 = 355;  // no password set
inline constexpr int kNetResult4 = 356;  // invalid e-mail address
inline constexpr int kNetResult5 = 357;  // e-mail address already registered
inline constexpr int kNetResult6 = 358;  // account not activated yet
inline constexpr int kNetResult7 = 359;  // session expired
inline constexpr int kNetResult8 = 360;  // server busy
inline constexpr int kNetResult9 = 361;  // program version no longer supported
inline constexpr int kNetResult14 = 362;  // buddy not found
inline constexpr int kNetResult15 = 363;  // wrong PIN
inline constexpr int kNetResult16 = 364;  // nickname already in use
inline constexpr int kNetResultNoUser = 365;  // no user account
inline constexpr int kNetResultNoReply = 366;  // no reply from the server
inline constexpr int kNetResultNoEmail = 367;  // no e-mail address set
inline constexpr int kAccountTitle = 368;  // Account
inline constexpr int kAccountEmail = 371;  // E-mail:
inline constexpr int kAccountPassword = 372;  // Password:
inline constexpr int kAccountLogin = 373;  // Log in

// VozazId buddy tracking and chat (app/online)
inline constexpr int kVozazIdPageStatus = 374;  // Status
inline constexpr int kVozazIdPageBuddies = 375;  // Buddies
inline constexpr int kVozazIdPageChat = 376;  // Chat
inline constexpr int kVozazIdPageIdentity = 377;  // Me
inline constexpr int kVozazIdPageOptions = 378;  // Options
inline constexpr int kVozazIdNickname = 379;  // Nickname:
inline constexpr int kVozazIdPinPrivate = 380;  // Private PIN:
inline constexpr int kVozazIdPinPublic = 381;  // Public PIN:
inline constexpr int kVozazIdAddBuddy = 382;  // Add buddy
inline constexpr int kVozazIdDeleteBuddyQuestion = 383;  // Delete this buddy
inline constexpr int kVozazIdBuddyShown = 384;  // show on map
inline constexpr int kVozazIdUpload = 385;  // Send my position every (s):
inline constexpr int kVozazIdDownload = 386;  // Get buddy positions every (s):
inline constexpr int kVozazIdPoll = 388;  // Check for messages every (s):
inline constexpr int kVozazIdSecondServer = 389;  // Second server:
inline constexpr int kVozazIdSecondUrl = 390;  // Path on the second server:
inline constexpr int kVozazIdChatNotify = 391;  // Open the chat when a message arrives
inline constexpr int kVozazIdSend = 392;  // Send
inline constexpr int kVozazIdNoBuddies = 393;  // No buddies yet.
inline constexpr int kVozazIdPrivacyNote = 394;  // VozazId shares your position with the buddies you add. / ...
inline constexpr int kVozazIdFollowNote = 395;  // To let a buddy follow you, give them your nickname and yo...

// Directions and routing (app/online)
inline constexpr int kDirectionsNoTarget = 396;  // No target is set. Please set a target first (View > Set t...
inline constexpr int kDirectionsNoRoute = 397;  // No route was found.
inline constexpr int kDirectionsWaiting = 398;  // Waiting for directions...
inline constexpr int kDirectionsRefresh = 399;  // Refresh
inline constexpr int kDirectionsMakeRoute = 400;  // Create route
inline constexpr int kDirectionsAutoRefresh = 401;  // Refresh automatically

// Search providers and geocoder (app/online)
inline constexpr int kSearchWhat = 402;  // Search for:
inline constexpr int kSearchLocal = 403;  // Local search
inline constexpr int kSearchBusiness = 404;  // Business directory
inline constexpr int kSearchGeocaches = 406;  // Geocaches
inline constexpr int kSearchArticles = 407;  // Encyclopedia articles
inline constexpr int kSearchPhotos = 408;  // Photos
inline constexpr int kSearchWeather = 409;  // Weather
inline constexpr int kSearchDeleteOld = 410;  // Delete earlier results
inline constexpr int kSearchShowFound = 412;  // found
inline constexpr int kSearchShowNotFound = 413;  // not found
inline constexpr int kSearchShowOwn = 414;  // own
inline constexpr int kSearchShowOthers = 415;  // others'
inline constexpr int kSearchNothingFound = 416;  // Nothing was found
inline constexpr int kSearchAdvice = 417;  // Move the map or try other words
inline constexpr int kSearchFoundCount = 418;  // Points found
inline constexpr int kSearchMoreExist = 419;  // Only the first results are shown
inline constexpr int kSearchLimitHint = 420;  // Zoom in to see more results
inline constexpr int kSearchCacheFoundLabel = 421;  // Found by me:
inline constexpr int kSearchCacheOwnLabel = 422;  // Owned by me:
inline constexpr int kGeocoderCountry = 423;  // Country:
inline constexpr int kGeocoderCity = 424;  // City:
inline constexpr int kGeocoderStreet = 425;  // Street:
inline constexpr int kGeocoderNotFound = 426;  // The address was not found.
inline constexpr int kGeocoderShow = 427;  // Show on map
inline constexpr int kGeocoderSetTarget = 428;  // Set as target

// Menu bar relabelling: the five top-level menus in menu-bar order, and every
// item by its command identifier, with the built-in English text it replaces.
inline constexpr int kTopMenus[] = {kMenuView, kMenuMap, kMenuGpx, kMenuTools, kMenuConfig};

struct MenuItemText {
  int command;  // menu command identifier of the main screen
  int entry;    // language entry of its text
  const char* english;
};

inline constexpr MenuItemText kMenuItemTexts[] = {
    {32852, kMenuViewResetUserPos, "Reset user pos"},
    {32893, kMenuViewGotoUser, "Goto user"},
    {32896, kMenuViewFollowUser, "Follow user"},
    {32826, kMenuViewSetTarget, "Set target"},
    {32825, kMenuViewGotoTarget, "Goto target"},
    {32833, kMenuViewDeleteTarget, "Delete target"},
    {32870, kMenuMapGoogleMaps, "GoogleMaps..."},
    {32784, kMenuMapSelect, "Select..."},
    {32894, kMenuMapDetails, "Details"},
    {32786, kMenuMapCalibrate, "Calibrate"},
    {32842, kMenuMapSetReference1, "Set reference 1"},
    {32843, kMenuMapSetReference2, "Set reference 2"},
    {32858, kMenuGpxSelect, "Select..."},
    {32859, kMenuGpxDetails, "Details..."},
    {32797, kMenuGpxAddPoi, "Add POI..."},
    {32881, kMenuGpxPoiDetails, "POI details..."},
    {32828, kMenuGpxRecordTrack, "Record track"},
    {32880, kMenuGpxSearch, "Search..."},
    {32815, kMenuToolsDashboard, "Dashboard..."},
    {32895, kMenuToolsTripComputer, "Trip computer"},
    {32878, kMenuToolsSpeedAlert, "Speed alert..."},
    {32883, kMenuToolsStopwatch, "Stopwatch..."},
    {32821, kMenuToolsSatelliteStatus, "Satellite status..."},
    {32834, kMenuToolsVudizaduroz, "Vudizaduroz..."},
    {32875, kMenuToolsTrainer, "Trainer..."},
    {32835, kMenuToolsLocator, "Locator..."},
    {32839, kMenuToolsAccurator, "Accurator..."},
    {32851, kMenuToolsVozazId, "VozazId..."},
    {32872, kMenuToolsGeocoder, "Geocoder..."},
    {32877, kMenuToolsDirections, "Directions..."},
    {32793, kMenuConfigGps, "GPS..."},
    {32874, kMenuConfigOnlineServices, "Online services..."},
    {32856, kMenuConfigLanguage, "Language..."},
    {32803, kMenuConfigSettings, "Settings..."},
    {32873, kMenuConfigQuit, "Quit"},
};

}  // namespace rovana::lang
