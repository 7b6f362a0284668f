#include "guiding/GuidingEngine.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "core/TimerIds.h"
#include "guiding/StarFinder.h"
#include "guiding/StarTracker.h"

namespace zorvane {

namespace {

// A whole number as an edit holds it: optional blanks around an optionally signed run of
// digits, nothing else.
std::optional<int> ParseWholeNumber(const std::string& text) {
    size_t b = text.find_first_not_of(' ');
    if (b == std::string::npos) return std::nullopt;
    const size_t e = text.find_last_not_of(' ') + 1;
    int value = 0;
    const char* first = text.data() + b;
    const char* last = text.data() + e;
    const auto r = std::from_chars(first, last, value);
    if (r.ec != std::errc() || r.ptr != last) return std::nullopt;
    return value;
}

struct Range {
    int lo, hi;
};

Range AcceptedRange(GuidingEngine::Field f) {
    using F = GuidingEngine::Field;
    switch (f) {
        case F::MeasureRadius:
        case F::SearchRadius:
            return {1, 50};
        case F::MinGuide:
        case F::MaxGuide:
            return {1, 5000};
        case F::CalibrationTime:
            return {1, 10000};
        case F::FeedbackRA:
        case F::FeedbackDec:
            return {1, 20};
        case F::FocalLength:
            return {0, 50000};
    }
    return {1, 1};
}

constexpr const char* kAscomCaption = "ASCOM";

}  // namespace

GuidingEngine::GuidingEngine(GuidingHost& host, Prompts& prompts, Clock& clock,
                             TimerService& timers, FocusSettings& focus, GuidingSettings& guiding)
    : host_(host),
      prompts_(prompts),
      focus_(focus),
      guiding_(guiding),
      history_(clock),
      calibrator_(*this, prompts, timers, kTimerGuide) {}

// ---------------------------------------------------------------------------------------------
// Star tracking

bool GuidingEngine::Measure() {
    Point tracked = host_.TrackedStar();
    StarMeasurement m;
    const bool valid = StarTracker::Measure(host_.ShownFrame(), tracked, focus_.searchRadius,
                                            focus_.measureRadius, m);
    host_.SetTrackedStar(tracked);
    OnStarMeasured(m);
    return valid;
}

void GuidingEngine::OnStarPicked() {
    targetX_ = targetY_ = -10000.0f;
    if (!DialogVisible()) ToggleTrackingDialog();
}

void GuidingEngine::OnStarMeasured(const StarMeasurement& m) {
    if (m.Found() && !model_.exists) ToggleTrackingDialog();
    if (!model_.exists) return;
    model_.star = m;
    if (targetX_ < 0.0f) {
        targetX_ = m.column;
        targetY_ = m.row;
    }
    UpdateTracking();
}

// ---------------------------------------------------------------------------------------------
// The dialog

void GuidingEngine::ToggleTrackingDialog() {
    if (!model_.exists) {
        CreateDialog();
    } else if (model_.visible) {
        model_.visible = false;
        host_.ShowTrackingDialog(false);
        host_.RedrawView();
    } else {
        model_.visible = true;
        host_.ShowTrackingDialog(true);
    }
}

void GuidingEngine::CreateDialog() {
    TrackingDialogModel m;
    m.searchRadius = focus_.searchRadius;
    m.measureRadius = focus_.measureRadius;
    m.feedbackRA = guiding_.aggressivenessRA;
    m.feedbackDec = guiding_.aggressivenessDEC;
    m.setupGuiding = guiding_.trackingExpand;
    m.guideAxes = guiding_.axes;
    m.minGuide = guiding_.minGuideTime;
    m.maxGuide = guiding_.maxGuideTime;
    m.calibrationTime = guiding_.guideCalTime;
    m.focalLength = guiding_.focalLength;
    m.output = guiding_.output;
    m.driverName = DriverName();
    // No star yet: the prompt shows until the first measurement (a zero column would count as
    // a star at the sensor's corner).
    m.star = StarMeasurement{};
    m.calibration = GuideCalibration{};
    m.pulseMarks = 0;
    history_.Clear();
    m.exists = true;
    m.visible = true;
    m.initialised = true;
    model_ = m;
    // The telescope link, when chosen, is connected quietly; until it answers, and without
    // it, the camera's port guides.
    if (model_.output == GuideOutput::TelescopeLink && !telescopeInUse_ && !telescopeConnecting_)
        StartTelescope(true);
    host_.ShowTrackingDialog(true);
}

void GuidingEngine::UpdateTracking() {
    if (model_.searchRadius != focus_.searchRadius ||
        model_.measureRadius != focus_.measureRadius) {
        focus_.searchRadius = model_.searchRadius;
        focus_.measureRadius = model_.measureRadius;
        Measure();
        host_.RedrawView();
    }
    guiding_.aggressivenessRA = model_.feedbackRA;
    guiding_.aggressivenessDEC = model_.feedbackDec;
    guiding_.axes = model_.guideAxes;
    guiding_.minGuideTime = model_.minGuide;
    guiding_.maxGuideTime = model_.maxGuide;
    guiding_.guideCalTime = model_.calibrationTime;
    guiding_.trackingExpand = model_.setupGuiding;
    guiding_.focalLength = model_.focalLength;
    ApplyGuideOutput();
    CheckAutoguide();
    host_.RefreshTrackingDialog();
    host_.RedrawView();
}

// ---------------------------------------------------------------------------------------------
// The guide output

std::string GuidingEngine::DriverName() const {
    return TelescopeLink::DriverName(link_ ? link_->ScopeId() : host_.TelescopeId());
}

void GuidingEngine::StartTelescope(bool quiet) {
    // No driver chosen yet: the user picks one first; a cancelled chooser says nothing.
    if (!link_ || (link_->ScopeId().empty() && !link_->ChooseDriver())) {
        if (link_) link_->CloseDriver();
        model_.output = guiding_.output = GuideOutput::CameraPort;
        model_.driverName = DriverName();
        return;
    }
    telescopeConnecting_ = true;
    link_->Connect([this, quiet](TelescopeLink::Connection how) { TelescopeAnswered(how, quiet); });
}

void GuidingEngine::TelescopeAnswered(TelescopeLink::Connection how, bool quiet) {
    using Connection = TelescopeLink::Connection;
    telescopeConnecting_ = false;
    if (how == Connection::Ready) {
        telescopeInUse_ = true;
    } else {
        // A driver that cannot even be created (its INDI server is not running) is reported
        // like one that does not connect.
        if (!quiet)
            prompts_.MessageBox(
                TelescopeLink::ShortName(link_->ScopeId()) +
                    (how == Connection::CannotGuide ? "\nThis scope does not support guiding"
                                                    : "\nCannot connect to telescope"),
                kAscomCaption, MessageButtons::Ok, MessageIcon::Exclamation);
        link_->CloseDriver();
        model_.output = GuideOutput::CameraPort;
    }
    guiding_.output = model_.output;
    model_.driverName = DriverName();
    // A calibration made for the mount holds no longer when the camera's port guides.
    if (model_.initialised) CheckAutoguide();
    host_.RefreshTrackingDialog();
}

void GuidingEngine::TellCannotConnect() {
    prompts_.MessageBox(
        TelescopeLink::ShortName(link_->ScopeId()) + "\nCannot connect to telescope", kAscomCaption,
        MessageButtons::Ok, MessageIcon::Exclamation);
}

void GuidingEngine::ApplyGuideOutput() {
    if (model_.output == GuideOutput::TelescopeLink && !telescopeInUse_ && !telescopeConnecting_) {
        StartTelescope(false);
        model_.driverName = DriverName();
    } else if (model_.output == GuideOutput::CameraPort &&
               (telescopeInUse_ || telescopeConnecting_)) {
        link_->CloseDriver();
        telescopeInUse_ = telescopeConnecting_ = false;
    }
    guiding_.output = model_.output;
}

void GuidingEngine::OnAscomChooser() {
    if (!link_ || !model_.initialised) return;
    // The camera's port until a driver has been chosen and connected.
    if (telescopeInUse_ || telescopeConnecting_) link_->CloseDriver();
    telescopeInUse_ = telescopeConnecting_ = false;
    model_.output = GuideOutput::CameraPort;
    if (!link_->IsChooserInstalled()) {
        prompts_.MessageBox("ASCOM is not installed on this computer", kAscomCaption,
                            MessageButtons::Ok, MessageIcon::Exclamation);
    } else if (link_->ChooseDriver()) {
        // The box shows the choice while the mount connects; a failure unticks it again.
        model_.output = GuideOutput::TelescopeLink;
        StartTelescope(false);
    }
    model_.driverName = DriverName();
    guiding_.output = model_.output;
    host_.RefreshTrackingDialog();
}

void GuidingEngine::OnServerLost() {
    // A mount that still answers is not the one that went.
    if (telescopeInUse_ && !link_->SupportsPulseGuide()) TelescopeFailed();
}

void GuidingEngine::TelescopeFailed() {
    link_->CloseDriver();
    telescopeInUse_ = telescopeConnecting_ = false;
    model_.output = guiding_.output = GuideOutput::CameraPort;
    // The run ends at its next checkpoint, the subframe restored, without a second message.
    if (calibrator_.Running()) calibrator_.Abort();
    model_.autoguide = false;
    host_.SetGuideTargetMarker({-1, -1});
    // The pulse that failed is over: its lamp goes out before the message waits for OK.
    model_.pulseMarks = 0;
    host_.RefreshDeviationCharts(true);
    host_.RefreshTrackingDialog();
    TellCannotConnect();
}

void GuidingEngine::ShowTargetMarker() {
    host_.SetGuideTargetMarker({static_cast<int>(targetX_), static_cast<int>(targetY_)});
}

void GuidingEngine::CheckAutoguide() {
    if (!model_.autoguide) {
        host_.SetGuideTargetMarker({-1, -1});
        // Guiding stopped: a star lost from now on is news again.
        ShowStarLost(false);
        return;
    }
    if (CalibrationHolds(model_.calibration)) {
        ShowTargetMarker();
        return;
    }
    model_.autoguide = false;
    bool adopt = false;
    if (CalibrationHolds(guiding_.previousCalibration)) {
        adopt =
            prompts_.MessageBox("Axes not calibrated.\nUse previous calibration data?", "Autoguide",
                                MessageButtons::YesNo, MessageIcon::Question) == MessageAnswer::Yes;
    } else {
        prompts_.MessageBox("Axes not calibrated", "Autoguide", MessageButtons::Ok,
                            MessageIcon::Exclamation);
    }
    if (adopt) {
        model_.autoguide = true;
        model_.calibration = guiding_.previousCalibration;
        ShowTargetMarker();
        return;
    }
    // Refused: the next valid measurement defines the target afresh.
    host_.RefreshTrackingDialog();
    targetX_ = targetY_ = -1.0f;
    host_.SetGuideTargetMarker({-1, -1});
}

std::optional<std::string> GuidingEngine::OnFieldEdited(Field field, const std::string& text) {
    if (!model_.initialised) return std::nullopt;
    const std::optional<int> number = ParseWholeNumber(text);
    if (!number) return std::nullopt;
    const Range range = AcceptedRange(field);
    std::optional<std::string> correction;
    int value = *number;
    if (field == Field::FeedbackRA || field == Field::FeedbackDec) {
        value = std::clamp(value, range.lo, range.hi);
        if (value != *number) correction = std::to_string(value);
    } else if (value < range.lo || value > range.hi) {
        return std::nullopt;
    }
    switch (field) {
        case Field::MeasureRadius:
            model_.measureRadius = value;
            break;
        case Field::SearchRadius:
            model_.searchRadius = value;
            break;
        case Field::MinGuide:
            model_.minGuide = value;
            break;
        case Field::MaxGuide:
            model_.maxGuide = value;
            break;
        case Field::CalibrationTime:
            model_.calibrationTime = value;
            break;
        case Field::FeedbackRA:
            model_.feedbackRA = value;
            break;
        case Field::FeedbackDec:
            model_.feedbackDec = value;
            break;
        case Field::FocalLength:
            model_.focalLength = value;
            break;
    }
    UpdateTracking();
    return correction;
}

std::string GuidingEngine::FieldText(Field field) const {
    switch (field) {
        case Field::MeasureRadius:
            return std::to_string(model_.measureRadius);
        case Field::SearchRadius:
            return std::to_string(model_.searchRadius);
        case Field::MinGuide:
            return std::to_string(model_.minGuide);
        case Field::MaxGuide:
            return std::to_string(model_.maxGuide);
        case Field::CalibrationTime:
            return std::to_string(model_.calibrationTime);
        case Field::FeedbackRA:
            return std::to_string(model_.feedbackRA);
        case Field::FeedbackDec:
            return std::to_string(model_.feedbackDec);
        case Field::FocalLength:
            return std::to_string(model_.focalLength);
    }
    return {};
}

void GuidingEngine::OnGuideAxesChanged(int index) {
    if (!model_.initialised || index < 0 || index > 7) return;
    model_.guideAxes = index;
    UpdateTracking();
}

void GuidingEngine::OnAutoguideClicked(bool ticked) {
    if (!model_.initialised) return;
    model_.autoguide = ticked;
    UpdateTracking();
}

void GuidingEngine::OnSetupGuidingClicked(bool ticked) {
    if (!model_.initialised) return;
    model_.setupGuiding = ticked;
    UpdateTracking();
}

void GuidingEngine::OnConnectClicked(bool ticked) {
    if (!model_.initialised) return;
    model_.output = ticked ? GuideOutput::TelescopeLink : GuideOutput::CameraPort;
    UpdateTracking();
}

void GuidingEngine::ClearHistory() {
    history_.Clear();
    host_.RefreshDeviationCharts(false);
}

std::string GuidingEngine::BrightnessText() const {
    return std::to_string(static_cast<long long>(model_.star.brightness));
}

std::string GuidingEngine::WidthText() const {
    char buf[32];
    const auto r =
        std::to_chars(buf, buf + sizeof buf, model_.star.width, std::chars_format::fixed, 2);
    return std::string(buf, r.ptr);
}

// ---------------------------------------------------------------------------------------------
// Charts

DeviationPlot GuidingEngine::PlotChart(DeviationHistory::Axis axis, const Rect& frame) {
    DeviationPlot p = PlotDeviation(history_, axis, frame, model_.pulseMarks);
    if (axis == DeviationHistory::Dec) {
        model_.decAverage = p.stats.mean;
        model_.decDeviation = p.stats.spread;
    } else {
        model_.raAverage = p.stats.mean;
        model_.raDeviation = p.stats.spread;
    }
    return p;
}

std::string GuidingEngine::StatisticText(DeviationHistory::Axis axis, int which) const {
    const bool dec = axis == DeviationHistory::Dec;
    switch (which) {
        case 0:
            return FormatDeviation(history_.Last(axis));
        case 1:
            return FormatDeviation(dec ? model_.decAverage : model_.raAverage);
        default:
            return FormatDeviation(dec ? model_.decDeviation : model_.raDeviation);
    }
}

void GuidingEngine::AddDeviation(float ra, float dec) {
    history_.AddDeviation(ra, dec);
    host_.RefreshDeviationCharts(false);
}

void GuidingEngine::SetPulseMark(int direction, bool on) {
    if (direction < 0 || direction > 3) return;
    if (on)
        model_.pulseMarks |= 1u << direction;
    else
        model_.pulseMarks &= ~(1u << direction);
    host_.RefreshDeviationCharts(true);
}

// ---------------------------------------------------------------------------------------------
// Calibration and autoguiding

bool GuidingEngine::Calibrate() {
    // Not before the chosen mount has answered: the run needs to know where its pulses go.
    if (!model_.exists || calibrator_.Running() || telescopeConnecting_) return false;
    if (!calibrator_.Start(model_.star, focus_.searchRadius, model_.calibrationTime, CurrentSetup(),
                           model_.calibration))
        return false;
    if (observer_) observer_->OnCalibrationStarted();
    return true;
}

GuideOutput GuidingEngine::OutputInUse() const {
    // A mount being connected counts as the output it is about to be: a calibration made for it
    // still holds meanwhile (no pulse goes anywhere until it has answered).
    return (telescopeInUse_ || telescopeConnecting_) && model_.output == GuideOutput::TelescopeLink
               ? GuideOutput::TelescopeLink
               : GuideOutput::CameraPort;
}

CalibrationSetup GuidingEngine::CurrentSetup() const {
    // The same choice of output as each pulse makes.
    return {host_.FramesRotated(), OutputInUse()};
}

void GuidingEngine::OnFrameShown() {
    if (calibrator_.Running()) calibrator_.OnFrameShown(model_.star);
    if (observer_) observer_->OnFrameShown();
}

PulseWait GuidingEngine::StartGuidePulse(int direction, unsigned ms) {
    if (!telescopeInUse_ || model_.output == GuideOutput::CameraPort) {
        host_.SendCameraPortPulse(direction, ms);
        return PulseWait::Timed;
    }
    // The link reports when the mount has finished the pulse (or the bounded wait ran out).
    link_->PulseGuide(direction, ms, [this](TelescopeLink::PulseEnd end) {
        if (end == TelescopeLink::PulseEnd::Refused) TelescopeFailed();
        calibrator_.OnPulseEnded();
    });
    return PulseWait::Reported;
}

void GuidingEngine::StopAutoguiding() {
    model_.autoguide = false;
    host_.SetGuideTargetMarker({-1, -1});
    host_.RefreshTrackingDialog();
}

void GuidingEngine::CalibrationEnded() {
    host_.RefreshTrackingDialog();
    host_.RedrawView();
    if (observer_) observer_->OnCalibrationEnded();
}

void GuidingEngine::CalibrationStep(int direction, bool returning, float x, float y, float x0,
                                    float y0) {
    if (observer_) observer_->OnCalibrationStep(direction, returning, x, y, x0, y0);
}

void GuidingEngine::ShowStarLost(bool show) {
    if (show == starLostShown_) return;
    starLostShown_ = show;
    if (show) prompts_.Beep(BeepKind::Stop);
    host_.ShowGuideStarLost(show);
}

bool GuidingEngine::GuideStep() {
    // A step whose pulses still run (a snapshot taken meanwhile) is not followed by another.
    if (!AutoguideOn() || pulsesPaused_ || stepDirection_ >= 0) return true;
    if (!model_.star.Found()) {
        // Lost: no pulse; guiding goes on once the star is found again.
        if (targetX_ >= 0.0f) {
            ShowStarLost(true);
            model_.star.column = targetX_;
            model_.star.row = targetY_;
        }
        host_.RefreshTrackingDialog();
        if (observer_) observer_->OnGuideStarLost();
        return true;
    }
    if (targetX_ < 0.0f) {
        prompts_.MessageBox("Guide star not set", "Autoguide", MessageButtons::Ok,
                            MessageIcon::Exclamation);
        model_.autoguide = false;
        host_.RefreshTrackingDialog();
        return true;
    }
    ShowStarLost(false);

    const GuideCalibration& c = model_.calibration;
    if (!CalibrationHolds(c)) return true;
    // Extended precision throughout: a pulse one millisecond short of its figure is a pulse
    // too short on every frame.
    using Real = long double;
    const Real dx = Real{model_.star.column} - targetX_;
    const Real dy = Real{model_.star.row} - targetY_;
    // Resolve the offset along the two mount axes: (dx, dy) = u * NS + v * WE.
    const Real det = Real{c.axisNSX} * c.axisWEY - Real{c.axisWEX} * c.axisNSY;
    Real u = (dx * c.axisWEY - dy * c.axisWEX) / det;
    Real v = (dy * c.axisNSX - dx * c.axisNSY) / det;
    AddDeviation(static_cast<float>(v), static_cast<float>(u));

    GuideStepReport report{static_cast<float>(dx), static_cast<float>(dy), static_cast<float>(v),
                           static_cast<float>(u)};
    report.decLimited = std::fabs(u) > 5;
    report.raLimited = std::fabs(v) > 5;
    u = std::clamp<Real>(u, -5, 5) / c.velNS;
    v = std::clamp<Real>(v, -5, 5) / c.velWE;
    const int axes = model_.guideAxes;
    if (axes & 4) v = 0;
    if ((axes & 2) && u < 0) u = 0;
    if ((axes & 1) && u > 0) u = 0;
    // A star displaced the way a north pulse moves it is brought back by a south pulse.
    const int dirNS = u >= 0 ? 1 : 0;
    const int dirWE = v >= 0 ? 3 : 2;
    const Real tenth = 0.1f;
    const Real msNS = std::fabs(model_.feedbackDec * u * tenth * 1000);
    const Real msWE = std::fabs(model_.feedbackRA * v * tenth * 1000);
    const auto minGuide = static_cast<unsigned>(model_.minGuide);
    const auto maxGuide = static_cast<unsigned>(model_.maxGuide);
    stepPulses_.clear();
    for (const auto& [dir, ms] : {std::pair{dirNS, msNS}, std::pair{dirWE, msWE}}) {
        // Whole milliseconds as the pulse takes them; limited to the longest before they are
        // made whole, so a huge figure (a tiny speed) never overflows the conversion.
        if (!(std::trunc(ms) >= minGuide)) continue;
        const auto whole = static_cast<unsigned>(std::min<Real>(ms, maxGuide));
        const bool ns = dir == dirNS;
        (ns ? report.decMs : report.raMs) = whole;
        (ns ? report.decDirection : report.raDirection) = dir;
        if (ms > maxGuide) (ns ? report.decLimited : report.raLimited) = true;
        stepPulses_.emplace_back(dir, whole);
    }
    stepReport_ = report;
    return SendStepPulses();
}

bool GuidingEngine::SendStepPulses() {
    while (!stepPulses_.empty()) {
        const auto [dir, ms] = stepPulses_.front();
        stepPulses_.erase(stepPulses_.begin());
        SetPulseMark(dir, true);
        if (telescopeInUse_ && model_.output == GuideOutput::TelescopeLink) {
            // The mount takes one pulse at a time: the next waits until this one has ended.
            stepDirection_ = dir;
            link_->PulseGuide(dir, ms,
                              [this](TelescopeLink::PulseEnd end) { StepPulseEnded(end); });
            return false;
        }
        // No pulse while the chosen mount is still connecting: its port is not the way to it.
        if (!telescopeConnecting_) host_.SendCameraPortPulse(dir, ms);
        SetPulseMark(dir, false);
        if (!AutoguideOn()) break;
    }
    stepPulses_.clear();
    if (observer_) observer_->OnGuided(stepReport_);
    return true;
}

void GuidingEngine::StepPulseEnded(TelescopeLink::PulseEnd end) {
    const int dir = stepDirection_;
    stepDirection_ = -1;
    if (end == TelescopeLink::PulseEnd::Refused) TelescopeFailed();
    SetPulseMark(dir, false);
    // A telescope that stopped answering, or guiding switched off meanwhile, ends the step.
    if (!AutoguideOn()) stepPulses_.clear();
    if (SendStepPulses()) host_.GuideStepEnded();
}

void GuidingEngine::SetGuideTarget(float x, float y) {
    targetX_ = x;
    targetY_ = y;
    if (AutoguideOn()) ShowTargetMarker();
    host_.RedrawView();
}

bool GuidingEngine::AutoSelectStar(bool quiet, const Rect& region) {
    StarFinderOptions options;
    options.searchRadius = focus_.searchRadius;
    options.measureRadius = focus_.measureRadius;
    options.sensor = host_.SensorRect();
    options.region = region;
    const std::optional<FoundStar> star = FindGuideStar(host_.ShownFrame(), options);
    if (!star) {
        if (!quiet)
            prompts_.MessageBox("No suitable guide star was found in the image.", "Autoguide",
                                MessageButtons::Ok, MessageIcon::Exclamation);
        return false;
    }
    return PickStar(star->peak);
}

bool GuidingEngine::PickStar(Point sensor) {
    host_.SetTrackedStar(sensor);
    OnStarPicked();
    const bool found = Measure();
    if (!found) host_.SetTrackedStar({-1, -1});
    host_.RedrawView();
    return found;
}

void GuidingEngine::SetGuideFigures(const GuideFigures& figures) {
    model_.figures = figures;
    host_.RefreshTrackingDialog();
}

std::string GuidingEngine::GuideRmsText() const {
    const GuideFigures& f = model_.figures;
    if (f.frames == 0) return "RMS: no guided frames yet";
    char buf[160];
    int n = std::snprintf(buf, sizeof buf, "RMS  RA %.2f  Dec %.2f  Total %.2f px", f.ra, f.dec,
                          f.total);
    if (f.scale && n > 0 && n < static_cast<int>(sizeof buf))
        std::snprintf(buf + n, sizeof buf - n, "  (%.2f\"  %.2f\"  %.2f\")", f.ra * *f.scale,
                      f.dec * *f.scale, f.total * *f.scale);
    return buf;
}

}  // namespace zorvane
