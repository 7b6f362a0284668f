#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "files/FitsWriter.h"
#include "unit/files/FileTestSupport.h"

namespace zorvane {
namespace {

using test::Byte;
using test::ReadBytes;
using test::TempDir;

std::string Card(const std::string& bytes, int index) {
    return bytes.substr(index * 80, 80);
}

std::string Padded(const std::string& text) {
    return text + std::string(80 - text.size(), ' ');
}

// The file after its one header block holds every pixel of the w x h frame, bottom row first,
// big-endian with the sign offset, then zeros to the end of its last block.
void ExpectWholeFrame(const std::string& file, const std::vector<std::uint16_t>& pixels, int w,
                      int h) {
    const std::size_t data = pixels.size() * 2;
    ASSERT_EQ(file.size(), 2880 + (data + 2879) / 2880 * 2880);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::size_t at = 2880 + 2u * ((std::size_t(h) - 1 - y) * w + x);
            const unsigned v = (Byte(file, at) ^ 0x80u) << 8 | Byte(file, at + 1);
            ASSERT_EQ(v, pixels[std::size_t(y) * w + x]) << w << ": " << x << "," << y;
        }
    for (std::size_t i = 2880 + data; i < file.size(); ++i) ASSERT_EQ(Byte(file, i), 0u);
}

TEST(FitsWriterTest, HeaderCardsAreLaidOutByColumn) {
    TempDir dir;
    const std::vector<std::uint16_t> pixels(100 * 100, 7);
    FitsWriter writer;
    writer.AddKeyword("EXPTIME", "1.500");
    writer.AddKeyword("OBJECT", "'M31'");
    ASSERT_TRUE(writer.Write(dir / "a.fit", pixels.data(), 100, 100));

    const std::string file = ReadBytes(dir / "a.fit");
    // One header block, then 20000 data bytes padded to 7 blocks.
    ASSERT_EQ(file.size(), 23040u);
    EXPECT_EQ(Card(file, 0), Padded("SIMPLE  =                    T"));
    EXPECT_EQ(Card(file, 1), Padded("BITPIX  =                   16"));
    EXPECT_EQ(Card(file, 2), Padded("NAXIS   =                    2"));
    EXPECT_EQ(Card(file, 3), Padded("NAXIS1  =                  100"));
    EXPECT_EQ(Card(file, 4), Padded("NAXIS2  =                  100"));
    EXPECT_EQ(Card(file, 5), Padded("BZERO   =           32768.000000"));
    EXPECT_EQ(Card(file, 6), Padded("BSCALE  =             1.000000"));
    EXPECT_EQ(Card(file, 7), Padded("DATAMIN =             0.000000"));
    EXPECT_EQ(Card(file, 8), Padded("DATAMAX =           65535.000000"));
    EXPECT_EQ(Card(file, 9), Padded("EXPTIME =           1.500"));
    EXPECT_EQ(Card(file, 10), Padded("OBJECT  =           'M31'"));
    EXPECT_EQ(Card(file, 11), Padded("END"));
    for (int i = 12; i < 36; ++i) EXPECT_EQ(Card(file, i), std::string(80, ' ')) << i;
    // Data padding is zero bytes.
    for (std::size_t i = 2880 + 20000; i < file.size(); ++i) ASSERT_EQ(file[i], '\0') << i;
}

TEST(FitsWriterTest, PixelsAreBigEndianOffsetAndBottomRowFirst) {
    TempDir dir;
    // Row 0: 0, 32768, 65535; row 1: 1, 0x1234, 0xFFFE.
    const std::vector<std::uint16_t> pixels = {0, 32768, 65535, 1, 0x1234, 0xFFFE};
    FitsWriter writer;
    ASSERT_TRUE(writer.Write(dir / "b.fit", pixels.data(), 3, 2));
    const std::string file = ReadBytes(dir / "b.fit");
    ASSERT_EQ(file.size(), 5760u);
    const std::vector<unsigned> expected = {0x80, 0x01, 0x92, 0x34, 0x7F, 0xFE,   // last row
                                            0x80, 0x00, 0x00, 0x00, 0x7F, 0xFF};  // row 0
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(Byte(file, 2880 + i), expected[i]) << i;
}

TEST(FitsWriterTest, DataEndingOnABlockBoundaryGetsNoExtraBlock) {
    TempDir dir;
    const std::vector<std::uint16_t> pixels(1440, 0xFFFF);
    FitsWriter writer;
    ASSERT_TRUE(writer.Write(dir / "c.fit", pixels.data(), 1440, 1));
    const std::string file = ReadBytes(dir / "c.fit");
    ASSERT_EQ(file.size(), 2 * 2880u);
    EXPECT_EQ(Byte(file, file.size() - 2), 0x7Fu);
    EXPECT_EQ(Byte(file, file.size() - 1), 0xFFu);

    // A frame larger than one conversion chunk, with rows not dividing it, keeps every pixel.
    const int w = 1001, h = 300;
    const std::vector<std::uint16_t> big = test::NumberedFrame(w, h);
    ASSERT_TRUE(writer.Write(dir / "d.fit", big.data(), w, h));
    const std::string large = ReadBytes(dir / "d.fit");
    const std::size_t data = 2u * w * h;
    EXPECT_EQ(large.size(), 2880 + (data + 2879) / 2880 * 2880);
    for (int y = 0; y < h; y += 37) {
        for (int x = 0; x < w; x += 101) {
            const std::size_t at = 2880 + 2u * ((h - 1 - y) * w + x);
            const unsigned v = (Byte(large, at) ^ 0x80u) << 8 | Byte(large, at + 1);
            ASSERT_EQ(v, static_cast<std::uint16_t>(y * 1000 + x)) << x << "," << y;
        }
    }
}

TEST(FitsWriterTest, EveryPixelAcrossChunkSeams) {
    // Rows are converted a chunk at a time; check every value of frames whose rows straddle
    // the chunks and of one whose rows are longer than a chunk, and the zero fill after them.
    TempDir dir;
    FitsWriter writer;
    for (auto [w, h] : {std::pair{1001, 300}, std::pair{140001, 3}}) {
        std::vector<std::uint16_t> pixels(std::size_t(w) * h);
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<std::uint16_t>(i * 2654435761u >> 7);
        ASSERT_TRUE(writer.Write(dir / "e.fit", pixels.data(), w, h));
        ExpectWholeFrame(ReadBytes(dir / "e.fit"), pixels, w, h);
    }
}

TEST(FitsWriterTest, ALargeFrameConvertedAheadOfTheWritesIsExactAndFailsWhole) {
    // Large enough for the helper thread that converts ahead of the writes, with rows that
    // straddle its chunks.
    TempDir dir;
    FitsWriter writer;
    const int w = 1999, h = 1001;
    std::vector<std::uint16_t> pixels(std::size_t(w) * h);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<std::uint16_t>(i * 2654435761u >> 9);
    ASSERT_TRUE(writer.Write(dir / "big.fit", pixels.data(), w, h));
    ExpectWholeFrame(ReadBytes(dir / "big.fit"), pixels, w, h);

    // A write that fails early or halfway stops the helper too, and leaves no file.
    EXPECT_FALSE(writer.Write("/dev/full", pixels.data(), w, h));
    {
        test::FileSizeLimit limit(1500000);
        EXPECT_FALSE(writer.Write(dir / "half.fit", pixels.data(), w, h));
    }
    EXPECT_FALSE(test::Exists(dir / "half.fit"));
}

TEST(FitsWriterTest, PairsBeyondOneBlockTakeASecondAndOversizedTextsAreCut) {
    FitsWriter writer;
    for (int i = 0; i < 34; ++i) writer.AddKeyword("K" + std::to_string(i), std::to_string(i));
    ASSERT_EQ(writer.Keywords().Count(), 32u);
    EXPECT_EQ(writer.Keywords().Pairs().back().keyword, "K31");
    // Nine structural cards, 32 pairs and END: two header blocks, the pixel in a third.
    TempDir dir;
    const std::uint16_t pixel = 0;
    ASSERT_TRUE(writer.Write(dir / "two.fit", &pixel, 1, 1));
    const std::string two = ReadBytes(dir / "two.fit");
    ASSERT_EQ(two.size(), 3u * FitsWriter::kBlockSize);
    EXPECT_EQ(Card(two, 40), Padded("K31     =           31"));
    EXPECT_EQ(Card(two, 41), Padded("END"));
    EXPECT_EQ(Card(two, 71), Padded(""));
    EXPECT_EQ(two.substr(2 * FitsWriter::kBlockSize, 2), std::string("\x80\x00", 2));

    writer.ClearKeywords();
    EXPECT_EQ(writer.Keywords().Count(), 0u);
    writer.AddKeyword("LONGKEYWORD", std::string(70, 'v'));
    ASSERT_TRUE(writer.Write(dir / "e.fit", &pixel, 1, 1));
    const std::string file = ReadBytes(dir / "e.fit");
    EXPECT_EQ(Card(file, 9), "LONGKEYW=           " + std::string(60, 'v'));
    EXPECT_EQ(Card(file, 10), Padded("END"));
}

TEST(FitsWriterTest, FailuresAreReported) {
    TempDir dir;
    const std::vector<std::uint16_t> pixels(100 * 100, 1);
    FitsWriter writer;
    // Full device: the open works, the writes do not.
    EXPECT_FALSE(writer.Write("/dev/full", pixels.data(), 100, 100));
    EXPECT_FALSE(writer.Write(dir / "missing/a.fit", pixels.data(), 100, 100));
    EXPECT_FALSE(writer.Write("/proc/zorvane-test.fit", pixels.data(), 100, 100));
    EXPECT_FALSE(writer.Write(dir / std::string(PATH_MAX + 10, 'n'), pixels.data(), 100, 100));
    EXPECT_FALSE(writer.Write(dir / "null.fit", nullptr, 10, 10));
    EXPECT_FALSE(test::Exists(dir / "null.fit"));

    // A disk that fills up halfway through: failure, and no half file left behind.
    {
        test::FileSizeLimit limit(10000);
        EXPECT_FALSE(writer.Write(dir / "half.fit", pixels.data(), 100, 100));
    }
    EXPECT_FALSE(test::Exists(dir / "half.fit"));
}

}  // namespace
}  // namespace zorvane
