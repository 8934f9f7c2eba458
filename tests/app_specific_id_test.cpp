// Tests of SHA-256, HMAC-SHA256 and the per-application identifier.
#include "platform/linux/app_specific_id.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> FromText(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::vector<std::uint8_t> FromHex(const std::string& hex) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

template <std::size_t N>
std::array<std::uint8_t, N> ArrayFromHex(const std::string& hex) {
  const auto bytes = FromHex(hex);
  std::array<std::uint8_t, N> out{};
  for (std::size_t i = 0; i < N && i < bytes.size(); ++i) out[i] = bytes[i];
  return out;
}

template <std::size_t N>
std::string ToHex(const std::array<std::uint8_t, N>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (std::uint8_t b : bytes) {
    hex.push_back(kDigits[b >> 4]);
    hex.push_back(kDigits[b & 0x0F]);
  }
  return hex;
}

TEST(Sha256, StandardVectorsAndPaddingBoundaries) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      // 448 bits: the length no longer fits the first block.
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      // Around the block edge: 55 bytes still take one block, 56 and 64 need a second one.
      {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
      {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
      {std::string(63, 'a'), "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
      {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
      {std::string(65, 'a'), "635361c48bb9eab14198e76ea8ab7f1a41685d6ad62aa9146d301d4f17eb0ae0"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& [message, digest] : cases) {
    EXPECT_EQ(ToHex(host::Sha256(FromText(message))), digest) << message.size() << " bytes";
  }
}

TEST(HmacSha256, Rfc4231TestCases) {
  struct Case {
    int number;
    std::vector<std::uint8_t> key;
    std::vector<std::uint8_t> data;
    std::string mac;
  };
  std::vector<std::uint8_t> key25;
  for (int i = 1; i <= 25; ++i) key25.push_back(static_cast<std::uint8_t>(i));
  const std::vector<Case> cases = {
      {1, std::vector<std::uint8_t>(20, 0x0b), FromText("Hi There"),
       "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
      {2, FromText("Jefe"), FromText("what do ya want for nothing?"),
       "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
      {3, std::vector<std::uint8_t>(20, 0xaa), std::vector<std::uint8_t>(50, 0xdd),
       "773ea91e36800e46854db8ebd09181a72959098b3ef8c122d9635514ced565fe"},
      {4, key25, std::vector<std::uint8_t>(50, 0xcd),
       "82558a389a443c0ea4cc819899f2083a85f0faa3e578f8077a2e3ff46729665b"},
      // 131-byte keys: longer than the block, so hashed first.
      {6, std::vector<std::uint8_t>(131, 0xaa),
       FromText("Test Using Larger Than Block-Size Key - Hash Key First"),
       "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
      {7, std::vector<std::uint8_t>(131, 0xaa),
       FromText("This is a test using a larger than block-size key and a larger than block-size "
                "data. The key needs to be hashed before being used by the HMAC algorithm."),
       "9b09ffa71b942fcb27635fbcd5b0e944bfdc63644f0713938a7f51535c3a35e2"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToHex(host::HmacSha256(c.key, c.data)), c.mac) << "test case " << c.number;
  }
}

// A key of exactly one block is used as it is; one byte more and it is hashed first. Expected
// values computed with an independent HMAC-SHA256 implementation.
TEST(HmacSha256, KeysAtTheBlockEdge) {
  const std::vector<std::pair<std::size_t, std::string>> cases = {
      {64, "eb4dffabf97de5da2a5202098a7d40bef0fc8b83ac01f03586a9cb56414e174d"},
      {65, "5de6b2c18fa52de729e5632abf2a2ec09e5d523167fccf3786e5f7589cc236ae"},
  };
  for (const auto& [length, mac] : cases) {
    std::vector<std::uint8_t> key;
    for (std::size_t i = 0; i < length; ++i) key.push_back(static_cast<std::uint8_t>(i));
    EXPECT_EQ(ToHex(host::HmacSha256(key, FromText("key at the block edge"))), mac) << length;
  }
}

// Worked by hand from the HMAC definition, with key K = 00 01 .. 0f (the machine ID) and
// message m = 10 11 .. 1f (the application ID):
//   K0    = K followed by 48 zero bytes (the key is shorter than the 64-byte block)
//   inner = SHA-256((K0 xor 36 36 ..) || m)
//         = dd70e47068fcba8be0a4bf0ad5e082f3f4df5fd6ba66b8924f853aeb38925697
//   HMAC  = SHA-256((K0 xor 5c 5c ..) || inner)
//         = e76b9e0fe4021d62ea97745ef43c654dc14698aa799acb9ccc3e7f2a2b41a19e
//   first 16 bytes               e76b9e0f e4021d62 ea97745e f43c654d
//   byte 6: (0x1d & 0x0f) | 0x40 = 0x4d;  byte 8: (0xea & 0x3f) | 0x80 = 0xaa
//   identifier                   e76b9e0f e4024d62 aa97745e f43c654d
TEST(AppSpecificId, VectorWorkedFromTheHmacDefinition) {
  const auto machineId = ArrayFromHex<16>("000102030405060708090a0b0c0d0e0f");
  const auto appId = ArrayFromHex<16>("101112131415161718191a1b1c1d1e1f");

  std::vector<std::uint8_t> innerInput(64, 0x36);
  std::vector<std::uint8_t> outerInput(64, 0x5c);
  for (std::size_t i = 0; i < machineId.size(); ++i) {
    innerInput[i] ^= machineId[i];
    outerInput[i] ^= machineId[i];
  }
  innerInput.insert(innerInput.end(), appId.begin(), appId.end());
  const auto inner = host::Sha256(innerInput);
  EXPECT_EQ(ToHex(inner), "dd70e47068fcba8be0a4bf0ad5e082f3f4df5fd6ba66b8924f853aeb38925697");
  outerInput.insert(outerInput.end(), inner.begin(), inner.end());
  EXPECT_EQ(ToHex(host::Sha256(outerInput)),
            "e76b9e0fe4021d62ea97745ef43c654dc14698aa799acb9ccc3e7f2a2b41a19e");
  EXPECT_EQ(ToHex(host::HmacSha256(machineId, appId)),
            "e76b9e0fe4021d62ea97745ef43c654dc14698aa799acb9ccc3e7f2a2b41a19e");

  EXPECT_EQ(ToHex(host::AppSpecificId(machineId, appId)), "e76b9e0fe4024d62aa97745ef43c654d");
}

// Recorded once with `systemd-id128 machine-id --app-specific=<application ID>` (systemd 252) on a
// machine whose /etc/machine-id was 3d1219c7c4c5404aaa1f6d2a48adfda4. In both vectors the raw
// HMAC bytes 6 and 8 (2a/77 and e2/22) differ from the identifier's, so both masks are exercised.
TEST(AppSpecificId, MatchesTheIdentifiersSystemdDerives) {
  const auto machineId = ArrayFromHex<16>("3d1219c7c4c5404aaa1f6d2a48adfda4");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"4c5b0f6a3e8d4f2e9a1b7c6d5e4f3a2b", "2868803754794a30b731e8f21cc42d97"},
      {"00000000000000000000000000000001", "c92b12aba31e4236a2296560761415ec"},
  };
  for (const auto& [appId, expected] : cases) {
    EXPECT_EQ(ToHex(host::AppSpecificId(machineId, ArrayFromHex<16>(appId))), expected) << appId;
  }
}

TEST(AppSpecificId, KeepsTheHmacExceptTheVersionAndVariantBits) {
  const auto machineId = ArrayFromHex<16>("5e0f3a9c1b2d4e6f8a7b9c0d1e2f3a4b");
  for (int n = 0; n < 256; ++n) {
    std::array<std::uint8_t, 16> appId{};
    appId[15] = static_cast<std::uint8_t>(n);
    const auto mac = host::HmacSha256(machineId, appId);
    const auto id = host::AppSpecificId(machineId, appId);
    for (std::size_t i = 0; i < id.size(); ++i) {
      if (i == 6) {
        EXPECT_EQ(id[i], (mac[i] & 0x0F) | 0x40) << n;
      } else if (i == 8) {
        EXPECT_EQ(id[i], (mac[i] & 0x3F) | 0x80) << n;
      } else {
        EXPECT_EQ(id[i], mac[i]) << n << " byte " << i;
      }
    }
  }
}

}  // namespace
