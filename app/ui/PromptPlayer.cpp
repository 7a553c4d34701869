#include "app/ui/PromptPlayer.h"

#include "app/core/Log.h"
#include "app/core/ProgramFolders.h"
#include "app/core/SettingsStore.h"
#include "app/core/SoundFiles.h"
#if ROVANA_HAVE_MULTIMEDIA
#include "platform/sound/SoundPlayer.h"
#endif

namespace platform::sound {
#if !ROVANA_HAVE_MULTIMEDIA
class SoundPlayer {};
#endif
}  // namespace platform::sound

namespace rovana::ui {

PromptPlayer::PromptPlayer(const ProgramFolders& folders, const SettingsStore& settings)
    : folders_(folders), settings_(settings) {
#if ROVANA_HAVE_MULTIMEDIA
  player_ = std::make_unique<platform::sound::SoundPlayer>();
#else
  LogMessage("Sound: built without Qt Multimedia; voice prompts are not heard");
#endif
}

PromptPlayer::~PromptPlayer() = default;

void PromptPlayer::Play(std::string_view file) {
  if (asked_.size() < 1000) asked_.emplace_back(file);
  const std::filesystem::path path = FindSound(folders_, settings_.language, file);
  if (path.empty()) {
    if (!toldMissing_) LogMessage("Sound: %.*s not found in the samples folders", int(file.size()), file.data());
    toldMissing_ = true;
    return;
  }
#if ROVANA_HAVE_MULTIMEDIA
  player_->Play(path.string());
#endif
}

}  // namespace rovana::ui
