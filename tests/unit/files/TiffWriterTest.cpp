#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/TiffWriter.h"
#include "unit/files/FileTestSupport.h"

namespace zorvane {
namespace {

using test::Byte;
using test::Le16;
using test::Le32;
using test::ReadBytes;
using test::TempDir;

struct Entry {
    std::uint16_t tag, type;
    std::uint32_t count, value;
};

std::vector<Entry> Directory(const std::string& file) {
    std::vector<Entry> entries;
    const std::uint32_t at = Le32(file, 4);
    const unsigned n = Le16(file, at);
    for (unsigned i = 0; i < n; ++i) {
        const std::size_t e = at + 2 + i * 12;
        entries.push_back({Le16(file, e), Le16(file, e + 2), Le32(file, e + 4), Le32(file, e + 8)});
    }
    return entries;
}

TEST(TiffWriterTest, LayoutOfAFrameWithDescription) {
    TempDir dir;
    std::vector<std::uint16_t> pixels(100 * 100, 0);
    pixels[0] = 0x1234;
    pixels[99 * 100] = 0xBEEF;
    TiffWriter writer;
    // Five lines of 60 bytes: "KEYn=" + 53 characters + CR LF.
    for (int i = 0; i < 5; ++i)
        writer.AddKeyword("KEY" + std::to_string(i), std::string(53, 'a' + i));
    ASSERT_EQ(writer.DescriptionText().size(), 300u);
    ASSERT_TRUE(writer.Write(dir / "a.tif", pixels.data(), 100, 100));

    const std::string file = ReadBytes(dir / "a.tif");
    ASSERT_EQ(file.size(), 20446u);
    EXPECT_EQ(file.substr(0, 4), std::string("II\x2A\0", 4));
    EXPECT_EQ(Le32(file, 4), 20308u);
    EXPECT_EQ(file.substr(8, 61), "KEY0=" + std::string(53, 'a') + "\r\nK");
    // First file pixel is row 0's first, low byte first; the last row comes last.
    EXPECT_EQ(Byte(file, 308), 0x34u);
    EXPECT_EQ(Byte(file, 309), 0x12u);
    EXPECT_EQ(Le16(file, 308 + 2 * 99 * 100), 0xBEEFu);

    const std::vector<Entry> entries = Directory(file);
    ASSERT_EQ(entries.size(), 11u);
    const std::vector<Entry> expected = {
        {254, 4, 1, 0}, {256, 3, 1, 100},        {257, 3, 1, 100},  {258, 3, 1, 16},
        {259, 3, 1, 1}, {262, 3, 1, 1},          {270, 2, 300, 8},  {273, 4, 1, 308},
        {277, 3, 1, 1}, {278, 4, 1, 0x7FFFFFFF}, {279, 4, 1, 20000}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(entries[i].tag, expected[i].tag) << i;
        EXPECT_EQ(entries[i].type, expected[i].type) << i;
        EXPECT_EQ(entries[i].count, expected[i].count) << i;
        EXPECT_EQ(entries[i].value, expected[i].value) << i;
    }
    EXPECT_EQ(Le32(file, 20308 + 2 + 132), 0u);  // no next directory
}

TEST(TiffWriterTest, ShortAndOddDescriptions) {
    TempDir dir;
    const std::vector<std::uint16_t> pixels = {1, 2, 3, 4};
    TiffWriter writer;
    ASSERT_TRUE(writer.Write(dir / "empty.tif", pixels.data(), 2, 2));
    std::string file = ReadBytes(dir / "empty.tif");
    // An empty list still gives a five-byte text at offset 8, never an inline value.
    EXPECT_EQ(file.substr(8, 5), "     ");
    EXPECT_EQ(Directory(file)[6].count, 5u);
    EXPECT_EQ(Directory(file)[6].value, 8u);
    EXPECT_EQ(file.size(), 8u + 5 + 8 + 138);

    // "A=1\r\n" is five bytes: the strip and the directory land at odd offsets, unpadded.
    writer.AddKeyword("A", "1");
    ASSERT_TRUE(writer.Write(dir / "odd.tif", pixels.data(), 2, 2));
    file = ReadBytes(dir / "odd.tif");
    EXPECT_EQ(file.substr(8, 5), "A=1\r\n");
    EXPECT_EQ(Directory(file)[6].count, 5u);
    EXPECT_EQ(Directory(file)[7].value, 13u);
    EXPECT_EQ(Le32(file, 4), 21u);
    EXPECT_EQ(Byte(file, 13), 1u);  // the first pixel follows the text directly, no zero byte
    EXPECT_EQ(file.size(), 21u + 138);

    writer.AddKeyword("B", "'x'");
    EXPECT_EQ(writer.DescriptionText(), "A=1\r\nB='x'\r\n");
}

TEST(TiffWriterTest, WideFramesUseLongSizes) {
    TempDir dir;
    const std::vector<std::uint16_t> pixels(70000, 5);
    TiffWriter writer;
    ASSERT_TRUE(writer.Write(dir / "wide.tif", pixels.data(), 70000, 1));
    const std::vector<Entry> entries = Directory(ReadBytes(dir / "wide.tif"));
    EXPECT_EQ(entries[1].type, 4u);
    EXPECT_EQ(entries[1].value, 70000u);
    EXPECT_EQ(entries[2].type, 4u);
    EXPECT_EQ(entries[2].value, 1u);
}

TEST(TiffWriterTest, FailuresAreReported) {
    TempDir dir;
    const std::vector<std::uint16_t> pixels(100 * 100, 1);
    TiffWriter writer;
    EXPECT_FALSE(writer.Write("/dev/full", pixels.data(), 100, 100));
    EXPECT_FALSE(writer.Write(dir / "missing/a.tif", pixels.data(), 100, 100));
    // Too large for 32-bit offsets: refused before anything is created.
    EXPECT_FALSE(writer.Write(dir / "huge.tif", pixels.data(), 65536, 32768));
    EXPECT_FALSE(test::Exists(dir / "huge.tif"));
    {
        test::FileSizeLimit limit(5000);
        EXPECT_FALSE(writer.Write(dir / "half.tif", pixels.data(), 100, 100));
    }
    EXPECT_FALSE(test::Exists(dir / "half.tif"));
}

}  // namespace
}  // namespace zorvane
