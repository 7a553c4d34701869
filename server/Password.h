// Password hashing with PBKDF2-HMAC-SHA256 (OpenSSL's libcrypto) and random
// numbers from the operating system's generator. Plain passwords are never
// kept: an account stores the salt, the iteration count and the derived key.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rovana::server {

struct PasswordHash {
  std::string salt;  // 16 random bytes
  std::string key;   // 32 bytes derived from the password and the salt
  int iterations = 0;
};

// The default work factor; tests pass a small one to stay fast.
inline constexpr int kDefaultPasswordIterations = 200000;

// A new hash with a fresh random salt; nothing when libcrypto fails.
std::optional<PasswordHash> HashPassword(std::string_view password, int iterations);

// True when `password` derives the stored key (compared in constant time).
bool VerifyPassword(std::string_view password, const PasswordHash& stored);

// `count` bytes from the system's random generator; nothing when it fails.
std::optional<std::string> RandomBytes(std::size_t count);

// A random positive 31-bit number (session ids travel as "%d"); nothing
// when the generator fails.
std::optional<std::int32_t> RandomId();

}  // namespace rovana::server
