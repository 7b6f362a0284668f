#include "files/ImageSaver.h"

#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <system_error>

namespace zorvane {

namespace {

// A name is taken when anything exists under it, readable or not: an unreadable file must not
// be overwritten by the next number either.
bool NameTaken(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool MakeDirectory(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directory(path, ec);
    return std::filesystem::is_directory(path, ec);
}

}  // namespace

ImageSaver::ImageSaver(Prompts& prompts, SaverHost& host, const std::string& homeDirectory)
    : prompts_(prompts), host_(host), homeDirectory_(homeDirectory) {
    SetDefaults();
}

std::string ImageSaver::DefaultSavePath(const std::string& homeDirectory) {
    if (homeDirectory.empty() || homeDirectory.back() == '/') return homeDirectory + "Capture.fit";
    return homeDirectory + "/Capture.fit";
}

void ImageSaver::SetDefaults() {
    settings_.savePath = DefaultSavePath(homeDirectory_);
    settings_.sequenceNumber = 0;
    settings_.sequenceFormat = 0;
}

void ImageSaver::ToggleAutosave() {
    settings_.autosave = !settings_.autosave;
    host_.RefreshExposureDialog();
}

int ImageSaver::ShowSaveDialog() {
    FileDialogRequest request;
    request.title = kSaveCaption;
    request.filters = {{"Fits (16 bit)", "*.fit"}, {"Tif (16 bit)", "*.tif"}, {"All Files", "*.*"}};
    request.initialPath = settings_.savePath;
    request.presetFilter = PresetFilterForPath(settings_.savePath);
    request.pathMustExist = true;

    FileDialogResult result = prompts_.SaveFileDialog(request);
    if (result.status == FileDialogResult::Status::InvalidFileName) {
        // The preset name was refused by the dialog itself: offer it once more without one.
        request.initialPath.clear();
        result = prompts_.SaveFileDialog(request);
    }
    if (result.status != FileDialogResult::Status::Ok) return kTypeNone;

    const int type = (result.filterIndex == kTypeTiff || result.filterIndex == kTypeAllFiles)
                         ? result.filterIndex
                         : kTypeFits;
    settings_.savePath = WithTypeExtension(result.path, type);
    lastDialogType_ = type;
    host_.RefreshExposureDialog();
    return type;
}

bool ImageSaver::WriteFrame(const std::string& path, bool tiff, const FramePixels& frame) {
    bool ok;
    if (tiff) {
        tiff_.ClearKeywords();
        host_.AddHeaderKeywords(tiff_);
        ok = tiff_.Write(path, frame.pixels, frame.width, frame.height);
        tiff_.ClearKeywords();
    } else {
        fits_.ClearKeywords();
        host_.AddHeaderKeywords(fits_);
        ok = fits_.Write(path, frame.pixels, frame.width, frame.height);
        fits_.ClearKeywords();
    }
    return ok;
}

void ImageSaver::SaveImageAs() {
    lastSavedName_.clear();
    lastDialogType_ = kTypeNone;
    if (!host_.CurrentFrame()) return;
    const int type = ShowSaveDialog();
    if (type == kTypeNone) return;
    const std::string path = settings_.savePath;
    if (NameTaken(path) &&
        prompts_.MessageBox(path + "\nFile exists: Overwrite?", kSaveCaption, MessageButtons::YesNo,
                            MessageIcon::Question) != MessageAnswer::Yes) {
        return;
    }
    // Fetched only now: a frame may have arrived (and the buffer grown) while the dialogs were up.
    const std::optional<FramePixels> frame = host_.CurrentFrame();
    if (frame && WriteFrame(path, type == kTypeTiff, *frame)) {
        lastSavedName_ = path;
    } else {
        prompts_.MessageBox("Couldn't write file", kSaveCaption, MessageButtons::Ok,
                            MessageIcon::Exclamation);
    }
}

bool ImageSaver::PrepareNumbering(NumberingPoint& point) {
    // Each dialog answer gives a name with an extension, so this asks at most twice.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!settings_.savePath.empty()) {
            if (auto found = FindNumberingPoint(settings_.savePath, lastDialogType_)) {
                point = std::move(*found);
                return true;
            }
        }
        if (ShowSaveDialog() == kTypeNone) return false;
    }
    return false;
}

void ImageSaver::AutosaveImage() {
    lastSavedName_.clear();
    lastDialogType_ = kTypeNone;
    if (!host_.CurrentFrame()) return;
    NumberingPoint point;
    if (!PrepareNumbering(point)) return;

    const int format = ClampSequenceFormat(settings_.sequenceFormat);
    std::string name;
    bool advanced = false;
    for (;;) {
        name = point.stem + AutosaveNumbering(format, settings_.sequenceNumber, point.extension);
        const bool taken = NameTaken(name);
        // The number stops at its top: the top number is used once, then nothing more is saved.
        advanced = settings_.sequenceNumber < INT_MAX;
        if (advanced) ++settings_.sequenceNumber;
        if (!taken) break;
        if (!advanced) {
            if (host_.IsLooping()) host_.StopLoop();
            prompts_.MessageBox("No free number for '" + name + "'\n" + kNumbersUsedUpText,
                                kAutosaveCaption, MessageButtons::Ok, MessageIcon::Exclamation);
            host_.RefreshExposureDialog();
            return;
        }
    }

    const std::optional<FramePixels> frame = host_.CurrentFrame();
    if (frame && WriteFrame(name, IsTiffName(point.extension, lastDialogType_), *frame)) {
        lastSavedName_ = name;
    } else {
        if (host_.IsLooping()) host_.StopLoop();
        prompts_.MessageBox("Failed to write file '" + name + "'", kAutosaveCaption,
                            MessageButtons::Ok, MessageIcon::Exclamation);
        // Offer the same number again next time.
        if (advanced) --settings_.sequenceNumber;
    }
    host_.RefreshExposureDialog();
}

void ImageSaver::SaveSequenceImage() {
    lastSavedName_.clear();
    lastDialogType_ = kTypeNone;
    if (!host_.CurrentFrame()) return;
    NumberingPoint point;
    if (!PrepareNumbering(point)) return;

    const int format = ClampSequenceFormat(settings_.sequenceFormat);
    const std::string suffix = CutLineSuffix(host_.CurrentLineSuffix());
    const long long number =
        static_cast<long long>(settings_.sequenceNumber) + host_.CurrentRepeatIndex();
    std::string name;
    for (int duplicate = 1;; ++duplicate) {
        name = point.stem + SequencerNumbering(format, number, suffix, DuplicateMark(duplicate),
                                               point.extension);
        if (!NameTaken(name) || duplicate == INT_MAX) break;
    }

    const std::optional<FramePixels> frame = host_.CurrentFrame();
    if (frame && WriteFrame(name, IsTiffName(point.extension, lastDialogType_), *frame)) {
        lastSavedName_ = name;
    } else {
        prompts_.MessageBox("Failed to write file '" + name + "'", kSequencerCaption,
                            MessageButtons::Ok, MessageIcon::Exclamation);
        host_.StopSequence();
    }
    host_.RefreshExposureDialog();
}

bool ImageSaver::NextDirectory() {
    const std::optional<NextDirectoryPlan> plan =
        PlanNextDirectory(settings_.savePath, settings_.sequenceFormat);
    // A directory that cannot be made would only turn every following autosave into a failure.
    if (!plan || !MakeDirectory(plan->directory)) {
        prompts_.Beep(BeepKind::Exclamation);
        return false;
    }
    settings_.savePath = plan->savePath;
    settings_.sequenceNumber = 0;
    return true;
}

std::string ImageSaver::SavedStatusText() const {
    if (lastSavedName_.empty()) return "Not saved";
    return "Saved: " + FileNamePart(lastSavedName_);
}

}  // namespace zorvane
