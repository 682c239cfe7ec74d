// Hex text and the one-time set-up of the crypto library, shared by the release checks and
// the publisher's tool.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvra::update {

// Initialises libgcrypt once per process (thread-safe); later calls return at once.
void EnsureCryptoLibrary();

// Lower-case hex of bytes.
std::string HexOf(const std::uint8_t* bytes, std::size_t size);
// The bytes of exactly size*2 lower-case hex digits; nullopt for anything else.
std::optional<std::vector<std::uint8_t>> BytesOfHex(std::string_view hex, std::size_t size);

}  // namespace kelvra::update
