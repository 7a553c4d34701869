// Recording and playing audio notes with Qt Multimedia, or refusing both
// with a logged line where there is none.
#include "app/dialogs/AudioNote.h"

#include <QTimer>
#include <QUrl>
#include <system_error>

#include "app/core/Log.h"

#if ROVANA_HAVE_MULTIMEDIA
#include <QAudioDevice>
#include <QAudioInput>
#include <QAudioOutput>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QMediaFormat>
#include <QMediaPlayer>
#include <QMediaRecorder>
#endif

namespace rovana::dialogs {

namespace fs = std::filesystem;

namespace {

// How long a stopped recorder may take to finish its file before the
// recording is ended without it.
constexpr int kStopGraceMs = 3000;

// The recorder writes next to the target, which keeps its old content until
// a recording succeeded.
fs::path PartFile(const fs::path& file) { return fs::path(file).replace_extension(".rec.wav"); }

}  // namespace

#if ROVANA_HAVE_MULTIMEDIA

struct AudioNote::Media {
  std::unique_ptr<QMediaCaptureSession> session;
  std::unique_ptr<QAudioInput> input;
  std::unique_ptr<QMediaRecorder> recorder;
  std::unique_ptr<QAudioOutput> output;
  std::unique_ptr<QMediaPlayer> player;
  bool stopping = false;
};

bool AudioNote::Available() { return true; }

#else

struct AudioNote::Media {};

bool AudioNote::Available() { return false; }

#endif

AudioNote::AudioNote(QObject* parent, QByteArray inputId)
    : QObject(parent), inputId_(std::move(inputId)), media_(std::make_unique<Media>()) {}

AudioNote::~AudioNote() {
#if ROVANA_HAVE_MULTIMEDIA
  // No signal of a dying recorder or player may reach this half-destroyed
  // object.
  if (media_->recorder) media_->recorder->disconnect(this);
  if (media_->player) media_->player->disconnect(this);
  if (recording_ && media_->recorder) media_->recorder->stop();
  if (playing_ && media_->player) media_->player->stop();
#endif
}

void AudioNote::Fail(const QString& what) {
  lastError_ = what;
  LogMessage("Audio note: %s", what.toUtf8().constData());
}

void AudioNote::EndRecording(bool ok) {
  if (!recording_) return;
  recording_ = false;
  const fs::path part = PartFile(recordingFile_);
  std::error_code error;
  if (ok && fs::is_regular_file(part, error) && fs::file_size(part, error) > 0 && !error) {
    fs::rename(part, recordingFile_, error);
    if (error) Fail(QString("cannot rename %1: %2").arg(part.c_str(), QString::fromStdString(error.message())));
    ok = !error;
  } else {
    if (ok) Fail(QString("the recorder wrote no file %1").arg(part.c_str()));
    ok = false;
  }
  fs::remove(part, error);
  emit recordingFinished(ok);
}

void AudioNote::EndPlaying() {
  if (!playing_) return;
  playing_ = false;
  emit playingFinished();
}

#if ROVANA_HAVE_MULTIMEDIA

bool AudioNote::StartRecording(const fs::path& file) {
  if (recording_) return false;
  lastError_.clear();
  QAudioDevice device;
  if (inputId_.isEmpty()) {
    device = QMediaDevices::defaultAudioInput();
  } else {
    for (const QAudioDevice& d : QMediaDevices::audioInputs())
      if (d.id() == inputId_) device = d;
  }
  if (device.isNull()) {
    Fail(inputId_.isEmpty() ? QString("no audio input: recording refused")
                            : QString("no audio input %1: recording refused").arg(QString::fromUtf8(inputId_)));
    return false;
  }
  Media& m = *media_;
  if (!m.recorder) {
    m.session = std::make_unique<QMediaCaptureSession>();
    m.recorder = std::make_unique<QMediaRecorder>();
    m.session->setRecorder(m.recorder.get());
    connect(m.recorder.get(), &QMediaRecorder::errorOccurred, this,
            [this](QMediaRecorder::Error, const QString& text) {
              Fail(QString("recording failed: %1").arg(text));
              // The stop below must not pass the broken file off as a note.
              media_->stopping = false;
              if (media_->recorder) media_->recorder->stop();
              EndRecording(false);
            });
    connect(m.recorder.get(), &QMediaRecorder::recorderStateChanged, this,
            [this](QMediaRecorder::RecorderState state) {
              if (state == QMediaRecorder::StoppedState && media_->stopping) EndRecording(true);
            });
  }
  m.input = std::make_unique<QAudioInput>(device);
  m.session->setAudioInput(m.input.get());
  if (!m.recorder->isAvailable()) {
    Fail("the recorder is not available: recording refused");
    return false;
  }
  QMediaFormat format;
  format.setFileFormat(QMediaFormat::Wave);
  format.setAudioCodec(QMediaFormat::AudioCodec::Wave);
  m.recorder->setMediaFormat(format);
  recordingFile_ = file;
  const fs::path part = PartFile(file);
  std::error_code error;
  fs::remove(part, error);
  m.recorder->setOutputLocation(QUrl::fromLocalFile(QString::fromStdString(part.string())));
  m.stopping = false;
  recording_ = true;
  m.recorder->record();
  if (m.recorder->error() != QMediaRecorder::NoError || !recording_) {
    if (recording_) Fail(QString("recording failed: %1").arg(m.recorder->errorString()));
    recording_ = false;
    fs::remove(part, error);
    return false;
  }
  LogMessage("Audio note: recording to %s", file.c_str());
  return true;
}

void AudioNote::StopRecording() {
  if (!recording_ || !media_->recorder) return;
  media_->stopping = true;
  media_->recorder->stop();
  if (!recording_) return;
  if (media_->recorder->recorderState() == QMediaRecorder::StoppedState) {
    EndRecording(true);
    return;
  }
  // A backend that never reports the stop must not keep the dialog waiting.
  QTimer::singleShot(kStopGraceMs, this, [this] {
    if (recording_ && media_->stopping) EndRecording(true);
  });
}

bool AudioNote::Play(const fs::path& file) {
  StopPlaying();
  lastError_.clear();
  std::error_code error;
  if (!fs::is_regular_file(file, error)) {
    Fail(QString("no note %1 to play").arg(file.c_str()));
    return false;
  }
  const QAudioDevice device = QMediaDevices::defaultAudioOutput();
  if (device.isNull()) {
    Fail("no audio output: playing refused");
    return false;
  }
  Media& m = *media_;
  if (!m.player) {
    m.player = std::make_unique<QMediaPlayer>();
    m.output = std::make_unique<QAudioOutput>(device);
    m.player->setAudioOutput(m.output.get());
    connect(m.player.get(), &QMediaPlayer::errorOccurred, this, [this](QMediaPlayer::Error, const QString& text) {
      Fail(QString("playing failed: %1").arg(text));
      EndPlaying();
    });
    connect(m.player.get(), &QMediaPlayer::playbackStateChanged, this, [this](QMediaPlayer::PlaybackState state) {
      if (state == QMediaPlayer::StoppedState) EndPlaying();
    });
  }
  // The same file again after a new recording: make the player read it anew.
  m.player->setSource(QUrl());
  m.player->setSource(QUrl::fromLocalFile(QString::fromStdString(file.string())));
  playing_ = true;
  m.player->play();
  if (m.player->error() != QMediaPlayer::NoError) {
    if (playing_) Fail(QString("playing failed: %1").arg(m.player->errorString()));
    playing_ = false;
    return false;
  }
  return playing_;
}

void AudioNote::StopPlaying() {
  if (!playing_ || !media_->player) return;
  media_->player->stop();
  EndPlaying();
}

#else  // built without Qt Multimedia

bool AudioNote::StartRecording(const fs::path&) {
  Fail("built without Qt Multimedia: recording refused");
  return false;
}

void AudioNote::StopRecording() {}

bool AudioNote::Play(const fs::path&) {
  Fail("built without Qt Multimedia: playing refused");
  return false;
}

void AudioNote::StopPlaying() {}

#endif

}  // namespace rovana::dialogs
