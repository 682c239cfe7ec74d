// The publisher's Ed25519 key: generation, the two key files and signing.
//
// Key files are text. Lines starting with "#" are comments. The private key file holds
//   ed25519-private <64 lower-case hex digits: the 32-byte secret seed>
//   ed25519-public <64 lower-case hex digits: the 32-byte public key>
// and the public key file only the "ed25519-public" line.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "update/release_signature.h"

namespace kelvra::publish {

struct ReleaseKey {
    std::array<std::uint8_t, 32> seed{};
    update::Ed25519PublicKey public_key{};
};

// A fresh key from the crypto library's strongest random source.
ReleaseKey GenerateReleaseKey();

// The texts of the two files.
std::string PrivateKeyFileText(const ReleaseKey& key);
std::string PublicKeyFileText(const update::Ed25519PublicKey& key);

// Reads key file text; throws std::runtime_error naming what is wrong. A private key whose
// public half does not belong to its seed is refused.
ReleaseKey ParsePrivateKeyFile(std::string_view text);
update::Ed25519PublicKey ParsePublicKeyFile(std::string_view text);

// The detached signature over message: 128 lower-case hex digits and a newline.
std::string SignRelease(std::string_view message, const ReleaseKey& key);

}  // namespace kelvra::publish
