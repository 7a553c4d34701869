// A component library whose registration fails, for the registration test.
#include <cstdint>

extern "C" __attribute__((visibility("default"))) std::int32_t DllRegisterServer() {
  return static_cast<std::int32_t>(0x80004005u);  // E_FAIL
}
