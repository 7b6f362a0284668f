#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "frame/FrameHistogram.h"
#include "view/ImageFrame.h"

namespace zorvane {

// Turns 16-bit frame values into 8-bit screen grey levels: black and white levels (taken from
// the frame's histogram while auto stretch is on), a gamma curve and the negative switch, all
// folded into one 65536-entry lookup table that the renderer applies per pixel.
class DisplayTranslator {
public:
    static constexpr int kGammaSteps = 4096;

    DisplayTranslator();
    DisplayTranslator(const DisplayTranslator&) = delete;
    DisplayTranslator& operator=(const DisplayTranslator&) = delete;

    struct Levels {
        int low = 0;
        int high = 0;
        friend bool operator==(const Levels&, const Levels&) = default;
    };

    // Histogram of the frame's interior, the dark and bright points, the levels (when auto
    // stretch is on), the gamma table (when the exponent changed) and the lookup table.
    // Returns the histogram's (low, high), always with low < high.
    //
    // counted: the frame was just copied by CopyAndCount (or its histogram taken with
    // TakeHistogram), which returned that value; its histogram is not counted again.
    Levels Update(const ImageFrame& frame, std::optional<bool> counted = std::nullopt);

    // Takes the histogram counted while a new frame was copied, for the Update that follows;
    // `counts` gets the previous one.
    void TakeHistogram(FrameHistogram& counts) { counts_.Swap(counts); }

    // Copies a width × height frame to dest and counts its histogram on the way, for the
    // Update that follows. Returns false when the interior is too small to count (the copy is
    // made all the same).
    bool CopyAndCount(uint16_t* dest, const uint16_t* source, int width, int height);

    int BlackLevel() const { return black_; }
    int WhiteLevel() const { return white_; }
    void SetLevels(int black, int white);
    float Gamma() const { return gamma_; }
    // Gamma must be a positive finite number; anything else is refused (false).
    bool SetGamma(float gamma);
    bool Negative() const { return negative_; }
    void SetNegative(bool on) { negative_ = on; }
    bool AutoStretch() const { return autoStretch_; }
    void SetAutoStretch(bool on) { autoStretch_ = on; }

    const uint8_t* Lut() const { return lut_.get(); }                // 65536 entries
    const uint8_t* GammaTable() const { return gammaTable_.get(); }  // 4097 entries
    const uint32_t* Histogram() const { return counts_.Counts(); }   // 65536 counts
    // The exponent the gamma table was last built for (-1 before the first build).
    float GammaTableExponent() const { return gammaExponent_; }

    // The "Log" value the display dialog shows for a gamma, and back.
    static float LogValueFromGamma(float gamma);
    static float GammaFromLogValue(float logValue);

private:
    void BuildGammaTable(float exponent);
    void BuildLut();

    int black_ = 0;
    int white_ = 65535;
    float gamma_ = 1.0f;
    bool negative_ = false;
    bool autoStretch_ = true;

    FrameHistogram counts_;
    std::unique_ptr<uint8_t[]> gammaTable_;
    float gammaExponent_ = -1.0f;
    std::unique_ptr<uint8_t[]> lut_;
    // What the lookup table was last built from; none while it holds the initial table.
    struct LutKey {
        int black, white;
        float exponent;
        bool negative;
        friend bool operator==(const LutKey&, const LutKey&) = default;
    };
    std::optional<LutKey> lutKey_;
};

}  // namespace zorvane
