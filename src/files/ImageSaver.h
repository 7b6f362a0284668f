#pragma once

#include <string>

#include "core/Prompts.h"
#include "files/FileNaming.h"
#include "files/FitsWriter.h"
#include "files/SaverHost.h"
#include "files/TiffWriter.h"

namespace zorvane {

// The file settings the saver works with; loaded from and stored to [Filenames] (and
// [Camera] Autosave) by the settings store.
struct FileSettings {
    std::string savePath;    // the name chosen last; autosave and sequencer names derive from it
    int sequenceNumber = 0;  // next autosave number, base number of sequencer names
    int sequenceFormat = 0;  // numbering pattern 0-5, clamped where used
    bool autosave = false;
};

// Save As, autosave, the sequencer's save and "Next dir.": everything between the frame in
// memory and a file on disk. Owns the program's FITS and TIFF writers.
class ImageSaver {
  public:
    static constexpr const char* kSaveCaption = "Save image as...";
    static constexpr const char* kAutosaveCaption = "Autosave";
    static constexpr const char* kSequencerCaption = "Sequencer";
    static constexpr const char* kNumbersUsedUpText =
        "The sequence number is at its top: set a lower one or choose another file name.";

    // homeDirectory gives the default save path "<home>/Capture.fit".
    ImageSaver(Prompts& prompts, SaverHost& host, const std::string& homeDirectory);

    static std::string DefaultSavePath(const std::string& homeDirectory);

    FileSettings& Settings() { return settings_; }
    const FileSettings& Settings() const { return settings_; }
    // Puts the save path, sequence number and format back to their defaults.
    void SetDefaults();

    // The "A&utosave" command: flips the flag and refreshes the exposure dialog.
    void ToggleAutosave();

    // The save-file dialog for the save path. Returns the chosen type (1 FITS, 2 TIFF, 3 all
    // files, 0 cancelled); on a choice the save path becomes the chosen name with the type's
    // extension and the exposure dialog is refreshed.
    int ShowSaveDialog();

    // The "Save Image As..." command.
    void SaveImageAs();
    // After an ordinary frame when autosave is on: the next free numbered name.
    void AutosaveImage();
    // After each sequencer frame: numbered by sequence number + repeat index, line suffix and
    // a duplicate mark when the name is taken. A failed write stops the sequence.
    void SaveSequenceImage();
    // Moves saving into the next numbered directory (created here) and restarts the sequence
    // number at 0. On false nothing changed and the exclamation beep has sounded.
    bool NextDirectory();

    // Full name of the file written last; empty when the frame on show is not saved.
    const std::string& LastSavedName() const { return lastSavedName_; }
    // A new frame arrived or the camera was disconnected: the frame on show is not saved.
    void ClearLastSavedName() { lastSavedName_.clear(); }
    // The status bar's saved pane: "Saved: <file name>" or "Not saved".
    std::string SavedStatusText() const;

    // File type chosen in the save dialog during the save in progress or the last one; 0 when
    // that save showed no dialog.
    int LastDialogType() const { return lastDialogType_; }

    FitsWriter& Fits() { return fits_; }
    TiffWriter& Tiff() { return tiff_; }

  private:
    // Extension check shared by autosave and sequencer saves; false when the dialog was
    // cancelled.
    bool PrepareNumbering(NumberingPoint& point);
    bool WriteFrame(const std::string& path, bool tiff, const FramePixels& frame);

    Prompts& prompts_;
    SaverHost& host_;
    std::string homeDirectory_;
    FileSettings settings_;
    std::string lastSavedName_;
    int lastDialogType_ = 0;
    FitsWriter fits_;
    TiffWriter tiff_;
};

}  // namespace zorvane
