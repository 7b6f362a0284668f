#include "guideserver/EventServer.h"

#include <cmath>
#include <exception>

namespace zorvane {

using jsonline::Json;
using jsonline::Params;
using jsonline::Rounded;

namespace {

std::optional<double> Number(const Json* j) {
    if (!j || !j->is_number()) return std::nullopt;
    const double v = j->get<double>();
    if (!std::isfinite(v)) return std::nullopt;
    return v;
}

// Booleans, and the 0 / 1 some clients send for them.
std::optional<bool> Flag(const Json* j) {
    if (!j) return std::nullopt;
    if (j->is_boolean()) return j->get<bool>();
    if (j->is_number()) return j->get<double>() != 0.0;
    return std::nullopt;
}

std::optional<std::string> Text(const Json* j) {
    if (!j || !j->is_string()) return std::nullopt;
    return j->get<std::string>();
}

// {pixels, time, timeout}: all three are required.
std::optional<SettleSpec> ParseSettle(const Json* j) {
    if (!j || !j->is_object()) return std::nullopt;
    const auto field = [j](const char* name) -> std::optional<double> {
        const auto it = j->find(name);
        return it == j->end() ? std::nullopt : Number(&*it);
    };
    const auto pixels = field("pixels"), time = field("time"), timeout = field("timeout");
    if (!pixels || !time || !timeout || *pixels <= 0 || *time < 0 || *timeout < 0)
        return std::nullopt;
    return SettleSpec{*pixels, *time, *timeout};
}

// [x, y, width, height]; `ok` false when it is there but not that.
std::optional<Roi> ParseRoi(const Json* j, bool& ok) {
    ok = true;
    if (!j) return std::nullopt;
    if (!j->is_array() || j->size() != 4) {
        ok = false;
        return std::nullopt;
    }
    int v[4];
    for (int i = 0; i < 4; ++i) {
        const auto n = Number(&(*j)[static_cast<size_t>(i)]);
        if (!n || std::abs(*n) > 1e6) {
            ok = false;
            return std::nullopt;
        }
        v[i] = static_cast<int>(*n);
    }
    if (v[2] <= 0 || v[3] <= 0) {
        ok = false;
        return std::nullopt;
    }
    return Roi{v[0], v[1], v[2], v[3]};
}

Json Point(PointF p) {
    return Json::array({Rounded(p.x), Rounded(p.y)});
}

std::string Base64(const std::vector<uint16_t>& pixels) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    bytes.reserve(pixels.size() * 2);
    for (const uint16_t v : pixels) {
        bytes.push_back(static_cast<char>(v & 0xff));
        bytes.push_back(static_cast<char>(v >> 8));
    }
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const uint32_t n =
            (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8) | uint8_t(bytes[i + 2]);
        for (int k = 18; k >= 0; k -= 6) out.push_back(kDigits[(n >> k) & 63]);
    }
    if (i < bytes.size()) {
        uint32_t n = uint8_t(bytes[i]) << 16;
        if (i + 1 < bytes.size()) n |= uint8_t(bytes[i + 1]) << 8;
        out.push_back(kDigits[(n >> 18) & 63]);
        out.push_back(kDigits[(n >> 12) & 63]);
        out.push_back(i + 1 < bytes.size() ? kDigits[(n >> 6) & 63] : '=');
        out.push_back('=');
    }
    return out;
}

constexpr const char* kProfileName = "Zorvane Capture";

}  // namespace

EventServer::EventServer(GuiderApi& api, EventServerOptions options,
                         std::function<double()> unixTime)
    : api_(api), options_(std::move(options)), unixTime_(std::move(unixTime)) {}

// ---------------------------------------------------------------------------------------------
// Sessions

EventServer::ClientId EventServer::Connect() {
    const ClientId id = next_++;
    Session& s = sessions_.emplace(id, Session(options_.maxLine)).first->second;
    // Catch-up: what a client needs to know about the guider, the state last.
    Json version = Event("Version");
    version["PHDVersion"] = options_.version;
    version["PHDSubver"] = "";
    version["MsgVersion"] = 1;
    version["OverlapSupport"] = false;
    Send(s, version);
    if (const auto lock = api_.LockPosition()) {
        Json e = Event("LockPositionSet");
        e["X"] = Rounded(lock->x);
        e["Y"] = Rounded(lock->y);
        Send(s, e);
    }
    if (const auto star = api_.SelectedStar()) {
        Json e = Event("StarSelected");
        e["X"] = Rounded(star->x);
        e["Y"] = Rounded(star->y);
        Send(s, e);
    }
    if (api_.Calibrated()) {
        Json e = Event("CalibrationComplete");
        e["Mount"] = api_.CurrentEquipment().mount;
        Send(s, e);
    }
    const GuiderState state = api_.State();
    if (state == GuiderState::Guiding || state == GuiderState::LostLock) {
        Send(s, Event("StartGuiding"));
    } else if (state == GuiderState::Calibrating) {
        Json e = Event("StartCalibration");
        e["Mount"] = api_.CurrentEquipment().mount;
        Send(s, e);
    } else if (state == GuiderState::Paused) {
        Send(s, Event("Paused"));
    }
    Json app = Event("AppState");
    app["State"] = GuiderStateName(state);
    Send(s, app);
    return id;
}

void EventServer::Disconnect(ClientId client) {
    sessions_.erase(client);
}

std::string* EventServer::Output(ClientId client) {
    const auto it = sessions_.find(client);
    return it == sessions_.end() ? nullptr : &it->second.output;
}

bool EventServer::Closing(ClientId client) const {
    const auto it = sessions_.find(client);
    return it == sessions_.end() || it->second.closing;
}

std::vector<EventServer::ClientId> EventServer::Clients() const {
    std::vector<ClientId> ids;
    for (const auto& [id, s] : sessions_) ids.push_back(id);
    return ids;
}

size_t EventServer::QueuedRequests(ClientId client) const {
    const auto it = sessions_.find(client);
    return it == sessions_.end() ? 0 : it->second.queued.size();
}

void EventServer::Send(Session& s, const Json& message) {
    if (s.closing) return;
    s.output += jsonline::Line(message);
    // A client that does not read what it is sent is not worth the memory.
    if (s.output.size() > options_.maxOutput) {
        s.output.clear();
        s.queued.clear();
        s.closing = true;
    }
}

void EventServer::Receive(ClientId client, std::string_view bytes) {
    const auto it = sessions_.find(client);
    if (it == sessions_.end()) return;
    Session& s = it->second;
    std::vector<jsonline::LineSplitter::Piece> pieces;
    s.lines.Feed(bytes, pieces);
    for (auto& piece : pieces) {
        if (s.closing) break;
        if (piece.tooLong) {
            Send(s, jsonline::Error(nullptr, jsonline::kInternalError, "too big"));
            continue;
        }
        std::optional<Json> request = jsonline::Parse(piece.text);
        if (!request) {
            Send(s, jsonline::Error(nullptr, jsonline::kParseError, "parse error"));
            continue;
        }
        if (s.queued.size() >= options_.maxQueued) {
            const auto id = request->is_object() ? request->find("id") : request->end();
            if (id != request->end())
                Send(s, jsonline::Error(*id, jsonline::kInternalError, "too many requests"));
            continue;
        }
        s.queued.push_back(std::move(*request));
    }
    ProcessQueued();
}

void EventServer::ProcessQueued() {
    // A request's work may report events or, through a modal box, come back here.
    if (processing_ || Busy()) return;
    processing_ = true;
    bool more = true;
    while (more && !Busy()) {
        more = false;
        for (auto& [id, s] : sessions_) {
            if (s.queued.empty() || s.closing) continue;
            Json request = std::move(s.queued.front());
            s.queued.pop_front();
            Handle(s, request);
            more = true;
            // The session map may have changed only through Connect or Disconnect, which the
            // transport does not call from inside a request.
        }
    }
    processing_ = false;
}

// ---------------------------------------------------------------------------------------------
// Requests

void EventServer::Handle(Session& s, const Json& request) {
    if (!request.is_object()) {
        Send(s, jsonline::Error(nullptr, jsonline::kInvalidRequest, "invalid request"));
        return;
    }
    const auto idIt = request.find("id");
    const Json id = idIt == request.end() ? Json() : *idIt;
    const bool notification = idIt == request.end();
    const auto methodIt = request.find("method");
    if (methodIt == request.end() || !methodIt->is_string()) {
        if (!notification)
            Send(s, jsonline::Error(id, jsonline::kInvalidRequest, "invalid request"));
        return;
    }
    const auto paramsIt = request.find("params");
    const Json* params = paramsIt == request.end() ? nullptr : &*paramsIt;
    GuiderError error;
    bool failed = false;
    Json result;
    try {
        result = Dispatch(methodIt->get<std::string>(), params, error, failed);
    } catch (const std::exception& e) {
        failed = true;
        error = {jsonline::kInternalError, e.what()};
    }
    if (notification) return;
    Send(s, failed ? jsonline::Error(id, error.code, error.message)
                   : jsonline::Result(id, std::move(result)));
}

Json EventServer::Dispatch(const std::string& method, const Json* params, GuiderError& error,
                           bool& failed) {
    const auto fail = [&](int code, std::string message) {
        failed = true;
        error = {code, std::move(message)};
        return Json();
    };
    const auto invalid = [&] { return fail(jsonline::kInvalidParams, "invalid params"); };
    const auto status = [&](const GuiderStatus& st) {
        if (st) return fail(st->code, st->message);
        return Json(0);
    };
    if (params && !Params(params, {}).WellFormed()) return invalid();

    if (method == "get_app_state") return GuiderStateName(api_.State());
    if (method == "get_connected") return api_.CameraConnected();
    if (method == "set_connected") {
        const auto on = Flag(Params(params, {"connected"}).At(0));
        if (!on) return invalid();
        return status(api_.SetConnected(*on));
    }
    if (method == "get_current_equipment") {
        const Equipment e = api_.CurrentEquipment();
        Json j;
        j["camera"] = Json{{"name", e.camera}, {"connected", e.cameraConnected}};
        j["mount"] = Json{{"name", e.mount}, {"connected", e.mountConnected}};
        return j;
    }
    if (method == "get_pixel_scale") {
        const auto scale = api_.PixelScale();
        return scale ? Json(Rounded(*scale, 4)) : Json();
    }
    if (method == "get_exposure") return api_.ExposureMs();
    if (method == "set_exposure") {
        const auto ms = Number(Params(params, {"exposure"}).At(0));
        if (!ms || *ms < 1 || *ms > 3600000) return invalid();
        return status(api_.SetExposureMs(static_cast<int>(*ms)));
    }
    if (method == "get_exposure_durations") return api_.ExposureDurations();
    if (method == "get_camera_frame_size") {
        const auto size = api_.CameraFrameSize();
        if (!size) return fail(1, "camera not connected");
        return Json::array({size->first, size->second});
    }
    if (method == "loop") return status(api_.Loop());
    if (method == "stop_capture") {
        api_.StopCapture();
        return 0;
    }
    if (method == "find_star") {
        bool ok = true;
        const auto roi = ParseRoi(Params(params, {"roi"}).At(0), ok);
        if (!ok) return invalid();
        GuiderError why;
        const auto star = api_.FindStar(roi, why);
        if (!star) return fail(why.code, why.message);
        return Point(*star);
    }
    if (method == "guide") {
        const Params p(params, {"settle", "recalibrate", "roi"});
        const auto settle = ParseSettle(p.At(0));
        if (!settle) return invalid();
        bool ok = true;
        const auto roi = ParseRoi(p.At(2), ok);
        if (!ok) return invalid();
        return status(api_.Guide(*settle, Flag(p.At(1)).value_or(false), roi));
    }
    if (method == "dither") {
        const Params p(params, {"amount", "raOnly", "settle"});
        const auto amount = Number(p.At(0));
        const auto settle = ParseSettle(p.At(2));
        if (!amount || *amount < 0 || *amount > 1000 || !settle) return invalid();
        return status(api_.Dither(*amount, Flag(p.At(1)).value_or(false), *settle));
    }
    if (method == "set_paused") {
        const Params p(params, {"paused", "type"});
        const auto paused = Flag(p.At(0));
        if (!paused) return invalid();
        const auto type = Text(p.At(1));
        return status(api_.SetPaused(*paused, type && *type == "full"));
    }
    if (method == "get_paused") return api_.Paused();
    if (method == "get_lock_position") {
        const auto lock = api_.LockPosition();
        return lock ? Point(*lock) : Json();
    }
    if (method == "set_lock_position") {
        const Params p(params, {"x", "y", "exact"});
        const auto x = Number(p.At(0)), y = Number(p.At(1));
        if (!x || !y) return invalid();
        return status(api_.SetLockPosition(*x, *y, Flag(p.At(2)).value_or(true)));
    }
    if (method == "get_calibrated") return api_.Calibrated();
    if (method == "clear_calibration") {
        const auto which = Text(Params(params, {"which"}).At(0)).value_or("both");
        if (which != "mount" && which != "ao" && which != "both") return invalid();
        // There is no adaptive optics unit: "ao" alone leaves the mount's calibration.
        if (which != "ao") api_.ClearCalibration();
        return 0;
    }
    if (method == "get_dec_guide_mode") return api_.DecGuideMode();
    if (method == "set_dec_guide_mode") {
        const auto mode = Text(Params(params, {"mode"}).At(0));
        if (!mode) return invalid();
        return status(api_.SetDecGuideMode(*mode));
    }
    if (method == "get_star_image") {
        const Json* sizeParam = Params(params, {"size"}).At(0);
        const auto size = sizeParam ? Number(sizeParam) : std::optional<double>(15);
        if (!size || *size < 15 || *size > 1000) return invalid();
        const auto image = api_.StarImageAround(static_cast<int>(*size));
        if (!image) return fail(2, "no star selected");
        Json j;
        j["frame"] = image->frame;
        j["width"] = image->width;
        j["height"] = image->height;
        j["star_pos"] = Point(image->star);
        j["pixels"] = Base64(image->pixels);
        return j;
    }
    if (method == "get_profiles") return Json::array({Json{{"id", 1}, {"name", kProfileName}}});
    if (method == "get_profile") return Json{{"id", 1}, {"name", kProfileName}};
    if (method == "set_profile") {
        const auto id = Number(Params(params, {"id"}).At(0));
        if (!id) return invalid();
        if (*id != 1) return fail(1, "invalid profile id");
        return 0;
    }
    if (method == "shutdown") {
        api_.Shutdown();
        return 0;
    }
    return fail(jsonline::kMethodNotFound, "method not found");
}

// ---------------------------------------------------------------------------------------------
// Events

Json EventServer::Event(const char* name) const {
    Json e;
    e["Event"] = name;
    e["Timestamp"] = Rounded(unixTime_ ? unixTime_() : 0.0);
    e["Host"] = options_.host;
    e["Inst"] = options_.instance;
    return e;
}

void EventServer::Broadcast(const Json& event) {
    for (auto& [id, s] : sessions_) Send(s, event);
}

void EventServer::OnAppState(GuiderState state) {
    Json e = Event("AppState");
    e["State"] = GuiderStateName(state);
    Broadcast(e);
}

void EventServer::OnLoopingExposures(int frame) {
    Json e = Event("LoopingExposures");
    e["Frame"] = frame;
    Broadcast(e);
}

void EventServer::OnLoopingStopped() {
    Broadcast(Event("LoopingExposuresStopped"));
}

void EventServer::OnStarSelected(PointF star) {
    Json e = Event("StarSelected");
    e["X"] = Rounded(star.x);
    e["Y"] = Rounded(star.y);
    Broadcast(e);
}

void EventServer::OnLockPositionSet(PointF lock) {
    Json e = Event("LockPositionSet");
    e["X"] = Rounded(lock.x);
    e["Y"] = Rounded(lock.y);
    Broadcast(e);
}

void EventServer::OnLockPositionLost() {
    Broadcast(Event("LockPositionLost"));
}

void EventServer::OnCalibrationStarted(const std::string& mount, std::optional<double>, int,
                                       double) {
    Json e = Event("StartCalibration");
    e["Mount"] = mount;
    Broadcast(e);
}

void EventServer::OnCalibrating(const CalibrationStepEvent& c) {
    Json e = Event("Calibrating");
    e["Mount"] = c.mount;
    e["dir"] = c.direction;
    e["dist"] = Rounded(c.dist);
    e["dx"] = Rounded(c.dx);
    e["dy"] = Rounded(c.dy);
    e["pos"] = Json::array({Rounded(c.x), Rounded(c.y)});
    e["step"] = c.step;
    e["State"] = c.state;
    Broadcast(e);
}

void EventServer::OnCalibrationComplete(const CalibrationResult& result) {
    Json e = Event("CalibrationComplete");
    e["Mount"] = result.mount;
    Broadcast(e);
}

void EventServer::OnCalibrationFailed(const std::string& mount, const std::string& reason) {
    Json e = Event("CalibrationFailed");
    e["Mount"] = mount;
    e["Reason"] = reason;
    Broadcast(e);
}

void EventServer::OnStartGuiding(const GuidingStart&) {
    Broadcast(Event("StartGuiding"));
}

void EventServer::OnGuideStep(const GuideStepEvent& g) {
    Json e = Event("GuideStep");
    e["Frame"] = g.frame;
    e["Time"] = Rounded(g.time);
    e["Mount"] = g.mount;
    e["dx"] = Rounded(g.dx);
    e["dy"] = Rounded(g.dy);
    e["RADistanceRaw"] = Rounded(g.raRaw);
    e["DECDistanceRaw"] = Rounded(g.decRaw);
    e["RADistanceGuide"] = Rounded(g.raGuide);
    e["DECDistanceGuide"] = Rounded(g.decGuide);
    if (g.raDuration > 0) {
        e["RADuration"] = g.raDuration;
        e["RADirection"] = g.raDirection;
    }
    if (g.decDuration > 0) {
        e["DECDuration"] = g.decDuration;
        e["DECDirection"] = g.decDirection;
    }
    e["StarMass"] = Rounded(g.starMass, 0);
    e["SNR"] = Rounded(g.snr, 2);
    e["AvgDist"] = Rounded(g.avgDist, 2);
    if (g.raLimited) e["RALimited"] = true;
    if (g.decLimited) e["DecLimited"] = true;
    if (g.errorCode != 0) e["ErrorCode"] = g.errorCode;
    Broadcast(e);
}

void EventServer::OnStarLost(const StarLostEvent& l) {
    Json e = Event("StarLost");
    e["Frame"] = l.frame;
    e["Time"] = Rounded(l.time);
    e["StarMass"] = Rounded(l.starMass, 0);
    e["SNR"] = Rounded(l.snr, 2);
    e["AvgDist"] = Rounded(l.avgDist, 2);
    e["ErrorCode"] = l.errorCode;
    e["Status"] = l.status;
    Broadcast(e);
}

void EventServer::OnSettleBegin() {
    Broadcast(Event("SettleBegin"));
}

void EventServer::OnSettling(const SettlingEvent& s) {
    Json e = Event("Settling");
    e["Distance"] = Rounded(s.distance, 2);
    e["Time"] = Rounded(s.time, 1);
    e["SettleTime"] = Rounded(s.settleTime, 1);
    e["StarLocked"] = s.starLocked;
    Broadcast(e);
}

void EventServer::OnSettleDone(const SettleDoneEvent& d) {
    Json e = Event("SettleDone");
    e["Status"] = d.status;
    if (d.status != 0) e["Error"] = d.error;
    e["TotalFrames"] = d.totalFrames;
    e["DroppedFrames"] = d.droppedFrames;
    Broadcast(e);
}

void EventServer::OnDithered(double dx, double dy, PointF) {
    Json e = Event("GuidingDithered");
    e["dx"] = Rounded(dx);
    e["dy"] = Rounded(dy);
    Broadcast(e);
}

void EventServer::OnGuidingStopped() {
    Broadcast(Event("GuidingStopped"));
}

void EventServer::OnPaused() {
    Broadcast(Event("Paused"));
}

void EventServer::OnResumed() {
    Broadcast(Event("Resumed"));
}

void EventServer::OnAlert(const std::string& message, const std::string& type) {
    Json e = Event("Alert");
    e["Msg"] = message;
    e["Type"] = type;
    Broadcast(e);
}

}  // namespace zorvane
