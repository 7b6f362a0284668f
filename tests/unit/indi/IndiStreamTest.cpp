// The reader of an INDI server's stream: the same devices and frames whatever the chunking, and
// the limits beyond which a server's stream is refused.
#include <gtest/gtest.h>

#include <set>

#include "indi/IndiStream.h"

namespace zorvane::indi {
namespace {

constexpr size_t kMiB = size_t{1} << 20;

struct Reader {
    StreamLimits limits;
    DeviceSet set;
    size_t stored = 0;
    std::optional<std::string> refused;                // by ApplyMessage
    std::vector<std::string> frames;                   // "element format:bytes"
    std::set<std::string, std::less<>> wanted{"CCD"};  // may send frames up to the limit
    IndiStream stream;

    explicit Reader(StreamLimits l = {})
        : limits(l),
          stream(
              l,
              [this](WireMessage&& m) {
                  if (!refused) refused = ApplyMessage(set, std::move(m), limits, stored);
              },
              [this](const BlobView& b) {
                  frames.push_back(std::string(b.element) + " " + std::string(b.format) + ":" +
                                   std::string(static_cast<const char*>(b.data), b.size));
              },
              [this](std::string_view device) {
                  return wanted.count(device) ? limits.blobBytes : size_t{0};
              }) {}

    // Feeds in chunks of `chunk` bytes; false as soon as the stream is refused.
    bool Feed(std::string_view text, size_t chunk) {
        for (size_t at = 0; at < text.size(); at += chunk) {
            std::string part(text.substr(at, chunk));
            if (!stream.Feed(part.data(), part.size())) return false;
        }
        return true;
    }
};

constexpr const char* kStream =
    "<defNumberVector device=\"Mount\" name=\"EQUATORIAL_EOD_COORD\" state=\"Idle\">\n"
    "  <defNumber name=\"RA\" min=\"0\" max=\"24\" step=\"0\">  5:30:00</defNumber>\n"
    "  <defNumber name=\"DEC\" min=\"-90\" max=\"90\" step=\"0\">-12:30:36</defNumber>\n"
    "</defNumberVector>\n"
    "<defSwitchVector device=\"Mount\" name=\"CONNECTION\" state=\"Ok\">"
    "<defSwitch name=\"CONNECT\">On</defSwitch><defSwitch name=\"DISCONNECT\">Off</defSwitch>"
    "</defSwitchVector>"
    "<defTextVector device=\"Wheel\" name=\"FILTER_NAME\"><defText name=\"F1\">\xb0 &amp; x"
    "\x01 \xc2\xb0</defText></defTextVector>"
    "<defTextVector device=\"Wheel\" name=\"FILTER_TYPE\"><defText name=\"T\">LRGB</defText>"
    "</defTextVector>"
    "<message device=\"Mount\" message=\"slewing\"/><pingRequest uid=\"1\"/>"
    "<setNumberVector device=\"Mount\" name=\"EQUATORIAL_EOD_COORD\" state=\"Busy\">"
    "<oneNumber name=\"DEC\">1e-05</oneNumber></setNumberVector>"
    "<setNumberVector device=\"Mount\" name=\"NEVER_DEFINED\"><oneNumber name=\"X\">1"
    "</oneNumber></setNumberVector>"
    "<defBLOBVector device=\"CCD\" name=\"CCD1\"><defBLOB name=\"CCD1\"/></defBLOBVector>"
    "<setBLOBVector device=\"CCD\" name=\"CCD1\" state=\"Ok\">"
    "<oneBLOB name=\"CCD1\" size=\"11\" format=\".fits\">SGVs\nbG8g\nd29y bGQ=</oneBLOB>"
    "</setBLOBVector>"
    "<setBLOBVector device=\"Guider\" name=\"CCD1\"><oneBLOB name=\"CCD1\" size=\"5\" "
    "format=\".fits\">SGVsbG8=</oneBLOB></setBLOBVector>"
    "<delProperty device=\"Wheel\" name=\"FILTER_TYPE\"/>\n";

TEST(IndiStream, DevicesAndFramesAreTheSameInAnyChunking) {
    for (const size_t chunk : {size_t{1}, size_t{7}, size_t{1} << 20}) {
        Reader r;
        ASSERT_TRUE(r.Feed(kStream, chunk)) << chunk;
        EXPECT_FALSE(r.refused) << chunk;
        const PropertySnapshot* coord = r.set.Find("Mount", "EQUATORIAL_EOD_COORD");
        ASSERT_NE(coord, nullptr);
        EXPECT_DOUBLE_EQ(coord->Find("RA")->number, 5.5);
        EXPECT_DOUBLE_EQ(coord->Find("RA")->max, 24.0);
        EXPECT_DOUBLE_EQ(coord->Find("DEC")->number, 1e-05) << "an update changes what it names";
        EXPECT_DOUBLE_EQ(coord->Find("DEC")->min, -90.0);
        EXPECT_EQ(coord->state, PropertyState::Busy);
        EXPECT_EQ(coord->updates, 2u);
        EXPECT_TRUE(r.set.Find("Mount", "CONNECTION")->Find("CONNECT")->on);
        EXPECT_EQ(r.set.Find("Mount", "NEVER_DEFINED"), nullptr);
        EXPECT_EQ(r.set.Find("Wheel", "FILTER_TYPE"), nullptr) << "deleted";
        // A stray Latin-1 byte or control character cannot end the connection; UTF-8 stays.
        EXPECT_EQ(r.set.Find("Wheel", "FILTER_NAME")->elements[0].text, "? & x? \xc2\xb0");
        EXPECT_EQ(r.set.Find("CCD", "CCD1")->updates, 2u);
        // Only the device whose frames were asked for delivers them.
        EXPECT_EQ(r.frames, std::vector<std::string>{"CCD1 .fits:Hello world"}) << chunk;
    }
    Reader r;
    ASSERT_TRUE(r.Feed(std::string(kStream) + "<delProperty device=\"Wheel\"/>", 4096));
    EXPECT_EQ(r.set.devices.count("Wheel"), 0u) << "a device deleted whole";
    EXPECT_EQ(r.set.devices.count("Mount"), 1u);

    EXPECT_EQ(ParseIndiNumber("-0:30:00"), -0.5);
    EXPECT_EQ(ParseIndiNumber("12 30"), 12.5);
    EXPECT_EQ(ParseIndiNumber(" +3 "), 3.0);
    EXPECT_EQ(ParseIndiNumber("On"), std::nullopt);
    EXPECT_EQ(XmlEscape("a<\"&'>"), "a&lt;&quot;&amp;&apos;&gt;");
}

TEST(IndiStream, AStreamBeyondALimitIsRefusedSayingWhat) {
    StreamLimits small;
    small.messageBytes = kMiB;
    small.blobBytes = 4 * kMiB;
    small.devices = 4;
    small.elementsPerVector = 8;
    const std::string chunk(64 << 10, 'A');

    // An element that never ends is refused within a chunk of the limit.
    Reader endless(small);
    ASSERT_TRUE(endless.Feed("<defTextVector device=\"a\" name=\"b\"><defText name=\"c\">", 64));
    size_t fed = 0;
    while (endless.Feed(chunk, chunk.size()) && fed < 16 * kMiB) fed += chunk.size();
    EXPECT_LE(fed, small.messageBytes + chunk.size());
    EXPECT_EQ(endless.stream.LimitExceeded(), "sent a message larger than 1 MB");

    // So is a tag that never ends.
    Reader tag(small);
    ASSERT_TRUE(tag.Feed("<defTextVector device=\"", 64));
    fed = 0;
    while (tag.Feed(chunk, chunk.size()) && fed < 16 * kMiB) fed += chunk.size();
    EXPECT_EQ(tag.stream.LimitExceeded(), "sent a message larger than 1 MB");

    std::string vector = "<defTextVector device=\"W\" name=\"FILTER_NAME\">";
    for (int i = 0; i < 9; ++i) vector += "<defText name=\"F" + std::to_string(i) + "\"/>";
    Reader wide(small);
    EXPECT_FALSE(wide.Feed(vector, 4096));
    EXPECT_EQ(wide.stream.LimitExceeded(), "sent a property vector with more than 8 elements");

    std::string flood;
    for (int i = 0; i < 5; ++i)
        flood += "<defSwitchVector device=\"D" + std::to_string(i) +
                 "\" name=\"CONNECTION\"><defSwitch name=\"CONNECT\">Off</defSwitch>"
                 "</defSwitchVector>";
    Reader devices(small);
    devices.Feed(flood, 4096);
    EXPECT_EQ(devices.refused, "defined more than 4 devices");
    EXPECT_EQ(devices.set.devices.size(), 4u);

    // A frame of a device whose frames were asked for may be as large as it says, within the
    // BLOB limit; anyone else's may not exceed a message.
    const auto blob = [](const char* device, size_t size) {
        return "<setBLOBVector device=\"" + std::string(device) +
               "\" name=\"CCD1\"><oneBLOB name=\"CCD1\" format=\".fits\" size=\"" +
               std::to_string(size) + "\">" + std::string(size / 3 * 4, 'A') +
               "</oneBLOB></setBLOBVector>";
    };
    Reader frame(small);
    EXPECT_TRUE(frame.Feed(blob("CCD", 3 * kMiB), 64 << 10));
    ASSERT_EQ(frame.frames.size(), 1u);
    EXPECT_EQ(frame.frames[0].size(), std::string("CCD1 .fits:").size() + 3 * kMiB);
    Reader other(small);
    EXPECT_FALSE(other.Feed(blob("Guider", 3 * kMiB), 64 << 10));
    EXPECT_EQ(other.stream.LimitExceeded(), "sent a message larger than 1 MB");
    Reader huge(small);
    EXPECT_FALSE(huge.Feed(blob("CCD", 6 * kMiB), 64 << 10));
    EXPECT_EQ(huge.stream.LimitExceeded(), "announced a BLOB of 6 MB, more than 4 MB");

    // Text that is not XML is no limit: the stream is broken.
    Reader garbage(small);
    EXPECT_FALSE(garbage.Feed("<defTextVector <<>> \x01", 64));
    EXPECT_TRUE(garbage.stream.Broken());
    EXPECT_EQ(garbage.stream.LimitExceeded(), "");
}

}  // namespace
}  // namespace zorvane::indi
