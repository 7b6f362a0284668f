#include "view/DisplayTranslator.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/SplitWork.h"

namespace zorvane {

namespace {
constexpr int kValues = 65536;
constexpr int kLanes = 4;            // histograms one thread counts into side by side
constexpr int kCounts = 2 * kLanes;  // two threads' worth; the first is the result
constexpr size_t kTwoThreadPixels = size_t{4} << 20;  // interiors this large use two threads

// Counts the interior of one row (all but its first and last pixel) into four histograms, four
// pixels abreast, so that runs of equal values do not wait on one another.
inline void CountRow(const uint16_t* row, int width, uint32_t* const* h) {
    const uint16_t* p = row + 1;
    const int cols = width - 2;
    uint32_t *h0 = h[0], *h1 = h[1], *h2 = h[2], *h3 = h[3];
    int c = 0;
    for (; c + 4 <= cols; c += 4) {
        ++h0[p[c]];
        ++h1[p[c + 1]];
        ++h2[p[c + 2]];
        ++h3[p[c + 3]];
    }
    for (; c < cols; ++c) ++h0[p[c]];
}
}  // namespace

DisplayTranslator::DisplayTranslator()
    : histogram_(new uint32_t[kValues]()),
      partials_(new uint32_t[size_t(kCounts - 1) * kValues]()),
      gammaTable_(new uint8_t[kGammaSteps + 1]()),
      lut_(new uint8_t[kValues]) {
    for (int v = 0; v < kValues; ++v) lut_[v] = static_cast<uint8_t>(v >> 8);
}

void DisplayTranslator::SetLevels(int black, int white) {
    black_ = std::clamp(black, 0, 65535);
    white_ = std::clamp(white, 0, 65535);
}

bool DisplayTranslator::SetGamma(float gamma) {
    if (!(gamma > 0.0f) || !std::isfinite(gamma)) return false;
    gamma_ = gamma;
    return true;
}

float DisplayTranslator::LogValueFromGamma(float gamma) {
    return gamma >= 1.0f ? gamma - 1.0f : 1.0f - 1.0f / gamma;
}

float DisplayTranslator::GammaFromLogValue(float logValue) {
    return logValue >= 0.0f ? logValue + 1.0f : 1.0f / (1.0f - logValue);
}

// Counts the frame without its one-pixel border. Returns false when the interior is too small
// to give meaningful percentiles (16 pixels or fewer).
bool DisplayTranslator::CountInterior(const ImageFrame& frame) {
    return CountRows(frame.Pixels.get(), nullptr, frame.Width, frame.Height);
}

bool DisplayTranslator::CopyAndCount(uint16_t* dest, const uint16_t* source, int width,
                                     int height) {
    return CountRows(source, dest, width, height);
}

// The count behind CountInterior and CopyAndCount: rows of pixels, each copied to dest first
// when there is one (so that it is counted from the cache). Large frames are counted by two
// threads, half the rows and four histograms each, and merged here.
bool DisplayTranslator::CountRows(const uint16_t* pixels, uint16_t* dest, int width, int height) {
    uint32_t* h[kCounts];
    h[0] = histogram_.get();
    for (int i = 1; i < kCounts; ++i) h[i] = partials_.get() + size_t(i - 1) * kValues;
    // Only the histograms the last count used hold anything.
    for (int i = 0; i < usedCounts_; ++i) std::memset(h[i], 0, sizeof(uint32_t) * kValues);
    usedCounts_ = 1;
    const int64_t n = int64_t(width - 2) * int64_t(height - 2);
    const bool counting = n > 16;
    if (!counting && !dest) return false;

    const size_t w = size_t(std::max(width, 0));
    bool split = false;
    SplitInTwo(size_t(std::max(height, 0)), counting && size_t(n) >= kTwoThreadPixels,
               [&](int part, size_t begin, size_t end) {
                   if (part == 1) split = true;
                   for (size_t r = begin; r < end; ++r) {
                       const uint16_t* row = pixels + r * w;
                       if (dest)
                           row = static_cast<uint16_t*>(std::memcpy(dest + r * w, row, w * 2));
                       if (counting && r >= 1 && r + 1 < size_t(height))
                           CountRow(row, width, h + part * kLanes);
                   }
               });
    if (!counting) return false;
    usedCounts_ = split ? kCounts : kLanes;
    uint32_t *h0 = h[0], *h1 = h[1], *h2 = h[2], *h3 = h[3];
    if (split) {
        const uint32_t *h4 = h[4], *h5 = h[5], *h6 = h[6], *h7 = h[7];
        for (int v = 0; v < kValues; ++v)
            h0[v] += h1[v] + h2[v] + h3[v] + h4[v] + h5[v] + h6[v] + h7[v];
    } else {
        for (int v = 0; v < kValues; ++v) h0[v] += h1[v] + h2[v] + h3[v];
    }
    return true;
}

void DisplayTranslator::BuildGammaTable(float exponent) {
    gammaExponent_ = exponent;
    for (int k = 0; k <= kGammaSteps; ++k) {
        const float f = float(k) / kGammaSteps;
        const double g = std::pow(double(f), double(exponent)) * 256.0;
        // pow(1, e) * 256 = 256 is one past the top grey level.
        gammaTable_[k] = g < 255.0 ? static_cast<uint8_t>(g) : 255;
    }
}

void DisplayTranslator::BuildLut() {
    const LutKey key{black_, white_, gammaExponent_, negative_};
    if (lutKey_ && *lutKey_ == key) return;
    lutKey_ = key;
    const float s = static_cast<float>(4096.0 / ((white_ - black_) + 0.0001));
    const uint8_t* gamma = gammaTable_.get();
    uint8_t* lut = lut_.get();
    if (white_ <= black_) {
        for (int v = 0; v < kValues; ++v) {
            // Clamped before the conversion: with white equal to black the step is 4096 / 0.0001
            // and the product leaves the range of int.
            const float x = std::clamp(float(v - black_) * s, 0.0f, float(kGammaSteps));
            int k = static_cast<int>(x);
            if (negative_) k = kGammaSteps - k;
            lut[v] = gamma[k];
        }
        return;
    }
    // With white above black the step s is positive and (v - black) * s rises with v: below
    // black it clamps to 0, and from the first value that reaches the top step on it clamps
    // there. Only the ramp between needs working out.
    std::memset(lut, gamma[negative_ ? kGammaSteps : 0], size_t(black_));
    int v = black_;
    for (; v < kValues; ++v) {
        const int k = static_cast<int>(float(v - black_) * s);
        if (k >= kGammaSteps) break;
        lut[v] = gamma[negative_ ? kGammaSteps - k : k];
    }
    std::memset(lut + v, gamma[negative_ ? 0 : kGammaSteps], size_t(kValues - v));
}

DisplayTranslator::Levels DisplayTranslator::Update(const ImageFrame& frame,
                                                    std::optional<bool> counted) {
    Levels lv;
    if (frame.HasPixels() && (counted ? *counted : CountInterior(frame))) {
        const int64_t n = int64_t(frame.Width - 2) * int64_t(frame.Height - 2);
        const uint64_t t = uint64_t(n >> 10) + 1;
        const uint32_t* h = histogram_.get();
        uint64_t sum = 0;
        for (int v = 0; v < kValues; ++v) {
            sum += h[v];
            if (sum >= t) {
                lv.low = v;
                break;
            }
        }
        sum = 0;
        for (int v = kValues - 1; v >= 0; --v) {
            sum += h[v];
            if (sum >= t) {
                lv.high = v;
                break;
            }
        }
    }
    if (lv.low > lv.high) std::swap(lv.low, lv.high);
    if (lv.low == lv.high) {
        if (lv.high < 65535)
            ++lv.high;
        else
            --lv.low;
    }
    if (autoStretch_ && frame.HasPixels()) {
        black_ = lv.low;
        white_ = lv.high;
    }
    const float e = 1.0f / gamma_;
    if (e != gammaExponent_) BuildGammaTable(e);
    BuildLut();
    return lv;
}

}  // namespace zorvane
