// SHA-256, HMAC-SHA256 and the per-application identifier derived from the machine ID.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace host {

// The SHA-256 digest of `data`.
std::array<std::uint8_t, 32> Sha256(std::span<const std::uint8_t> data);

// HMAC with SHA-256: a key longer than the 64-byte block is hashed first, a shorter one is padded
// with zero bytes to the block.
std::array<std::uint8_t, 32> HmacSha256(std::span<const std::uint8_t> key,
                                        std::span<const std::uint8_t> message);

// The identifier this machine shows one application: HMAC-SHA256 keyed with the 16 machine-ID bytes
// over the 16 application-ID bytes, the first 16 bytes of it, marked as a random (version 4)
// RFC 4122 UUID: byte 6 = (byte 6 & 0x0F) | 0x40, byte 8 = (byte 8 & 0x3F) | 0x80. The same machine
// ID and application ID always give the same identifier; it does not reveal the machine ID.
std::array<std::uint8_t, 16> AppSpecificId(const std::array<std::uint8_t, 16>& machineId,
                                           const std::array<std::uint8_t, 16>& appId);

}  // namespace host
