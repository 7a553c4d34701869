#include "platform/serial/LineSpeed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <array>

namespace platform {
namespace {

constexpr std::array<std::int32_t, 5> kOtherRates = {14400, 28800, 56000, 128000, 256000};

}  // namespace

bool IsOtherLineSpeed(std::int32_t rate) {
  for (const std::int32_t other : kOtherRates)
    if (other == rate) return true;
  return false;
}

bool SetOtherLineSpeed(int fd, std::int32_t rate) {
  termios2 tio{};
  if (ioctl(fd, TCGETS2, &tio) != 0) return false;
  tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  tio.c_ispeed = static_cast<speed_t>(rate);
  tio.c_ospeed = static_cast<speed_t>(rate);
  return ioctl(fd, TCSETS2, &tio) == 0;
}

std::int32_t ReadLineSpeed(int fd) {
  termios2 tio{};
  if (ioctl(fd, TCGETS2, &tio) != 0) return -1;
  return static_cast<std::int32_t>(tio.c_ospeed);
}

}  // namespace platform
