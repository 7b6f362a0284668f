#include "guideprotocol/JsonLines.h"

#include <cmath>

namespace zorvane::jsonline {

void LineSplitter::Feed(std::string_view bytes, std::vector<Piece>& out) {
    for (const char c : bytes) {
        if (c == '\r' || c == '\n') {
            if (!dropping_ && !partial_.empty()) out.push_back({false, std::move(partial_)});
            partial_.clear();
            dropping_ = false;
            continue;
        }
        if (dropping_) continue;
        if (partial_.size() >= maxLine_) {
            out.push_back({true, {}});
            partial_.clear();
            dropping_ = true;
            continue;
        }
        partial_.push_back(c);
    }
}

std::optional<Json> Parse(std::string_view line) {
    Json value = Json::parse(line, nullptr, /*allow_exceptions=*/false);
    if (value.is_discarded()) return std::nullopt;
    return value;
}

std::string Line(const Json& message) {
    return message.dump(-1, ' ', false, Json::error_handler_t::replace) + "\r\n";
}

double Rounded(double value, int decimals) {
    if (!std::isfinite(value)) return 0.0;
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

double NumberOr(const Json& object, const char* key, double fallback) {
    if (!object.is_object()) return fallback;
    const auto it = object.find(key);
    return it != object.end() && it->is_number() ? it->get<double>() : fallback;
}

std::string TextOr(const Json& object, const char* key, std::string fallback) {
    if (!object.is_object()) return fallback;
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : fallback;
}

Json Request(std::string_view method, Json params, int id) {
    Json j;
    j["method"] = method;
    j["params"] = std::move(params);
    j["id"] = id;
    return j;
}

Json Notification(std::string_view method, Json params) {
    Json j;
    j["method"] = method;
    j["params"] = std::move(params);
    return j;
}

Json Result(const Json& id, Json result) {
    Json j;
    j["jsonrpc"] = "2.0";
    j["result"] = std::move(result);
    j["id"] = id;
    return j;
}

Json Error(const Json& id, int code, std::string_view message) {
    Json j;
    j["jsonrpc"] = "2.0";
    j["error"] = Json{{"code", code}, {"message", message}};
    j["id"] = id;
    return j;
}

const Json* Params::At(size_t index) const {
    if (!params_ || index >= names_.size()) return nullptr;
    const Json* p = nullptr;
    if (params_->is_array()) {
        if (index < params_->size()) p = &(*params_)[index];
    } else if (params_->is_object()) {
        const auto it = params_->find(names_[index]);
        if (it != params_->end()) p = &*it;
    }
    return p && !p->is_null() ? p : nullptr;
}

bool Params::WellFormed() const {
    return !params_ || params_->is_null() || params_->is_array() || params_->is_object();
}

}  // namespace zorvane::jsonline
