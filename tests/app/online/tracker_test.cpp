// The tracker's one-second step with a scripted clock: what the first step
// asks for, the upload interval, a new track after a 901 s gap (across
// midnight too), the second server (only when configured, without the
// session's ids), an unknown buddy asking for the list on the next step,
// the chat poll periods, retries after failures, nothing while VozazId is
// off, and TrackerThread ending on the quit flag.
#include "app/online/Tracker.h"

#include <gtest/gtest.h>

#include <thread>

#include "app/core/Utilities.h"
#include "app/online/TrackerThread.h"
#include "tests/app/online/TrackerFixture.h"

namespace rovana {
namespace {

using testing_support::HasQueryKey;
using testing_support::kTrackReply;
using testing_support::QueryValue;
using testing_support::ResultReply;

class TrackerTest : public testing_support::TrackerFixture {
 protected:
  std::vector<std::string> StepActions() {
    server_.ClearRequests();
    Step();
    return server_.actions();
  }
};

using Actions = std::vector<std::string>;

TEST_F(TrackerTest, TheFirstStepAsksForEverythingOnce) {
  tracker_->NewFix(Fix(36000), 12.5, 270);
  EXPECT_EQ(StepActions(), (Actions{"ul", "bl", "ct", "up", "bp", "cr"}));
  const std::vector<ServiceRequest> requests = server_.requests();
  const std::string& up = requests[3].path;
  EXPECT_TRUE(up.starts_with("/online/os.asp?a=up&t=42&p=10&y=48.100000&x=11.500000&e=520.000000&v=12.500000&h=270.000000&i=17&s=4711&tick="))
      << up;
  EXPECT_EQ(tracker_->trackId(), 42);
  EXPECT_FALSE(tracker_->newFix());
  EXPECT_FALSE(tracker_->newTrack());
  EXPECT_FALSE(tracker_->needBuddyList());
  // The next second nothing is due.
  EXPECT_EQ(StepActions(), Actions{});
}

TEST_F(TrackerTest, WithoutAFixNothingIsUploaded) {
  EXPECT_EQ(StepActions(), (Actions{"ul", "bl", "bp", "cr"}));
  tracker_->Reset();
  EXPECT_EQ(StepActions(), (Actions{"bl", "bp", "cr"})) << "a reset before the first fix has nothing to upload";
}

TEST_F(TrackerTest, UploadsFollowTheInterval) {
  store_->downloadPosEnabled = false;
  store_->pollMsgEnabled = false;
  store_->uploadPosInterval = 10;
  ConfigureTracker();
  std::vector<int> uploads;
  for (int second = 0; second <= 31; ++second) {
    tracker_->NewFix(Fix(36000 + second), 10, 0);
    const Actions actions = StepActions();
    if (std::find(actions.begin(), actions.end(), "up") != actions.end()) uploads.push_back(second);
  }
  EXPECT_EQ(uploads, (std::vector<int>{0, 10, 20, 30}));
  EXPECT_EQ(server_.Count("ct"), 0u) << "one track for fixes a second apart";
}

struct GapCase {
  const char* name;
  int firstSeconds;
  std::int32_t firstDate;
  int secondSeconds;
  std::int32_t secondDate;
  bool newTrack;
};

TEST_F(TrackerTest, AGapOfMoreThan900SecondsStartsANewTrack) {
  const std::int32_t day1 = PackDate(2026, 12, 9), day2 = PackDate(2026, 12, 10), nextYear = PackDate(2027, 1, 1);
  const std::int32_t lastDay = PackDate(2026, 12, 31);
  const GapCase cases[] = {
      {"900 s", 36000, 0, 36900, 0, false},
      {"901 s", 36000, 0, 36901, 0, true},
      {"901 s across midnight", 86100, day1, 701, day2, true},
      {"60 s across midnight", 86370, day1, 30, day2, false},
      {"60 s across the new year", 86370, lastDay, 30, nextYear, false},
      {"the same time a day later", 36000, day1, 36000, day2, true},
      {"901 s on one date", 36000, day1, 36901, day1, true},
  };
  store_->downloadPosEnabled = false;
  store_->pollMsgEnabled = false;
  for (const GapCase& c : cases) {
    SCOPED_TRACE(c.name);
    tracker_ = MakeTracker();
    tracker_->Configure(TrackerSettingsOf(*store_));
    tracker_->NewFix(Fix(c.firstSeconds, c.firstDate), 0, 0);
    Step();
    ASSERT_FALSE(tracker_->newTrack());
    Wait(20);
    tracker_->NewFix(Fix(c.secondSeconds, c.secondDate), 0, 0);
    EXPECT_EQ(tracker_->newTrack(), c.newTrack);
    const Actions actions = StepActions();
    EXPECT_EQ(actions, c.newTrack ? (Actions{"ct", "up"}) : (Actions{"up"}));
  }
}

TEST_F(TrackerTest, AFailedTrackCreationIsTriedAgainAndAKnownTrackStillGetsTheUpload) {
  store_->downloadPosEnabled = false;
  store_->pollMsgEnabled = false;
  ConfigureTracker();
  tracker_->NewFix(Fix(36000), 0, 0);
  Step();
  Wait(20);
  server_.Queue("ct", std::nullopt);
  tracker_->NewFix(Fix(40000), 0, 0);  // far apart: a new track
  EXPECT_EQ(StepActions(), (Actions{"ct", "up"}));
  EXPECT_TRUE(tracker_->newTrack());
  Wait(20);
  tracker_->NewFix(Fix(40001), 0, 0);
  EXPECT_EQ(StepActions(), (Actions{"ct", "up"}));
  EXPECT_FALSE(tracker_->newTrack());
}

TEST_F(TrackerTest, NoTrackNoUpload) {
  server_.Always("ct", ResultReply(0));  // a reply that names no track
  tracker_->NewFix(Fix(36000), 0, 0);
  EXPECT_EQ(StepActions(), (Actions{"ul", "bl", "ct", "bp", "cr"}));
  EXPECT_TRUE(tracker_->newFix());
  EXPECT_EQ(StepActions(), (Actions{"ct"})) << "tried again on the next step";
}

struct SecondServerCase {
  const char* name;
  const char* server;
  const char* url;
  const char* host;  // "" when nothing goes to a second server
  const char* pathStart;
};

TEST_F(TrackerTest, TheSecondServerGetsThePositionWithoutTheSession) {
  const SecondServerCase cases[] = {
      {"none configured", "", "", "", ""},
      {"a server without a path", "second.example", "", "", ""},
      {"a path without a server", "", "/pos.php", "", ""},
      {"host and port", "second.example:8080", "pos.php", "http://second.example:8080", "/pos.php?a=up&t=42&p=10&y="},
      {"with its scheme", "https://second.example", "/in", "https://second.example", "/in?a=up&t=42&p=10&y="},
      {"a path with a query of its own", "second.example", "/in?key=abc", "http://second.example", "/in?key=abc&a=up&t=42&p=10&y="},
  };
  store_->downloadPosEnabled = false;
  store_->pollMsgEnabled = false;
  for (const SecondServerCase& c : cases) {
    SCOPED_TRACE(c.name);
    store_->secondaryServer = c.server;
    store_->secondaryUrl = c.url;
    tracker_ = MakeTracker();
    tracker_->NewFix(Fix(36000), 5, 90);
    server_.ClearRequests();
    Step();
    const std::vector<ServiceRequest> requests = server_.requests();
    std::vector<ServiceRequest> uploads;
    for (const ServiceRequest& r : requests)
      if (QueryValue(r.path, "a") == "up") uploads.push_back(r);
    ASSERT_EQ(uploads.size(), *c.host ? 2u : 1u);
    EXPECT_EQ(uploads[0].host, "http://127.0.0.1:8642");
    if (!*c.host) continue;
    const ServiceRequest& second = uploads[1];
    EXPECT_EQ(second.host, c.host);
    EXPECT_TRUE(second.path.starts_with(c.pathStart)) << second.path;
    EXPECT_FALSE(HasQueryKey(second.path, "i")) << second.path;
    EXPECT_FALSE(HasQueryKey(second.path, "s")) << second.path;
    EXPECT_TRUE(HasQueryKey(second.path, "tick"));
    // Everything of the upload itself is there.
    for (const char* key : {"t", "p", "y", "x", "e", "v", "h"})
      EXPECT_EQ(QueryValue(second.path, key), QueryValue(uploads[0].path, key)) << key;
  }
}

TEST_F(TrackerTest, AFailedUploadSendsNothingToTheSecondServerAndIsRetried) {
  store_->secondaryServer = "second.example";
  store_->secondaryUrl = "/pos";
  store_->downloadPosEnabled = false;
  store_->pollMsgEnabled = false;
  tracker_ = MakeTracker();
  server_.Queue("up", std::nullopt);
  tracker_->NewFix(Fix(36000), 0, 0);
  Step();
  EXPECT_EQ(server_.Count("up"), 1u) << "only the service's, which failed";
  EXPECT_TRUE(tracker_->newFix());
  EXPECT_EQ(StepActions(), (Actions{"up", "up"})) << "retried at once, then the second server";
  EXPECT_FALSE(tracker_->newFix());
}

// Regression: the fix mutex was held over the upload, so a slow server held
// up GPSThread.
TEST_F(TrackerTest, AFixDuringASlowUploadWaitsForNothingAndStaysNew) {
  store_->downloadPosEnabled = false;
  store_->pollMsgEnabled = false;
  ConfigureTracker();
  server_.Delay("up", std::chrono::milliseconds(400));
  tracker_->NewFix(Fix(36000), 0, 0);
  std::thread step([this] { tracker_->Step(); });
  while (server_.Count("up") == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const auto start = std::chrono::steady_clock::now();
  tracker_->NewFix(Fix(36001), 0, 0);
  const auto took = std::chrono::steady_clock::now() - start;
  step.join();
  EXPECT_LT(took, std::chrono::milliseconds(200));
  EXPECT_TRUE(tracker_->newFix()) << "the fix that came during the upload is the next one to send";
}

TEST_F(TrackerTest, AnUnknownBuddyAsksForTheListOnTheNextStep) {
  server_.Always("bp",
                 "<reply><result id=\"0\"/><buddypositions>"
                 "<buddyposition id=\"1\"><y>48</y><x>11</x></buddyposition>"
                 "<buddyposition id=\"9\"><y>49</y><x>12</x></buddyposition>"
                 "</buddypositions></reply>");
  EXPECT_EQ(StepActions(), (Actions{"ul", "bl", "bp", "cr"}));
  EXPECT_TRUE(tracker_->needBuddyList());
  EXPECT_EQ(StepActions(), (Actions{"bl"}));
  EXPECT_FALSE(tracker_->needBuddyList());
}

TEST_F(TrackerTest, ABuddyRemovedOnTheServerIsGoneAfterTheNextList) {
  Step();
  ASSERT_EQ(tracker_->Buddies().size(), 2u);
  server_.Queue("bl", "<reply><result id=\"0\"/><buddylist><buddy id=\"1\"><nickname>Anna</nickname></buddy></buddylist></reply>");
  tracker_->Reset();
  Step();
  ASSERT_EQ(tracker_->Buddies().size(), 1u);
  EXPECT_EQ(tracker_->Buddies()[0].id, 1);
  EXPECT_FALSE(tracker_->FindBuddy(2));
}

TEST_F(TrackerTest, AFailedRequestIsTriedAgainOnTheNextStep) {
  server_.Queue("bl", std::nullopt);
  server_.Queue("bp", std::nullopt);
  server_.Queue("cr", ResultReply(8));  // a reply with an error counts as failed too
  EXPECT_EQ(StepActions(), (Actions{"ul", "bl", "bp", "cr"}));
  EXPECT_TRUE(tracker_->needBuddyList());
  EXPECT_EQ(StepActions(), (Actions{"bl", "bp", "cr"}));
  EXPECT_EQ(StepActions(), Actions{});
}

TEST_F(TrackerTest, NothingHappensWhileVozazIdIsOff) {
  store_->vozazidEnabled = 0;
  Configure();
  tracker_->NewFix(Fix(36000), 0, 0);
  for (int i = 0; i < 100; ++i) Step();
  EXPECT_TRUE(server_.requests().empty());
  EXPECT_TRUE(user_.asked().empty());
}

TEST_F(TrackerTest, WhileOfflineInOnlineOnlyModeNothingIsSentOrAsked) {
  store_->vozazidEnabled = 2;
  store_->allowInternet = false;
  Configure();
  tracker_->NewFix(Fix(36000), 0, 0);
  Steps(30);
  EXPECT_TRUE(server_.requests().empty());
  EXPECT_TRUE(user_.asked().empty());
}

struct PollCase {
  const char* name;
  int pollInterval;
  bool chatAtStart;  // a chat line at second 0
  std::vector<int> polls;  // the seconds at which "cr" is sent, 0 to 130
};

TEST_F(TrackerTest, ChatPollPeriods) {
  const PollCase cases[] = {
      // Every 3 s within 20 s of the message; then half the interval until
      // the interval has passed (30 s after the last poll at 18 s is 48 s,
      // past that point); then the interval.
      {"interval 30 after a message", 30, true, {0, 3, 6, 9, 12, 15, 18, 48, 78, 108}},
      {"interval 60 after a message", 60, true, {0, 3, 6, 9, 12, 15, 18, 48, 108}},
      {"interval 10 after a message", 10, true, {0, 3, 6, 9, 12, 15, 18, 28, 38, 48, 58, 68, 78, 88, 98, 108, 118, 128}},
      {"interval 30 without chat", 30, false, {0, 30, 60, 90, 120}},
  };
  store_->downloadPosEnabled = false;
  store_->uploadPosEnabled = false;
  for (const PollCase& c : cases) {
    SCOPED_TRACE(c.name);
    store_->pollMsgInterval = c.pollInterval;
    tracker_ = MakeTracker();
    if (c.chatAtStart) tracker_->AddChatLine(1, "hello", 0, true);
    std::vector<int> polls;
    for (int second = 0; second <= 130; ++second) {
      const Actions actions = StepActions();
      if (std::find(actions.begin(), actions.end(), "cr") != actions.end()) polls.push_back(second);
    }
    const std::vector<int>& expected = c.polls;
    EXPECT_EQ(polls, expected);
  }
}

TEST_F(TrackerTest, AReceivedMessagePollsFastAgain) {
  store_->downloadPosEnabled = false;
  store_->uploadPosEnabled = false;
  store_->pollMsgInterval = 30;
  ConfigureTracker();
  Steps(100);  // long quiet: every 30 s
  server_.Queue("cr", "<reply><result id=\"0\"/><msg id=\"5\"><buddy>1</buddy><age>0</age><m>hi</m></msg></reply>");
  std::vector<int> polls;
  for (int second = 0; second < 40; ++second) {
    const Actions actions = StepActions();
    if (!actions.empty()) polls.push_back(second);
  }
  ASSERT_GE(polls.size(), 3u);
  EXPECT_EQ(polls[1] - polls[0], 3) << "3 s after the message";
  EXPECT_EQ(polls[2] - polls[1], 3);
  EXPECT_EQ(received_.size(), 1u);
}

TEST_F(TrackerTest, TheGpsHookTakesTheFix) {
  const auto hook = tracker_->FixHook();
  EXPECT_FALSE(tracker_->newFix());
  hook(Fix(100), 3.5, 45);
  EXPECT_TRUE(tracker_->newFix());
  server_.ClearRequests();
  Step();
  bool found = false;
  for (const ServiceRequest& r : server_.requests())
    if (QueryValue(r.path, "a") == "up") {
      found = true;
      EXPECT_EQ(QueryValue(r.path, "v"), "3.500000");
      EXPECT_EQ(QueryValue(r.path, "h"), "45.000000");
    }
  EXPECT_TRUE(found);
}

TEST_F(TrackerTest, TrackerThreadStepsUntilTheQuitFlag) {
  store_->vozazidEnabled = 0;  // steps without traffic
  Configure();
  std::atomic<bool> quit{false};
  {
    TrackerThread thread(*tracker_, quit, 10);
    EXPECT_NE(thread.id(), 0u);
    for (int i = 0; i < 200 && thread.steps() < 3; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GE(thread.steps(), 3u);
    quit = true;
    const std::uint64_t before = thread.steps();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_LE(thread.steps(), before + 1) << "the quit flag ends the loop";
  }
  EXPECT_NE(LogText().find("TrackerThread=0x"), std::string::npos);
}

TEST_F(TrackerTest, DestroyingTheThreadEndsItWithoutTheQuitFlag) {
  std::atomic<bool> quit{false};
  const auto start = std::chrono::steady_clock::now();
  {
    store_->vozazidEnabled = 0;
    Configure();
    TrackerThread thread(*tracker_, quit);  // one-second steps
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
}

}  // namespace
}  // namespace rovana
