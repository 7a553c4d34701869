// Asynchronous playback of short WAV files (voice prompts, alerts) behind a
// header without Qt, so that the navigation code that decides what to say
// stays free of Qt. The player plays through Qt Multimedia's QSoundEffect.
//
// A SoundPlayer belongs to the thread that creates it, which must run a Qt
// event loop (the user interface thread, once the application object
// exists): loading and playing happen there. Play called from another
// thread is handed to that thread and happens there later.
//
// Play never blocks and never throws. When the machine has no audio output,
// or a file is missing, is no PCM WAV file (its header is checked first, see
// WavFile.h) or cannot be loaded, the player stays silent and logs the
// reason once: once for the missing output, once per unusable file.
// A new sound stops the one still playing, so a newer prompt is never drowned
// by an older one. Loaded files are kept (up to kCachedSounds of them), so a
// prompt that repeats starts at once.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace platform::sound {

class SoundPlayer {
 public:
  static constexpr std::size_t kCachedSounds = 16;

  SoundPlayer();
  ~SoundPlayer();
  SoundPlayer(const SoundPlayer&) = delete;
  SoundPlayer& operator=(const SoundPlayer&) = delete;

  // Starts playing the WAV file at `path` (UTF-8) and returns at once.
  // False when it is certain that nothing will be heard (no application
  // object, no audio output, a missing or unloadable file); true when the
  // sound started, will start when its file has loaded, or was handed to
  // the player's thread.
  bool Play(const std::string& path);

  // Stops whatever plays. On the player's thread only; elsewhere ignored.
  void Stop();

  // Whether the machine has an audio output now.
  static bool HasAudioOutput();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace platform::sound
