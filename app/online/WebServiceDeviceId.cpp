#include "app/online/WebServiceDeviceId.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "app/core/Log.h"

namespace rovana {
namespace {

// The key that makes our identifiers our own; changing it changes every
// machine's identifier.
constexpr std::string_view kDeviceIdKey = "Rovana web service device id 1";
constexpr std::size_t kMachineIdMaxBytes = 256;

constexpr std::uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

constexpr std::uint32_t Rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

class Sha256State {
 public:
  void Update(std::string_view data) {
    for (const char c : data) {
      block_[used_++] = static_cast<std::uint8_t>(c);
      if (used_ == 64) {
        Compress();
        used_ = 0;
      }
    }
    length_ += data.size();
  }

  Sha256Digest Finish() {
    const std::uint64_t bits = length_ * 8;
    block_[used_++] = 0x80;
    if (used_ > 56) {
      while (used_ < 64) block_[used_++] = 0;
      Compress();
      used_ = 0;
    }
    while (used_ < 56) block_[used_++] = 0;
    for (int i = 7; i >= 0; --i) block_[used_++] = static_cast<std::uint8_t>(bits >> (8 * i));
    Compress();
    Sha256Digest out{};
    for (std::size_t i = 0; i < 8; ++i)
      for (std::size_t j = 0; j < 4; ++j) out[4 * i + j] = static_cast<std::uint8_t>(h_[i] >> (24 - 8 * j));
    return out;
  }

 private:
  void Compress() {
    std::uint32_t w[64];
    for (std::size_t i = 0; i < 16; ++i)
      w[i] = std::uint32_t{block_[4 * i]} << 24 | std::uint32_t{block_[4 * i + 1]} << 16 |
             std::uint32_t{block_[4 * i + 2]} << 8 | std::uint32_t{block_[4 * i + 3]};
    for (std::size_t i = 16; i < 64; ++i) {
      const std::uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
      const std::uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
      w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4], f = h_[5], g = h_[6], h = h_[7];
    for (std::size_t i = 0; i < 64; ++i) {
      const std::uint32_t t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRoundConstants[i] + w[i];
      const std::uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
      h = g;
      g = f;
      f = e;
      e = d + t1;
      d = c;
      c = b;
      b = a;
      a = t1 + t2;
    }
    h_[0] += a;
    h_[1] += b;
    h_[2] += c;
    h_[3] += d;
    h_[4] += e;
    h_[5] += f;
    h_[6] += g;
    h_[7] += h;
  }

  std::uint32_t h_[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  std::uint8_t block_[64] = {};
  std::size_t used_ = 0;
  std::uint64_t length_ = 0;
};

std::string_view Trimmed(std::string_view text) {
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  return text;
}

// The id in a regular file of at most kMachineIdMaxBytes, or "".
std::string ReadMachineId(const std::filesystem::path& file) {
  struct stat info{};
  if (::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
  std::FILE* in = std::fopen(file.c_str(), "rb");
  if (!in) return {};
  char buffer[kMachineIdMaxBytes];
  const std::size_t got = std::fread(buffer, 1, sizeof buffer, in);
  std::fclose(in);
  return std::string(Trimmed(std::string_view(buffer, got)));
}

}  // namespace

Sha256Digest Sha256(std::string_view data) {
  Sha256State state;
  state.Update(data);
  return state.Finish();
}

Sha256Digest HmacSha256(std::string_view key, std::string_view message) {
  std::uint8_t block[64] = {};
  if (key.size() > 64) {
    const Sha256Digest hashed = Sha256(key);
    std::memcpy(block, hashed.data(), hashed.size());
  } else {
    std::memcpy(block, key.data(), key.size());
  }
  std::string inner(64, '\0'), outer(64, '\0');
  for (std::size_t i = 0; i < 64; ++i) {
    inner[i] = static_cast<char>(block[i] ^ 0x36);
    outer[i] = static_cast<char>(block[i] ^ 0x5c);
  }
  Sha256State first;
  first.Update(inner);
  first.Update(message);
  const Sha256Digest innerDigest = first.Finish();
  Sha256State second;
  second.Update(outer);
  second.Update(std::string_view(reinterpret_cast<const char*>(innerDigest.data()), innerDigest.size()));
  return second.Finish();
}

std::string DeviceIdFromMachineId(std::string_view machineId) {
  static constexpr char kHex[] = "0123456789abcdef";
  const Sha256Digest digest = HmacSha256(kDeviceIdKey, Trimmed(machineId));
  std::string out;
  for (std::size_t i = 0; i < 16; ++i) {
    out += kHex[digest[i] >> 4];
    out += kHex[digest[i] & 0x0F];
  }
  return out;
}

std::string MachineDeviceId(const std::filesystem::path& file) {
  std::string id = ReadMachineId(file);
  if (id.empty() && file == "/etc/machine-id") id = ReadMachineId("/var/lib/dbus/machine-id");
  if (id.empty()) {
    LogMessage("No machine id in %s; the web service sees a device id of zeros", file.c_str());
    return std::string(32, '0');
  }
  return DeviceIdFromMachineId(id);
}

}  // namespace rovana
