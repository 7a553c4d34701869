// Line speeds that termios has no Bnnn constant for but serial ports of GPS
// receivers were sold with (14400, 28800, 56000, 128000, 256000): set through
// the kernel's termios2 interface with BOTHER. Kept apart from termios.h,
// whose definitions clash with the kernel's.
#pragma once

#include <cstdint>

namespace platform {

// One of the rates above.
bool IsOtherLineSpeed(std::int32_t rate);
// Sets both directions of the open terminal `fd` to `rate`; false (errno
// set) when the driver refuses.
bool SetOtherLineSpeed(int fd, std::int32_t rate);
// The output speed the driver holds, or -1.
std::int32_t ReadLineSpeed(int fd);

}  // namespace platform
