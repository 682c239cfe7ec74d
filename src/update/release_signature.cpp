#include "update/release_signature.h"

#include <gcrypt.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <type_traits>

#include "update/crypto_library.h"

namespace kelvra::update {
namespace {

// Generated from the public key file named when the build was configured.
#include "release_public_key.inc"

struct SexpFree {
    void operator()(gcry_sexp_t s) const { gcry_sexp_release(s); }
};
using Sexp = std::unique_ptr<std::remove_pointer_t<gcry_sexp_t>, SexpFree>;

constexpr std::size_t kSignatureBytes = 64;
constexpr std::size_t kSha256Bytes = 32;

}  // namespace

const Ed25519PublicKey& ReleasePublicKey() {
    static const Ed25519PublicKey key = kBuiltInReleaseKey;
    return key;
}

bool VerifyReleaseSignature(std::string_view message, std::string_view signature_text,
                            const Ed25519PublicKey& key) {
    if (signature_text.size() == kSignatureBytes * 2 + 1 && signature_text.back() == '\n')
        signature_text.remove_suffix(1);
    const auto signature = BytesOfHex(signature_text, kSignatureBytes);
    if (!signature)
        return false;
    EnsureCryptoLibrary();
    gcry_sexp_t raw = nullptr;
    if (gcry_sexp_build(&raw, nullptr, "(public-key (ecc (curve Ed25519) (flags eddsa) (q %b)))",
                        static_cast<int>(key.size()), key.data()) != 0)
        return false;
    const Sexp public_key(raw);
    if (gcry_sexp_build(&raw, nullptr, "(sig-val (eddsa (r %b) (s %b)))", 32, signature->data(), 32,
                        signature->data() + 32) != 0)
        return false;
    const Sexp signature_value(raw);
    if (gcry_sexp_build(&raw, nullptr, "(data (flags eddsa) (hash-algo sha512) (value %b))",
                        static_cast<int>(message.size()), message.data()) != 0)
        return false;
    const Sexp data(raw);
    return gcry_pk_verify(signature_value.get(), data.get(), public_key.get()) == 0;
}

std::string Sha256Hex(std::string_view bytes) {
    Sha256Stream digest;
    digest.Add(bytes.data(), bytes.size());
    return digest.FinishHex();
}

std::string Sha256FileHex(const std::string& path) {
    const std::filesystem::path file(std::u8string(path.begin(), path.end()));
    std::error_code ec;
    std::ifstream in(file, std::ios::binary);
    if (!in || std::filesystem::is_directory(file, ec))
        throw std::runtime_error("Cannot open " + path + " to compute its SHA-256.");
    Sha256Stream digest;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
        digest.Add(buffer, static_cast<std::size_t>(in.gcount()));
    if (in.bad())
        throw std::runtime_error("Cannot read " + path + " to compute its SHA-256.");
    return digest.FinishHex();
}

void Sha256Stream::Close::operator()(gcry_md_handle* handle) const {
    gcry_md_close(handle);
}

Sha256Stream::Sha256Stream() {
    EnsureCryptoLibrary();
    gcry_md_hd_t handle = nullptr;
    if (gcry_md_open(&handle, GCRY_MD_SHA256, 0) != 0)
        throw std::runtime_error("SHA-256 is not available from the crypto library.");
    handle_.reset(handle);
}

void Sha256Stream::Add(const char* data, std::size_t size) {
    gcry_md_write(handle_.get(), data, size);
    size_ += static_cast<std::int64_t>(size);
}

std::string Sha256Stream::FinishHex() {
    return HexOf(gcry_md_read(handle_.get(), GCRY_MD_SHA256), kSha256Bytes);
}

}  // namespace kelvra::update
