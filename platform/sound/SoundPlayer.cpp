#include "platform/sound/SoundPlayer.h"

#include <QApplication>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QObject>
#include <QSoundEffect>
#include <QThread>
#include <QUrl>
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

#include "app/core/Log.h"

namespace platform::sound {

namespace {

bool HaveApplication() { return QCoreApplication::instance() != nullptr; }

}  // namespace

struct SoundPlayer::State {
  struct Sound {
    QSoundEffect* effect = nullptr;  // a child of `context`
    std::uint64_t lastUse = 0;
    bool playWhenLoaded = false;
  };

  State() : thread(QThread::currentThread()), context(new QObject) {}
  ~State() {
    for (auto& [path, sound] : sounds) sound.effect->stop();
    delete context;  // deletes the effects with it
  }

  bool OnOwnThread() const { return QThread::currentThread() == thread; }

  void ReportOnce(const std::string& path, const char* problem) {
    if (!reported.insert(path).second) return;
    rovana::LogMessage("Sound: %s %s; it is not heard", path.c_str(), problem);
  }

  bool PlayHere(const std::string& path) {
    if (!HaveApplication()) {
      if (!loggedNoApplication) rovana::LogMessage("Sound: no application object; sounds are not heard");
      loggedNoApplication = true;
      return false;
    }
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec)) {
      ReportOnce(path, "is no file");
      return false;
    }
    if (!HasAudioOutput()) {
      if (!loggedNoOutput) rovana::LogMessage("Sound: no audio output device; sounds are not heard");
      loggedNoOutput = true;
      return false;
    }
    Sound* sound = SoundFor(path);
    if (!sound || sound->effect->status() == QSoundEffect::Error) return false;
    sound->lastUse = ++uses;
    latest = path;
    for (auto& [other, s] : sounds)
      if (&s != sound) {
        s.playWhenLoaded = false;
        if (s.effect->isPlaying()) s.effect->stop();
      }
    if (sound->effect->status() == QSoundEffect::Ready) {
      if (sound->effect->isPlaying()) sound->effect->stop();  // a repeated prompt starts over
      sound->effect->play();
    } else {
      sound->playWhenLoaded = true;  // Null or Loading: StatusChanged plays it
    }
    return true;
  }

  // The cached effect for `path`, made (and its loading started) when it is
  // not cached yet.
  Sound* SoundFor(const std::string& path) {
    if (auto found = sounds.find(path); found != sounds.end()) return &found->second;
    if (sounds.size() >= kCachedSounds) EvictOne();
    auto* effect = new QSoundEffect(context);
    Sound& sound = sounds[path];
    sound.effect = effect;
    QObject::connect(effect, &QSoundEffect::statusChanged, context, [this, path] { StatusChanged(path); });
    effect->setSource(QUrl::fromLocalFile(QString::fromStdString(path)));
    return &sound;
  }

  void StatusChanged(const std::string& path) {
    auto found = sounds.find(path);
    if (found == sounds.end()) return;
    Sound& sound = found->second;
    switch (sound.effect->status()) {
      case QSoundEffect::Error:
        sound.playWhenLoaded = false;
        ReportOnce(path, "cannot be loaded as a WAV file");
        break;
      case QSoundEffect::Ready:
        if (sound.playWhenLoaded && latest == path && !sound.effect->isPlaying()) sound.effect->play();
        sound.playWhenLoaded = false;
        break;
      default:
        break;
    }
  }

  // Drops the least recently used sound that is not playing (or, when all
  // play, the least recently used one).
  void EvictOne() {
    auto victim = sounds.end();
    for (auto it = sounds.begin(); it != sounds.end(); ++it) {
      const bool better = victim == sounds.end() ||
                          (victim->second.effect->isPlaying() && !it->second.effect->isPlaying()) ||
                          (victim->second.effect->isPlaying() == it->second.effect->isPlaying() &&
                           it->second.lastUse < victim->second.lastUse);
      if (better) victim = it;
    }
    if (victim == sounds.end()) return;
    QSoundEffect* effect = victim->second.effect;
    QObject::disconnect(effect, nullptr, context, nullptr);
    effect->stop();
    effect->deleteLater();
    sounds.erase(victim);
  }

  QThread* const thread;
  QObject* const context;  // lives on `thread`; receives handed-over plays
  std::map<std::string, Sound> sounds;
  std::set<std::string> reported;  // files already logged as unusable
  std::string latest;              // the file asked for last
  std::uint64_t uses = 0;
  bool loggedNoOutput = false;
  bool loggedNoApplication = false;
};

SoundPlayer::SoundPlayer() : state_(std::make_unique<State>()) {}

SoundPlayer::~SoundPlayer() = default;

bool SoundPlayer::Play(const std::string& path) {
  if (state_->OnOwnThread()) return state_->PlayHere(path);
  // Handed to the player's thread; dropped there if the player is gone by
  // then (posted calls to a deleted context are discarded).
  State* state = state_.get();
  return QMetaObject::invokeMethod(state->context, [state, path] { state->PlayHere(path); }, Qt::QueuedConnection);
}

void SoundPlayer::Stop() {
  if (!state_->OnOwnThread()) return;
  state_->latest.clear();
  for (auto& [path, sound] : state_->sounds) {
    sound.playWhenLoaded = false;
    sound.effect->stop();
  }
}

bool SoundPlayer::HasAudioOutput() { return HaveApplication() && !QMediaDevices::audioOutputs().isEmpty(); }

void Beep() {
  QCoreApplication* app = QCoreApplication::instance();
  if (!qobject_cast<QApplication*>(app)) return;
  if (QThread::currentThread() == app->thread())
    QApplication::beep();
  else
    QMetaObject::invokeMethod(app, [] { QApplication::beep(); }, Qt::QueuedConnection);
}

}  // namespace platform::sound
