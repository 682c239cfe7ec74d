#include "update/release_signature.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <string>

#include "test_support.h"

namespace kelvra::update {
namespace {

Ed25519PublicKey KeyOf(const std::string& hex) {
    Ed25519PublicKey key{};
    for (std::size_t i = 0; i < key.size(); ++i)
        key[i] = static_cast<std::uint8_t>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
    return key;
}

// Deterministic Ed25519 vectors (the first two of RFC 8032, section 7.1).
const Ed25519PublicKey kKey1 =
    KeyOf("d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a");
const std::string kSig1 =
    "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e06522490155"
    "5fb8821590a33bacc61e39701cf9b46bd25bf5f0595bbe24655141438e7a100b";
const Ed25519PublicKey kKey2 =
    KeyOf("3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c");
const std::string kSig2 =
    "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da"
    "085ac1e43e15996e458f3613d0f11d8c387b2eaeb4302aeeb00d291612bb0c00";

std::string FlipLastDigit(std::string s) {
    s.back() = s.back() == '0' ? '1' : '0';
    return s;
}

std::string Upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

TEST(ReleaseSignature, AcceptsOnlyTheSignersExactMessageAndWellFormedText) {
    struct {
        const char* what;
        std::string message;
        std::string signature;
        const Ed25519PublicKey* key;
        bool valid;
    } cases[] = {
        {"empty message", "", kSig1, &kKey1, true},
        {"one byte", "\x72", kSig2, &kKey2, true},
        {"with a newline", "\x72", kSig2 + "\n", &kKey2, true},
        {"other key", "\x72", kSig2, &kKey1, false},
        {"message changed", "\x73", kSig2, &kKey2, false},
        {"message longer", std::string("\x72\0", 2), kSig2, &kKey2, false},
        {"signature changed", "\x72", FlipLastDigit(kSig2), &kKey2, false},
        {"upper-case hex", "\x72", Upper(kSig2), &kKey2, false},
        {"truncated", "\x72", kSig2.substr(0, 126), &kKey2, false},
        {"two newlines", "\x72", kSig2 + "\n\n", &kKey2, false},
        {"CR LF", "\x72", kSig2 + "\r\n", &kKey2, false},
        {"trailing space", "\x72", kSig2 + " ", &kKey2, false},
        {"not hex", "\x72", "zz" + kSig2.substr(2), &kKey2, false},
        {"empty", "\x72", "", &kKey2, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VerifyReleaseSignature(c.message, c.signature, *c.key), c.valid) << c.what;
}

TEST(ReleaseSignature, Sha256OfBytesAndFiles) {
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

    test::TempDir dir;
    // Larger than one read block, with bytes that a text-mode read would alter.
    std::string bytes(200000, '\r');
    for (std::size_t i = 0; i < bytes.size(); i += 7)
        bytes[i] = static_cast<char>(i % 251);
    test::WriteBytes(dir.File("release.cab"), bytes);
    EXPECT_EQ(Sha256FileHex(dir.File("release.cab")), Sha256Hex(bytes));
    // Fed in uneven pieces, as a download arrives, it is the digest of the whole.
    Sha256Stream stream;
    for (std::size_t at = 0, piece = 1; at < bytes.size(); at += piece, piece = piece * 3 + 1)
        stream.Add(bytes.data() + at, std::min(piece, bytes.size() - at));
    EXPECT_EQ(stream.size(), static_cast<std::int64_t>(bytes.size()));
    EXPECT_EQ(stream.FinishHex(), Sha256Hex(bytes));
    EXPECT_THROW(Sha256FileHex(dir.File("missing.cab")), std::runtime_error);
    EXPECT_THROW(Sha256FileHex(dir.path()), std::runtime_error);
}

}  // namespace
}  // namespace kelvra::update
