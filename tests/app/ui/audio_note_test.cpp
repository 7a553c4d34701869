// Audio notes on machines without audio: recording and playing fail at once
// with a logged line, leave files alone and never wait for a device.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <filesystem>
#include <fstream>

#include "app/dialogs/AudioNote.h"
#include "tests/support/LoggedFolder.h"

namespace {

namespace fs = std::filesystem;
using rovana::dialogs::AudioNote;

class AudioNoteTest : public testing_support::LoggedFolderTest {
 protected:
  fs::path Folder() const { return folder_; }
};

TEST_F(AudioNoteTest, RecordingFromAMissingInputFailsAtOnceAndKeepsTheFile) {
  const fs::path file = Folder() / "audio_tmp.wav";
  std::ofstream(file, std::ios::binary) << "the old note";
  AudioNote note(nullptr, "no-such-device");
  QSignalSpy finished(&note, &AudioNote::recordingFinished);
  QElapsedTimer clock;
  clock.start();

  EXPECT_FALSE(note.StartRecording(file));
  EXPECT_LT(clock.elapsed(), 5000) << "no waiting for a device";
  EXPECT_FALSE(note.recording());
  EXPECT_FALSE(note.lastError().isEmpty());
  EXPECT_EQ(ReadBytes(file), "the old note");
  EXPECT_FALSE(fs::exists(Folder() / "audio_tmp.rec.wav"));
  EXPECT_EQ(finished.count(), 0) << "nothing started, nothing finishes";
  note.StopRecording();  // harmless
  EXPECT_NE(LogText().find("Audio note: "), std::string::npos) << LogText();
  EXPECT_NE(LogText().find("recording refused"), std::string::npos) << LogText();
}

TEST_F(AudioNoteTest, TheDefaultInputRecordsOrFailsCleanlyWithinAFewSeconds) {
  const fs::path file = Folder() / "audio_tmp.wav";
  AudioNote note;
  QSignalSpy finished(&note, &AudioNote::recordingFinished);
  if (!note.StartRecording(file)) {
    // The usual case on build machines: no microphone, no sound server.
    EXPECT_NE(LogText().find("Audio note: "), std::string::npos) << LogText();
    EXPECT_FALSE(fs::exists(file));
    return;
  }
  EXPECT_TRUE(note.recording());
  note.StopRecording();
  if (note.recording()) {
    EXPECT_TRUE(finished.wait(10000)) << "the stop grace time ends every recording";
  }
  EXPECT_FALSE(note.recording());
  ASSERT_EQ(finished.count(), 1);
  EXPECT_EQ(finished.at(0).at(0).toBool(), fs::exists(file));
}

TEST_F(AudioNoteTest, PlayingNothingOrWithoutAnOutputFailsWithALoggedLine) {
  AudioNote note;
  EXPECT_FALSE(note.Play(Folder() / "missing.wav"));
  EXPECT_FALSE(note.playing());
  EXPECT_NE(LogText().find("Audio note: "), std::string::npos) << LogText();

  // A file that is no WAV at all: refused, or failing later, never crashing.
  const fs::path junk = Folder() / "junk.wav";
  std::ofstream(junk, std::ios::binary) << "not a wav file";
  QSignalSpy finished(&note, &AudioNote::playingFinished);
  if (note.Play(junk) && note.playing()) {
    finished.wait(5000);
    note.StopPlaying();
  }
  EXPECT_FALSE(note.playing());
}

TEST_F(AudioNoteTest, ABuildWithoutMultimediaRefusesEverything) {
  if (AudioNote::Available()) GTEST_SKIP() << "built with Qt Multimedia";
  AudioNote note;
  EXPECT_FALSE(note.StartRecording(Folder() / "a.wav"));
  EXPECT_FALSE(note.Play(Folder() / "a.wav"));
  EXPECT_NE(LogText().find("built without Qt Multimedia"), std::string::npos);
}

}  // namespace
