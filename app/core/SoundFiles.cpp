#include "app/core/SoundFiles.h"

#include <algorithm>
#include <system_error>

namespace rovana {

namespace {

bool IsBareName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

void AddOnce(std::vector<std::filesystem::path>& candidates, std::filesystem::path path) {
  if (std::find(candidates.begin(), candidates.end(), path) == candidates.end())
    candidates.push_back(std::move(path));
}

}  // namespace

std::vector<std::filesystem::path> SoundCandidates(const ProgramFolders& folders, std::string_view language,
                                                   std::string_view file) {
  std::vector<std::filesystem::path> candidates;
  if (!IsBareName(file)) return candidates;
  // FoldersUnder always fills `samples`; a hand-made ProgramFolders may not.
  if (!folders.samples.empty()) AddOnce(candidates, std::filesystem::path(folders.samples) / file);
  if (!folders.resources.empty()) {
    const std::filesystem::path shipped = std::filesystem::path(folders.resources) / "samples";
    if (IsBareName(language)) AddOnce(candidates, shipped / language / file);
    AddOnce(candidates, shipped / kFallbackSoundLanguage / file);
  }
  return candidates;
}

std::filesystem::path FindSound(const ProgramFolders& folders, std::string_view language, std::string_view file) {
  for (const std::filesystem::path& candidate : SoundCandidates(folders, language, file)) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(candidate, ec)) return candidate;
  }
  return {};
}

}  // namespace rovana
