// PromptPlayer: the voice prompts the navigation target asks for by bare
// file name ("Arrive.wav"), looked up for the language chosen (the home's
// own samples first, see SoundFiles.h) and played without waiting. A sound
// that is not there is simply not heard; without Qt Multimedia nothing is
// (said once in the log). UI thread only.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform::sound {
class SoundPlayer;
}

namespace rovana {
struct ProgramFolders;
class SettingsStore;
}  // namespace rovana

namespace rovana::ui {

class PromptPlayer {
 public:
  // Both must outlive the player.
  PromptPlayer(const ProgramFolders& folders, const SettingsStore& settings);
  ~PromptPlayer();
  PromptPlayer(const PromptPlayer&) = delete;
  PromptPlayer& operator=(const PromptPlayer&) = delete;

  void Play(std::string_view file);
  // The files asked for, found or not, for tests and the log.
  const std::vector<std::string>& asked() const { return asked_; }

 private:
  const ProgramFolders& folders_;
  const SettingsStore& settings_;
  std::unique_ptr<platform::sound::SoundPlayer> player_;
  std::vector<std::string> asked_;
  bool toldMissing_ = false;
};

}  // namespace rovana::ui
