#include "server/Password.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

namespace rovana::server {
namespace {

constexpr std::size_t kSaltBytes = 16;
constexpr std::size_t kKeyBytes = 32;

std::optional<std::string> Derive(std::string_view password, const std::string& salt,
                                  int iterations) {
  if (iterations < 1) return std::nullopt;
  std::string key(kKeyBytes, '\0');
  const int ok = PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                                   reinterpret_cast<const unsigned char*>(salt.data()),
                                   static_cast<int>(salt.size()), iterations, EVP_sha256(),
                                   static_cast<int>(key.size()),
                                   reinterpret_cast<unsigned char*>(key.data()));
  if (ok != 1) return std::nullopt;
  return key;
}

}  // namespace

std::optional<std::string> RandomBytes(std::size_t count) {
  std::string bytes(count, '\0');
  if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(count)) != 1) {
    return std::nullopt;
  }
  return bytes;
}

std::optional<std::int32_t> RandomId() {
  for (;;) {
    const auto bytes = RandomBytes(4);
    if (!bytes) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : *bytes) value = (value << 8) | static_cast<unsigned char>(c);
    value &= 0x7fffffffu;
    if (value != 0) return static_cast<std::int32_t>(value);
  }
}

std::optional<PasswordHash> HashPassword(std::string_view password, int iterations) {
  auto salt = RandomBytes(kSaltBytes);
  if (!salt) return std::nullopt;
  auto key = Derive(password, *salt, iterations);
  if (!key) return std::nullopt;
  return PasswordHash{std::move(*salt), std::move(*key), iterations};
}

bool VerifyPassword(std::string_view password, const PasswordHash& stored) {
  const auto key = Derive(password, stored.salt, stored.iterations);
  if (!key || key->size() != stored.key.size()) return false;
  return CRYPTO_memcmp(key->data(), stored.key.data(), key->size()) == 0;
}

}  // namespace rovana::server
