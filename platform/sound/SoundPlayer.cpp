#include "platform/sound/SoundPlayer.h"

#include <QAudioDevice>
#include <QCoreApplication>
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
#include "platform/sound/WavFile.h"

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
    for (auto& [path, sound] : sounds) {
      QObject::disconnect(sound.effect, nullptr, context, nullptr);
      sound.effect->stop();
    }
    // Destroying an effect waits for the files still loading, and for ever
    // after a failed decode (Qt 6.4's sample cache); then the effects are
    // left to the process's end rather than hang the shutdown.
    if (poisoned || AnyLoading()) {
      auto* leftOver = new QObject;
      for (auto& [path, sound] : sounds) sound.effect->setParent(leftOver);
    }
    delete context;  // with the effects still its children, and with the plays posted to it
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
    if (!sounds.count(path)) {
      const WavCheck check = CheckWavFile(path);
      if (!check.ok()) {
        ReportOnce(path, ("is not a playable WAV file: " + check.problem).c_str());
        return false;
      }
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
    if (sounds.size() >= kCachedSounds && CanEvict()) EvictOne();
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
        poisoned = true;
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

  // Destroying an effect waits until every file being loaded has loaded (and
  // for ever after a failed decode), so the cache grows past its size
  // instead while a file loads, and never shrinks after a failure.
  bool CanEvict() const { return !poisoned && !AnyLoading(); }

  bool AnyLoading() const {
    for (const auto& [path, sound] : sounds) {
      const QSoundEffect::Status status = sound.effect->status();
      if (status == QSoundEffect::Loading || status == QSoundEffect::Null) return true;
    }
    return false;
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
    delete effect;  // nothing loads now, so this does not wait
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
  bool poisoned = false;  // a file passed the header check but failed to decode
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

}  // namespace platform::sound
