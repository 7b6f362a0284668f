#include "view/DisplayTranslator.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace zorvane {

namespace {
constexpr int kValues = FrameHistogram::kValues;
}  // namespace

DisplayTranslator::DisplayTranslator()
    : gammaTable_(new uint8_t[kGammaSteps + 1]()), lut_(new uint8_t[kValues]) {
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

bool DisplayTranslator::CopyAndCount(uint16_t* dest, const uint16_t* source, int width,
                                     int height) {
    return counts_.CopyAndCount(dest, source, width, height, false);
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
    // The frame's interior without its one-pixel border; too small a one (16 pixels or fewer)
    // gives no meaningful percentiles.
    if (frame.HasPixels() &&
        (counted ? *counted : counts_.Count(frame.Pixels.get(), frame.Width, frame.Height))) {
        const int64_t n = int64_t(frame.Width - 2) * int64_t(frame.Height - 2);
        const uint64_t t = uint64_t(n >> 10) + 1;
        const uint32_t* h = counts_.Counts();
        // Every count lies between the lowest and the highest value.
        uint64_t sum = 0;
        for (int v = counts_.Lowest(); v < kValues; ++v) {
            sum += h[v];
            if (sum >= t) {
                lv.low = v;
                break;
            }
        }
        sum = 0;
        for (int v = counts_.Highest(); v >= 0; --v) {
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
