// AudioNote: records a point's audio note to a WAV file and plays one, on
// Qt Multimedia (QMediaCaptureSession + QAudioInput + QMediaRecorder to
// record, QMediaPlayer + QAudioOutput to play).
//
// Built without Qt Multimedia, or on a machine without audio devices (a
// server, CI, the offscreen platform), every start fails at once with one
// logged line and returns false; nothing waits for a device, so nothing
// hangs. Errors the backend reports later (a device that goes away, an
// encoder it lacks) are logged and end the recording or the playing with
// the finished signal. The multimedia objects are made on the first use,
// so a dialog that never records touches no audio backend.
//
// User-interface thread only.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <filesystem>
#include <memory>

namespace rovana::dialogs {

class AudioNote : public QObject {
  Q_OBJECT

 public:
  // `inputId`: the id of the audio input to record from (QAudioDevice::id);
  // empty for the system's default input. An id no device has makes every
  // recording fail, as a machine without a microphone does.
  explicit AudioNote(QObject* parent = nullptr, QByteArray inputId = {});
  ~AudioNote() override;

  // Whether this build can record and play at all.
  static bool Available();

  // Starts recording to `file` (replaced). False, logged, when there is no
  // input or the recorder refuses; the file is then left as it was.
  bool StartRecording(const std::filesystem::path& file);
  // Ends a recording; recordingFinished follows (at once or when the
  // recorder has written the file).
  void StopRecording();
  bool recording() const { return recording_; }

  // Plays `file` from its start. False, logged, when there is no output or
  // no such file.
  bool Play(const std::filesystem::path& file);
  void StopPlaying();
  bool playing() const { return playing_; }

  // The last problem, for the user ("" when none).
  const QString& lastError() const { return lastError_; }

 signals:
  // `ok`: the file holds the new recording.
  void recordingFinished(bool ok);
  void playingFinished();

 private:
  struct Media;
  void Fail(const QString& what);
  void EndRecording(bool ok);
  void EndPlaying();

  QByteArray inputId_;
  std::unique_ptr<Media> media_;
  std::filesystem::path recordingFile_;
  bool recording_ = false;
  bool playing_ = false;
  QString lastError_;
};

}  // namespace rovana::dialogs
