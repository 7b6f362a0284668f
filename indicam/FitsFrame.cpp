#include "FitsFrame.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace zorvane::indicam {

namespace {

constexpr size_t kBlock = 2880;
constexpr size_t kCard = 80;

struct Header {
    bool simple = false;
    int bitpix = 0;
    int naxis = -1;
    int64_t axes[3] = {0, 0, 1};
    double bzero = 0.0;
    double bscale = 1.0;
    size_t dataStart = 0;
};

std::string_view Trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

// The value part of a card: after "= ", up to a comment slash (outside quotes).
std::string CardValue(std::string_view card) {
    if (card.size() < 10 || card[8] != '=') return {};
    std::string_view v = card.substr(10);
    if (const size_t slash = v.find('/'); slash != std::string_view::npos && v.find('\'') > slash)
        v = v.substr(0, slash);
    return std::string(Trim(v));
}

bool ParseHeader(const unsigned char* bytes, size_t size, Header& h) {
    for (size_t at = 0; at + kCard <= size; at += kCard) {
        const std::string_view card(reinterpret_cast<const char*>(bytes) + at, kCard);
        const std::string_view key = Trim(card.substr(0, 8));
        if (at == 0 && key != "SIMPLE") return false;
        if (key == "END") {
            h.dataStart = (at / kBlock + 1) * kBlock;
            return h.simple;
        }
        const std::string value = CardValue(card);
        if (key == "SIMPLE") {
            h.simple = value == "T";
        } else if (key == "BITPIX") {
            h.bitpix = std::atoi(value.c_str());
        } else if (key == "NAXIS") {
            h.naxis = std::atoi(value.c_str());
        } else if (key.size() == 6 && key.substr(0, 5) == "NAXIS" && key[5] >= '1' &&
                   key[5] <= '3') {
            h.axes[key[5] - '1'] = std::atoll(value.c_str());
        } else if (key == "BZERO") {
            h.bzero = std::atof(value.c_str());
        } else if (key == "BSCALE") {
            h.bscale = std::atof(value.c_str());
        }
    }
    return false;
}

uint16_t Clamp16(double v) {
    if (!(v > 0.0)) return 0;  // also NaN
    if (v >= 65535.0) return 65535;
    return static_cast<uint16_t>(v + 0.5);
}

// FITS data are big-endian.
inline uint16_t Load16(const unsigned char* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
inline uint32_t Load32(const unsigned char* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
inline uint64_t Load64(const unsigned char* p) {
    return (uint64_t{Load32(p)} << 32) | Load32(p + 4);
}

template <typename Read>
void Convert(const unsigned char* src, size_t n, int bytes, const Header& h, uint16_t* out,
             Read read) {
    for (size_t i = 0; i < n; ++i) out[i] = Clamp16(read(src + i * bytes) * h.bscale + h.bzero);
}

}  // namespace

const char* FitsResultText(FitsResult r) {
    switch (r) {
        case FitsResult::Ok:
            return "ok";
        case FitsResult::NotFits:
            return "not a FITS file";
        case FitsResult::Unsupported:
            return "not a two-dimensional image of a known pixel type";
        case FitsResult::TooLarge:
            return "larger than any sensor";
        case FitsResult::Truncated:
            return "shorter than its header says";
    }
    return "?";
}

FitsResult DecodeFits(const void* data, size_t size, std::vector<uint16_t>& pixels,
                      FitsFrame& frame) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    Header h;
    if (!bytes || !ParseHeader(bytes, size, h)) return FitsResult::NotFits;
    const int bytesPer = std::abs(h.bitpix) / 8;
    const bool known =
        h.bitpix == 8 || h.bitpix == 16 || h.bitpix == 32 || h.bitpix == -32 || h.bitpix == -64;
    // A third axis of length 1 is still a plane; a colour cube is not.
    if (!known || h.naxis < 2 || h.naxis > 3 || (h.naxis == 3 && h.axes[2] != 1))
        return FitsResult::Unsupported;
    const int64_t w = h.axes[0], ht = h.axes[1];
    if (w <= 0 || ht <= 0) return FitsResult::Unsupported;
    if (w > kMaxFitsSide || ht > kMaxFitsSide || w * ht > kMaxFitsPixels)
        return FitsResult::TooLarge;
    const size_t n = static_cast<size_t>(w * ht);
    if (h.dataStart > size || (size - h.dataStart) / bytesPer < n) return FitsResult::Truncated;

    pixels.resize(n);
    const unsigned char* src = bytes + h.dataStart;
    uint16_t* out = pixels.data();
    if (h.bitpix == 16 && h.bscale == 1.0 && (h.bzero == 32768.0 || h.bzero == 0.0)) {
        if (h.bzero == 32768.0) {
            // Unsigned data stored offset by 32768: flipping the top bit adds it back.
            for (size_t i = 0; i < n; ++i) out[i] = Load16(src + 2 * i) ^ 0x8000u;
        } else {
            for (size_t i = 0; i < n; ++i) {
                const auto v = static_cast<int16_t>(Load16(src + 2 * i));
                out[i] = v < 0 ? 0 : static_cast<uint16_t>(v);
            }
        }
    } else if (h.bitpix == 8) {
        Convert(src, n, 1, h, out, [](const unsigned char* p) { return static_cast<double>(*p); });
    } else if (h.bitpix == 16) {
        Convert(src, n, 2, h, out, [](const unsigned char* p) {
            return static_cast<double>(static_cast<int16_t>(Load16(p)));
        });
    } else if (h.bitpix == 32) {
        Convert(src, n, 4, h, out, [](const unsigned char* p) {
            return static_cast<double>(static_cast<int32_t>(Load32(p)));
        });
    } else if (h.bitpix == -32) {
        Convert(src, n, 4, h, out, [](const unsigned char* p) {
            const uint32_t u = Load32(p);
            float f;
            std::memcpy(&f, &u, sizeof f);
            return double{f};
        });
    } else {
        Convert(src, n, 8, h, out, [](const unsigned char* p) {
            const uint64_t u = Load64(p);
            double d;
            std::memcpy(&d, &u, sizeof d);
            return d;
        });
    }
    frame.width = static_cast<int>(w);
    frame.height = static_cast<int>(ht);
    return FitsResult::Ok;
}

}  // namespace zorvane::indicam
