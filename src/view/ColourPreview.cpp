#include "view/ColourPreview.h"

#include <new>

#include "core/CommandIds.h"
#include "view/BayerFill.h"

namespace zorvane {

using namespace ids;

namespace {

constexpr int kAutomaticCode = 4;

// Turns a phase over for a frame rotated by 180°; anything but 1 counts as 0.
int Flipped(int phase) {
    return phase == 1 ? 0 : 1;
}

struct SensorPhase {
    bool fourRow;
    int x;
    int y;
};

// The phase of sensors whose cameras do not report one, keyed on the sensor size.
SensorPhase SensorTablePhase(int width, int height, bool rotated, int protocol) {
    if (width == 500 || width == 510 || width == 752) {
        if (!rotated) return {true, 0, 2};
        return {true, 1, height % 4 != 0 ? 3 : 1};
    }
    if (width == 659) return rotated ? SensorPhase{false, 0, 1} : SensorPhase{false, 0, 0};
    if (width == 1392) {
        SensorPhase p = rotated ? SensorPhase{false, 1, 0} : SensorPhase{false, 0, 1};
        // Later firmware reads this sensor out one row shifted.
        if (protocol >= 215) p.y = 1 - p.y;
        return p;
    }
    if (width == 1391 && height == 1039) return {false, 1, 0};
    if (width == 3362 && height == 2537) {
        return rotated ? SensorPhase{false, 1, 1} : SensorPhase{false, 0, 1};
    }
    if (width == 2047 && height == 2047) return {false, 1, 0};
    return {false, 0, 0};
}

}  // namespace

void ColourPreview::SetColourProperties(int32_t colourType, int32_t normalX, int32_t normalY,
                                        int32_t previewX, int32_t previewY) {
    colourType_ = colourType;
    normalX_ = normalX;
    normalY_ = normalY;
    previewX_ = previewX;
    previewY_ = previewY;
    automatic_ = colourType != 0;
    bayerCode_ = kAutomaticCode;
}

void ColourPreview::OnNewFrame(const ImageFrame& frame, const Rect& sensorRect, int protocol) {
    if (automatic_) {
        mode_ = (colourType_ == 2 && frame.BinX == 1 && frame.BinY == 1) ? Colour : Raw;
    }
    ComputePhase(frame, sensorRect, protocol);
    if (mode_ != Raw) {
        Rebuild(frame);
    } else {
        // A buffer left from an earlier frame may not even have this frame's size; drop it so
        // that nobody can read it as this frame's.
        buffer_.reset();
        bufferSize_ = 0;
    }
}

const uint16_t* ColourPreview::Buffer() const {
    return buffer_.get();
}
int ColourPreview::Mode() const {
    return mode_;
}
bool ColourPreview::Automatic() const {
    return automatic_;
}
int ColourPreview::BayerCode() const {
    return bayerCode_;
}
int ColourPreview::ColourType() const {
    return colourType_;
}
int ColourPreview::BayerOffsetX() const {
    return offsetX_;
}
int ColourPreview::BayerOffsetY() const {
    return offsetY_;
}
bool ColourPreview::FourRowPattern() const {
    return fourRow_;
}

bool ColourPreview::GetBayerOffsets(int& x, int& y) const {
    if (mode_ == Raw && colourType_ != 2) return false;
    x = offsetX_;
    y = offsetY_;
    return true;
}

std::optional<ColourPreview::CommandUi> ColourPreview::CommandState(int commandId) const {
    switch (commandId) {
        case ID_COLOUR_AUTOMATIC:
            return CommandUi{colourType_ != 0, automatic_};
        case ID_COLOUR_RAW:
            return CommandUi{true, mode_ == Raw && !automatic_};
        case ID_COLOUR_COLOUR:
            return CommandUi{true, mode_ == Colour && !automatic_};
        case ID_COLOUR_LUMINANCE:
            return CommandUi{true, mode_ == Luminance && !automatic_};
        case ID_BAYER_AUTO:
            return CommandUi{true, bayerCode_ == kAutomaticCode};
        case ID_BAYER_00:
        case ID_BAYER_01:
        case ID_BAYER_10:
        case ID_BAYER_11:
            return CommandUi{!automatic_, bayerCode_ == commandId - ID_BAYER_00};
        default:
            return std::nullopt;
    }
}

std::optional<bool> ColourPreview::OnCommand(int commandId, const ImageFrame& frame,
                                             const Rect& sensorRect, int protocol) {
    const std::optional<CommandUi> ui = CommandState(commandId);
    if (!ui) return std::nullopt;
    // A disabled item cannot be chosen from the menu; a shortcut must not get round that.
    if (!ui->enabled) return false;
    switch (commandId) {
        case ID_COLOUR_AUTOMATIC:
            automatic_ = true;
            bayerCode_ = kAutomaticCode;
            return false;
        case ID_COLOUR_RAW:
            automatic_ = false;
            mode_ = Raw;
            return true;
        case ID_COLOUR_COLOUR:
        case ID_COLOUR_LUMINANCE:
            automatic_ = false;
            mode_ = commandId == ID_COLOUR_COLOUR ? Colour : Luminance;
            Rebuild(frame);
            return true;
        default:  // the Bayer offsets
            bayerCode_ = commandId == ID_BAYER_AUTO ? kAutomaticCode : commandId - ID_BAYER_00;
            ComputePhase(frame, sensorRect, protocol);
            Rebuild(frame);
            return true;
    }
}

void ColourPreview::SetMode(int mode) {
    mode_ = (mode == Colour || mode == Luminance) ? mode : Raw;
}

void ColourPreview::SetBayerCode(int code) {
    bayerCode_ = (code >= 0 && code <= 3) ? code : kAutomaticCode;
}

void ColourPreview::ComputePhase(const ImageFrame& frame, const Rect& sensorRect, int protocol) {
    int x = 0;
    int y = 0;
    bool fourRow = false;
    bool turnForRotation = true;
    if (bayerCode_ >= 0 && bayerCode_ <= 3) {
        x = bayerCode_ / 2;
        y = bayerCode_ % 2;
    } else if (colourType_ == 2) {
        x = frame.Preview ? previewX_ : normalX_;
        y = frame.Preview ? previewY_ : normalY_;
    } else {
        const SensorPhase p =
            SensorTablePhase(sensorRect.Width(), sensorRect.Height(), frame.Rotated, protocol);
        fourRow = p.fourRow;
        x = p.x;
        y = p.y;
        turnForRotation = false;  // the table has its own rotated phases
    }
    if (turnForRotation && frame.Rotated) {
        // Turning a sensor of even size moves every filter onto the other colour of its pair;
        // an odd size brings the same colour back.
        if (sensorRect.Width() % 2 == 0) x = Flipped(x);
        if (sensorRect.Height() % 2 == 0) y = Flipped(y);
    }
    fourRow_ = fourRow;
    // Low bits of the sum, so that a negative origin (no frame) still gives a valid phase.
    offsetX_ =
        static_cast<int>((static_cast<uint32_t>(x) + static_cast<uint32_t>(frame.OriginX)) & 1u);
    offsetY_ = static_cast<int>((static_cast<uint32_t>(y) + static_cast<uint32_t>(frame.OriginY)) &
                                (fourRow ? 3u : 1u));
}

void ColourPreview::Rebuild(const ImageFrame& frame) {
    if (frame.IsEmpty()) {
        buffer_.reset();
        bufferSize_ = 0;
        return;
    }
    const size_t needed = static_cast<size_t>(frame.Width) * static_cast<size_t>(frame.Height) * 3;
    if (!buffer_ || bufferSize_ != needed) {
        buffer_.reset();
        bufferSize_ = 0;
        try {
            buffer_ = std::make_unique_for_overwrite<uint16_t[]>(needed);
        } catch (const std::bad_alloc&) {
            return;  // no buffer: the view shows nothing coloured rather than stale memory
        }
        bufferSize_ = needed;
    }
    uint16_t* out = buffer_.get();
    if (!fourRow_) {
        FillRggb(frame.Pixels.get(), frame.Width, frame.Height, offsetX_, offsetY_, out);
    } else if (frame.BinX == 1 && frame.BinY == 1) {
        FillFourRow(frame.Pixels.get(), frame.Width, frame.Height, offsetX_, offsetY_, out);
    } else {
        FillGrey(frame.Pixels.get(), frame.Width, frame.Height, out);
    }
}

}  // namespace zorvane
