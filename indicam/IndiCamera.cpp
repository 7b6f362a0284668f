#include "IndiCamera.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace zorvane::indicam {

namespace {

using indi::PropertyKind;
using indi::PropertySnapshot;
using indi::PropertyState;

constexpr int32_t kProtocol = 0x0100;
constexpr auto kRetryServerAfter = std::chrono::seconds(2);
constexpr auto kWatchPeriod = std::chrono::milliseconds(100);

void CopyText(char* dest, size_t size, const std::string& text) {
    std::snprintf(dest, size, "%s", text.c_str());
}

void Report(const std::string& device, const char* what) {
    std::fprintf(stderr, "ZorvaneINDI: %s: %s\n", device.c_str(), what);
}

int64_t Ms(std::chrono::steady_clock::duration d) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
}

}  // namespace

IndiCamera::IndiCamera(indi::CameraAddress address) : address_(std::move(address)) {
    client_.SetBlobSink([this](const indi::BlobView& blob) { OnBlob(blob); });
    // The camera then counts as lost, as with a server that died; this says why.
    client_.SetCutOffNotice(
        [](const std::string& text) { std::fprintf(stderr, "ZorvaneINDI: %s\n", text.c_str()); });
}

IndiCamera::~IndiCamera() {
    StopWatch();
    client_.SetBlobSink(nullptr);
    client_.Disconnect();
}

bool IndiCamera::ServerUp() {
    if (client_.IsConnected()) return true;
    const auto now = Clock::now();
    if (serverFailed_ && now - lastServerAttempt_ < kRetryServerAfter) return false;
    lastServerAttempt_ = now;
    serverFailed_ = !client_.Connect(address_.host, address_.port, kServerTimeoutMs);
    if (serverFailed_) return false;
    // Give the drivers their time to describe their devices once per connection, not once
    // per index the scan asks about.
    client_.WaitUntil(
        [&](const indi::DeviceSet& set) {
            for (const auto& [name, properties] : set.devices) {
                if (!properties.count("CONNECTION") || !properties.count("DRIVER_INFO")) continue;
                if (address_.device.empty() ? (set.DriverInterface(name) & indi::kCcdInterface)
                                            : name == address_.device)
                    return true;
            }
            return false;
        },
        kDeviceTimeoutMs);
    return true;
}

std::vector<std::string> IndiCamera::Cameras() {
    std::vector<std::string> names;
    if (!ServerUp()) return names;
    const indi::DeviceSet set = client_.Devices();
    for (const auto& [name, properties] : set.devices) {
        if (!properties.count("CONNECTION")) continue;
        if (address_.device.empty() ? (set.DriverInterface(name) & indi::kCcdInterface) != 0
                                    : name == address_.device)
            names.push_back(name);
    }
    return names;
}

bool IndiCamera::Has(const char* property) const {
    return client_.Get(device_, property).has_value();
}

std::optional<PropertySnapshot> IndiCamera::Get(const char* property) const {
    return client_.Get(device_, property);
}

double IndiCamera::Number(const char* property, const char* element, double fallback) const {
    const auto p = Get(property);
    const indi::Element* e = p ? p->Find(element) : nullptr;
    return e ? e->number : fallback;
}

std::string IndiCamera::Describe() const {
    const std::string server = address_.host + ":" + std::to_string(address_.port);
    return address_.device.empty() ? "INDI camera (the first on " + server + ")"
                                   : "INDI camera \"" + address_.device + "\" on " + server;
}

std::string IndiCamera::LastError() const {
    std::lock_guard lock(mutex_);
    return lastError_;
}

bool IndiCamera::FailConnect(const std::string& why) {
    Report(Describe(), why.c_str());
    std::lock_guard lock(mutex_);
    lastError_ = Describe() + ": " + why + ".";
    return false;
}

bool IndiCamera::Connect(int device) {
    if (connected_ && IsConnected()) return true;
    Disconnect();
    {
        std::lock_guard lock(mutex_);
        lastError_.clear();
    }
    if (!ServerUp()) return FailConnect("no INDI server answers there");
    const std::vector<std::string> cameras = Cameras();
    if (device < 0 || static_cast<size_t>(device) >= cameras.size()) {
        const indi::DeviceSet set = client_.Devices();
        // A server that takes the connection and then says nothing is not one without cameras.
        if (set.devices.empty())
            return FailConnect(
                "the server described no devices (it does not answer, or runs "
                "no drivers)");
        if (address_.device.empty()) return FailConnect("the server offers no camera");
        std::string others;
        for (const auto& [name, properties] : set.devices)
            if (set.DriverInterface(name) & indi::kCcdInterface)
                others += (others.empty() ? "" : ", ") + name;
        return FailConnect("the server has no such device (" +
                           (others.empty() ? "it has no camera" : "its cameras: " + others) + ")");
    }
    {
        std::lock_guard lock(mutex_);
        device_ = cameras[device];
    }

    const auto on = [&](const indi::DeviceSet& set) {
        const PropertySnapshot* c = set.Find(device_, "CONNECTION");
        const indi::Element* e = c ? c->Find("CONNECT") : nullptr;
        // The sensor's size comes after the connection, once the driver has asked the camera.
        const PropertySnapshot* info = set.Find(device_, "CCD_INFO");
        const indi::Element* width = info ? info->Find("CCD_MAX_X") : nullptr;
        return e && e->on && c->state != PropertyState::Busy && width && width->number > 0 &&
               set.Find(device_, "CCD_EXPOSURE");
    };
    if (!client_.WaitUntil(on, 0)) {
        const auto before = Get("CONNECTION");
        const uint64_t asked = before ? before->updates : 0;
        client_.SelectSwitch(device_, "CONNECTION", "CONNECT");
        // A driver that cannot reach its camera says so (Alert) long before the bound.
        bool refused = false;
        const bool connected = client_.WaitUntil(
            [&](const indi::DeviceSet& set) {
                const PropertySnapshot* c = set.Find(device_, "CONNECTION");
                refused = c && c->updates > asked && c->state == PropertyState::Alert;
                return refused || on(set);
            },
            kConnectTimeoutMs);
        if (!connected || refused) {
            if (!client_.IsConnected()) return FailConnect("the INDI server went away");
            return FailConnect(refused ? "its driver could not connect the camera"
                                       : "its driver did not connect the camera within " +
                                             std::to_string(kConnectTimeoutMs / 1000) + " s");
        }
    }
    // Some drivers fill in the pixel size in a later update than the sensor's size.
    client_.WaitUntil(
        [&](const indi::DeviceSet& set) {
            const PropertySnapshot* info = set.Find(device_, "CCD_INFO");
            const indi::Element* size = info ? info->Find("CCD_PIXEL_SIZE") : nullptr;
            return size && size->number > 0;
        },
        1000);
    // Frames come to this client, as FITS, uncompressed, and no larger than the sensor in the
    // widest pixels FITS has (8 bytes) and a header.
    const double pixels = Number("CCD_INFO", "CCD_MAX_X", 0) * Number("CCD_INFO", "CCD_MAX_Y", 0);
    client_.EnableBlobs(device_, "CCD1",
                        static_cast<size_t>(std::clamp(pixels, 0.0, 1e10) * 8) + (size_t{1} << 20));
    const auto choose = [&](const char* property, const char* element) {
        const auto p = Get(property);
        const indi::Element* e = p ? p->Find(element) : nullptr;
        if (e && !e->on) client_.SelectSwitch(device_, property, element);
    };
    choose("UPLOAD_MODE", "UPLOAD_CLIENT");
    choose("CCD_TRANSFER_FORMAT", "FORMAT_FITS");
    choose("CCD_COMPRESSION", "INDI_DISABLED");

    sensorW_ = static_cast<int>(Number("CCD_INFO", "CCD_MAX_X", 0));
    sensorH_ = static_cast<int>(Number("CCD_INFO", "CCD_MAX_Y", 0));
    pixelW_ = static_cast<float>(
        Number("CCD_INFO", "CCD_PIXEL_SIZE_X", Number("CCD_INFO", "CCD_PIXEL_SIZE", 0)));
    pixelH_ = static_cast<float>(Number("CCD_INFO", "CCD_PIXEL_SIZE_Y", pixelW_));
    bits_ = static_cast<int>(Number("CCD_INFO", "CCD_BITSPERPIXEL", 16));
    if (sensorW_ <= 0 || sensorH_ <= 0 || sensorW_ > kMaxFitsSide || sensorH_ > kMaxFitsSide)
        return FailConnect("its driver gives no usable sensor size");
    maxBinX_ = maxBinY_ = 1;
    if (const auto bin = Get("CCD_BINNING")) {
        for (const indi::Element& e : bin->elements) {
            const int m = std::clamp(static_cast<int>(e.max), 1, 64);
            if (e.name == "HOR_BIN") maxBinX_ = m;
            if (e.name == "VER_BIN") maxBinY_ = m;
        }
    }
    const auto info = Get("DRIVER_INFO");
    const auto text = [&](const char* element) {
        const indi::Element* e = info ? info->Find(element) : nullptr;
        return e ? e->text : std::string();
    };
    model_ = text("DRIVER_NAME").empty() ? device_ : text("DRIVER_NAME");
    manufacturer_ = "INDI " + text("DRIVER_EXEC") + " " + text("DRIVER_VERSION");

    const double temperature = Number("CCD_TEMPERATURE", "CCD_TEMPERATURE_VALUE", 20.0);
    {
        std::lock_guard lock(mutex_);
        settings_ = Geometry{0, 0, sensorW_, sensorH_, 1, 1};
        running_ = settings_;
        phase_ = Phase::Idle;
        ready_ = failed_ = frameArrived_ = hasTaken_ = false;
        setpoint_ = static_cast<int32_t>(std::lround(temperature * 100.0));
        warmTarget_ = std::max(20.0, temperature);
        coolerOn_ = warming_ = false;
        SetStartText(std::chrono::system_clock::now());
    }
    connected_ = true;
    watchStop_ = false;
    watch_ = std::thread([this] { Watch(); });
    return true;
}

bool IndiCamera::Disconnect() {
    if (!connected_) return false;
    AbortExposure();
    StopWatch();
    {
        std::lock_guard lock(postMutex_);
        post_.reset();
    }
    connected_ = false;
    // The device stays connected in the driver: a guider or another client may share it.
    client_.Disconnect();
    std::lock_guard lock(mutex_);
    phase_ = Phase::Idle;
    ready_ = failed_ = frameArrived_ = hasTaken_ = false;
    taken_.clear();
    arrived_.clear();
    return true;
}

bool IndiCamera::IsConnected() {
    if (!connected_ || !client_.IsConnected()) return false;
    const auto c = Get("CONNECTION");
    const indi::Element* e = c ? c->Find("CONNECT") : nullptr;
    return e && e->on;
}

void IndiCamera::StopWatch() {
    {
        std::lock_guard lock(watchMutex_);
        watchStop_ = true;
    }
    watchWake_.notify_all();
    if (watch_.joinable()) watch_.join();
}

void IndiCamera::Watch() {
    std::unique_lock lock(watchMutex_);
    while (!watchWake_.wait_for(lock, kWatchPeriod, [&] { return watchStop_; })) {
        lock.unlock();
        bool failed;
        {
            std::lock_guard state(mutex_);
            failed = Advance();
        }
        if (failed) PostFrameReady();
        lock.lock();
    }
}

void IndiCamera::Fail(const char* why, bool frameUnreadable) {
    phase_ = Phase::Idle;
    ready_ = true;
    failed_ = true;
    Report(device_, why);
    lastError_ = frameUnreadable ? std::string() : Describe() + ": " + why + ".";
}

bool IndiCamera::Advance() {
    if (phase_ == Phase::Idle) return false;
    if (!IsConnected()) {
        Fail("the camera or its INDI server went away during the exposure; the frame is lost");
        return true;
    }
    const auto now = Clock::now();
    const int64_t elapsed = Ms(now - phaseStart_);
    const auto exp = Get("CCD_EXPOSURE");
    const bool answered = exp && exp->updates > exposureUpdates_;
    if (answered && exp->state == PropertyState::Alert) {
        Fail("the driver reports the exposure failed");
        return true;
    }
    switch (phase_) {
        case Phase::Flushing: {
            const auto frame = Get("CCD_FRAME");
            const auto bin = Get("CCD_BINNING");
            const bool frameDone = !waitFrame_ || (frame && frame->updates > frameUpdates_);
            const bool binDone = !waitBin_ || (bin && bin->updates > binUpdates_);
            if (!(frameDone && binDone) && !answered) {
                if (elapsed > kAnswerTimeoutMs) {
                    Fail("the driver did not take up the frame settings");
                    return true;
                }
                break;
            }
            phase_ = Phase::Waiting;
            [[fallthrough]];
        }
        case Phase::Waiting:
            if (answered && exp->state == PropertyState::Busy) {
                phase_ = Phase::Exposing;
                phaseStart_ = now;
                SetStartText(std::chrono::system_clock::now());
            } else if (answered && exp->state == PropertyState::Ok) {
                phase_ = Phase::Downloading;  // a short exposure already over
                phaseStart_ = now;
            } else if (elapsed > kAnswerTimeoutMs) {
                Fail("the driver did not start the exposure");
                return true;
            }
            break;
        case Phase::Exposing: {
            const indi::Element* left = exp ? exp->Find("CCD_EXPOSURE_VALUE") : nullptr;
            const bool over = exp && (exp->state == PropertyState::Ok ||
                                      (left && left->number <= 0.0 && elapsed >= requested_ * 1e3));
            if (over) {
                phase_ = Phase::Downloading;
                phaseStart_ = now;
            } else if (elapsed > requested_ * 1e3 + kDownloadTimeoutMs) {
                Fail("the exposure never ended");
                return true;
            }
            break;
        }
        case Phase::Downloading:
            if (elapsed > kDownloadTimeoutMs) {
                Fail("the frame never arrived");
                return true;
            }
            break;
        case Phase::Idle:
            break;
    }
    return false;
}

void IndiCamera::OnBlob(const indi::BlobView& blob) {
    if (blob.property != "CCD1") return;
    std::vector<uint16_t> buffer;
    Geometry g;
    {
        std::lock_guard lock(mutex_);
        if (phase_ == Phase::Idle || blob.device != device_) return;  // aborted, or not ours
        buffer.swap(spare_);
        g = running_;
    }
    FitsFrame frame;
    const FitsResult result = blob.format == ".fits"
                                  ? DecodeFits(blob.data, blob.size, buffer, frame)
                                  : FitsResult::Unsupported;
    {
        std::lock_guard lock(mutex_);
        if (phase_ == Phase::Idle) {
            spare_.swap(buffer);
            return;
        }
        if (result != FitsResult::Ok) {
            spare_.swap(buffer);
            const std::string why = "the frame cannot be read (" + std::string(blob.format) + ": " +
                                    FitsResultText(result) + ")";
            Fail(why.c_str(), true);
        } else {
            g.w = frame.width;
            g.h = frame.height;
            spare_ = std::move(arrived_);
            arrived_ = std::move(buffer);
            arrivedGeometry_ = g;
            frameArrived_ = true;
            ready_ = true;
            failed_ = false;
            phase_ = Phase::Idle;
            lastDuration_ = requested_;
        }
    }
    PostFrameReady();
}

void IndiCamera::PostFrameReady() {
    std::lock_guard lock(postMutex_);
    if (post_ && post_->target.post)
        post_->target.post(post_->target.context, post_->message, post_->wParam, post_->lParam);
}

void IndiCamera::SetPostTarget(const ZorvanePostTarget* target, uint32_t message, uintptr_t w,
                               intptr_t l) {
    std::lock_guard lock(postMutex_);
    if (!target || !target->post)
        post_.reset();
    else
        post_ = Post{*target, message, w, l};
}

void IndiCamera::SetStartText(std::chrono::system_clock::time_point t) {
    const int64_t ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    std::snprintf(startText_, sizeof(startText_), "%04d-%02d-%02d %02d:%02d:%02d",
                  tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    startMs_ = static_cast<int32_t>(ms % 1000);
}

// ---- facts and settings ----

void IndiCamera::Properties(CameraProperties* props) {
    std::memset(props, 0, sizeof(*props));
    props->protocol = kProtocol;
    props->pixelsX = sensorW_;
    props->pixelsY = sensorH_;
    props->pixelSizeX = pixelW_;
    props->pixelSizeY = pixelH_;
    CopyText(props->model, sizeof(props->model), model_);
    CopyText(props->manufacturer, sizeof(props->manufacturer), manufacturer_);
}

void IndiCamera::ColourProperties(int32_t* type, int32_t* nx, int32_t* ny, int32_t* px,
                                  int32_t* py) {
    int32_t t = 0, ox = 0, oy = 0;
    const auto cfa = Get("CCD_CFA");
    const indi::Element* pattern = cfa ? cfa->Find("CFA_TYPE") : nullptr;
    if (pattern) {
        // Where red sits in the two-by-two pattern, then the driver's own offsets.
        static constexpr struct {
            const char* name;
            int x, y;
        } kPatterns[] = {{"RGGB", 0, 0}, {"GRBG", 1, 0}, {"GBRG", 0, 1}, {"BGGR", 1, 1}};
        for (const auto& p : kPatterns) {
            if (pattern->text != p.name) continue;
            t = 2;
            const indi::Element* x = cfa->Find("CFA_OFFSET_X");
            const indi::Element* y = cfa->Find("CFA_OFFSET_Y");
            ox = (p.x +
                  (x ? static_cast<int>(x->text.empty() ? x->number : std::atof(x->text.c_str()))
                     : 0)) &
                 1;
            oy = (p.y +
                  (y ? static_cast<int>(y->text.empty() ? y->number : std::atof(y->text.c_str()))
                     : 0)) &
                 1;
        }
    }
    if (type) *type = t;
    if (nx) *nx = ox;
    if (ny) *ny = oy;
    if (px) *px = ox;
    if (py) *py = oy;
}

void IndiCamera::GetBin(int32_t* x, int32_t* y) {
    std::lock_guard lock(mutex_);
    if (x) *x = settings_.binX;
    if (y) *y = settings_.binY;
}

void IndiCamera::GetMaxBin(int32_t* x, int32_t* y) {
    if (x) *x = maxBinX_;
    if (y) *y = maxBinY_;
}

void IndiCamera::GetSubframe(int32_t* x, int32_t* y, int32_t* w, int32_t* h) {
    std::lock_guard lock(mutex_);
    if (x) *x = settings_.x;
    if (y) *y = settings_.y;
    if (w) *w = settings_.w;
    if (h) *h = settings_.h;
}

void IndiCamera::SetSubframePos(int32_t x, int32_t y) {
    std::lock_guard lock(mutex_);
    settings_.x = std::clamp(x, 0, sensorW_ - 1);
    settings_.y = std::clamp(y, 0, sensorH_ - 1);
}

void IndiCamera::SetSubframeSize(int32_t w, int32_t h) {
    std::lock_guard lock(mutex_);
    settings_.w = std::clamp(w, 1, sensorW_);
    settings_.h = std::clamp(h, 1, sensorH_);
}

void IndiCamera::SetBin(int32_t x, int32_t y) {
    std::lock_guard lock(mutex_);
    settings_.binX = std::clamp(x, 1, maxBinX_);
    settings_.binY = std::clamp(y, 1, maxBinY_);
}

// ---- exposure ----

bool IndiCamera::StartExposure(float seconds) {
    if (!IsConnected() || !(seconds >= 0.0f)) return false;
    std::lock_guard lock(mutex_);
    if (phase_ != Phase::Idle)  // a new exposure replaces the running one
        client_.SendSwitches(device_, "CCD_ABORT_EXPOSURE", {{"ABORT", true}});
    running_ = settings_;
    running_.w = std::min(running_.w, sensorW_ - running_.x);
    running_.h = std::min(running_.h, sensorH_ - running_.y);

    // Binning first: the frame stays in unbinned pixels whatever the binning.
    waitBin_ = waitFrame_ = false;
    if (const auto bin = Get("CCD_BINNING")) {
        const indi::Element* bx = bin->Find("HOR_BIN");
        const indi::Element* by = bin->Find("VER_BIN");
        if (!bx || !by || bx->number != running_.binX || by->number != running_.binY) {
            binUpdates_ = bin->updates;
            waitBin_ = client_.SendNumbers(
                device_, "CCD_BINNING", {{"HOR_BIN", running_.binX}, {"VER_BIN", running_.binY}});
        }
    }
    if (const auto frame = Get("CCD_FRAME")) {
        const auto value = [&](const char* e) {
            const indi::Element* el = frame->Find(e);
            return el ? el->number : -1.0;
        };
        if (value("X") != running_.x || value("Y") != running_.y || value("WIDTH") != running_.w ||
            value("HEIGHT") != running_.h) {
            frameUpdates_ = frame->updates;
            waitFrame_ = client_.SendNumbers(device_, "CCD_FRAME",
                                             {{"X", running_.x},
                                              {"Y", running_.y},
                                              {"WIDTH", running_.w},
                                              {"HEIGHT", running_.h}});
        }
    }
    const auto exp = Get("CCD_EXPOSURE");
    const indi::Element* value = exp ? exp->Find("CCD_EXPOSURE_VALUE") : nullptr;
    exposureUpdates_ = exp ? exp->updates : 0;
    // The shortest exposure the driver takes stands for a zero-length one.
    const double s = value && value->min > seconds ? value->min : seconds;
    if (!client_.SendNumbers(device_, "CCD_EXPOSURE", {{"CCD_EXPOSURE_VALUE", s}})) return false;
    requested_ = seconds;
    phase_ = waitBin_ || waitFrame_ ? Phase::Flushing : Phase::Waiting;
    phaseStart_ = Clock::now();
    if (failed_) ready_ = failed_ = false;  // a frame still waiting stays until it is taken
    lastError_.clear();
    SetStartText(std::chrono::system_clock::now());
    return true;
}

bool IndiCamera::StopExposure() {
    {
        std::lock_guard lock(mutex_);
        if (phase_ == Phase::Idle || phase_ == Phase::Downloading) return phase_ != Phase::Idle;
        client_.SendSwitches(device_, "CCD_ABORT_EXPOSURE", {{"ABORT", true}});
        Fail("INDI cannot end an exposure early and keep it; the exposure was aborted");
    }
    PostFrameReady();
    return false;
}

bool IndiCamera::AbortExposure() {
    std::lock_guard lock(mutex_);
    if (phase_ != Phase::Idle && client_.IsConnected())
        client_.SendSwitches(device_, "CCD_ABORT_EXPOSURE", {{"ABORT", true}});
    phase_ = Phase::Idle;
    return true;
}

bool IndiCamera::ImageReady() {
    bool failed;
    {
        std::lock_guard lock(mutex_);
        failed = Advance();
    }
    if (failed) PostFrameReady();
    std::lock_guard lock(mutex_);
    return ready_;
}

int32_t IndiCamera::State() {
    bool failed;
    int32_t state = ZORVANE_STATE_IDLE;
    {
        std::lock_guard lock(mutex_);
        failed = Advance();
        switch (phase_) {
            case Phase::Flushing:
                state = ZORVANE_STATE_FLUSHING;
                break;
            case Phase::Waiting:
                state = ZORVANE_STATE_WAITING;
                break;
            case Phase::Exposing:
                state = ZORVANE_STATE_EXPOSING;
                break;
            case Phase::Downloading:
                state = ZORVANE_STATE_DOWNLOADING;
                break;
            case Phase::Idle:
                break;
        }
    }
    if (failed) PostFrameReady();
    return state;
}

float IndiCamera::ExposureTimeRemaining() {
    std::lock_guard lock(mutex_);
    switch (phase_) {
        case Phase::Flushing:
        case Phase::Waiting:
            return requested_;
        case Phase::Exposing: {
            const double left = requested_ - Ms(Clock::now() - phaseStart_) / 1e3;
            return static_cast<float>(std::max(0.0, left));
        }
        default:
            return 0.0f;
    }
}

int32_t IndiCamera::DownloadPercent() {
    // The client library hands a frame over only once it has all of it: until then all of it
    // is still to come.
    std::lock_guard lock(mutex_);
    return phase_ == Phase::Flushing || phase_ == Phase::Downloading ? 100 : 0;
}

float IndiCamera::LastExposureDuration() {
    std::lock_guard lock(mutex_);
    return lastDuration_;
}

const char* IndiCamera::LastStartTime() {
    std::lock_guard lock(mutex_);
    return startText_;
}

int32_t IndiCamera::LastStartTimeMilliseconds() {
    std::lock_guard lock(mutex_);
    return startMs_;
}

bool IndiCamera::ImageData(int32_t* x, int32_t* y, int32_t* w, int32_t* h, int32_t* bx,
                           int32_t* by) {
    std::lock_guard lock(mutex_);
    const bool has = !failed_ && (frameArrived_ || hasTaken_);
    const Geometry& g = frameArrived_ ? arrivedGeometry_ : takenGeometry_;
    if (x) *x = has ? g.x : 0;
    if (y) *y = has ? g.y : 0;
    if (w) *w = has ? g.w : 0;
    if (h) *h = has ? g.h : 0;
    if (bx) *bx = has ? g.binX : 0;
    if (by) *by = has ? g.binY : 0;
    return has;
}

const uint16_t* IndiCamera::ImageBuffer() {
    std::lock_guard lock(mutex_);
    ready_ = false;
    if (failed_) {
        failed_ = false;
        return nullptr;
    }
    if (frameArrived_) {
        std::swap(taken_, arrived_);
        takenGeometry_ = arrivedGeometry_;
        frameArrived_ = false;
        hasTaken_ = true;
    }
    return hasTaken_ ? taken_.data() : nullptr;
}

// ---- guiding and cooling ----

bool IndiCamera::PulseGuide(int32_t direction, int32_t ms) {
    if (!IsConnected() || ms <= 0) return false;
    const double d = ms;
    switch (direction) {
        case ZORVANE_GUIDE_NORTH:
            return client_.SendNumbers(device_, "TELESCOPE_TIMED_GUIDE_NS",
                                       {{"TIMED_GUIDE_N", d}, {"TIMED_GUIDE_S", 0.0}});
        case ZORVANE_GUIDE_SOUTH:
            return client_.SendNumbers(device_, "TELESCOPE_TIMED_GUIDE_NS",
                                       {{"TIMED_GUIDE_N", 0.0}, {"TIMED_GUIDE_S", d}});
        case ZORVANE_GUIDE_EAST:
            return client_.SendNumbers(device_, "TELESCOPE_TIMED_GUIDE_WE",
                                       {{"TIMED_GUIDE_W", 0.0}, {"TIMED_GUIDE_E", d}});
        case ZORVANE_GUIDE_WEST:
            return client_.SendNumbers(device_, "TELESCOPE_TIMED_GUIDE_WE",
                                       {{"TIMED_GUIDE_W", d}, {"TIMED_GUIDE_E", 0.0}});
        default:
            return false;
    }
}

bool IndiCamera::TemperatureSensor(int32_t sensor, int32_t* value) {
    if (!value || !IsConnected()) return false;
    const auto t = Get("CCD_TEMPERATURE");
    const indi::Element* e = t ? t->Find("CCD_TEMPERATURE_VALUE") : nullptr;
    if (sensor == 0) {
        *value = e ? 1 : 0;
        return true;
    }
    if (sensor != 1 || !e) return false;
    *value = static_cast<int32_t>(std::lround(e->number * 100.0));
    return true;
}

bool IndiCamera::CoolingInfo(int32_t* flags, int32_t* level, int32_t* minLevel, int32_t* maxLevel,
                             int32_t* setpoint) {
    if (!IsConnected()) return false;
    const auto temp = Get("CCD_TEMPERATURE");
    const auto cooler = Get("CCD_COOLER");
    const auto power = Get("CCD_COOLER_POWER");
    const indi::Element* coolerOn = cooler ? cooler->Find("COOLER_ON") : nullptr;
    int32_t f = 0;
    if (temp)
        f = ZORVANE_COOLING_CONTROL | ZORVANE_COOLING_SETPOINT;
    else if (coolerOn)
        f = ZORVANE_COOLING_CONTROL | ZORVANE_COOLING_ONOFF;

    std::lock_guard lock(mutex_);
    if (warming_ && temp) {
        const indi::Element* now = temp->Find("CCD_TEMPERATURE_VALUE");
        if (now && now->number >= warmTarget_ - 0.5) {
            // Warm: the cooler goes off.
            warming_ = false;
            coolerOn_ = false;
            if (coolerOn) client_.SelectSwitch(device_, "CCD_COOLER", "COOLER_OFF");
        }
    }
    const bool on = coolerOn && !temp ? coolerOn->on : coolerOn_;
    if (f != 0) {
        if (warming_)
            f |= ZORVANE_COOLING_WARMING_UP;
        else if (on)
            f |= ZORVANE_COOLING_COOLING;
    }
    const indi::Element* p = power ? power->Find("CCD_COOLER_VALUE") : nullptr;
    if (flags) *flags = f;
    if (level)
        *level =
            p ? std::clamp(static_cast<int32_t>(std::lround(p->number)), 0, 100) : (on ? 100 : 0);
    if (minLevel) *minLevel = 0;
    if (maxLevel) *maxLevel = 100;
    if (setpoint) *setpoint = setpoint_;
    return true;
}

bool IndiCamera::SetCooling(int32_t value) {
    if (!IsConnected()) return false;
    const auto temp = Get("CCD_TEMPERATURE");
    const bool hasCooler = Has("CCD_COOLER");
    std::lock_guard lock(mutex_);
    if (temp) {
        double c = value / 100.0;
        if (const indi::Element* e = temp->Find("CCD_TEMPERATURE_VALUE"); e && e->max > e->min)
            c = std::clamp(c, e->min, e->max);
        if (hasCooler) client_.SelectSwitch(device_, "CCD_COOLER", "COOLER_ON");
        setpoint_ = value;
        coolerOn_ = true;
        warming_ = false;
        return client_.SendNumbers(device_, "CCD_TEMPERATURE", {{"CCD_TEMPERATURE_VALUE", c}});
    }
    if (!hasCooler) return false;
    setpoint_ = value;
    coolerOn_ = value != 0;
    return client_.SelectSwitch(device_, "CCD_COOLER", value != 0 ? "COOLER_ON" : "COOLER_OFF");
}

bool IndiCamera::WarmUp() {
    if (!IsConnected()) return false;
    const auto temp = Get("CCD_TEMPERATURE");
    std::lock_guard lock(mutex_);
    if (temp) {
        double c = warmTarget_;
        if (const indi::Element* e = temp->Find("CCD_TEMPERATURE_VALUE"); e && e->max > e->min)
            c = std::clamp(c, e->min, e->max);
        warmTarget_ = c;
        warming_ = true;
        return client_.SendNumbers(device_, "CCD_TEMPERATURE", {{"CCD_TEMPERATURE_VALUE", c}});
    }
    coolerOn_ = false;
    return client_.SelectSwitch(device_, "CCD_COOLER", "COOLER_OFF");
}

}  // namespace zorvane::indicam
