// SHA-256, HMAC-SHA256 and the per-application identifier derived from the machine ID.
#include "platform/linux/app_specific_id.h"

#include <cstddef>

namespace host {
namespace {

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

constexpr std::size_t kBlockSize = 64;

constexpr std::uint32_t RotateRight(std::uint32_t x, unsigned n) {
  return (x >> n) | (x << (32 - n));
}

// A SHA-256 computation fed in pieces, so HMAC can hash pad and message without joining them.
class Sha256Context {
 public:
  void Update(std::span<const std::uint8_t> data) {
    for (std::uint8_t byte : data) {
      block_[used_++] = byte;
      if (used_ == kBlockSize) {
        Compress();
        used_ = 0;
      }
    }
    totalBytes_ += data.size();
  }

  std::array<std::uint8_t, 32> Finish() {
    const std::uint64_t totalBits = totalBytes_ * 8;
    block_[used_++] = 0x80;
    if (used_ > kBlockSize - 8) {
      while (used_ < kBlockSize) block_[used_++] = 0;
      Compress();
      used_ = 0;
    }
    while (used_ < kBlockSize - 8) block_[used_++] = 0;
    for (int i = 7; i >= 0; --i) {
      block_[used_++] = static_cast<std::uint8_t>(totalBits >> (8 * i));
    }
    Compress();
    std::array<std::uint8_t, 32> digest{};
    for (std::size_t i = 0; i < 8; ++i) {
      digest[4 * i] = static_cast<std::uint8_t>(state_[i] >> 24);
      digest[4 * i + 1] = static_cast<std::uint8_t>(state_[i] >> 16);
      digest[4 * i + 2] = static_cast<std::uint8_t>(state_[i] >> 8);
      digest[4 * i + 3] = static_cast<std::uint8_t>(state_[i]);
    }
    return digest;
  }

 private:
  void Compress() {
    std::uint32_t w[64];
    for (std::size_t i = 0; i < 16; ++i) {
      w[i] = static_cast<std::uint32_t>(block_[4 * i]) << 24 |
             static_cast<std::uint32_t>(block_[4 * i + 1]) << 16 |
             static_cast<std::uint32_t>(block_[4 * i + 2]) << 8 |
             static_cast<std::uint32_t>(block_[4 * i + 3]);
    }
    for (std::size_t i = 16; i < 64; ++i) {
      const std::uint32_t s0 =
          RotateRight(w[i - 15], 7) ^ RotateRight(w[i - 15], 18) ^ (w[i - 15] >> 3);
      const std::uint32_t s1 =
          RotateRight(w[i - 2], 17) ^ RotateRight(w[i - 2], 19) ^ (w[i - 2] >> 10);
      w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    std::uint32_t e = state_[4], f = state_[5], g = state_[6], h = state_[7];
    for (std::size_t i = 0; i < 64; ++i) {
      const std::uint32_t sum1 = RotateRight(e, 6) ^ RotateRight(e, 11) ^ RotateRight(e, 25);
      const std::uint32_t choose = (e & f) ^ (~e & g);
      const std::uint32_t t1 = h + sum1 + choose + kRoundConstants[i] + w[i];
      const std::uint32_t sum0 = RotateRight(a, 2) ^ RotateRight(a, 13) ^ RotateRight(a, 22);
      const std::uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
      const std::uint32_t t2 = sum0 + majority;
      h = g;
      g = f;
      f = e;
      e = d + t1;
      d = c;
      c = b;
      b = a;
      a = t1 + t2;
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
    state_[4] += e;
    state_[5] += f;
    state_[6] += g;
    state_[7] += h;
  }

  std::uint32_t state_[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                             0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  std::uint8_t block_[kBlockSize] = {};
  std::size_t used_ = 0;
  std::uint64_t totalBytes_ = 0;
};

}  // namespace

std::array<std::uint8_t, 32> Sha256(std::span<const std::uint8_t> data) {
  Sha256Context context;
  context.Update(data);
  return context.Finish();
}

std::array<std::uint8_t, 32> HmacSha256(std::span<const std::uint8_t> key,
                                        std::span<const std::uint8_t> message) {
  std::array<std::uint8_t, kBlockSize> blockKey{};
  if (key.size() > kBlockSize) {
    const auto hashed = Sha256(key);
    for (std::size_t i = 0; i < hashed.size(); ++i) blockKey[i] = hashed[i];
  } else {
    for (std::size_t i = 0; i < key.size(); ++i) blockKey[i] = key[i];
  }
  std::array<std::uint8_t, kBlockSize> innerPad{};
  std::array<std::uint8_t, kBlockSize> outerPad{};
  for (std::size_t i = 0; i < kBlockSize; ++i) {
    innerPad[i] = static_cast<std::uint8_t>(blockKey[i] ^ 0x36);
    outerPad[i] = static_cast<std::uint8_t>(blockKey[i] ^ 0x5c);
  }
  Sha256Context inner;
  inner.Update(innerPad);
  inner.Update(message);
  const auto innerDigest = inner.Finish();
  Sha256Context outer;
  outer.Update(outerPad);
  outer.Update(innerDigest);
  return outer.Finish();
}

std::array<std::uint8_t, 16> AppSpecificId(const std::array<std::uint8_t, 16>& machineId,
                                           const std::array<std::uint8_t, 16>& appId) {
  const auto mac = HmacSha256(machineId, appId);
  std::array<std::uint8_t, 16> id{};
  for (std::size_t i = 0; i < id.size(); ++i) id[i] = mac[i];
  id[6] = static_cast<std::uint8_t>((id[6] & 0x0F) | 0x40);
  id[8] = static_cast<std::uint8_t>((id[8] & 0x3F) | 0x80);
  return id;
}

}  // namespace host
