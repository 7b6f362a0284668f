#include "SimOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>

namespace zorvane::sim {
namespace {

std::string Trim(const std::string& s) {
    const char* ws = " \t\r\n";
    const auto first = s.find_first_not_of(ws);
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(ws);
    return s.substr(first, last - first + 1);
}

std::string Lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

bool ParseDouble(const std::string& text, double& out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || end == text.c_str() || *end != '\0' || !std::isfinite(v)) return false;
    out = v;
    return true;
}

bool ParseInt(const std::string& text, long long lo, long long hi, long long& out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0' || v < lo || v > hi) return false;
    out = v;
    return true;
}

// "AxB" or a single value meaning A = B.
bool ParsePair(const std::string& text, double& a, double& b) {
    const auto x = Lower(text).find('x');
    if (x == std::string::npos) {
        if (!ParseDouble(text, a)) return false;
        b = a;
        return true;
    }
    return ParseDouble(Trim(text.substr(0, x)), a) && ParseDouble(Trim(text.substr(x + 1)), b);
}

using Setter = std::function<bool(const std::string&, SimOptions&)>;

Setter Real(double SimOptions::*field, double lo, double hi) {
    return [=](const std::string& v, SimOptions& o) {
        double d = 0;
        if (!ParseDouble(v, d) || d < lo || d > hi) return false;
        o.*field = d;
        return true;
    };
}

Setter Whole(int SimOptions::*field, long long lo, long long hi) {
    return [=](const std::string& v, SimOptions& o) {
        long long n = 0;
        if (!ParseInt(v, lo, hi, n)) return false;
        o.*field = static_cast<int>(n);
        return true;
    };
}

const std::map<std::string, Setter>& Setters() {
    static const std::map<std::string, Setter> table = {
        {"devices", Whole(&SimOptions::devices, 1, 16)},
        {"sensor",
         [](const std::string& v, SimOptions& o) {
             static const std::map<std::string, SensorKind> kinds = {
                 {"mono", SensorKind::Mono},
                 {"rggb", SensorKind::Rggb},
                 {"fourrow", SensorKind::FourRow},
                 {"large", SensorKind::Large}};
             const auto it = kinds.find(Lower(v));
             if (it == kinds.end()) return false;
             o.sensor = it->second;
             return true;
         }},
        {"size",
         [](const std::string& v, SimOptions& o) {
             double w = 0, h = 0;
             if (!ParsePair(v, w, h) || w < 1 || h < 1 || w > 20000 || h > 20000 ||
                 w != std::floor(w) || h != std::floor(h))
                 return false;
             o.width = static_cast<int>(w);
             o.height = static_cast<int>(h);
             return true;
         }},
        {"pixel",
         [](const std::string& v, SimOptions& o) {
             double w = 0, h = 0;
             if (!ParsePair(v, w, h) || w <= 0 || h <= 0 || w > 100 || h > 100) return false;
             o.pixelWidth = static_cast<float>(w);
             o.pixelHeight = static_cast<float>(h);
             return true;
         }},
        {"maxbin",
         [](const std::string& v, SimOptions& o) {
             double x = 0, y = 0;
             if (!ParsePair(v, x, y) || x < 1 || y < 1 || x > 16 || y > 16 || x != std::floor(x) ||
                 y != std::floor(y))
                 return false;
             o.maxBinX = static_cast<int>(x);
             o.maxBinY = static_cast<int>(y);
             return true;
         }},
        {"seed",
         [](const std::string& v, SimOptions& o) {
             long long n = 0;
             if (!ParseInt(v, 0, 0xFFFFFFFFLL, n)) return false;
             o.seed = static_cast<uint32_t>(n);
             return true;
         }},
        {"fwhm", Real(&SimOptions::fwhm, 0.5, 50.0)},
        {"stars", Real(&SimOptions::starDensity, 0.0, 20000.0)},
        {"star_flux", Real(&SimOptions::starFlux, 0.0, 1e9)},
        {"sky", Real(&SimOptions::sky, 0.0, 1e7)},
        {"read_noise", Real(&SimOptions::readNoise, 0.0, 1000.0)},
        {"gain", Real(&SimOptions::gain, 0.01, 100.0)},
        {"bias", Real(&SimOptions::bias, 0.0, 60000.0)},
        {"dark_current", Real(&SimOptions::darkCurrent, 0.0, 1e6)},
        {"dark_doubling", Real(&SimOptions::darkDoubling, 0.1, 100.0)},
        {"hot_pixels", Whole(&SimOptions::hotPixels, 0, 100000)},
        {"flush_ms", Real(&SimOptions::flushMs, 0.0, 60000.0)},
        {"wait_ms", Real(&SimOptions::waitMs, 0.0, 60000.0)},
        {"trigger_delay_ms", Real(&SimOptions::triggerDelayMs, 0.0, 3600000.0)},
        {"download_mpx_s", Real(&SimOptions::downloadMpxPerS, 0.001, 100000.0)},
        {"drift", Real(&SimOptions::driftPxPerMin, -10000.0, 10000.0)},
        {"drift_angle",
         [](const std::string& v, SimOptions& o) {
             double d = 0;
             if (!ParseDouble(v, d)) return false;
             o.driftAngleDeg = d;
             o.driftAngleSet = true;
             return true;
         }},
        {"pe", Real(&SimOptions::peAmplitude, 0.0, 10000.0)},
        {"pe_period", Real(&SimOptions::pePeriodS, 0.1, 1e6)},
        {"guide_rate", Real(&SimOptions::guideRate, 0.0, 10000.0)},
        {"guide_angle", Real(&SimOptions::guideAngleDeg, -3600.0, 3600.0)},
        {"mount",
         [](const std::string& v, SimOptions& o) {
             // "none", or "indi:<device>@<host>[:<port>]" (the device name may hold spaces).
             if (Lower(v) == "none" || v.empty()) {
                 o.mountDevice.clear();
                 return true;
             }
             if (Lower(v.substr(0, 5)) != "indi:") return false;
             const std::string rest = v.substr(5);
             const auto at = rest.rfind('@');
             const std::string device = Trim(rest.substr(0, at));
             std::string host = "localhost";
             long long port = 7624;
             if (at != std::string::npos) {
                 const std::string server = Trim(rest.substr(at + 1));
                 const auto colon = server.rfind(':');
                 if (colon != std::string::npos &&
                     !ParseInt(server.substr(colon + 1), 1, 65535, port))
                     return false;
                 if (colon != 0) host = server.substr(0, colon);
             }
             if (device.empty() || host.empty()) return false;
             o.mountDevice = device;
             o.mountHost = host;
             o.mountPort = static_cast<int>(port);
             return true;
         }},
        {"scale", Real(&SimOptions::arcsecPerPx, 0.001, 100000.0)},
        {"cooling",
         [](const std::string& v, SimOptions& o) {
             static const std::map<std::string, CoolingKind> kinds = {
                 {"setpoint", CoolingKind::Setpoint},
                 {"power", CoolingKind::Power},
                 {"onoff", CoolingKind::OnOff},
                 {"none", CoolingKind::None}};
             const auto it = kinds.find(Lower(v));
             if (it == kinds.end()) return false;
             o.cooling = it->second;
             return true;
         }},
        {"ambient", Real(&SimOptions::ambient, -60.0, 60.0)},
        {"cool_rate", Real(&SimOptions::coolRate, 0.001, 100.0)},
        {"cool_limit", Real(&SimOptions::coolLimit, 0.0, 100.0)},
        {"faults",
         [](const std::string& v, SimOptions& o) {
             SimOptions t = o;
             t.faultUsb = t.faultConnect = t.faultNullBuffer = t.faultDisconnect =
                 t.faultDisconnectFails = t.faultStickyReady = false;
             std::string rest = v;
             while (true) {
                 const auto comma = rest.find(',');
                 const std::string item = Lower(Trim(rest.substr(0, comma)));
                 if (item == "usb") {
                     t.faultUsb = true;
                 } else if (item == "connect") {
                     t.faultConnect = true;
                 } else if (item == "nullbuffer") {
                     t.faultNullBuffer = true;
                 } else if (item == "disconnect") {
                     t.faultDisconnect = true;
                 } else if (item == "disconnect_fails") {
                     t.faultDisconnectFails = true;
                 } else if (item == "sticky_ready") {
                     t.faultStickyReady = true;
                 } else if (!item.empty() && item != "none") {
                     return false;
                 }
                 if (comma == std::string::npos) break;
                 rest = rest.substr(comma + 1);
             }
             o = t;
             return true;
         }},
        {"connect_failures",
         [](const std::string& v, SimOptions& o) {
             long long n = 0;
             if (!ParseInt(v, 0, 1000000, n)) return false;
             o.connectFailures = static_cast<int>(n);
             o.faultConnect = true;
             return true;
         }},
        {"disconnect_after", Whole(&SimOptions::disconnectAfter, 0, 1000000)},
        {"cloud",
         [](const std::string& v, SimOptions& o) {
             // "none", or "<first frame>:<frames>[:<transmission>]".
             if (Lower(v) == "none" || v.empty()) {
                 o.cloudFirst = -1;
                 o.cloudFrames = 0;
                 return true;
             }
             const auto a = v.find(':');
             if (a == std::string::npos) return false;
             const auto b = v.find(':', a + 1);
             long long first = 0, frames = 0;
             double transmission = 0.0;
             if (!ParseInt(Trim(v.substr(0, a)), 0, 1LL << 40, first) ||
                 !ParseInt(Trim(v.substr(a + 1, b == std::string::npos ? b : b - a - 1)), 0,
                           1LL << 40, frames))
                 return false;
             if (b != std::string::npos && (!ParseDouble(Trim(v.substr(b + 1)), transmission) ||
                                            transmission < 0.0 || transmission > 1.0))
                 return false;
             o.cloudFirst = first;
             o.cloudFrames = frames;
             o.cloudTransmission = transmission;
             return true;
         }},
    };
    return table;
}

}  // namespace

bool ApplyOptions(const std::string& text, SimOptions& options,
                  std::vector<std::string>& problems) {
    bool allGood = true;
    std::string item;
    auto flush = [&]() {
        const std::string entry = Trim(item);
        item.clear();
        if (entry.empty() || entry[0] == '#') return;
        const auto eq = entry.find('=');
        if (eq == std::string::npos) {
            problems.push_back("malformed option '" + entry + "' (expected key=value)");
            allGood = false;
            return;
        }
        const std::string key = Lower(Trim(entry.substr(0, eq)));
        const std::string value = Trim(entry.substr(eq + 1));
        const auto& setters = Setters();
        const auto it = setters.find(key);
        if (it == setters.end()) {
            problems.push_back("unknown option '" + key + "'");
            allGood = false;
        } else if (!it->second(value, options)) {
            problems.push_back("bad value '" + value + "' for option '" + key + "'");
            allGood = false;
        }
    };
    for (char c : text) {
        if (c == ';' || c == '\n') {
            flush();
        } else {
            item += c;
        }
    }
    flush();
    return allGood;
}

}  // namespace zorvane::sim
