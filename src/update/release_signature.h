// Checks that a release comes from its publisher: the Ed25519 signature over the control
// file, and the SHA-256 digests the signed control file lists for each downloaded file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct gcry_md_handle;

namespace kelvra::update {

using Ed25519PublicKey = std::array<std::uint8_t, 32>;

// The publisher's public key this build carries (chosen when the build is configured).
const Ed25519PublicKey& ReleasePublicKey();

// True only when signature_text is a well-formed signature by key over exactly message:
// 128 lower-case hex digits (the 64-byte signature), optionally followed by one newline.
bool VerifyReleaseSignature(std::string_view message, std::string_view signature_text,
                            const Ed25519PublicKey& key);

// SHA-256 of bytes, as 64 lower-case hex digits.
std::string Sha256Hex(std::string_view bytes);
// SHA-256 of the file at path (UTF-8), as 64 lower-case hex digits; throws
// std::runtime_error when the file cannot be read.
std::string Sha256FileHex(const std::string& path);

// SHA-256 fed piece by piece, such as a file's bytes as they are downloaded.
class Sha256Stream {
  public:
    Sha256Stream();
    void Add(const char* data, std::size_t size);
    std::int64_t size() const { return size_; }
    // 64 lower-case hex digits of everything added; nothing may be added afterwards.
    std::string FinishHex();

  private:
    struct Close {
        void operator()(gcry_md_handle* handle) const;
    };
    std::unique_ptr<gcry_md_handle, Close> handle_;
    std::int64_t size_ = 0;
};

}  // namespace kelvra::update
