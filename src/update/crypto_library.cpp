#include "update/crypto_library.h"

#include <gcrypt.h>

#include <mutex>
#include <stdexcept>

namespace kelvra::update {

void EnsureCryptoLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (!gcry_check_version(GCRYPT_VERSION))
            throw std::runtime_error(
                "The crypto library is older than the one this program was built with.");
        // Only public keys and digests are handled in the client's processes, and the
        // publisher's key is read from a file anyway: locked memory would add nothing
        // but a privilege the programs do not have.
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    });
}

std::string HexOf(const std::uint8_t* bytes, std::size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

std::optional<std::vector<std::uint8_t>> BytesOfHex(std::string_view hex, std::size_t size) {
    if (hex.size() != size * 2)
        return std::nullopt;
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        const int high = digit(hex[2 * i]);
        const int low = digit(hex[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return bytes;
}

}  // namespace kelvra::update
