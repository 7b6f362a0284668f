#include "SimCamera.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "NoiseSource.h"

namespace zorvane::sim {

namespace {
constexpr int kSamples = 8;  // mount and temperature samples over one exposure
constexpr int64_t kLongestExposureUs = int64_t{7} * 24 * 3600 * 1000000;
constexpr int kProtocol = 0x0103;
constexpr const char* kManufacturer = "Zorvane Simulation";

enum SeedStream : uint64_t { kStarsStream = 1, kHotStream = 2, kNoiseStream = 3 };

void CopyText(char* dst, size_t size, const std::string& text) {
    std::snprintf(dst, size, "%s", text.c_str());
}
}  // namespace

void SimCamera::Configure(int index, const SimOptions& options, int64_t nowUs,
                          std::shared_ptr<MountFollower> follower) {
    index_ = index;
    options_ = options;
    sensor_ = SensorModel::From(options);
    const auto device = static_cast<uint64_t>(index);
    stars_ = StarField(MixSeed(options.seed, device, kStarsStream), options.starDensity,
                       options.starFlux);

    std::vector<HotPixel> hot;
    Random r(MixSeed(options.seed, device, kHotStream));
    for (int i = 0; i < options.hotPixels; ++i) {
        HotPixel h;
        h.x = static_cast<int>(r.Uniform() * sensor_.width);
        h.y = static_cast<int>(r.Uniform() * sensor_.height);
        h.factor = 300.0 * std::pow(10.0, r.Uniform());  // 300x to 3000x the dark current
        hot.push_back(h);
    }
    renderer_ = FrameRenderer(options, sensor_, &stars_, std::move(hot));
    follower_ = std::move(follower);
    mount_ = MountModel(options, nowUs, follower_);
    cooler_ = CoolerModel(options, nowUs);

    connected_ = false;
    connectAttempts_ = 0;
    framesSinceConnect_ = 0;
    frameSerial_ = 0;
    usbError_ = false;
    postTarget_.reset();
    phase_ = Phase::Idle;
    dropAtUs_ = -1;
    hasFrame_ = ready_ = rendered_ = false;
    pixels_ = {};
    lastDuration_ = 0.0f;
    lastStartText_[0] = '\0';
    lastStartMs_ = 0;
    ResetSettings();
}

void SimCamera::ResetSettings() {
    settings_ = Readout{};
    settings_.subW = sensor_.width;
    settings_.subH = sensor_.height;
    stored = Stored{};
}

bool SimCamera::Connect(int64_t nowUs, int64_t wallOffsetUs) {
    if (connected_) return true;
    const bool failing = options_.connectFailures >= 0 ? connectAttempts_ < options_.connectFailures
                                                       : options_.faultConnect;
    ++connectAttempts_;
    if (failing) return false;
    connected_ = true;
    // The sky starts where it is drawn now: the followed mount's pointing at connect.
    if (follower_) follower_->Rebase(nowUs);
    framesSinceConnect_ = 0;
    usbError_ = false;
    phase_ = Phase::Idle;
    dropAtUs_ = -1;
    hasFrame_ = ready_ = rendered_ = false;
    postTarget_.reset();
    ResetSettings();
    lastDuration_ = 0.0f;
    SetStartText(nowUs + wallOffsetUs);
    return true;
}

bool SimCamera::Disconnect() {
    if (connected_ && options_.faultDisconnectFails) return false;
    connected_ = false;
    phase_ = Phase::Idle;
    dropAtUs_ = -1;
    postTarget_.reset();
    hasFrame_ = ready_ = rendered_ = false;
    pixels_ = {};
    return true;
}

void SimCamera::Drop() {
    // The cable is pulled: the exposure and any frame in the camera are lost.
    connected_ = false;
    phase_ = Phase::Idle;
    dropAtUs_ = -1;
    postTarget_.reset();
    hasFrame_ = ready_ = rendered_ = false;
}

void SimCamera::SetPostTarget(const ZorvanePostTarget* target, uint32_t message, uintptr_t wParam,
                              intptr_t lParam) {
    if (target == nullptr || target->post == nullptr) {
        postTarget_.reset();
    } else {
        postTarget_ = PostTarget{*target, message, wParam, lParam};
    }
}

void SimCamera::Properties(CameraProperties* props) const {
    std::memset(props, 0, sizeof(*props));
    props->protocol = kProtocol;
    props->pixelsX = sensor_.width;
    props->pixelsY = sensor_.height;
    props->pixelSizeX = sensor_.pixelWidth;
    props->pixelSizeY = sensor_.pixelHeight;
    props->sensorFlags = 1;
    props->cameraFlags = ZORVANE_CAMERA_TRIGGER | ZORVANE_CAMERA_PREVIEW |
                         ZORVANE_CAMERA_SUBSAMPLE | ZORVANE_CAMERA_DARK;
    CopyText(props->model, sizeof(props->model), sensor_.model);
    CopyText(props->manufacturer, sizeof(props->manufacturer), kManufacturer);
}

void SimCamera::ColourProperties(int32_t* type, int32_t* nx, int32_t* ny, int32_t* px,
                                 int32_t* py) const {
    const bool colour = sensor_.colourType != 0;
    if (type) *type = sensor_.colourType;
    if (nx) *nx = colour ? sensor_.normalOffsetX : 0;
    if (ny) *ny = colour ? sensor_.normalOffsetY : 0;
    if (px) *px = colour ? sensor_.previewOffsetX : 0;
    if (py) *py = colour ? sensor_.previewOffsetY : 0;
}

void SimCamera::GetBin(int32_t* x, int32_t* y) const {
    if (x) *x = settings_.binX;
    if (y) *y = settings_.binY;
}

void SimCamera::GetMaxBin(int32_t* x, int32_t* y) const {
    if (x) *x = options_.maxBinX;
    if (y) *y = options_.maxBinY;
}

void SimCamera::SetBin(int32_t x, int32_t y) {
    settings_.binX = std::clamp(x, 1, options_.maxBinX);
    settings_.binY = std::clamp(y, 1, options_.maxBinY);
}

void SimCamera::GetSubframe(int32_t* x, int32_t* y, int32_t* w, int32_t* h) const {
    if (x) *x = settings_.subX;
    if (y) *y = settings_.subY;
    if (w) *w = std::min(settings_.subW, sensor_.width - settings_.subX);
    if (h) *h = std::min(settings_.subH, sensor_.height - settings_.subY);
}

void SimCamera::SetSubframePos(int32_t x, int32_t y) {
    settings_.subX = std::clamp(x, 0, sensor_.width - 1);
    settings_.subY = std::clamp(y, 0, sensor_.height - 1);
}

void SimCamera::SetSubframeSize(int32_t w, int32_t h) {
    settings_.subW = std::clamp(w, 1, sensor_.width);
    settings_.subH = std::clamp(h, 1, sensor_.height);
}

void SimCamera::StartExposure(float seconds, int64_t nowUs) {
    // A new start replaces a running exposure; a finished frame stays until it is taken.
    // Nonsense lengths (negative, NaN, infinite, years) become the nearest sane one.
    double us = seconds > 0.0f ? static_cast<double>(seconds) * 1e6 : 0.0;  // NaN: 0
    us = std::min(us, static_cast<double>(kLongestExposureUs));
    requestedUs_ = std::llround(us);
    running_ = settings_;
    phase_ = Phase::Flushing;
    dropAtUs_ = -1;
    phaseStartUs_ = nowUs;
    // Preview read-out also clears the sensor faster.
    const double flushMs = options_.flushMs * (running_.preview ? 0.25 : 1.0);
    phaseEndUs_ = nowUs + std::llround(flushMs * 1000.0);
}

void SimCamera::StopExposure(int64_t nowUs) {
    switch (phase_) {
        case Phase::Flushing:
        case Phase::Waiting:
            exposureStartUs_ = nowUs;  // nothing collected yet: a zero-length frame
            EndExposure(nowUs);
            break;
        case Phase::Exposing:
            EndExposure(nowUs);
            break;
        default:
            break;
    }
}

void SimCamera::AbortExposure() {
    phase_ = Phase::Idle;
    dropAtUs_ = -1;
}

void SimCamera::EndExposure(int64_t t) {
    dropAtUs_ = -1;
    FramePlan plan;
    const int x0 = running_.subX, y0 = running_.subY;
    const int w = std::min(running_.subW, sensor_.width - x0);
    const int h = std::min(running_.subH, sensor_.height - y0);
    // Subsampling reads one binned pixel out of each 2 x 2 group: a quarter of the pixels, each
    // standing for twice the binning in the frame geometry.
    const int skip = running_.subsample ? 2 : 1;
    plan.originX = x0;
    plan.originY = y0;
    plan.binX = running_.binX;
    plan.binY = running_.binY;
    plan.stepX = running_.binX * skip;
    plan.stepY = running_.binY * skip;
    plan.width = w / plan.stepX;
    plan.height = h / plan.stepY;
    plan.preview = running_.preview;
    plan.dark = running_.dark;
    const int64_t duration = std::max<int64_t>(0, t - exposureStartUs_);
    plan.exposureS = static_cast<double>(duration) / 1e6;
    const int samples = duration > 0 ? kSamples : 1;
    for (int i = 0; i < samples; ++i) {
        const int64_t ti =
            exposureStartUs_ +
            static_cast<int64_t>((i + 0.5) * static_cast<double>(duration) / samples);
        plan.mountOffsets.push_back(mount_.Offset(ti));
        plan.temperatures.push_back(cooler_.Temperature(ti));
    }
    const uint64_t serial = frameSerial_++;
    plan.noiseSeed = MixSeed(options_.seed, static_cast<uint64_t>(index_), kNoiseStream, serial);
    const auto n = static_cast<long long>(serial);
    if (n >= options_.cloudFirst && n - options_.cloudFirst < options_.cloudFrames)
        plan.transmission = options_.cloudTransmission;
    pending_ = std::move(plan);

    const double rate = options_.downloadMpxPerS * (running_.preview ? 4.0 : 1.0);
    const double pixels = static_cast<double>(pending_.width) * pending_.height;
    phase_ = Phase::Downloading;
    phaseStartUs_ = t;
    phaseEndUs_ = t + std::llround(pixels / rate);  // Mpx/s = pixels per microsecond
}

void SimCamera::Finish(int64_t t, int64_t wallOffsetUs, std::vector<PostRequest>& posts) {
    phase_ = Phase::Idle;
    frame_ = std::move(pending_);
    hasFrame_ = true;
    ready_ = true;
    rendered_ = false;
    lastDuration_ = static_cast<float>(frame_.exposureS);
    SetStartText(exposureStartUs_ + wallOffsetUs);
    ++framesSinceConnect_;
    if (options_.faultUsb) usbError_ = true;
    if (postTarget_) {
        posts.push_back({index_, postTarget_->target, postTarget_->message, postTarget_->wParam,
                         postTarget_->lParam});
    }
}

void SimCamera::SetStartText(int64_t wallUs) {
    const int64_t wallMs = wallUs / 1000;
    const std::time_t seconds = static_cast<std::time_t>(wallMs / 1000);
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    std::snprintf(lastStartText_, sizeof(lastStartText_), "%04d-%02d-%02d %02d:%02d:%02d",
                  tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    lastStartMs_ = static_cast<int32_t>(wallMs % 1000);
}

void SimCamera::Advance(int64_t nowUs, int64_t wallOffsetUs, std::vector<PostRequest>& posts) {
    while (phase_ != Phase::Idle) {
        if (phase_ == Phase::Exposing && dropAtUs_ >= 0 && dropAtUs_ <= phaseEndUs_) {
            if (dropAtUs_ > nowUs) break;
            Drop();
            break;
        }
        const int64_t t = phaseEndUs_;
        if (t > nowUs) break;
        switch (phase_) {
            case Phase::Flushing:
                phase_ = Phase::Waiting;
                phaseStartUs_ = t;
                phaseEndUs_ = t + std::llround((running_.triggered ? options_.triggerDelayMs
                                                                   : options_.waitMs) *
                                               1000.0);
                break;
            case Phase::Waiting:
                phase_ = Phase::Exposing;
                exposureStartUs_ = phaseStartUs_ = t;
                phaseEndUs_ = t + requestedUs_;
                if (options_.faultDisconnect && framesSinceConnect_ == options_.disconnectAfter) {
                    dropAtUs_ = t + requestedUs_ / 2;
                }
                break;
            case Phase::Exposing:
                EndExposure(t);
                break;
            case Phase::Downloading:
                Finish(t, wallOffsetUs, posts);
                break;
            case Phase::Idle:
                break;
        }
    }
    // History older than the running exposure is no longer needed.
    const int64_t keep = phase_ == Phase::Exposing ? std::min(exposureStartUs_, nowUs) : nowUs;
    mount_.Fold(keep);
    cooler_.Fold(keep);
}

int64_t SimCamera::NextEventUs() const {
    if (phase_ == Phase::Idle) return kNever;
    if (phase_ == Phase::Exposing && dropAtUs_ >= 0) return std::min(dropAtUs_, phaseEndUs_);
    return phaseEndUs_;
}

int32_t SimCamera::State() const {
    switch (phase_) {
        case Phase::Waiting:
            return ZORVANE_STATE_WAITING;
        case Phase::Exposing:
            return ZORVANE_STATE_EXPOSING;
        case Phase::Downloading:
            return ZORVANE_STATE_DOWNLOADING;
        case Phase::Flushing:
            return ZORVANE_STATE_FLUSHING;
        case Phase::Idle:
            break;
    }
    return ZORVANE_STATE_IDLE;
}

float SimCamera::ExposureTimeRemaining(int64_t nowUs) const {
    switch (phase_) {
        case Phase::Flushing:
        case Phase::Waiting:
            return static_cast<float>(requestedUs_ / 1e6);
        case Phase::Exposing:
            return static_cast<float>(std::max<int64_t>(0, phaseEndUs_ - nowUs) / 1e6);
        default:
            return 0.0f;
    }
}

int32_t SimCamera::DownloadPercent(int64_t nowUs) const {
    if (phase_ != Phase::Flushing && phase_ != Phase::Downloading) return 0;
    const int64_t total = phaseEndUs_ - phaseStartUs_;
    const int64_t left = std::clamp<int64_t>(phaseEndUs_ - nowUs, 0, total);
    if (total <= 0) return 0;
    return static_cast<int32_t>((left * 100 + total - 1) / total);
}

bool SimCamera::ImageData(int32_t* x, int32_t* y, int32_t* w, int32_t* h, int32_t* bx,
                          int32_t* by) const {
    const bool has = hasFrame_;
    if (x) *x = has ? frame_.originX : 0;
    if (y) *y = has ? frame_.originY : 0;
    if (w) *w = has ? frame_.width : 0;
    if (h) *h = has ? frame_.height : 0;
    if (bx) *bx = has ? frame_.stepX : 0;
    if (by) *by = has ? frame_.stepY : 0;
    return has;
}

const uint16_t* SimCamera::ImageBuffer() {
    if (!hasFrame_) return nullptr;
    if (!options_.faultStickyReady) ready_ = false;
    if (options_.faultNullBuffer) return nullptr;
    if (!rendered_) {
        pixels_.resize(std::max<size_t>(1, static_cast<size_t>(frame_.width) * frame_.height));
        renderer_.Render(frame_, pixels_.data());
        rendered_ = true;
    }
    return pixels_.data();
}

bool SimCamera::PulseGuide(int32_t direction, int32_t ms, int64_t nowUs) {
    return mount_.Pulse(direction, nowUs, ms);
}

bool SimCamera::TemperatureSensor(int32_t sensor, int32_t* value, int64_t nowUs) const {
    if (value == nullptr) return false;
    const bool hasSensor = cooler_.HasControl();
    if (sensor == 0) {
        *value = hasSensor ? 1 : 0;
        return true;
    }
    if (sensor == 1 && hasSensor) {
        *value = static_cast<int32_t>(std::lround(cooler_.Temperature(nowUs) * 100.0));
        return true;
    }
    return false;
}

std::vector<VisibleStar> SimCamera::StarsOnSensor(int64_t nowUs) const {
    const Vec2 o = mount_.Offset(nowUs);
    std::vector<Star> found;
    stars_.Collect(-o.x, -o.y, sensor_.width - o.x, sensor_.height - o.y, found);
    std::sort(found.begin(), found.end(), [](const Star& a, const Star& b) {
        return a.flux != b.flux ? a.flux > b.flux : a.id < b.id;
    });
    std::vector<VisibleStar> out;
    out.reserve(found.size());
    for (const Star& s : found) out.push_back({s.x + o.x, s.y + o.y, s.flux / options_.gain});
    return out;
}

}  // namespace zorvane::sim
