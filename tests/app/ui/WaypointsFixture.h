// A program folder with a data folder of real GPX files, the registry of
// files and collections over it as the application configures it (list
// labels in the user's units, Analyzer statistics), a track recorder, and a dialog asker that records what the
// dialogs asked and answers as the test says.
#pragma once

#include <QString>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/coords/Units.h"
#include "app/core/LanguageEntries.h"
#include "app/dialogs/DialogAsker.h"
#include "app/processing/AnalyzerStatistics.h"
#include "app/processing/TrackRecorder.h"
#include "app/ui/Application.h"
#include "app/waypoints/Waypoints.h"
#include "tests/support/TempHome.h"

namespace testing_support {

// Home.gpx: two waypoints, a route "Loop" of three named points and a track
// "Walk" of three points 0.001 degrees (111.1 m) apart, a minute apart,
// climbing 10 m and descending 5 m.
inline constexpr const char* kHomeGpx = R"(<?xml version="1.0"?>
<gpx version="1.0" creator="test">
<name>Home points</name>
<wpt lat="52.5" lon="13.4"><name>Bakery</name></wpt>
<wpt lat="52.6" lon="13.5"><name>Station</name></wpt>
<rte><name>Loop</name>
<rtept lat="52.5" lon="13.4"><name>R1</name></rtept>
<rtept lat="52.51" lon="13.4"><name>R2</name></rtept>
<rtept lat="52.52" lon="13.4"><name>R3</name></rtept>
</rte>
<trk><name>Walk</name><trkseg>
<trkpt lat="52.500" lon="13.4"><ele>100</ele><time>2024-05-01T10:00:00Z</time></trkpt>
<trkpt lat="52.501" lon="13.4"><ele>110</ele><time>2024-05-01T10:01:00Z</time></trkpt>
<trkpt lat="52.502" lon="13.4"><ele>105</ele><time>2024-05-01T10:02:00Z</time></trkpt>
</trkseg></trk>
</gpx>
)";

// Other.gpx: one waypoint and nothing else.
inline constexpr const char* kOtherGpx = R"(<?xml version="1.0"?>
<gpx version="1.0" creator="test">
<wpt lat="48.1" lon="11.5"><name>Lake</name></wpt>
</gpx>
)";

struct WaypointsFixture {
  TempHome home;
  std::filesystem::path data;
  std::unique_ptr<rovana::Waypoints> waypoints;
  std::unique_ptr<rovana::TrackRecorder> recorder;

  // What the dialogs asked, in order, and how they are answered.
  std::vector<QString> questions, messages, prompts;
  bool answer = true;
  std::optional<QString> typed;
  std::optional<std::uint32_t> colour;

  WaypointsFixture() {
    data = home.folder() / "data";
    std::filesystem::create_directories(data);
    rovana::SettingsStore& s = *home.settings;
    s.primaryDataPath = s.secondaryDataPath = data.string();
    s.unitDistance = 1;  // metres
    s.unitAltitude = 1;  // metres
    s.unitSpeed = 0;     // km/h
    waypoints = std::make_unique<rovana::Waypoints>(s, rovana::ui::WaypointsConfigOf(s, *home.language));
    recorder = std::make_unique<rovana::TrackRecorder>(*waypoints);
  }
  ~WaypointsFixture() {
    recorder.reset();
    waypoints.reset();
  }

  void Write(const std::string& name, const char* content) const { std::ofstream(data / name) << content; }
  // Writes Home.gpx and Other.gpx and loads them.
  void LoadSamples() {
    Write("Home.gpx", kHomeGpx);
    Write("Other.gpx", kOtherGpx);
    waypoints->LoadAll();
  }
  std::string Entry(int entry) const { return home.language->Entry(entry); }

  rovana::GpxParser* File(const std::string& name) const {
    for (const auto& f : waypoints->files())
      if (f->name() == name) return f.get();
    return nullptr;
  }
  rovana::POIs* Collection(const std::string& fullName) const { return waypoints->FindByFullName(fullName); }

  rovana::dialogs::DialogAsker Asker() {
    rovana::dialogs::DialogAsker asker;
    asker.question = [this](const QString& q) {
      questions.push_back(q);
      return answer;
    };
    asker.message = [this](const QString& m) { messages.push_back(m); };
    asker.input = [this](const QString& prompt, const QString&) {
      prompts.push_back(prompt);
      return typed;
    };
    asker.colour = [this](std::uint32_t) { return colour; };
    return asker;
  }
};

}  // namespace testing_support
