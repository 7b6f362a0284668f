#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "view/Geometry.h"
#include "view/ImageFrame.h"

namespace zorvane {

// The colour preview of a mosaic sensor: which Bayer phase the frame starts on, which of raw,
// colour or luminance the view shows, and the interpolated B,G,R buffer the renderer reads.
class ColourPreview {
  public:
    enum Mode { Raw = 0, Colour = 1, Luminance = 2 };

    // The colour facts the camera reports. Any non-zero type turns automatic colour on and resets
    // the Bayer code to automatic (4).
    void SetColourProperties(int32_t colourType, int32_t normalX, int32_t normalY, int32_t previewX,
                             int32_t previewY);

    // A new frame arrived: pick the mode automatically when that is on (Colour for an RGGB
    // sensor at 1×1 binning, else Raw), work out the phase, and rebuild the buffer unless the
    // mode is Raw.
    void OnNewFrame(const ImageFrame& frame, const Rect& sensorRect, int protocol);

    // Width*Height*3 values in B,G,R order per pixel; nullptr while nothing is built.
    const uint16_t* Buffer() const;

    int Mode() const;
    bool Automatic() const;
    int BayerCode() const;
    int ColourType() const;
    int BayerOffsetX() const;
    int BayerOffsetY() const;
    bool FourRowPattern() const;

    // The phase of the frame's top-left pixel. x and y are written (and true returned) only
    // when the mode is not Raw or the sensor is an RGGB one.
    bool GetBayerOffsets(int& x, int& y) const;

    struct CommandUi {
        bool enabled;
        bool checked;
    };
    // Enable and check state of a colour-menu command; nullopt for other ids.
    std::optional<CommandUi> CommandState(int commandId) const;

    // Applies a colour-menu command. nullopt for ids that are not colour commands; otherwise
    // whether the view must update its display translation and repaint (false only for
    // "Automatic", which takes effect with the next frame).
    std::optional<bool> OnCommand(int commandId, const ImageFrame& frame, const Rect& sensorRect,
                                  int protocol);

    void SetMode(int mode);       // settings load / reset
    void SetBayerCode(int code);  // settings load; the caller checks AutomaticColour

    // The phase computation on its own.
    void ComputePhase(const ImageFrame& frame, const Rect& sensorRect, int protocol);
    // Refills the B,G,R buffer from the frame for the current mode and phase.
    void Rebuild(const ImageFrame& frame);

  private:
    int32_t colourType_ = 0;
    int32_t normalX_ = 0;
    int32_t normalY_ = 0;
    int32_t previewX_ = 0;
    int32_t previewY_ = 0;
    int mode_ = Raw;
    bool automatic_ = false;
    int bayerCode_ = 4;
    int offsetX_ = 0;
    int offsetY_ = 0;
    bool fourRow_ = false;
    std::unique_ptr<uint16_t[]> buffer_;
    size_t bufferSize_ = 0;  // values allocated in buffer_
};

}  // namespace zorvane
