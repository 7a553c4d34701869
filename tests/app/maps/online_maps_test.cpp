// The tile set with real queues and a scripted fetch: the cache scan, the
// trimming, the per-tile states from a new tile to a drawn picture, the
// failures and the fill from coarser levels.
#include "app/maps/OnlineMaps.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "app/core/LanguageEntries.h"
#include "tests/app/maps/TileTestData.h"
#include "tests/support/LoggedFolder.h"

namespace {

namespace fs = std::filesystem;
using namespace rovana::maps;
using testing_support::kTinyPng;
using testing_support::WriteFile;

template <typename Condition>
bool WaitFor(Condition condition) {
  for (int waited = 0; waited < 10000; waited += 5) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return condition();
}

// A 256 x 256 view on (0, 0) where level 1 fits: four tiles cover it.
ViewTransform LevelOneView() {
  ViewInput in;
  in.width = in.height = 256;
  in.zoom = 100;
  return ViewTransform::Build(in);
}

class OnlineMapsTest : public testing_support::LoggedFolderTest {
 protected:
  void SetUp() override {
    LoggedFolderTest::SetUp();
    cache_ = folder_ / "cache";
    downloads_.Start();
    pictures_.Start();
    config_.type = 1;
    config_.download = true;
    config_.sources.mapHost = "http://127.0.0.1:1";
    config_.sources.versions = {"/kh?v=1&", "/mt?v=w2.61&", "/mt?v=w2t.61&", "/mt?v=w2p.64&"};
  }

  // What the scripted server answers; called on the download worker.
  TileFetchReply Fetch(const TileFetchRequest& request) {
    std::lock_guard<std::mutex> guard(lock_);
    requests_.push_back(request);
    TileFetchReply reply = answer_;
    if (reply.outcome == TileFetchReply::Outcome::Received && reply.status != 304) {
      WriteFile(request.file, body_);
      reply.saved = true;
      reply.bytes = body_.size();
    }
    return reply;
  }

  std::unique_ptr<OnlineMaps> Make() {
    auto maps = std::make_unique<OnlineMaps>(
        downloads_, pictures_, [this](const TileFetchRequest& r) { return Fetch(r); },
        [this] { return versionReply_; });
    maps->InitialiseCache(cache_);
    return maps;
  }

  // Paints until a paint finds no tile downloading or decoding and no job
  // is left; returns that paint.
  TilePaint Settle(OnlineMaps& maps, const ViewTransform& view, std::int64_t now = 1000) {
    TilePaint paint = maps.Paint(view, config_, now);
    for (int round = 0; round < 10; ++round) {
      const bool busy = paint.counts[kTileDownloading] + paint.counts[kTileDownloadingAgain] +
                            paint.counts[kTileDecoding] > 0;
      if (!busy && !maps.pending()) break;
      EXPECT_TRUE(WaitFor([&] { return !maps.pending(); }));
      paint = maps.Paint(view, config_, now);
    }
    return paint;
  }

  std::size_t Requests() {
    std::lock_guard<std::mutex> guard(lock_);
    return requests_.size();
  }

  fs::path cache_;
  Loader downloads_{"tiles", LoaderPolicy::OldestFirst, 10};
  Loader pictures_{"pictures", LoaderPolicy::OldestFirst, 10};
  OnlineMapsConfig config_;
  std::mutex lock_;
  std::vector<TileFetchRequest> requests_;
  TileFetchReply answer_{TileFetchReply::Outcome::Received, 200};
  std::string body_ = kTinyPng;
  std::optional<std::string> versionReply_;
};

TEST_F(OnlineMapsTest, ScanTakesFilesOfTenBytesAndMore) {
  WriteFile(cache_ / "gm_1_1_2.png", std::string(9, 'x'));
  WriteFile(cache_ / "gm_2_1_2.png", std::string(10, 'x'));
  WriteFile(cache_ / "GS_0_0_0.JPG", std::string(20, 'x'));
  WriteFile(cache_ / "gm_2_1_2.png.meta", "expires=5\n");
  WriteFile(cache_ / "notes.png", std::string(50, 'x'));
  WriteFile(cache_ / "temp" / "gm_3_3_2.png", std::string(50, 'x'));
  WriteFile(cache_ / "tile_example_org" / "gm_0_0_1.png", std::string(30, 'x'));
  auto maps = Make();
  EXPECT_EQ(maps->tileCount(), 3u);
  EXPECT_EQ(maps->total(), 60u);
  EXPECT_FALSE(maps->Find({TileKind::RoadMap, 2, 1, 1})) << "9 bytes is no tile";
  ASSERT_TRUE(maps->Find({TileKind::RoadMap, 2, 2, 1}));
  EXPECT_EQ(maps->Find({TileKind::RoadMap, 2, 2, 1})->state, kTileCached);
  EXPECT_TRUE(maps->Find({TileKind::Satellite, 0, 0, 0}));
  EXPECT_TRUE(maps->Find({TileKind::RoadMap, 1, 0, 0}, "tile_example_org"));
  EXPECT_FALSE(fs::exists(cache_ / "temp" / "gm_3_3_2.png")) << "left-overs of downloads are removed";
  EXPECT_NE(LogText().find("Loading .png GoogleMaps from"), std::string::npos);
}

TEST_F(OnlineMapsTest, TrimmingRemovesTheLeastRecentlyUsedAboveLevelOne) {
  const std::string kb200(200 * 1024, 'x');
  // 400 KB at levels 0 and 1, 4600 KB at level 5, older files first.
  const std::vector<TileId> coarse = {{TileKind::RoadMap, 0, 0, 0}, {TileKind::RoadMap, 1, 1, 1}};
  auto when = fs::file_time_type::clock::now() - std::chrono::hours(100);
  for (const TileId& id : coarse) {
    WriteFile(cache_ / TileFileName(id), kb200);
    fs::last_write_time(cache_ / TileFileName(id), when);  // the oldest of all
  }
  std::vector<TileId> fine;
  for (int i = 0; i < 23; ++i) {
    fine.push_back({TileKind::RoadMap, 5, i, 7});
    WriteFile(cache_ / TileFileName(fine.back()), kb200);
    fs::last_write_time(cache_ / TileFileName(fine.back()), when + std::chrono::minutes(i + 1));
  }
  auto maps = Make();
  ASSERT_EQ(maps->total() / 1024, 5000u);
  maps->TrimCache(1000);
  EXPECT_LE(maps->total() / 1024, 1000u);
  for (const TileId& id : coarse) {
    SCOPED_TRACE(TileFileName(id));
    EXPECT_TRUE(maps->Find(id));
    EXPECT_TRUE(fs::exists(cache_ / TileFileName(id)));
  }
  for (int i = 0; i < 23; ++i) {
    SCOPED_TRACE(i);
    const bool kept = i >= 20;  // the three newest fit beside the coarse tiles
    EXPECT_EQ(maps->Find(fine[i]) != nullptr, kept);
    EXPECT_EQ(fs::exists(cache_ / TileFileName(fine[i])), kept);
  }
  maps->TrimCache(-100);  // the size counts as its absolute value
  for (const TileId& id : coarse) EXPECT_TRUE(maps->Find(id)) << "levels 0 and 1 are never trimmed";
}

TEST_F(OnlineMapsTest, ANewTileIsDownloadedDecodedAndDrawn) {
  auto maps = Make();
  const ViewTransform view = LevelOneView();
  TilePaint paint = maps->Paint(view, config_, 1000);
  EXPECT_EQ(paint.level, 1);
  EXPECT_EQ(paint.counts[kTileDownloading], 4);
  EXPECT_TRUE(paint.draws.empty());
  const auto status = StatusOf(paint.counts, true, false);
  ASSERT_TRUE(status);
  EXPECT_EQ(status->entry, rovana::lang::kTileDownloading);
  EXPECT_EQ(status->number, 4);

  paint = Settle(*maps, view);
  EXPECT_EQ(paint.counts[kTileReady], 4);
  ASSERT_EQ(paint.draws.size(), 4u);
  for (const TileDraw& d : paint.draws) {
    EXPECT_TRUE(d.picture);
    EXPECT_FALSE(d.overlay);
    ASSERT_FALSE(d.strips.empty());
  }
  EXPECT_EQ(Requests(), 4u);
  EXPECT_TRUE(fs::exists(cache_ / "gm_0_0_1.png"));
  EXPECT_EQ(maps->total(), 4 * kTinyPng.size());
  EXPECT_FALSE(StatusOf(paint.counts, true, false)) << "nothing to report once all are drawn";
  // The servers take turns.
  std::lock_guard<std::mutex> guard(lock_);
  EXPECT_EQ(requests_[0].path.rfind("/mt?v=w2.61&x=", 0), 0u);
}

TEST_F(OnlineMapsTest, FailedStates) {
  struct Case {
    const char* name;
    TileFetchReply reply;
    std::string body;
    int state;
    bool retried;  // the next paint sends again (else only 15 s later)
    int statusEntry;
  } cases[] = {
      {"no reply: download failed", {TileFetchReply::Outcome::Failed}, kTinyPng, kTileDownloadFailed, false,
       rovana::lang::kTileFailed},
      {"refused by the client", {TileFetchReply::Outcome::Refused}, kTinyPng, kTileRefused, true,
       rovana::lang::kTileOffline},
      {"forbidden page", {TileFetchReply::Outcome::Received, 200}, "<html><title>403 Forbidden</title></html>",
       kTileForbidden, true, rovana::lang::kTileNoPermission},
      {"error page without a version change", {TileFetchReply::Outcome::Received, 200},
       "<html><body>Error 404</body></html>", kTileDownloadFailed, false, rovana::lang::kTileFailed},
      {"status 500", {TileFetchReply::Outcome::Received, 500}, kTinyPng, kTileDownloadFailed, false,
       rovana::lang::kTileFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(cache_);
    {
      std::lock_guard<std::mutex> guard(lock_);
      answer_ = c.reply;
      body_ = c.body;
      requests_.clear();
    }
    auto maps = Make();
    const ViewTransform view = LevelOneView();
    TilePaint paint = Settle(*maps, view);
    EXPECT_EQ(paint.counts[c.state], 4);
    EXPECT_TRUE(paint.draws.empty());
    const auto status = StatusOf(paint.counts, true, false);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->entry, c.statusEntry);
    paint = maps->Paint(view, config_, 1000);
    EXPECT_EQ(paint.counts[kTileDownloadingAgain], c.retried ? 4 : 0);
    if (!c.retried) {
      paint = maps->Paint(view, config_, 1014);
      EXPECT_EQ(paint.counts[kTileDownloadingAgain], 0) << "a failed tile waits 15 s";
      paint = maps->Paint(view, config_, 1015);
      EXPECT_EQ(paint.counts[kTileDownloadingAgain], 4);
    }
    EXPECT_FALSE(fs::exists(cache_ / "gm_0_0_1.png")) << "nothing but pictures is cached";
    WaitFor([&] { return !maps->pending(); });
  }
}

TEST(TileRetryDelayTest, DoublesFromFifteenSecondsToTenMinutes) {
  const std::pair<int, std::int64_t> rows[] = {{0, 0}, {1, 15}, {2, 30}, {3, 60}, {6, 480}, {7, 600}, {40, 600}};
  for (const auto& [failures, delay] : rows) EXPECT_EQ(TileRetryDelay(failures), delay) << failures;
}

TEST_F(OnlineMapsTest, ErrorPagesAndTheVersionUpdate) {
  const std::string versions =
      "versions([\"http://127.0.0.1:1/mt?v=w2.62&\",\"http://127.0.0.1:1/kh?v=1&\",\"http://127.0.0.1:1/mt?v=w2t.61&\","
      "\"http://127.0.0.1:1/mt?v=w2p.64&\"])";
  answer_ = {TileFetchReply::Outcome::Received, 200};
  body_ = "<html><body>Error 404</body></html>";
  versionReply_ = versions;
  auto maps = Make();
  const ViewTransform view = LevelOneView();
  TilePaint paint = maps->Paint(view, config_, 1000);
  ASSERT_TRUE(WaitFor([&] { return !maps->pending(); }));
  paint = maps->Paint(view, config_, 1000);
  // One update changed the road map's prefix; every tile is tried again
  // with it, none is given up.
  EXPECT_EQ(paint.counts[kTileForbidden], 4);
  const auto changed = maps->TakeVersionChanges();
  ASSERT_TRUE(changed);
  EXPECT_EQ((*changed)[static_cast<int>(TileKind::RoadMap)], "/mt?v=w2.62&");
  const auto updated = StatusOf(paint.counts, true, maps->versionChanged());
  ASSERT_TRUE(updated);
  EXPECT_EQ(updated->entry, rovana::lang::kTileVersionUpdated);
  config_.sources.versions = *changed;
  paint = maps->Paint(view, config_, 1000);
  EXPECT_EQ(paint.counts[kTileDownloadingAgain], 4);
  const std::string log = LogText();
  std::size_t starts = 0;
  for (std::size_t at = log.find("GoogleVersionsUpdate start"); at != std::string::npos;
       at = log.find("GoogleVersionsUpdate start", at + 1))
    ++starts;
  EXPECT_EQ(starts, 1u) << "exactly one successful update per run";

  // An error page to a request with the current prefix gives the tile up.
  ASSERT_TRUE(WaitFor([&] { return !maps->pending(); }));
  paint = Settle(*maps, view);
  EXPECT_EQ(paint.counts[kTileServiceError], 4);
  const std::size_t sent = Requests();
  paint = maps->Paint(view, config_, 1000);
  EXPECT_EQ(paint.counts[kTileServiceError], 4);
  EXPECT_EQ(Requests(), sent) << "state 8 is not tried again";
  const auto status = StatusOf(paint.counts, true, false);
  ASSERT_TRUE(status);
  EXPECT_EQ(status->entry, rovana::lang::kTileServiceError);
  std::lock_guard<std::mutex> guard(lock_);
  EXPECT_NE(requests_.back().path.find("/mt?v=w2.62&"), std::string::npos);
}

TEST_F(OnlineMapsTest, WithoutDownloadsAMissingTileIsFilledFromACoarserLevel) {
  WriteFile(cache_ / "gm_0_0_0.png", kTinyPng);
  config_.download = false;
  auto maps = Make();
  const ViewTransform view = LevelOneView();
  const TilePaint paint = Settle(*maps, view);
  EXPECT_EQ(paint.level, 1);
  EXPECT_EQ(paint.counts[kTileNew], 4);
  ASSERT_EQ(paint.draws.size(), 1u);
  EXPECT_EQ(paint.draws[0].id, (TileId{TileKind::RoadMap, 0, 0, 0}));
  EXPECT_EQ(Requests(), 0u);
  const auto status = StatusOf(paint.counts, false, false);
  ASSERT_TRUE(status);
  EXPECT_EQ(status->entry, rovana::lang::kTileDownloadOff);
}

TEST_F(OnlineMapsTest, TilesWithoutAFileAreForgottenOutOfView) {
  // Guards against the tile set growing with every tile panned past.
  config_.download = false;
  auto maps = Make();
  maps->Paint(LevelOneView(), config_, 1000);
  EXPECT_EQ(maps->tileCount(), 4u);
  ViewInput far;
  far.width = far.height = 256;
  far.zoom = 100000;
  far.panX = -2.0;
  far.panY = -0.5;
  for (int i = 0; i < 3; ++i) maps->Paint(ViewTransform::Build(far), config_, 1000);
  EXPECT_LE(maps->tileCount(), 8u);
  EXPECT_FALSE(maps->Find({TileKind::RoadMap, 1, 0, 0}));
}

TEST_F(OnlineMapsTest, HybridDrawsTheOverlayOnSatelliteTiles) {
  config_.type = 2;
  config_.sources.satHost = "http://127.0.0.1:1";
  auto maps = Make();
  const TilePaint paint = Settle(*maps, LevelOneView());
  ASSERT_EQ(paint.draws.size(), 8u);
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(paint.draws[i].overlay, i >= 4);
    EXPECT_EQ(paint.draws[i].id.kind, i >= 4 ? TileKind::Hybrid : TileKind::Satellite);
  }
  EXPECT_TRUE(fs::exists(cache_ / "gs_0_0_1.png")) << "a satellite PNG keeps its suffix";
}

TEST_F(OnlineMapsTest, AStaleTileIsDrawnWhileItIsRevalidated) {
  const fs::path tile = cache_ / "gm_0_0_1.png";
  WriteFile(tile, kTinyPng);
  ASSERT_TRUE(WriteValidators(tile, {"\"v1\"", "Wed, 09 Dec 2026 12:00:00 GMT", 500}));
  answer_ = {TileFetchReply::Outcome::Received, 304};
  answer_.cacheControl = "max-age=3600";
  config_.download = false;
  auto maps = Make();
  const ViewTransform view = LevelOneView();
  TilePaint paint = Settle(*maps, view);
  ASSERT_EQ(paint.draws.size(), 1u);
  config_.download = true;
  paint = maps->Paint(view, config_, 1000);
  EXPECT_EQ(paint.draws.size(), 1u) << "still drawn while revalidating";
  WaitFor([&] { return Requests() >= 4; });
  paint = Settle(*maps, view);
  std::lock_guard<std::mutex> guard(lock_);
  bool asked = false;
  for (const TileFetchRequest& r : requests_) {
    if (r.path.find("x=0&y=0&zoom=16") == std::string::npos) continue;
    asked = true;
    EXPECT_EQ(r.headers, (std::vector<std::string>{"If-None-Match: \"v1\"", "If-Modified-Since: Wed, 09 Dec 2026 12:00:00 GMT"}));
  }
  EXPECT_TRUE(asked);
  EXPECT_EQ(fs::file_size(tile), kTinyPng.size()) << "a 304 keeps the file";
  const auto renewed = ReadValidators(tile);
  ASSERT_TRUE(renewed);
  EXPECT_EQ(renewed->expires, 1000 + 3600);
  EXPECT_GE(paint.draws.size(), 1u);
}

}  // namespace
