#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "indi/IndiClient.h"

namespace zorvane::indi {

// What one server may send before the program ends its connection. Real servers stay far
// below every one of them; a server beyond them is broken or hostile, and without them one
// element that never ends, or a flood of definitions, would grow the program until it dies.
struct StreamLimits {
    // One message (a property vector with its elements), as bytes on the wire.
    size_t messageBytes = size_t{4} << 20;
    // A camera frame may be larger: a BLOB of a device whose frames were asked for may take
    // its announced size (base64 and line breaks included) plus a margin, up to the size the
    // device's frames may have, and never more than this.
    size_t blobBytes = size_t{1} << 30;
    int devices = 256;
    int propertiesPerDevice = 1024;
    int elementsPerVector = 1024;
    // Everything kept about every device, roughly (texts, names and per-element overhead).
    size_t storedBytes = size_t{32} << 20;
};

enum class MessageType { Define, Set, Delete };

// One element as it arrived: its name, its content and, for numbers, the range attributes.
struct WireElement {
    std::string name;
    std::string value;
    std::optional<double> min, max, step;
};

// One complete message from the server, not yet applied.
struct WireMessage {
    MessageType type = MessageType::Set;
    PropertyKind kind = PropertyKind::Number;
    std::string device;
    std::string name;  // Delete without a name removes the whole device
    std::optional<PropertyState> state;
    std::vector<WireElement> elements;
};

// Reads the server's XML stream chunk by chunk (expat underneath) and hands out each complete
// message; BLOB contents are decoded as they arrive and handed out element by element. It
// holds at most one message, within the limits.
class IndiStream {
public:
    using MessageSink = std::function<void(WireMessage&&)>;
    using BlobSink = std::function<void(const BlobView&)>;
    // The largest BLOB the device may send (its frames were asked for); 0 when none.
    using BlobLimit = std::function<size_t(std::string_view device)>;

    IndiStream(StreamLimits limits, MessageSink messages, BlobSink blobs, BlobLimit blobLimit);
    ~IndiStream();
    IndiStream(const IndiStream&) = delete;
    IndiStream& operator=(const IndiStream&) = delete;

    // Parses the next bytes (mended in place, see MendText). False once the stream is broken
    // (see Broken) or beyond a limit (see LimitExceeded); nothing more is read after that.
    bool Feed(char* data, size_t size);
    // Why the stream was refused: what the server sent beyond a limit ("an element larger
    // than 4 MB"); empty while all is well or when the stream was merely not XML.
    const std::string& LimitExceeded() const { return limit_; }
    // The stream is not well-formed XML.
    bool Broken() const { return broken_; }

    const StreamLimits& Limits() const { return limits_; }

private:
    struct Parser;
    StreamLimits limits_;
    std::unique_ptr<Parser> parser_;
    std::string limit_;
    bool broken_ = false;
    std::string carry_;  // the start of a character the next chunk completes
};

// Bytes no XML text may hold (control characters, broken UTF-8, as drivers do send: a Latin-1
// degree sign) become '?', so that one stray byte does not end a server's connection. Returns
// how many bytes at the end begin a character the next chunk may complete.
size_t MendText(char* data, size_t size);

// Applies one message to the devices: definitions add or replace a property, updates change
// the elements they name (a property never defined is ignored), deletions remove. An error
// text, leaving `set` unchanged, when the result would exceed a limit; `storedBytes` keeps the
// running total of StoredBytes over `set`.
std::optional<std::string> ApplyMessage(DeviceSet& set, WireMessage&& message,
                                        const StreamLimits& limits, size_t& storedBytes);
// Roughly what a property costs to keep.
size_t StoredBytes(const PropertySnapshot& p);

// A number as INDI servers write it: decimal ("-0.5", "1e-05") or sexagesimal ("-12:30:36",
// "5 30"). None when it is neither.
std::optional<double> ParseIndiNumber(std::string_view text);

// The text escaped for an XML attribute value or content.
std::string XmlEscape(std::string_view text);

}  // namespace zorvane::indi
