#pragma once

#include <string>

namespace zorvane {

// What the sequence engine needs from the rest of the main window.
class SequenceHost {
public:
    virtual ~SequenceHost() = default;
    // Records the start time of the exposure that just ended, for the file header.
    virtual void MakeExposureTimeText() = 0;
    // A new frame is on show: it is not saved yet; repaint the view.
    virtual void OnNewFrameShown() = 0;
    // Saves the frame on show under the sequence name (a failed write shows its message and
    // stops the sequence through the engine); the full name written, empty when none was.
    virtual std::string SaveSequenceImage() = 0;
    // Adds to the file sequence number (after a complete sequence).
    virtual void AdvanceSequenceNumber(int count) = 0;
    virtual int SequenceNumber() const = 0;
    virtual void RefreshExposureDialog() = 0;
    // Running state, status text or the closing note changed: refresh the sequencer dialog.
    virtual void SequencerStateChanged() = 0;
};

}  // namespace zorvane
