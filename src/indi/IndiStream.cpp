#include "indi/IndiStream.h"

#include <expat.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

namespace zorvane::indi {

namespace {

constexpr size_t kMiB = size_t{1} << 20;

std::string_view Trim(std::string_view s) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!s.empty() && space(s.front())) s.remove_prefix(1);
    while (!s.empty() && space(s.back())) s.remove_suffix(1);
    return s;
}

std::optional<PropertyState> StateOf(std::string_view s) {
    s = Trim(s);
    if (s == "Idle") return PropertyState::Idle;
    if (s == "Ok") return PropertyState::Ok;
    if (s == "Busy") return PropertyState::Busy;
    if (s == "Alert") return PropertyState::Alert;
    return std::nullopt;
}

// The message tags the program reads, by kind; anything else is passed over.
struct Tag {
    const char* vector;
    const char* element;
    MessageType type;
    PropertyKind kind;
};
constexpr std::array<Tag, 10> kTags{{
    {"defNumberVector", "defNumber", MessageType::Define, PropertyKind::Number},
    {"defSwitchVector", "defSwitch", MessageType::Define, PropertyKind::Switch},
    {"defTextVector", "defText", MessageType::Define, PropertyKind::Text},
    {"defLightVector", "defLight", MessageType::Define, PropertyKind::Light},
    {"defBLOBVector", "defBLOB", MessageType::Define, PropertyKind::Blob},
    {"setNumberVector", "oneNumber", MessageType::Set, PropertyKind::Number},
    {"setSwitchVector", "oneSwitch", MessageType::Set, PropertyKind::Switch},
    {"setTextVector", "oneText", MessageType::Set, PropertyKind::Text},
    {"setLightVector", "oneLight", MessageType::Set, PropertyKind::Light},
    {"setBLOBVector", "oneBLOB", MessageType::Set, PropertyKind::Blob},
}};

const char* Attribute(const XML_Char** atts, const char* name) {
    for (; atts && atts[0]; atts += 2)
        if (std::strcmp(atts[0], name) == 0) return atts[1];
    return nullptr;
}

std::optional<double> Number(const char* text) {
    if (!text) return std::nullopt;
    return ParseIndiNumber(text);
}

constexpr std::array<int8_t, 256> kBase64 = [] {
    std::array<int8_t, 256> t{};
    for (auto& v : t) v = -1;
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i)
        t[static_cast<unsigned char>(alphabet[i])] = static_cast<int8_t>(i);
    return t;
}();

}  // namespace

// ---------------------------------------------------------------------------------------------

struct IndiStream::Parser {
    IndiStream& owner;
    MessageSink messages;
    BlobSink blobs;
    BlobLimit blobLimit;
    XML_Parser xml = nullptr;

    int depth = 0;
    bool inMessage = false;  // a message the program reads is open at depth 1
    const Tag* tag = nullptr;
    WireMessage message;
    bool inElement = false;  // one of its elements is open at depth 2

    // Bytes fed, and where the last message ended (both counted from the parser's first byte):
    // what lies between is the open message.
    uint64_t fed = 0;
    uint64_t lastEnd = 0;
    size_t allowed = 0;

    // The BLOB element being decoded. The buffer is not cleared first: pages a frame never
    // reaches are never touched, whatever size it announced.
    bool decoding = false;
    std::string blobFormat;
    std::unique_ptr<uint8_t[]> blob;
    size_t blobCapacity = 0;
    size_t blobLength = 0;  // bytes decoded into `blob`
    uint32_t quad = 0;
    int quadCount = 0;

    Parser(IndiStream& o, MessageSink m, BlobSink b, BlobLimit l)
        : owner(o), messages(std::move(m)), blobs(std::move(b)), blobLimit(std::move(l)) {
        xml = XML_ParserCreate("UTF-8");
        XML_SetUserData(xml, this);
        XML_SetElementHandler(
            xml,
            [](void* p, const XML_Char* name, const XML_Char** atts) {
                static_cast<Parser*>(p)->Start(name, atts);
            },
            [](void* p, const XML_Char*) { static_cast<Parser*>(p)->End(); });
        XML_SetCharacterDataHandler(xml, [](void* p, const XML_Char* s, int len) {
            static_cast<Parser*>(p)->Text(s, len);
        });
        allowed = owner.limits_.messageBytes;
    }
    ~Parser() { XML_ParserFree(xml); }

    void Refuse(std::string why) {
        owner.limit_ = std::move(why);
        XML_StopParser(xml, XML_FALSE);
    }

    void Start(const XML_Char* name, const XML_Char** atts) {
        ++depth;
        if (depth == 2)
            StartMessage(name, atts);
        else if (depth == 3 && inMessage)
            StartElement(name, atts);
    }

    void StartMessage(const XML_Char* name, const XML_Char** atts) {
        message = WireMessage{};
        tag = nullptr;
        const char* device = Attribute(atts, "device");
        const char* property = Attribute(atts, "name");
        if (std::strcmp(name, "delProperty") == 0) {
            if (!device) return;
            message.type = MessageType::Delete;
        } else {
            for (const Tag& t : kTags)
                if (std::strcmp(name, t.vector) == 0) tag = &t;
            if (!tag || !device || !property) return;
            message.type = tag->type;
            message.kind = tag->kind;
        }
        inMessage = true;
        message.device = device;
        if (property) message.name = property;
        if (const char* state = Attribute(atts, "state")) message.state = StateOf(state);
    }

    void StartElement(const XML_Char* name, const XML_Char** atts) {
        if (!tag || std::strcmp(name, tag->element) != 0) return;
        const char* element = Attribute(atts, "name");
        if (!element) return;
        if (static_cast<int>(message.elements.size()) >= owner.limits_.elementsPerVector) {
            Refuse("sent a property vector with more than " +
                   std::to_string(owner.limits_.elementsPerVector) + " elements");
            return;
        }
        WireElement e;
        e.name = element;
        e.min = Number(Attribute(atts, "min"));
        e.max = Number(Attribute(atts, "max"));
        e.step = Number(Attribute(atts, "step"));
        message.elements.push_back(std::move(e));
        inElement = true;
        if (tag->kind == PropertyKind::Blob && tag->type == MessageType::Set) StartBlob(atts);
    }

    void StartBlob(const XML_Char** atts) {
        // Frames come only from devices whose BLOBs were asked for; anything else is skipped.
        const size_t largest =
            blobLimit ? std::min(blobLimit(message.device), owner.limits_.blobBytes) : 0;
        if (largest == 0) return;
        const std::optional<double> size = Number(Attribute(atts, "size"));
        const size_t bytes = size && *size > 0 ? static_cast<size_t>(std::min(*size, 1e18)) : 0;
        if (bytes > largest) {
            Refuse("announced a BLOB of " + std::to_string(bytes / kMiB) + " MB, more than " +
                   std::to_string(largest / kMiB) + " MB");
            return;
        }
        // Base64 takes 4 bytes for every 3, line breaks a little more; a margin for the tags.
        allowed += bytes / 3 * 4 + bytes / 16 + kMiB;
        const char* format = Attribute(atts, "format");
        blobFormat = format ? format : "";
        Reserve(bytes + 3);
        blobLength = 0;
        quad = 0;
        quadCount = 0;
        decoding = true;
    }

    void Reserve(size_t bytes) {
        if (bytes <= blobCapacity) return;
        const size_t capacity = std::max(bytes, blobCapacity * 2);
        std::unique_ptr<uint8_t[]> bigger(new uint8_t[capacity]);
        if (blobLength > 0) std::memcpy(bigger.get(), blob.get(), blobLength);
        blob = std::move(bigger);
        blobCapacity = capacity;
    }

    void Text(const XML_Char* s, int len) {
        if (!inElement || depth != 3) return;
        if (!decoding) {
            message.elements.back().value.append(s, static_cast<size_t>(len));
            return;
        }
        // Room for what this text can decode to, so the loop below writes without checks.
        Reserve(blobLength + static_cast<size_t>(len) / 4 * 3 + 3);
        uint8_t* out = blob.get() + blobLength;
        for (int i = 0; i < len; ++i) {
            const int v = kBase64[static_cast<unsigned char>(s[i])];
            if (v < 0) continue;  // line breaks, padding
            quad = (quad << 6) | static_cast<uint32_t>(v);
            if (++quadCount == 4) {
                out[0] = static_cast<uint8_t>(quad >> 16);
                out[1] = static_cast<uint8_t>(quad >> 8);
                out[2] = static_cast<uint8_t>(quad);
                out += 3;
                quad = 0;
                quadCount = 0;
            }
        }
        blobLength = static_cast<size_t>(out - blob.get());
    }

    void EndBlob() {
        decoding = false;
        Reserve(blobLength + 2);
        if (quadCount == 2) blob[blobLength++] = static_cast<uint8_t>(quad >> 4);
        if (quadCount == 3) {
            blob[blobLength++] = static_cast<uint8_t>(quad >> 10);
            blob[blobLength++] = static_cast<uint8_t>(quad >> 2);
        }
        if (blobs && blobLength > 0)
            blobs(BlobView{message.device, message.name, message.elements.back().name, blobFormat,
                           blob.get(), blobLength});
        // A frame's worth of memory is not kept between frames.
        blob.reset();
        blobCapacity = blobLength = 0;
    }

    void End() {
        if (depth == 3 && inElement) {
            inElement = false;
            if (decoding) EndBlob();
        } else if (depth == 2) {
            if (inMessage && messages) messages(std::move(message));
            inMessage = false;
            lastEnd = static_cast<uint64_t>(XML_GetCurrentByteIndex(xml));
            allowed = owner.limits_.messageBytes;
        }
        --depth;
    }
};

IndiStream::IndiStream(StreamLimits limits, MessageSink messages, BlobSink blobs,
                       BlobLimit blobLimit)
    : limits_(limits),
      parser_(std::make_unique<Parser>(*this, std::move(messages), std::move(blobs),
                                       std::move(blobLimit))) {
    // The server's messages follow one another without a root element; this gives them one.
    static constexpr char kRoot[] = "<indi>";
    XML_Parse(parser_->xml, kRoot, sizeof kRoot - 1, XML_FALSE);
    parser_->fed = parser_->lastEnd = sizeof kRoot - 1;
}

IndiStream::~IndiStream() = default;

bool IndiStream::Feed(char* data, size_t size) {
    if (broken_ || !limit_.empty()) return false;
    // A character split between the last chunk and this one is put together first.
    std::string joined;
    if (!carry_.empty()) {
        joined = carry_ + std::string(data, size);
        data = joined.data();
        size = joined.size();
    }
    const size_t tail = MendText(data, size);
    carry_.assign(data + size - tail, tail);
    size -= tail;

    Parser& p = *parser_;
    if (XML_Parse(p.xml, data, static_cast<int>(size), XML_FALSE) == XML_STATUS_ERROR) {
        if (limit_.empty()) broken_ = true;
        return false;
    }
    p.fed += size;
    // An element that does not end: the parser would hold all of it.
    if (p.fed - p.lastEnd > p.allowed) {
        limit_ = "sent a message larger than " + std::to_string(p.allowed / kMiB) + " MB";
        return false;
    }
    return true;
}

size_t MendText(char* data, size_t size) {
    auto* p = reinterpret_cast<unsigned char*>(data);
    size_t i = 0;
    while (i < size) {
        const unsigned char c = p[i];
        if (c >= 0x20 && c < 0x80) {
            ++i;
            continue;
        }
        if (c < 0x20) {
            if (c != '\t' && c != '\n' && c != '\r') p[i] = '?';
            ++i;
            continue;
        }
        // A character of several bytes: its length and the range of its second byte (which
        // rules out overlong forms, surrogates and code points beyond Unicode).
        size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0) low = 0xA0;
            if (c == 0xED) high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0) low = 0x90;
            if (c == 0xF4) high = 0x8F;
        }
        size_t k = 1;
        while (k < length && i + k < size) {
            const unsigned char d = p[i + k];
            if (k == 1 ? (d < low || d > high) : (d < 0x80 || d > 0xBF)) break;
            ++k;
        }
        // U+FFFE and U+FFFF are no characters either.
        const bool nonCharacter =
            length == 3 && k == 3 && c == 0xEF && p[i + 1] == 0xBF && p[i + 2] >= 0xBE;
        if (length > 0 && k == length && !nonCharacter) {
            i += length;
        } else if (length > 0 && i + k == size) {
            return size - i;  // may be completed by the next chunk
        } else {
            p[i++] = '?';
        }
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------

size_t StoredBytes(const PropertySnapshot& p) {
    size_t n = sizeof(PropertySnapshot) + p.device.size() + p.name.size();
    for (const Element& e : p.elements) n += sizeof(Element) + e.name.size() + e.text.size();
    return n;
}

namespace {

// The wire element's value into a kept element of the property's kind.
void Take(PropertyKind kind, WireElement& w, Element& e) {
    switch (kind) {
        case PropertyKind::Number:
            if (const auto v = ParseIndiNumber(w.value)) e.number = *v;
            if (w.min) e.min = *w.min;
            if (w.max) e.max = *w.max;
            if (w.step) e.step = *w.step;
            break;
        case PropertyKind::Switch:
            e.on = Trim(w.value) == "On";
            break;
        case PropertyKind::Text:
            // Servers lay texts out over lines ("\n1.0\n    "); the text is what lies between.
            e.text = std::string(Trim(w.value));
            break;
        case PropertyKind::Light:
            e.text = std::string(Trim(w.value));
            break;
        case PropertyKind::Blob:
            break;
    }
}

std::string Quoted(const std::string& name) {
    // A hostile server's names can be of any length; a message shows the start.
    constexpr size_t kShown = 64;
    return "\"" + (name.size() > kShown ? name.substr(0, kShown) + "..." : name) + "\"";
}

}  // namespace

std::optional<std::string> ApplyMessage(DeviceSet& set, WireMessage&& m, const StreamLimits& limits,
                                        size_t& storedBytes) {
    const auto device = set.devices.find(m.device);
    if (m.type == MessageType::Delete) {
        if (device == set.devices.end()) return std::nullopt;
        if (m.name.empty()) {
            for (const auto& [name, p] : device->second) storedBytes -= StoredBytes(p);
            set.devices.erase(device);
        } else if (const auto p = device->second.find(m.name); p != device->second.end()) {
            storedBytes -= StoredBytes(p->second);
            device->second.erase(p);
        }
        return std::nullopt;
    }

    PropertySnapshot* old = nullptr;
    if (device != set.devices.end()) {
        const auto p = device->second.find(m.name);
        if (p != device->second.end()) old = &p->second;
    }
    PropertySnapshot next;
    if (m.type == MessageType::Define) {
        if (device == set.devices.end() && static_cast<int>(set.devices.size()) >= limits.devices)
            return "defined more than " + std::to_string(limits.devices) + " devices";
        if (!old && device != set.devices.end() &&
            static_cast<int>(device->second.size()) >= limits.propertiesPerDevice)
            return "defined more than " + std::to_string(limits.propertiesPerDevice) +
                   " properties for " + Quoted(m.device);
        next.device = m.device;
        next.name = m.name;
        next.kind = m.kind;
        next.state = m.state.value_or(PropertyState::Idle);
        if (m.kind != PropertyKind::Blob) {
            next.elements.resize(m.elements.size());
            for (size_t i = 0; i < m.elements.size(); ++i) {
                next.elements[i].name = m.elements[i].name;
                Take(m.kind, m.elements[i], next.elements[i]);
            }
        }
    } else {
        // An update of a property never defined (or of another kind) has nothing to change.
        if (!old || old->kind != m.kind) return std::nullopt;
        next = *old;
        if (m.state) next.state = *m.state;
        for (WireElement& w : m.elements)
            for (Element& e : next.elements)
                if (e.name == w.name) Take(m.kind, w, e);
    }
    const size_t before = old ? StoredBytes(*old) : 0;
    const size_t after = StoredBytes(next);
    if (storedBytes - before + after > limits.storedBytes)
        return "sent more than " + std::to_string(limits.storedBytes >> 20) +
               " MB of device properties";
    storedBytes = storedBytes - before + after;
    next.updates = old ? old->updates + 1 : 1;
    if (old)
        *old = std::move(next);
    else
        set.devices[m.device][m.name] = std::move(next);
    return std::nullopt;
}

std::optional<double> ParseIndiNumber(std::string_view text) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    double value = 0.0;
    const char* end = text.data() + text.size();
    auto [next, error] = std::from_chars(text.data(), end, value);
    if (error == std::errc() && next == end) return value;

    // Sexagesimal: degrees (or hours), minutes, seconds, the sign in front of them all.
    const bool negative = text.front() == '-';
    const char* p = text.data() + (negative ? 1 : 0);
    double total = 0.0;
    double scale = 1.0;
    int fields = 0;
    while (p < end && fields < 3) {
        double field = 0.0;
        auto [after, e] = std::from_chars(p, end, field);
        if (e != std::errc() || field < 0) break;
        total += field / scale;
        scale *= 60.0;
        ++fields;
        p = after;
        while (p < end && (*p == ':' || *p == ' ' || *p == ';')) ++p;
    }
    if (fields == 0) return std::nullopt;
    return negative ? -total : total;
}

std::string XmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace zorvane::indi
