#include "tools/zenolith/Printable.h"

#include "platform/text/SafeText.h"

namespace zenolith::tools {

std::string Printable(std::string_view bytes) { return platform::SafeText(bytes); }

}  // namespace zenolith::tools
