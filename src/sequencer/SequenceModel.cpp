#include "sequencer/SequenceModel.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "core/ScanDecimal.h"

namespace zorvane {

void SequenceModel::SetBinningRange(int max) {
    const int n = std::clamp(max, 1, kMaxBinning);
    for (SequenceLine& line : lines)
        if (line.binning > n - 1) line.binning = n - 1;
    binningEntries_ = n;
}

void SequenceModel::SetFilterRange(int n) {
    filterPositions_ = std::max(n, 1);
}

void SequenceModel::SetFilterNames(const std::vector<std::string>& names) {
    // A name is the wheel's, set by whoever configured it: shown, never trusted for length.
    constexpr size_t kShown = 24;
    filterNames_.clear();
    for (std::string name : names) {
        for (char& c : name)
            if (static_cast<unsigned char>(c) < 0x20) c = ' ';
        if (name.size() > kShown) {
            name.resize(kShown);
            // Not in the middle of a character of several bytes.
            while (!name.empty() && (static_cast<unsigned char>(name.back()) & 0xC0) == 0x80)
                name.pop_back();
            if (!name.empty() && static_cast<unsigned char>(name.back()) >= 0xC0) name.pop_back();
            name += "...";
        }
        filterNames_.push_back(std::move(name));
    }
    SetFilterRange(static_cast<int>(names.size()));
}

std::string SequenceModel::FilterName(int position) const {
    if (position < 0 || position >= static_cast<int>(filterNames_.size())) return {};
    return filterNames_[position];
}

void SequenceGuideOptions::Clamp() {
    if (port < 1 || port > 65535) port = kDefaultPort;
    ditherEvery = std::clamp(ditherEvery, 0, kMaxDitherEvery);
    // NaN compares false both ways: it becomes the low end.
    const auto pixels = [](double v, double low) {
        return v >= low && v <= kMaxPixels ? v : (v > kMaxPixels ? kMaxPixels : low);
    };
    ditherPixels = pixels(ditherPixels, 0.1);
    settlePixels = pixels(settlePixels, 0.1);
    settleSeconds = std::clamp(settleSeconds, 0, kMaxSeconds);
    settleTimeout = std::clamp(settleTimeout, 1, kMaxSeconds);
    lostLimitSeconds = std::clamp(lostLimitSeconds, 1, kMaxSeconds);
}

void SequenceModel::StartStep(int& line, int& pass) const {
    if (Mode() == RepeatMode::Sequence) {
        line = -1;
        pass = 0;
    } else {
        line = 0;
        pass = -1;
    }
}

bool SequenceModel::NextStep(int& line, int& pass) const {
    const int repeats = repeat;
    // Without a line or a repetition there is no step (and no pass to search through).
    if (repeats < 1 || !AnyLineEnabled()) return false;
    const auto skipDisabled = [&] {
        while (line < kLineCount && !lines[line].enabled) ++line;
    };
    if (Mode() == RepeatMode::Sequence) {
        ++line;
        skipDisabled();
        while (line >= kLineCount && pass < repeats) {
            line = 0;
            ++pass;
            skipDisabled();
        }
        return pass < repeats;
    }
    ++pass;
    if (pass >= repeats) {
        ++line;
        pass = 0;
    }
    skipDisabled();
    return line < kLineCount;
}

int SequenceModel::StepsAfter(int line, int pass) const {
    int n = 0;
    while (NextStep(line, pass)) ++n;
    return n;
}

int SequenceModel::StepCount() const {
    int line = 0, pass = 0;
    StartStep(line, pass);
    return StepsAfter(line, pass);
}

float SequenceModel::ExposureSeconds(int line) const {
    const double v = ScanSeconds(lines[line].exposureText).value_or(0.0);
    return static_cast<float>(
        std::clamp(v, static_cast<double>(kMinExposure), static_cast<double>(kMaxExposure)));
}

int SequenceModel::BinningFactor(int line) const {
    const int index = lines[line].binning;
    return index >= 0 ? index + 1 : 1;
}

bool SequenceModel::AnyLineEnabled() const {
    return std::any_of(lines.begin(), lines.end(), [](const SequenceLine& l) { return l.enabled; });
}

unsigned SequenceModel::DelayMilliseconds(int seconds) {
    const long long ms = static_cast<long long>(std::clamp(seconds, 0, kMaxDelaySeconds)) * 1000;
    return static_cast<unsigned>(std::max(ms, 1LL));
}

std::string SequenceModel::Title() const {
    if (path.empty()) return "Sequencer";
    const size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return "Sequencer - " + name.substr(0, 80);
}

int StepSpin(int value, int delta, SpinRange range) {
    const long long v = static_cast<long long>(value) + delta;
    return static_cast<int>(std::clamp<long long>(v, range.low, range.high));
}

std::string BinningEntryText(int index) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%dx%d", index + 1, index + 1);
    return buf;
}

int ExposureSpinAcceleration(long heldMs) {
    if (heldMs >= 10000) return 100;
    if (heldMs >= 5000) return 10;
    if (heldMs >= 3000) return 5;
    return 1;
}

std::optional<double> ScanSeconds(std::string_view text) {
    return ScanDecimal(text);
}

std::string FormatSeconds(double seconds) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, seconds, std::chars_format::general, 5);
    if (res.ec != std::errc()) return "0.001";
    return std::string(buf, res.ptr);
}

std::string StepExposureText(std::string_view text, int k) {
    double v = ScanSeconds(text).value_or(0.0);
    double decade = 0.1;
    while (v >= decade) {
        if (k < 0 && v <= decade + 0.001) break;
        decade *= 10.0;
    }
    const double step = decade >= 105.0 ? 10.0 : decade * 0.01;
    const double move = std::fabs(k * step);
    // The spin keeps its value as a single float, so a step lands where the dialog's own
    // arithmetic lands ("0.95" and ten steps up is 1, ten down 0.9).
    v = static_cast<float>(v + k * step);
    if (move > 0.0) v = std::trunc(v / move + 0.5) * move;
    return FormatSeconds(std::max(v, static_cast<double>(SequenceModel::kMinExposure)));
}

}  // namespace zorvane
