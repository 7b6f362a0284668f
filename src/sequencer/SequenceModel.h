#pragma once

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvane {

// One line of an exposure sequence, as the sequencer dialog shows it.
struct SequenceLine {
    bool enabled = false;
    // Kept as typed (or as read from a file) and parsed only when used.
    std::string exposureText = "1";
    // Index into the binning list: 0 is 1x1, 1 is 2x2 …; -1 when the list holds no such entry.
    int binning = 0;
    // Filter position as the user counts it, from 1; the wheel goes to filter - 1.
    int filter = 1;
    std::string suffix;
    std::string command;
};

enum class RepeatMode : int {
    Lines = 0,     // "Lines (1,1... 2,2... 3,3...)": each line repeated before the next
    Sequence = 1,  // "Sequence (1,2... 1,2... 1,2...)": the whole pass repeated
};

// Guiding through a separate guider while the sequence runs: the guider's address, dithering
// between frames and what counts as settled after a dither.
struct SequenceGuideOptions {
    static constexpr int kDefaultPort = 4400;
    bool guide = false;
    std::string host = "localhost";
    int port = kDefaultPort;
    int ditherEvery = 0;        // frames between dithers; 0 = no dithering
    double ditherPixels = 3.0;  // largest move, guide-camera pixels
    bool ditherRaOnly = false;
    double settlePixels = 1.5;         // the star within this distance of its lock position ...
    int settleSeconds = 10;            // ... for this long counts as settled
    int settleTimeout = 60;            // seconds the guider has to settle
    bool stopOnSettleFailure = false;  // a settle that fails stops the sequence (else: go on)
    int lostLimitSeconds = 300;        // how long a sequence holds for a lost guide star

    // Ranges the dialog and the files keep the values in.
    static constexpr int kMaxDitherEvery = 1000;
    static constexpr double kMaxPixels = 100.0;
    static constexpr int kMaxSeconds = 36000;
    // The values kept within their ranges (a port outside 1..65535 becomes the default).
    void Clamp();
    bool operator==(const SequenceGuideOptions&) const = default;
};

// The ten lines and the four whole-sequence settings: the live store the sequencer dialog
// edits and the engine reads at each step, so edits made while a sequence runs take effect at
// the next step.
class SequenceModel {
public:
    static constexpr int kLineCount = 10;
    static constexpr int kMaxBinning = 8;
    static constexpr int kInitialBinningEntries = 4;
    static constexpr int kInitialFilterPositions = 5;
    static constexpr float kMinExposure = 0.001f;
    // Ten hours, the top of the exposure spin: anything longer is no exposure anyone takes.
    static constexpr float kMaxExposure = 36000.0f;
    // Longest delay that still fits a timer period in milliseconds.
    static constexpr int kMaxDelaySeconds = 2147483;

    std::array<SequenceLine, kLineCount> lines{};
    int repeatMode = 0;  // a RepeatMode; -1 when the list shows no choice
    int repeat = 1;
    int delay = 0;       // seconds between exposures
    int delayStart = 0;  // seconds between Run and the first exposure
    SequenceGuideOptions guiding;

    // Entries of every line's binning list ("1x1" … "NxN").
    int BinningEntries() const { return binningEntries_; }
    // Highest filter the filter spins offer (1..n).
    int FilterPositions() const { return filterPositions_; }

    // The camera's binning limit: every list offers "1x1" up to min(max, 8); a line beyond the
    // new list selects its largest entry.
    void SetBinningRange(int max);
    // The wheel's number of positions: the filter spins offer 1..n. A line's filter beyond n is
    // left as the user set it; the engine refuses to move the wheel there.
    void SetFilterRange(int n);
    // The wheel's filter names, one per position: the spins offer as many positions, and each
    // line shows its filter's name. Names are kept short and printable for display.
    void SetFilterNames(const std::vector<std::string>& names);
    // The name of 0-based position `position`; empty when the wheel has not named it.
    std::string FilterName(int position) const;

    // ---- the values as the engine uses them ----
    // The line's exposure in seconds: the text scanned as a number, within 0.001..36000; text
    // that is not a finite number counts as 0 (so 0.001).
    float ExposureSeconds(int line) const;
    // Same factor in both axes; an empty binning choice takes the list's first entry (1x1).
    int BinningFactor(int line) const;
    // 0-based wheel position of the line's filter. Filter 0, what a line without a stored
    // filter holds, is the wheel's first position.
    int FilterPosition(int line) const { return std::max(lines[line].filter, 1) - 1; }
    bool AnyLineEnabled() const;
    RepeatMode Mode() const {
        return repeatMode == static_cast<int>(RepeatMode::Sequence) ? RepeatMode::Sequence
                                                                    : RepeatMode::Lines;
    }
    // The step after (line, pass) in the repeat mode, as the engine takes it; false when there
    // is none. Start from StartStep().
    bool NextStep(int& line, int& pass) const;
    void StartStep(int& line, int& pass) const;
    // The steps a run takes from the start, and the steps still to come after (line, pass).
    int StepCount() const;
    int StepsAfter(int line, int pass) const;
    // A delay in seconds as a timer period: seconds × 1000, at least 1 ms, never overflowing.
    static unsigned DelayMilliseconds(int seconds);

    // The remembered path of the sequence file loaded or saved last, and the dialog's title.
    std::string path;
    std::string Title() const;

private:
    int binningEntries_ = kInitialBinningEntries;
    int filterPositions_ = kInitialFilterPositions;
    std::vector<std::string> filterNames_;
};

// Ranges of the dialog's integer spins.
struct SpinRange {
    int low;
    int high;
};
inline constexpr SpinRange kRepeatSpin{1, 1000};
inline constexpr SpinRange kDelaySpin{0, 36000};
// One press of an integer spin: the value moved by delta and kept within the range.
int StepSpin(int value, int delta, SpinRange range);

// "1x1", "2x2" … for binning list entry `index`.
std::string BinningEntryText(int index);

// A held arrow of the exposure spin: steps per notification after the arrow has been held for
// `heldMs` (1 from the start, 5 after 3 s, 10 after 5 s, 100 after 10 s).
int ExposureSpinAcceleration(long heldMs);
// The exposure spin's decade rule: the text moved by k steps (negative downwards) of a step
// that suits its size (0.001 below 0.1, 0.01 below 1, 0.1 below 10, 1 below 100, 10 from 100
// up; a value exactly on a decade steps down with the finer step), rounded to a multiple of
// the move, at least 0.001, written with "%.5g".
std::string StepExposureText(std::string_view text, int k);

// The "%f" scan of an exposure text; none when it does not start with a finite number.
std::optional<double> ScanSeconds(std::string_view text);
// The "%.5g" text of a number of seconds (independent of the user's locale).
std::string FormatSeconds(double seconds);

}  // namespace zorvane
