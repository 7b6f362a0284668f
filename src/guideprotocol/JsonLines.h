#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvane::jsonline {

// Objects keep their members in the order they were added: events start with "Event", and a
// reader of the wire sees the fields in the order the protocol lists them.
using Json = nlohmann::ordered_json;

// JSON-RPC error codes, and the protocol's own code for an operation that failed.
enum ErrorCode : int {
    kParseError = -32700,
    kInvalidRequest = -32600,
    kMethodNotFound = -32601,
    kInvalidParams = -32602,
    kInternalError = -32603,
    kOperationFailed = 1,
};

// Cuts a byte stream into lines. CR, LF or both end a line; empty lines are skipped. A line
// that grows past the limit without an end is reported once as too long, and what follows of
// it up to its end is dropped: a peer that never ends its line costs at most the limit.
class LineSplitter {
public:
    struct Piece {
        bool tooLong = false;
        std::string text;  // the line without its end (empty when too long)
    };

    explicit LineSplitter(size_t maxLine = 1024) : maxLine_(maxLine) {}
    // Appends the complete lines in `bytes` (and a too-long report) to `out`.
    void Feed(std::string_view bytes, std::vector<Piece>& out);
    size_t Pending() const { return partial_.size(); }

private:
    size_t maxLine_;
    std::string partial_;
    bool dropping_ = false;
};

// The JSON value on a line; none when the text is not JSON. Never throws.
std::optional<Json> Parse(std::string_view line);
// One message as it goes on the wire: compact JSON ending in CR LF. Text that is not valid
// UTF-8 is replaced rather than refused.
std::string Line(const Json& message);
// A number kept to `decimals` places, as the protocol writes distances and times.
double Rounded(double value, int decimals = 3);

// A member read without throwing: the number (or text) when `object` has it as one, else the
// fallback.
double NumberOr(const Json& object, const char* key, double fallback);
std::string TextOr(const Json& object, const char* key, std::string fallback = {});

// ---- JSON-RPC messages ----
Json Request(std::string_view method, Json params, int id);
Json Notification(std::string_view method, Json params);
Json Result(const Json& id, Json result);
Json Error(const Json& id, int code, std::string_view message);

// A request's parameters by position (an array) or by name (an object), as the two styles of
// clients send them. Absent parameters read as null.
class Params {
public:
    Params(const Json* params, std::vector<const char*> names)
        : params_(params), names_(std::move(names)) {}
    // The parameter at `index` of the names given; nullptr when it is absent or null.
    const Json* At(size_t index) const;
    // A well-formed params member: absent, null, an array or an object.
    bool WellFormed() const;

private:
    const Json* params_;
    std::vector<const char*> names_;
};

}  // namespace zorvane::jsonline
