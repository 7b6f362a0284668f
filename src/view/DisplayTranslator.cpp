#include "view/DisplayTranslator.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zorvane {

namespace {
constexpr int kValues = 65536;
constexpr int kPartials = 3;  // histograms counted alongside the main one
}  // namespace

DisplayTranslator::DisplayTranslator()
    : histogram_(new uint32_t[kValues]()),
      partials_(new uint32_t[size_t(kPartials) * kValues]()),
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
    uint32_t* h0 = histogram_.get();
    std::memset(h0, 0, sizeof(uint32_t) * kValues);
    const int64_t n = int64_t(frame.Width - 2) * int64_t(frame.Height - 2);
    if (n <= 16) return false;

    uint32_t* h1 = partials_.get();
    uint32_t* h2 = h1 + kValues;
    uint32_t* h3 = h2 + kValues;
    std::memset(h1, 0, sizeof(uint32_t) * kPartials * kValues);
    const int w = frame.Width;
    const int cols = w - 2;
    for (int r = 1; r < frame.Height - 1; ++r) {
        const uint16_t* p = frame.Pixels.get() + size_t(r) * w + 1;
        int c = 0;
        for (; c + 4 <= cols; c += 4) {
            ++h0[p[c]];
            ++h1[p[c + 1]];
            ++h2[p[c + 2]];
            ++h3[p[c + 3]];
        }
        for (; c < cols; ++c) ++h0[p[c]];
    }
    for (int v = 0; v < kValues; ++v) h0[v] += h1[v] + h2[v] + h3[v];
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
    const float s = static_cast<float>(4096.0 / ((white_ - black_) + 0.0001));
    const uint8_t* gamma = gammaTable_.get();
    for (int v = 0; v < kValues; ++v) {
        int k = static_cast<int>(float(v - black_) * s);
        k = std::clamp(k, 0, kGammaSteps);
        if (negative_) k = kGammaSteps - k;
        lut_[v] = gamma[k];
    }
}

DisplayTranslator::Levels DisplayTranslator::Update(const ImageFrame& frame) {
    Levels lv;
    if (frame.HasPixels() && CountInterior(frame)) {
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
