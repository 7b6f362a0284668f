#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "files/KeywordSink.h"

namespace zorvane {

// The frame a save writes: the main window's frame buffer and its size.
struct FramePixels {
    const std::uint16_t* pixels = nullptr;
    int width = 0;
    int height = 0;
};

// What saving needs from the rest of the program, in the main window's terms.
class SaverHost {
  public:
    virtual ~SaverHost() = default;
    // The last downloaded frame; none before the first download.
    virtual std::optional<FramePixels> CurrentFrame() const = 0;
    // Adds the header pairs of the frame on show (binning and subframe queried now).
    virtual void AddHeaderKeywords(KeywordSink& sink) = 0;
    virtual bool IsLooping() const = 0;
    // Switches the exposure loop off, as the Loop command does.
    virtual void StopLoop() = 0;
    // Shows the current save path and sequence number in the exposure dialog, if it exists.
    virtual void RefreshExposureDialog() = 0;
    // Stops the running sequence (the sequencer's Run/Stop while running).
    virtual void StopSequence() = 0;
    // The current sequence line's "File Suffix" text as the sequencer dialog shows it.
    virtual std::string CurrentLineSuffix() const = 0;
    // The sequencer's current repetition, counted from 0.
    virtual int CurrentRepeatIndex() const = 0;
};

}  // namespace zorvane
