// Where a sound (a voice prompt or an alert) is found. Sounds are named by a
// bare file name such as "Arrive.wav" and looked up, first match wins, in
//   1. the home's samples folder: "<home>/samples/<file>", so a user's own
//      recording replaces the shipped one in every language;
//   2. the resource folder's prompts for the chosen language:
//      "<resources>/samples/<language>/<file>";
//   3. the resource folder's English prompts:
//      "<resources>/samples/English/<file>".
// A sound found nowhere is simply not heard. The language is the `language`
// setting (a language file's name without extension, "English", "German").
#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

#include "app/core/ProgramFolders.h"

namespace rovana {

// The language whose prompts stand in for a language that has none.
inline constexpr std::string_view kFallbackSoundLanguage = "English";

// The places `file` may be, in the order above, without duplicates. None at
// all when `file` is not a bare name (empty, ".", "..", or with a '/' or a
// NUL), so a name can never reach outside the sound folders; a `language`
// that is not a bare name (or is empty) is skipped and English is used.
std::vector<std::filesystem::path> SoundCandidates(const ProgramFolders& folders, std::string_view language,
                                                   std::string_view file);

// The first candidate that is a regular file (or a link to one); an empty
// path when there is none. Never throws: an unreadable folder counts as a
// missing file.
std::filesystem::path FindSound(const ProgramFolders& folders, std::string_view language, std::string_view file);

}  // namespace rovana
