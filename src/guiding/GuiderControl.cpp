#include "guiding/GuiderControl.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "guiding/StarFinder.h"

namespace zorvane {

namespace {

constexpr const char* kDirectionNames[4] = {"North", "South", "East", "West"};
constexpr const char* kCameraPort = "Camera guide port";

GuiderError Failed(std::string message) {
    return GuiderError{1, std::move(message)};
}

double Degrees(double x, double y) {
    return std::atan2(y, x) * 180.0 / std::numbers::pi;
}

bool Near(const std::optional<PointF>& a, const std::optional<PointF>& b) {
    if (a.has_value() != b.has_value()) return false;
    return !a || (std::abs(a->x - b->x) < 1e-3 && std::abs(a->y - b->y) < 1e-3);
}

}  // namespace

const char* GuiderStateName(GuiderState s) {
    switch (s) {
        case GuiderState::Stopped:
            return "Stopped";
        case GuiderState::Selected:
            return "Selected";
        case GuiderState::Calibrating:
            return "Calibrating";
        case GuiderState::Guiding:
            return "Guiding";
        case GuiderState::LostLock:
            return "LostLock";
        case GuiderState::Paused:
            return "Paused";
        case GuiderState::Looping:
            return "Looping";
    }
    return "Stopped";
}

GuiderControl::GuiderControl(GuidingEngine& engine, GuideCamera& camera, Clock& clock,
                             GuidingSettings& settings)
    : engine_(engine), camera_(camera), clock_(clock), settings_(settings) {
    engine_.SetObserver(this);
}

GuiderControl::~GuiderControl() {
    engine_.SetObserver(nullptr);
}

// ---------------------------------------------------------------------------------------------
// What the guider is doing

GuiderState GuiderControl::State() {
    if (engine_.Calibrating() || phase_ == Phase::Calibrating) return GuiderState::Calibrating;
    if (paused_) return GuiderState::Paused;
    if (engine_.AutoguideOn()) return lostLock_ ? GuiderState::LostLock : GuiderState::Guiding;
    if (!camera_.Looping()) return GuiderState::Stopped;
    return LockPosition() ? GuiderState::Selected : GuiderState::Looping;
}

PointF GuiderControl::ToCamera(float x, float y) {
    return PointF{x / std::max(1, camera_.BinX()), y / std::max(1, camera_.BinY())};
}

Point GuiderControl::ToSensor(double x, double y) {
    return Point{static_cast<int>(x * std::max(1, camera_.BinX())),
                 static_cast<int>(y * std::max(1, camera_.BinY()))};
}

std::optional<PointF> GuiderControl::LockPosition() {
    if (engine_.TargetX() < 0 || engine_.TargetY() < 0) return std::nullopt;
    return ToCamera(engine_.TargetX(), engine_.TargetY());
}

std::optional<PointF> GuiderControl::SelectedStar() {
    const StarMeasurement& m = engine_.Model().star;
    if (!m.Found()) return std::nullopt;
    return ToCamera(m.column, m.row);
}

bool GuiderControl::Calibrated() {
    return engine_.Model().calibration.Valid();
}

bool GuiderControl::CameraConnected() {
    return camera_.Connected();
}

GuiderStatus GuiderControl::SetConnected(bool connect) {
    if (connect == camera_.Connected()) return std::nullopt;
    return Failed("the camera is connected and disconnected in the program's window");
}

std::string GuiderControl::MountName() {
    return engine_.TelescopeInUse() ? engine_.Model().driverName : kCameraPort;
}

Equipment GuiderControl::CurrentEquipment() {
    Equipment e;
    e.camera = camera_.Name();
    e.cameraConnected = camera_.Connected();
    e.mount = MountName();
    e.mountConnected = engine_.TelescopeInUse() || e.cameraConnected;
    return e;
}

std::optional<double> GuiderControl::PixelScale() {
    const double pixel = camera_.PixelSizeUm();
    if (settings_.focalLength <= 0 || !(pixel > 0) || !camera_.Connected()) return std::nullopt;
    return 206.265 * pixel * std::max(1, camera_.BinX()) / settings_.focalLength;
}

int GuiderControl::ExposureMs() {
    return camera_.ExposureMs();
}

GuiderStatus GuiderControl::SetExposureMs(int ms) {
    return camera_.SetExposureMs(ms);
}

std::vector<int> GuiderControl::ExposureDurations() {
    return {10,   100,  200,  500,  1000, 1500,  2000,  2500,  3000,
            3500, 4000, 5000, 6000, 8000, 10000, 15000, 20000, 30000};
}

std::optional<std::pair<int, int>> GuiderControl::CameraFrameSize() {
    if (!camera_.Connected()) return std::nullopt;
    const Rect s = camera_.SensorRect();
    return std::pair{s.Width() / std::max(1, camera_.BinX()),
                     s.Height() / std::max(1, camera_.BinY())};
}

// ---------------------------------------------------------------------------------------------
// Requests

GuiderStatus GuiderControl::Loop() {
    if (engine_.Calibrating()) return Failed("cannot start looping while calibrating");
    if (camera_.Looping()) return std::nullopt;
    GuiderStatus status = camera_.StartLoop();
    Sync();
    return status;
}

void GuiderControl::StopCapture() {
    const bool wasRequest = requestOpen_;
    phase_ = Phase::Idle;
    continuePending_ = false;
    if (engine_.Calibrating()) engine_.CancelCalibration();
    if (engine_.AutoguideOn()) engine_.OnAutoguideClicked(false);
    camera_.StopLoop();
    if (paused_) {
        paused_ = pausedFull_ = false;
        engine_.SetPulsesPaused(false);
    }
    if (wasRequest) FailRequest("guiding stopped");
    Sync();
}

bool GuiderControl::SelectStar(const std::optional<Roi>& roi) {
    Rect region{};
    if (roi) {
        const Point a = ToSensor(roi->x, roi->y);
        const Point b = ToSensor(roi->x + roi->width, roi->y + roi->height);
        region = Rect{a.x, a.y, b.x, b.y};
    }
    return engine_.AutoSelectStar(true, region);
}

std::optional<PointF> GuiderControl::FindStar(const std::optional<Roi>& roi, GuiderError& error) {
    if (!camera_.Connected()) {
        error = Failed("camera not connected");
        return std::nullopt;
    }
    if (engine_.Calibrating() || engine_.AutoguideOn() || requestOpen_) {
        error = Failed("cannot select a star while calibrating or guiding");
        return std::nullopt;
    }
    const bool found = SelectStar(roi);
    Sync();
    const auto lock = LockPosition();
    if (!found || !lock) {
        error = Failed("could not find star");
        return std::nullopt;
    }
    return lock;
}

GuiderError GuiderControl::CalibrationObstacle() {
    // What calibration would refuse with a message box, said to the client instead.
    const StarMeasurement& star = engine_.Model().star;
    if (!star.Found()) return Failed("no star selected");
    const int box = 3 * engine_.Model().searchRadius;
    const int left = static_cast<int>(star.column - box / 2);
    const int top = static_cast<int>(star.row - box / 2);
    const Rect sensor = camera_.SensorRect();
    if (left < 0 || top < 0 || left + box > sensor.right || top + box > sensor.bottom)
        return Failed("the guide star is too near the edge of the sensor to calibrate");
    return GuiderError{0, {}};
}

GuiderStatus GuiderControl::Guide(const SettleSpec& settle, bool recalibrate,
                                  const std::optional<Roi>& roi) {
    if (!camera_.Connected()) return Failed("camera not connected");
    if (engine_.Calibrating()) return Failed("cannot guide while calibrating");
    // A new request ends the one before it: each still gets its one SettleDone.
    if (requestOpen_) FailRequest("a new guide request came");
    if (paused_) SetPaused(false, false);
    request_ = settle;
    recalibrate_ = recalibrate;
    roi_ = roi;
    requestOpen_ = true;
    if (engine_.AutoguideOn() && !recalibrate) {
        // Already guiding: only a new settling period.
        phase_ = Phase::Guiding;
        BeginSettle();
        return std::nullopt;
    }
    if (!engine_.Model().star.Found() || engine_.TargetX() < 0) {
        if (!SelectStar(roi)) {
            // Frames are needed to find a star in: loop until one turns up or the settle
            // timeout has passed.
            if (!camera_.Looping()) {
                if (GuiderStatus why = camera_.StartLoop()) {
                    requestOpen_ = false;
                    return why;
                }
            }
            phase_ = Phase::FindingStar;
            findUntilMs_ = Now() + static_cast<uint64_t>(settle.timeout * 1000.0);
            Sync();
            return std::nullopt;
        }
    }
    continuePending_ = true;
    phase_ = Phase::StartingGuiding;
    Sync();
    return std::nullopt;
}

void GuiderControl::ContinueGuide() {
    if (!requestOpen_) return;
    if (!Calibrated() || recalibrate_) return StartCalibration();
    StartAutoguiding();
}

void GuiderControl::StartCalibration() {
    const GuiderError obstacle = CalibrationObstacle();
    if (obstacle.code != 0) {
        phase_ = Phase::Idle;
        Tell([&](GuiderListener& l) { l.OnCalibrationFailed(MountName(), obstacle.message); });
        return FailRequest(obstacle.message);
    }
    recalibrate_ = false;
    phase_ = Phase::Calibrating;
    if (engine_.AutoguideOn()) engine_.OnAutoguideClicked(false);
    // Calibration takes its own frames.
    camera_.StopLoop();
    if (GuiderStatus refused = camera_.MayCalibrate()) {
        phase_ = Phase::Idle;
        Tell([&](GuiderListener& l) { l.OnCalibrationFailed(MountName(), refused->message); });
        return FailRequest(refused->message);
    }
    if (!engine_.Calibrate()) {
        phase_ = Phase::Idle;
        Tell([&](GuiderListener& l) { l.OnCalibrationFailed(MountName(), "could not start"); });
        return FailRequest("calibration failed");
    }
    Sync();
}

void GuiderControl::StartAutoguiding() {
    if (!engine_.DialogExists()) engine_.ToggleTrackingDialog();
    engine_.OnAutoguideClicked(true);
    if (!engine_.AutoguideOn()) {
        phase_ = Phase::Idle;
        return FailRequest("guiding could not start");
    }
    phase_ = Phase::Guiding;
    if (!camera_.Looping()) {
        if (GuiderStatus why = camera_.StartLoop()) {
            engine_.OnAutoguideClicked(false);
            phase_ = Phase::Idle;
            Sync();
            return FailRequest(why->message);
        }
    }
    Sync();
    BeginSettle();
}

void GuiderControl::BeginSettle() {
    settle_.Begin(request_, Now());
    Tell([](GuiderListener& l) { l.OnSettleBegin(); });
}

void GuiderControl::Settled(const SettleDoneEvent& done) {
    requestOpen_ = false;
    Tell([&](GuiderListener& l) { l.OnSettleDone(done); });
}

void GuiderControl::FailRequest(const std::string& why) {
    if (!requestOpen_) return;
    const SettleDoneEvent done =
        settle_.Active() ? settle_.Cancel(why) : SettleDoneEvent{1, why, 0, 0};
    Settled(done);
}

GuiderStatus GuiderControl::Dither(double amount, bool raOnly, const SettleSpec& settle) {
    if (requestOpen_) return Failed("cannot dither while settling");
    if (!engine_.AutoguideOn() || paused_) return Failed("cannot dither when not guiding");
    const PointF move =
        ditherer_.Offset(amount * std::max(1, camera_.BinX()), raOnly, engine_.Model().calibration);
    const Rect sensor = camera_.SensorRect();
    const float x = std::clamp(engine_.TargetX() + static_cast<float>(move.x), 0.0f,
                               static_cast<float>(std::max(0, sensor.right - 1)));
    const float y = std::clamp(engine_.TargetY() + static_cast<float>(move.y), 0.0f,
                               static_cast<float>(std::max(0, sensor.bottom - 1)));
    const PointF moved = ToCamera(x - engine_.TargetX(), y - engine_.TargetY());
    engine_.SetGuideTarget(x, y);
    const PointF lock = ToCamera(x, y);
    Tell([&](GuiderListener& l) { l.OnDithered(moved.x, moved.y, lock); });
    request_ = settle;
    requestOpen_ = true;
    phase_ = Phase::Guiding;
    Sync();
    BeginSettle();
    return std::nullopt;
}

GuiderStatus GuiderControl::SetPaused(bool paused, bool full) {
    if (paused) {
        if (!paused_) {
            paused_ = true;
            engine_.SetPulsesPaused(true);
            Tell([](GuiderListener& l) { l.OnPaused(); });
        }
        if (full && camera_.Looping()) {
            camera_.StopLoop();
            pausedFull_ = true;
        }
    } else if (paused_) {
        paused_ = false;
        engine_.SetPulsesPaused(false);
        if (pausedFull_ && !camera_.Looping()) camera_.StartLoop();
        pausedFull_ = false;
        Tell([](GuiderListener& l) { l.OnResumed(); });
    }
    Sync();
    return std::nullopt;
}

GuiderStatus GuiderControl::SetLockPosition(double x, double y, bool exact) {
    if (!camera_.Connected()) return Failed("camera not connected");
    const Point p = ToSensor(x, y);
    const Rect sensor = camera_.SensorRect();
    if (x < 0 || y < 0 || p.x >= sensor.right || p.y >= sensor.bottom)
        return Failed("the lock position is outside the sensor");
    if (engine_.Calibrating()) return Failed("cannot move the lock position while calibrating");
    const bool guiding = engine_.AutoguideOn();
    if (!guiding) {
        // Follow the star at that place, as a double-click there does.
        const bool found = engine_.PickStar(p);
        if (!found && !exact) {
            Sync();
            return Failed("could not find a star at the lock position");
        }
    }
    if (exact || guiding)
        engine_.SetGuideTarget(static_cast<float>(x * std::max(1, camera_.BinX())),
                               static_cast<float>(y * std::max(1, camera_.BinY())));
    Sync();
    return std::nullopt;
}

void GuiderControl::ClearCalibration() {
    engine_.Calibration() = GuideCalibration{};
    // Autoguiding cannot go on without one.
    if (engine_.AutoguideOn()) engine_.OnAutoguideClicked(false);
    Sync();
}

std::string GuiderControl::DecGuideMode() {
    switch (engine_.Model().guideAxes & 3) {
        case 1:
            return "North";  // south pulses left out
        case 2:
            return "South";
        case 3:
            return "Off";
        default:
            return "Auto";
    }
}

GuiderStatus GuiderControl::SetDecGuideMode(const std::string& mode) {
    int dec = -1;
    if (mode == "Auto") dec = 0;
    if (mode == "North") dec = 1;
    if (mode == "South") dec = 2;
    if (mode == "Off") dec = 3;
    if (dec < 0) return GuiderError{-32602, "invalid dec guide mode"};
    if (!engine_.DialogExists()) engine_.ToggleTrackingDialog();
    engine_.OnGuideAxesChanged((engine_.Model().guideAxes & 4) | dec);
    return std::nullopt;
}

std::optional<StarImage> GuiderControl::StarImageAround(int size) {
    const StarMeasurement& star = engine_.Model().star;
    const ImageFrame& f = camera_.Frame();
    if (!star.Found() || f.IsEmpty() || f.BinX <= 0 || f.BinY <= 0) return std::nullopt;
    const double fc = (star.column - f.OriginX) / f.BinX, fr = (star.row - f.OriginY) / f.BinY;
    const int half = size / 2;
    const int c0 = std::clamp(static_cast<int>(fc) - half, 0, f.Width - 1);
    const int r0 = std::clamp(static_cast<int>(fr) - half, 0, f.Height - 1);
    const int c1 = std::min(f.Width, c0 + size), r1 = std::min(f.Height, r0 + size);
    StarImage image;
    image.frame = frame_;
    image.width = c1 - c0;
    image.height = r1 - r0;
    image.star = PointF{fc - c0, fr - r0};
    image.pixels.reserve(static_cast<size_t>(image.width) * image.height);
    for (int r = r0; r < r1; ++r)
        for (int c = c0; c < c1; ++c) image.pixels.push_back(f.At(c, r));
    return image;
}

void GuiderControl::Shutdown() {
    if (shutdown_) shutdown_();
}

// ---------------------------------------------------------------------------------------------
// What guiding does

void GuiderControl::Tick() {
    if (settle_.Active()) {
        if (const auto done = settle_.Tick(Now())) Settled(*done);
    }
    if (phase_ == Phase::FindingStar && Now() >= findUntilMs_) {
        phase_ = Phase::Idle;
        FailRequest("could not find star");
    }
    if (continuePending_) {
        continuePending_ = false;
        ContinueGuide();
    }
    Sync();
}

void GuiderControl::OnFrameShown() {
    ++frame_;
    if (phase_ == Phase::FindingStar && SelectStar(roi_)) {
        phase_ = Phase::StartingGuiding;
        continuePending_ = true;
    }
    if (camera_.Looping() && !engine_.AutoguideOn())
        Tell([&](GuiderListener& l) { l.OnLoopingExposures(frame_); });
    Sync();
}

void GuiderControl::OnGuided(const GuideStepReport& r) {
    lostLock_ = false;
    Sync();
    const GuideCalibration& c = engine_.Model().calibration;
    const double binX = std::max(1, camera_.BinX());
    GuideStepEvent e;
    e.frame = frame_;
    e.time = (Now() - guidingStartMs_) / 1000.0;
    e.mount = MountName();
    const PointF d = ToCamera(r.dx, r.dy);
    e.dx = d.x;
    e.dy = d.y;
    e.raRaw = r.ra / binX;
    e.decRaw = r.dec / binX;
    // What the pulses correct: their length at the calibrated speed, against the offset.
    if (r.raMs > 0) {
        e.raDuration = static_cast<int>(r.raMs);
        e.raDirection = kDirectionNames[r.raDirection];
        e.raGuide = std::copysign(r.raMs / 1000.0 * c.velWE / binX, r.ra);
    }
    if (r.decMs > 0) {
        e.decDuration = static_cast<int>(r.decMs);
        e.decDirection = kDirectionNames[r.decDirection];
        e.decGuide = std::copysign(r.decMs / 1000.0 * c.velNS / binX, r.dec);
    }
    e.raLimited = r.raLimited;
    e.decLimited = r.decLimited;
    const StarMeasurement& m = engine_.Model().star;
    const StarFigures figures =
        MeasureStarFigures(camera_.Frame(), m.column, m.row, engine_.Model().measureRadius);
    e.starMass = figures.mass;
    e.snr = figures.snr;
    const double distance = std::hypot(e.dx, e.dy);
    avgDist_ = sums_.n == 0 ? distance : 0.7 * avgDist_ + 0.3 * distance;
    e.avgDist = avgDist_;

    sums_.n += 1;
    sums_.ra += e.raRaw;
    sums_.ra2 += e.raRaw * e.raRaw;
    sums_.dec += e.decRaw;
    sums_.dec2 += e.decRaw * e.decRaw;
    GuideFigures g;
    g.frames = sums_.n;
    const auto spread = [n = sums_.n](double sum, double sum2) {
        const double mean = sum / n;
        return std::sqrt(std::max(0.0, sum2 / n - mean * mean));
    };
    g.ra = spread(sums_.ra, sums_.ra2);
    g.dec = spread(sums_.dec, sums_.dec2);
    g.total = std::hypot(g.ra, g.dec);
    g.scale = PixelScale();
    engine_.SetGuideFigures(g);

    Tell([&](GuiderListener& l) { l.OnGuideStep(e); });
    if (settle_.Active()) {
        const SettleMonitor::Update u = settle_.Frame(Now(), distance);
        Tell([&](GuiderListener& l) { l.OnSettling(u.settling); });
        if (u.done) Settled(*u.done);
    }
}

void GuiderControl::OnGuideStarLost() {
    lostLock_ = true;
    Sync();
    StarLostEvent e;
    e.frame = frame_;
    e.time = (Now() - guidingStartMs_) / 1000.0;
    e.avgDist = avgDist_;
    const StarFigures figures = MeasureStarFigures(
        camera_.Frame(), engine_.TargetX(), engine_.TargetY(), engine_.Model().measureRadius);
    e.starMass = figures.mass;
    e.snr = figures.snr;
    e.errorCode = 2;
    e.status = "star lost - low SNR";
    Tell([&](GuiderListener& l) { l.OnStarLost(e); });
    if (settle_.Active()) {
        const SettleMonitor::Update u = settle_.Dropped(Now());
        Tell([&](GuiderListener& l) { l.OnSettling(u.settling); });
        if (u.done) Settled(*u.done);
    }
}

void GuiderControl::OnCalibrationStarted() {
    calibrationBefore_ = engine_.Model().calibration;
    calibrationDirection_ = -1;
    calibrationStep_ = 0;
    Sync();
    Tell([&](GuiderListener& l) {
        l.OnCalibrationStarted(MountName(), PixelScale(), std::max(1, camera_.BinX()),
                               settings_.focalLength);
    });
}

void GuiderControl::OnCalibrationStep(int direction, bool returning, float x, float y, float x0,
                                      float y0) {
    const int pulse = returning ? (direction ^ 1) : direction;
    if (pulse != calibrationDirection_) {
        calibrationDirection_ = pulse;
        calibrationStep_ = 0;
    }
    CalibrationStepEvent e;
    e.mount = MountName();
    e.direction = kDirectionNames[pulse & 3];
    e.step = ++calibrationStep_;
    const PointF d = ToCamera(x - x0, y - y0);
    const PointF at = ToCamera(x, y);
    e.dx = d.x;
    e.dy = d.y;
    e.x = at.x;
    e.y = at.y;
    e.dist = std::hypot(d.x, d.y);
    e.state = std::string(kDirectionNames[pulse & 3]) + (returning ? " back" : " out");
    Tell([&](GuiderListener& l) { l.OnCalibrating(e); });
}

CalibrationResult GuiderControl::Result() {
    const GuideCalibration& c = engine_.Model().calibration;
    const double bin = std::max(1, camera_.BinX());
    CalibrationResult r;
    r.mount = MountName();
    r.xAngle = Degrees(c.axisWEX, c.axisWEY);
    r.xRate = c.velWE / bin;
    r.yAngle = Degrees(c.axisNSX, c.axisNSY);
    r.yRate = c.velNS / bin;
    return r;
}

void GuiderControl::OnCalibrationEnded() {
    const GuideCalibration& now = engine_.Model().calibration;
    const GuideCalibration& was = calibrationBefore_;
    const bool fresh =
        now.Valid() && (!was.Valid() || now.axisNSX != was.axisNSX || now.axisNSY != was.axisNSY ||
                        now.velNS != was.velNS || now.velWE != was.velWE);
    if (fresh) {
        const CalibrationResult r = Result();
        Tell([&](GuiderListener& l) { l.OnCalibrationComplete(r); });
    } else {
        Tell([&](GuiderListener& l) {
            l.OnCalibrationFailed(MountName(), "calibration did not finish");
        });
    }
    if (phase_ == Phase::Calibrating) {
        if (fresh) {
            phase_ = Phase::StartingGuiding;
            continuePending_ = true;
        } else {
            phase_ = Phase::Idle;
            FailRequest("calibration failed");
        }
    }
    Sync();
}

void GuiderControl::StartGuidingRun() {
    guidingStartMs_ = Now();
    sums_ = Sums{};
    avgDist_ = 0;
    lostLock_ = false;
    engine_.SetGuideFigures(GuideFigures{0, 0, 0, 0, PixelScale()});
    GuidingStart s;
    s.mount = MountName();
    s.calibration = Result();
    s.pixelScale = PixelScale();
    s.binning = std::max(1, camera_.BinX());
    s.focalLength = settings_.focalLength;
    s.lock = LockPosition().value_or(PointF{});
    Tell([&](GuiderListener& l) { l.OnStartGuiding(s); });
}

void GuiderControl::Sync() {
    const bool looping = camera_.Looping();
    if (looping_ && !looping) Tell([](GuiderListener& l) { l.OnLoopingStopped(); });
    looping_ = looping;

    const bool guiding = engine_.AutoguideOn();
    if (guiding && !guiding_) {
        guiding_ = true;
        StartGuidingRun();
    } else if (!guiding && guiding_) {
        guiding_ = false;
        lostLock_ = false;
        Tell([](GuiderListener& l) { l.OnGuidingStopped(); });
        // Stopped from the window (or a failing mount) while a request waited on it.
        if (phase_ == Phase::Guiding) {
            phase_ = Phase::Idle;
            FailRequest("guiding stopped");
        }
    }

    const std::optional<PointF> lock = LockPosition();
    if (!Near(lock, lock_)) {
        lock_ = lock;
        if (lock) {
            const std::optional<PointF> star = SelectedStar();
            if (!guiding && star) Tell([&](GuiderListener& l) { l.OnStarSelected(*star); });
            Tell([&](GuiderListener& l) { l.OnLockPositionSet(*lock); });
        } else {
            Tell([](GuiderListener& l) { l.OnLockPositionLost(); });
        }
    }

    const GuiderState state = State();
    if (state != state_) {
        state_ = state;
        Tell([&](GuiderListener& l) { l.OnAppState(state); });
    }
}

}  // namespace zorvane
