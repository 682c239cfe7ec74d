#include "screenshot.h"

#include <cstdint>
#include <fstream>
#include <vector>

namespace kelvra::test {
namespace {

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void Chunk(std::vector<std::uint8_t>& png, const char* type,
           const std::vector<std::uint8_t>& body) {
    Put32(png, static_cast<std::uint32_t>(body.size()));
    std::vector<std::uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    png.insert(png.end(), typed.begin(), typed.end());
    Put32(png, Crc32(typed.data(), typed.size()));
}

// A zlib stream of stored (uncompressed) blocks.
std::vector<std::uint8_t> Stored(const std::vector<std::uint8_t>& raw) {
    std::vector<std::uint8_t> z{0x78, 0x01};
    std::size_t pos = 0;
    do {
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - pos);
        z.push_back(pos + n == raw.size() ? 1 : 0);
        z.push_back(static_cast<std::uint8_t>(n));
        z.push_back(static_cast<std::uint8_t>(n >> 8));
        z.push_back(static_cast<std::uint8_t>(~n));
        z.push_back(static_cast<std::uint8_t>(~n >> 8));
        z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(pos),
                 raw.begin() + static_cast<std::ptrdiff_t>(pos + n));
        pos += n;
    } while (pos < raw.size());
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    Put32(z, (b << 16) | a);
    return z;
}

}  // namespace

std::optional<Capture> CaptureWindow(HWND window) {
    RECT r{};
    if (!GetWindowRect(window, &r))
        return std::nullopt;
    Capture c;
    c.width = r.right - r.left;
    c.height = r.bottom - r.top;
    if (c.width <= 0 || c.height <= 0)
        return std::nullopt;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = c.width;
    bi.bmiHeader.biHeight = -c.height;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const bool copied =
        BitBlt(memory, 0, 0, c.width, c.height, screen, r.left, r.top, SRCCOPY) != FALSE;
    GdiFlush();
    const auto* pixels = static_cast<const std::uint8_t*>(bits);
    c.pixels.reserve(static_cast<std::size_t>(c.width) * static_cast<std::size_t>(c.height));
    for (std::size_t i = 0; i < static_cast<std::size_t>(c.width) * c.height; ++i)
        c.pixels.push_back(RGB(pixels[i * 4 + 2], pixels[i * 4 + 1], pixels[i * 4]));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!copied)
        return std::nullopt;
    return c;
}

bool SavePng(const Capture& c, const std::string& path) {
    std::vector<std::uint8_t> raw;
    raw.reserve(static_cast<std::size_t>(c.height) * (1 + 3 * static_cast<std::size_t>(c.width)));
    for (int y = 0; y < c.height; ++y) {
        raw.push_back(0);  // no filter
        for (int x = 0; x < c.width; ++x) {
            const COLORREF p = c.At(x, y);
            raw.insert(raw.end(), {GetRValue(p), GetGValue(p), GetBValue(p)});
        }
    }
    std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    Put32(header, static_cast<std::uint32_t>(c.width));
    Put32(header, static_cast<std::uint32_t>(c.height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", Stored(raw));
    Chunk(png, "IEND", {});
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    return static_cast<bool>(out);
}

bool SaveWindowPng(HWND window, const std::string& path) {
    const std::optional<Capture> c = CaptureWindow(window);
    return c && SavePng(*c, path);
}

}  // namespace kelvra::test
