#include "guiding/GuideLog.h"

#include <sys/stat.h>

#include <cstdarg>
#include <filesystem>
#include <system_error>

#include "platform/Paths.h"

namespace zorvane {

namespace {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char buf[512];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    return std::string(buf, n < 0 ? 0 : std::min<size_t>(static_cast<size_t>(n), sizeof buf - 1));
}

std::string LocalTime(std::time_t t, const char* format) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[64];
    const size_t n = std::strftime(buf, sizeof buf, format, &tm);
    return std::string(buf, n);
}

// A text field of a row: quoted, with any quote inside doubled.
std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"') out += '"';
        if (c != '\n' && c != '\r') out += c;
    }
    return out + "\"";
}

char Initial(const std::string& direction) {
    return direction.empty() ? ' ' : direction[0];
}

}  // namespace

int RemoveOldGuideLogs(const std::string& folder, std::time_t now, int days) {
    namespace fs = std::filesystem;
    std::error_code ec;
    int removed = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
        const std::string name = e.path().filename().string();
        if (name.rfind(GuideLog::kPrefix, 0) != 0 || !e.is_regular_file(ec)) continue;
        struct stat st {};
        if (::stat(e.path().c_str(), &st) != 0) continue;
        if (now - st.st_mtime > static_cast<std::time_t>(days) * 86400) {
            if (fs::remove(e.path(), ec)) ++removed;
        }
    }
    return removed;
}

GuideLog::GuideLog(std::string folder, std::string programVersion, std::function<std::time_t()> now)
    : folder_(std::move(folder)), version_(std::move(programVersion)), now_(std::move(now)) {}

GuideLog::~GuideLog() {
    if (guiding_) OnGuidingStopped();
    if (file_) Write(Format("\nLog closed at %s\n", Stamp().c_str()));
}

bool GuideLog::Open() {
    if (!MakeDirectories(folder_, 0755)) return false;
    const std::time_t now = now_();
    RemoveOldGuideLogs(folder_, now, kKeepDays);
    path_ = folder_ + "/" + kPrefix + LocalTime(now, "%Y-%m-%d_%H%M%S") + ".txt";
    file_.reset(std::fopen(path_.c_str(), "a"));
    if (!file_) return false;
    Write(Format("Zorvane Capture version %s, Log version 2.5. Log enabled at %s\n",
                 version_.c_str(), Stamp().c_str()));
    return true;
}

std::string GuideLog::Stamp() const {
    return LocalTime(now_(), "%Y-%m-%d %H:%M:%S");
}

void GuideLog::Write(const std::string& text) {
    if (!file_) return;
    std::fputs(text.c_str(), file_.get());
    // Each line reaches the disk as it happens: a crash loses nothing, and the log can be
    // looked at while guiding goes on.
    std::fflush(file_.get());
}

std::string GuideLog::ScaleLine(std::optional<double> scale, int binning,
                                double focalLength) const {
    // Without a focal length the distances stay in pixels: a scale of 1.
    return Format("Pixel scale = %.2f arc-sec/px, Binning = %d, Focal length = %.0f mm\n",
                  scale.value_or(1.0), binning, focalLength);
}

void GuideLog::OnCalibrationStarted(const std::string& mount, std::optional<double> pixelScale,
                                    int binning, double focalLength) {
    Write(Format("\nCalibration Begins at %s\n", Stamp().c_str()));
    Write(Format("Mount = %s\n", mount.c_str()));
    Write(ScaleLine(pixelScale, binning, focalLength));
    Write("Direction,Step,dx,dy,x,y,Dist\n");
}

void GuideLog::OnCalibrating(const CalibrationStepEvent& s) {
    Write(Format("%s,%d,%.3f,%.3f,%.3f,%.3f,%.3f\n", s.direction.c_str(), s.step, s.dx, s.dy, s.x,
                 s.y, s.dist));
}

void GuideLog::OnCalibrationComplete(const CalibrationResult& r) {
    Write(Format("West calibration complete. Angle = %.1f deg, Rate = %.3f px/sec\n", r.xAngle,
                 r.xRate));
    Write(Format("North calibration complete. Angle = %.1f deg, Rate = %.3f px/sec\n", r.yAngle,
                 r.yRate));
    Write(Format("Calibration complete, mount = %s.\n", r.mount.c_str()));
}

void GuideLog::OnCalibrationFailed(const std::string& mount, const std::string& reason) {
    Write(Format("Calibration failed, mount = %s: %s\n", mount.c_str(), reason.c_str()));
}

void GuideLog::OnStartGuiding(const GuidingStart& s) {
    guiding_ = true;
    Write(Format("\nGuiding Begins at %s\n", Stamp().c_str()));
    Write(ScaleLine(s.pixelScale, s.binning, s.focalLength));
    const CalibrationResult& c = s.calibration;
    Write(Format("Mount = %s, xAngle = %.1f, xRate = %.3f, yAngle = %.1f, yRate = %.3f\n",
                 s.mount.c_str(), c.xAngle, c.xRate, c.yAngle, c.yRate));
    Write(Format("Lock position = %.3f, %.3f\n", s.lock.x, s.lock.y));
    Write(
        "Frame,Time,mount,dx,dy,RARawDistance,DECRawDistance,RAGuideDistance,DECGuideDistance,"
        "RADuration,RADirection,DECDuration,DECDirection,XStep,YStep,StarMass,SNR,ErrorCode\n");
}

void GuideLog::OnGuideStep(const GuideStepEvent& g) {
    const std::string ra = g.raDuration > 0 ? std::string(1, Initial(g.raDirection)) : "";
    const std::string dec = g.decDuration > 0 ? std::string(1, Initial(g.decDirection)) : "";
    Write(Format("%d,%.3f,\"Mount\",%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%d,%s,%d,%s,,,%.0f,%.2f,%d\n",
                 g.frame, g.time, g.dx, g.dy, g.raRaw, g.decRaw, g.raGuide, g.decGuide,
                 g.raDuration, ra.c_str(), g.decDuration, dec.c_str(), g.starMass, g.snr,
                 g.errorCode));
}

void GuideLog::OnStarLost(const StarLostEvent& l) {
    Write(Format("%d,%.3f,\"DROP\",,,,,,,,,,,,,%.0f,%.2f,%d,%s\n", l.frame, l.time, l.starMass,
                 l.snr, l.errorCode, Quoted(l.status).c_str()));
}

void GuideLog::OnSettleBegin() {
    Write("INFO: SETTLING STATE CHANGE, Settling started\n");
}

void GuideLog::OnSettleDone(const SettleDoneEvent& d) {
    if (d.status == 0)
        Write("INFO: SETTLING STATE CHANGE, Settling complete\n");
    else
        Write(Format("INFO: SETTLING STATE CHANGE, Settling failed: %s\n", d.error.c_str()));
}

void GuideLog::OnDithered(double dx, double dy, PointF lock) {
    Write(
        Format("INFO: DITHER by %.3f, %.3f, new lock pos = %.3f, %.3f\n", dx, dy, lock.x, lock.y));
}

void GuideLog::OnGuidingStopped() {
    if (!guiding_) return;
    guiding_ = false;
    Write(Format("Guiding Ends at %s\n", Stamp().c_str()));
}

void GuideLog::OnPaused() {
    Write("INFO: Guiding paused\n");
}

void GuideLog::OnResumed() {
    Write("INFO: Guiding resumed\n");
}

}  // namespace zorvane
