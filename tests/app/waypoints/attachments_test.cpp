// Audio note files: names with suffixes so that no note overwrites another,
// the bare-name guard against wav texts from files, and moving a note to
// another file's attachment folder.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/waypoints/Attachments.h"
#include "app/waypoints/GeoPoint.h"
#include "tests/support/LoggedFolder.h"

namespace {

namespace fs = std::filesystem;
using rovana::GeoPoint;
using rovana::PointText;

void Write(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
}

GeoPoint PointWithNote(std::string_view wav, int time = 36000) {
  GeoPoint p(0.9, 0.2);
  p.setTime(time);
  p.setText(PointText::Wav, wav);
  return p;
}

class Attachments : public testing_support::LoggedFolderTest {
 protected:
  fs::path Folder() const { return folder_; }
  static std::string Read(const fs::path& file) { return ReadBytes(file); }
};

TEST(AttachmentNames, FollowThePointsTimeOfDay) {
  struct Case {
    const char* name;
    int seconds, n;
    std::string want;
  } cases[] = {
      {"ten o'clock", 36000, 1, "audio_10_00_00.wav"},
      {"midnight", 0, 1, "audio_00_00_00.wav"},
      {"last second", 86399, 1, "audio_23_59_59.wav"},
      {"a repaired time past midnight", 86405, 1, "audio_00_00_05.wav"},
      {"a negative time", -1, 1, "audio_23_59_59.wav"},
      {"second candidate", 36000, 2, "audio_10_00_00-2.wav"},
      {"tenth candidate", 45296, 10, "audio_12_34_56-10.wav"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(rovana::AudioNoteName(c.seconds, c.n), c.want);
  }
  EXPECT_EQ(rovana::AudioNoteName(36000), "audio_10_00_00.wav");
  EXPECT_EQ(rovana::TemporaryRecordingPath("/data"), fs::path("/data/audio_tmp.wav"));
}

TEST(AttachmentNames, OnlyBareNamesStayInsideTheFolder) {
  struct Case {
    const char* name;
    std::string value;
    bool bare;
  } cases[] = {
      {"a note", "audio_10_00_00.wav", true},
      {"dots inside a name", "..wav", true},
      {"empty", "", false},
      {"parent folder", "..", false},
      {"this folder", ".", false},
      {"climbing out", "../../x", false},
      {"absolute", "/etc/passwd", false},
      {"into a subfolder", "sub/a.wav", false},
      {"trailing slash", "a.wav/", false},
      {"embedded NUL", std::string("a\0b", 3), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(rovana::IsBareFileName(c.value), c.bare);
    EXPECT_EQ(rovana::AttachmentPath("/data/t", c.value).has_value(), c.bare);
  }
}

TEST_F(Attachments, ANewNoteTakesTheFirstFreeNameAndOverwritesNothing) {
  struct Case {
    const char* name;
    std::vector<std::string> existing;
    std::string want;
  } cases[] = {
      {"empty folder", {}, "audio_10_00_00.wav"},
      {"the same time on another day", {"audio_10_00_00.wav"}, "audio_10_00_00-2.wav"},
      {"two notes of that time", {"audio_10_00_00.wav", "audio_10_00_00-2.wav"}, "audio_10_00_00-3.wav"},
      {"a gap is filled", {"audio_10_00_00-2.wav"}, "audio_10_00_00.wav"},
      {"other times do not count", {"audio_10_00_01.wav", "audio_09_59_59.wav"}, "audio_10_00_00.wav"},
  };
  int run = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path attachments = Folder() / ("file" + std::to_string(run++));
    for (const std::string& name : c.existing) Write(attachments / name, "old " + name);
    const fs::path recording = rovana::TemporaryRecordingPath(Folder());
    Write(recording, "new note");

    const std::optional<std::string> stored = rovana::StoreAudioNote(recording, attachments, 36000);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(*stored, c.want);
    EXPECT_EQ(Read(attachments / c.want), "new note");
    EXPECT_FALSE(fs::exists(recording)) << "the recording was moved, not copied";
    for (const std::string& name : c.existing) EXPECT_EQ(Read(attachments / name), "old " + name);
  }
}

TEST_F(Attachments, StoringCreatesTheAttachmentFolderAndFailsWithoutARecording) {
  const fs::path attachments = Folder() / "deep" / "t";
  Write(Folder() / "audio_tmp.wav", "note");
  EXPECT_EQ(rovana::StoreAudioNote(Folder() / "audio_tmp.wav", attachments, 0), "audio_00_00_00.wav");
  EXPECT_TRUE(fs::is_regular_file(attachments / "audio_00_00_00.wav"));

  EXPECT_FALSE(rovana::StoreAudioNote(Folder() / "audio_tmp.wav", attachments, 0).has_value());
  EXPECT_NE(LogText().find("is missing"), std::string::npos) << LogText();
}

TEST_F(Attachments, AFolderThatCannotBeCreatedIsLogged) {
  Write(Folder() / "plain-file", "x");
  Write(Folder() / "audio_tmp.wav", "note");
  EXPECT_FALSE(rovana::StoreAudioNote(Folder() / "audio_tmp.wav", Folder() / "plain-file" / "t", 0).has_value());
  EXPECT_TRUE(fs::exists(Folder() / "audio_tmp.wav")) << "the recording stays where it was";
  EXPECT_NE(LogText().find("CreateDirectory("), std::string::npos) << LogText();
}

TEST_F(Attachments, MovingAPointToAnotherFileTakesItsNoteAlong) {
  struct Case {
    const char* name;
    std::string wav;
    std::vector<std::string> inTarget;
    std::string wantWav;
  } cases[] = {
      {"free name", "audio_10_00_00.wav", {}, "audio_10_00_00.wav"},
      {"name taken in the other file", "audio_10_00_00.wav", {"audio_10_00_00.wav"}, "audio_10_00_00-2.wav"},
      {"numbered note, taken", "audio_10_00_00-2.wav", {"audio_10_00_00-2.wav"}, "audio_10_00_00-3.wav"},
      {"a name of the user's own", "greeting.wav", {"greeting.wav", "greeting-2.wav"}, "greeting-3.wav"},
  };
  int run = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path from = Folder() / ("a" + std::to_string(run)), to = Folder() / ("b" + std::to_string(run));
    ++run;
    Write(from / c.wav, "the note");
    for (const std::string& name : c.inTarget) Write(to / name, "other " + name);
    GeoPoint p = PointWithNote(c.wav);

    EXPECT_TRUE(rovana::MoveAudioNote(p, from, to));
    EXPECT_EQ(p.text(PointText::Wav), c.wantWav);
    EXPECT_EQ(Read(to / c.wantWav), "the note");
    EXPECT_FALSE(fs::exists(from / c.wav));
    for (const std::string& name : c.inTarget) EXPECT_EQ(Read(to / name), "other " + name);
  }
}

TEST_F(Attachments, MovingWithinOneFolderOrWithoutAFileChangesNothing) {
  Write(Folder() / "a" / "audio_10_00_00.wav", "the note");
  GeoPoint same = PointWithNote("audio_10_00_00.wav");
  EXPECT_TRUE(rovana::MoveAudioNote(same, Folder() / "a", Folder() / "." / "a"));
  EXPECT_EQ(Read(Folder() / "a" / "audio_10_00_00.wav"), "the note");

  GeoPoint missing = PointWithNote("audio_11_00_00.wav");
  EXPECT_TRUE(rovana::MoveAudioNote(missing, Folder() / "a", Folder() / "b"));
  EXPECT_EQ(missing.text(PointText::Wav), "audio_11_00_00.wav");
  EXPECT_FALSE(fs::exists(Folder() / "b")) << "no folder is made for nothing";

  GeoPoint none;
  EXPECT_TRUE(rovana::MoveAudioNote(none, Folder() / "a", Folder() / "b"));
}

// Guards against a wav text from a GPX file reaching files outside the
// attachment folder.
TEST_F(Attachments, AWavTextThatIsNoBareNameIsNeverOpenedMovedOrDeleted) {
  const fs::path victim = Folder() / "victim.wav";
  for (const std::string& wav : std::vector<std::string>{"../victim.wav", Folder().string() + "/victim.wav", ".."}) {
    SCOPED_TRACE(wav);
    Write(victim, "precious");
    const fs::path attachments = Folder() / "t";
    const fs::path temporary = Folder() / "tmp" / "audio_tmp.wav";
    Write(temporary, "stale");
    GeoPoint p = PointWithNote(wav);

    EXPECT_FALSE(rovana::PrepareTemporaryNote(p, attachments, temporary));
    EXPECT_FALSE(fs::exists(temporary)) << "nothing was copied for playing";
    EXPECT_TRUE(rovana::MoveAudioNote(p, attachments, Folder() / "elsewhere"));
    EXPECT_EQ(p.text(PointText::Wav), wav);
    EXPECT_FALSE(fs::exists(Folder() / "elsewhere" / "victim.wav"));
    p.ClearAudioNote(attachments);
    EXPECT_EQ(Read(victim), "precious");
  }
  EXPECT_NE(LogText().find("no bare file name"), std::string::npos) << LogText();
}

TEST_F(Attachments, PlayingCopiesTheNoteToTheTemporaryFileOrClearsIt) {
  const fs::path attachments = Folder() / "t";
  const fs::path temporary = rovana::TemporaryRecordingPath(Folder());
  Write(attachments / "audio_10_00_00.wav", "the note");
  Write(temporary, "left from before");

  EXPECT_TRUE(rovana::PrepareTemporaryNote(PointWithNote("audio_10_00_00.wav"), attachments, temporary));
  EXPECT_EQ(Read(temporary), "the note");
  EXPECT_EQ(Read(attachments / "audio_10_00_00.wav"), "the note") << "a copy: the note stays";

  EXPECT_FALSE(rovana::PrepareTemporaryNote(PointWithNote(""), attachments, temporary));
  EXPECT_FALSE(fs::exists(temporary));
  Write(temporary, "left from before");
  EXPECT_FALSE(rovana::PrepareTemporaryNote(PointWithNote("audio_09_00_00.wav"), attachments, temporary));
  EXPECT_FALSE(fs::exists(temporary)) << "a note whose file is gone";
}

TEST_F(Attachments, AMoveNeverReplacesAFile) {
  Write(Folder() / "a.wav", "a");
  Write(Folder() / "b.wav", "b");
  EXPECT_FALSE(rovana::MoveFileNoReplace(Folder() / "a.wav", Folder() / "b.wav"));
  EXPECT_EQ(Read(Folder() / "a.wav"), "a");
  EXPECT_EQ(Read(Folder() / "b.wav"), "b");
  EXPECT_TRUE(rovana::MoveFileNoReplace(Folder() / "a.wav", Folder() / "c.wav"));
  EXPECT_EQ(Read(Folder() / "c.wav"), "a");
}

TEST_F(Attachments, AMoveToAnotherFileSystemCopiesAndRemoves) {
  const fs::path other = "/dev/shm";
  struct stat here {}, there {};
  if (::stat(Folder().c_str(), &here) != 0 || ::stat(other.c_str(), &there) != 0 || here.st_dev == there.st_dev)
    GTEST_SKIP() << "no second file system at " << other;
  const fs::path source = other / ("rovana-note-" + Folder().filename().string() + ".wav");
  Write(source, "far note");
  EXPECT_TRUE(rovana::MoveFileNoReplace(source, Folder() / "near.wav"));
  EXPECT_EQ(Read(Folder() / "near.wav"), "far note");
  EXPECT_FALSE(fs::exists(source));
  Write(source, "second");
  EXPECT_FALSE(rovana::MoveFileNoReplace(source, Folder() / "near.wav"));
  EXPECT_EQ(Read(Folder() / "near.wav"), "far note");
  fs::remove(source);
}

}  // namespace
