#include "release_key.h"

#include <gcrypt.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <stdexcept>
#include <type_traits>
#include <vector>

#include "update/crypto_library.h"

namespace kelvra::publish {
namespace {

constexpr std::string_view kPrivateTag = "ed25519-private ";
constexpr std::string_view kPublicTag = "ed25519-public ";

struct SexpFree {
    void operator()(gcry_sexp_t s) const { gcry_sexp_release(s); }
};
using Sexp = std::unique_ptr<std::remove_pointer_t<gcry_sexp_t>, SexpFree>;

std::runtime_error CryptoError(const std::string& what, gcry_error_t code) {
    return std::runtime_error(what + ": " + gcry_strerror(code));
}

// The bytes of the named element of an S-expression (for example "q" in a key).
std::vector<std::uint8_t> Element(const Sexp& list, const char* name) {
    const Sexp token(gcry_sexp_find_token(list.get(), name, 0));
    if (!token)
        throw std::runtime_error(std::string("The crypto library gave no \"") + name + "\".");
    std::size_t size = 0;
    const char* data = gcry_sexp_nth_data(token.get(), 1, &size);
    if (data == nullptr)
        throw std::runtime_error(std::string("The crypto library gave an empty \"") + name + "\".");
    return {data, data + size};
}

template <std::size_t N>
std::array<std::uint8_t, N> Exactly(std::vector<std::uint8_t> bytes, const char* name) {
    // A compressed point may come with the 0x40 prefix of the native point format.
    if (bytes.size() == N + 1 && bytes[0] == 0x40)
        bytes.erase(bytes.begin());
    if (bytes.size() != N)
        throw std::runtime_error(std::string("The crypto library gave a \"") + name +
                                 "\" of unexpected length.");
    std::array<std::uint8_t, N> out{};
    std::copy(bytes.begin(), bytes.end(), out.begin());
    return out;
}

// The value of the line starting with tag; throws when there is none or it is not
// 64 lower-case hex digits.
std::array<std::uint8_t, 32> HexLine(std::string_view text, std::string_view tag) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.substr(0, tag.size()) == tag) {
            const auto bytes = update::BytesOfHex(line.substr(tag.size()), 32);
            if (!bytes)
                throw std::runtime_error("The key file's \"" +
                                         std::string(tag.substr(0, tag.size() - 1)) +
                                         "\" line is not 64 lower-case hex digits.");
            std::array<std::uint8_t, 32> out{};
            std::copy(bytes->begin(), bytes->end(), out.begin());
            return out;
        }
        start = end + 1;
    }
    throw std::runtime_error("The key file has no \"" + std::string(tag.substr(0, tag.size() - 1)) +
                             "\" line.");
}

Sexp PrivateKeySexp(const ReleaseKey& key) {
    gcry_sexp_t raw = nullptr;
    const gcry_error_t rc = gcry_sexp_build(
        &raw, nullptr, "(private-key (ecc (curve Ed25519) (flags eddsa) (q %b) (d %b)))",
        static_cast<int>(key.public_key.size()), key.public_key.data(),
        static_cast<int>(key.seed.size()), key.seed.data());
    if (rc != 0)
        throw CryptoError("Cannot use the private key", rc);
    return Sexp(raw);
}

std::string SignWith(std::string_view message, const ReleaseKey& key) {
    gcry_sexp_t raw = nullptr;
    gcry_error_t rc =
        gcry_sexp_build(&raw, nullptr, "(data (flags eddsa) (hash-algo sha512) (value %b))",
                        static_cast<int>(message.size()), message.data());
    if (rc != 0)
        throw CryptoError("Cannot prepare the message to sign", rc);
    const Sexp data(raw);
    rc = gcry_pk_sign(&raw, data.get(), PrivateKeySexp(key).get());
    if (rc != 0)
        throw CryptoError("Cannot sign", rc);
    const Sexp signature(raw);
    const auto r = Exactly<32>(Element(signature, "r"), "r");
    const auto s = Exactly<32>(Element(signature, "s"), "s");
    return update::HexOf(r.data(), r.size()) + update::HexOf(s.data(), s.size());
}

}  // namespace

ReleaseKey GenerateReleaseKey() {
    update::EnsureCryptoLibrary();
    gcry_sexp_t raw = nullptr;
    gcry_error_t rc =
        gcry_sexp_build(&raw, nullptr, "(genkey (ecc (curve Ed25519) (flags eddsa)))");
    if (rc != 0)
        throw CryptoError("Cannot ask for a key", rc);
    const Sexp parameters(raw);
    rc = gcry_pk_genkey(&raw, parameters.get());
    if (rc != 0)
        throw CryptoError("Cannot make a key", rc);
    const Sexp pair(raw);
    const Sexp secret(gcry_sexp_find_token(pair.get(), "private-key", 0));
    if (!secret)
        throw std::runtime_error("The crypto library gave no private key.");
    ReleaseKey key;
    std::vector<std::uint8_t> seed = Element(secret, "d");
    // The seed may come as a number without its leading zero bytes.
    if (seed.size() < key.seed.size())
        seed.insert(seed.begin(), key.seed.size() - seed.size(), 0);
    key.seed = Exactly<32>(seed, "d");
    key.public_key = Exactly<32>(Element(secret, "q"), "q");
    return key;
}

std::string PrivateKeyFileText(const ReleaseKey& key) {
    return "# Kelvra release signing key (Ed25519). Keep it offline and backed up; never\n"
           "# publish it or put it in a repository.\n" +
           std::string(kPrivateTag) + update::HexOf(key.seed.data(), key.seed.size()) + "\n" +
           std::string(kPublicTag) + update::HexOf(key.public_key.data(), key.public_key.size()) +
           "\n";
}

std::string PublicKeyFileText(const update::Ed25519PublicKey& key) {
    return "# Kelvra release public key (Ed25519).\n" + std::string(kPublicTag) +
           update::HexOf(key.data(), key.size()) + "\n";
}

ReleaseKey ParsePrivateKeyFile(std::string_view text) {
    ReleaseKey key;
    key.seed = HexLine(text, kPrivateTag);
    key.public_key = HexLine(text, kPublicTag);
    // The public half must belong to the seed, or every release would fail to verify.
    update::EnsureCryptoLibrary();
    const std::string probe = "kelvra release key check";
    if (!update::VerifyReleaseSignature(probe, SignWith(probe, key), key.public_key))
        throw std::runtime_error("The key file's public key does not belong to its private key.");
    return key;
}

update::Ed25519PublicKey ParsePublicKeyFile(std::string_view text) {
    return HexLine(text, kPublicTag);
}

std::string SignRelease(std::string_view message, const ReleaseKey& key) {
    update::EnsureCryptoLibrary();
    std::string signature = SignWith(message, key);
    if (!update::VerifyReleaseSignature(message, signature, key.public_key))
        throw std::runtime_error("The signature just made does not verify.");
    return signature + "\n";
}

}  // namespace kelvra::publish
