// The INDI camera's frame decoder against files written by cfitsio: the pixel order, unsigned
// 16-bit data exactly, scaled data clamped, and frames that must be refused.
#include <fitsio.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FitsFrame.h"

namespace zorvane::indicam {
namespace {

// A FITS file in memory, written by cfitsio.
std::vector<unsigned char> Write(int bitpix, int type, long w, long h, const void* pixels,
                                 double bzero = 0.0, double bscale = 1.0) {
    void* mem = std::malloc(2880);
    size_t size = 2880;
    fitsfile* f = nullptr;
    int status = 0;
    fits_create_memfile(&f, &mem, &size, 2880, realloc, &status);
    long axes[2] = {w, h};
    fits_create_img(f, bitpix, 2, axes, &status);
    if (bscale != 1.0 || bzero != 0.0) {
        fits_update_key(f, TDOUBLE, "BSCALE", &bscale, nullptr, &status);
        fits_update_key(f, TDOUBLE, "BZERO", &bzero, nullptr, &status);
        fits_set_bscale(f, 1.0, 0.0, &status);  // write the stored values as given
    }
    fits_write_img(f, type, 1, w * h, const_cast<void*>(pixels), &status);
    fits_close_file(f, &status);
    EXPECT_EQ(status, 0);
    std::vector<unsigned char> bytes(static_cast<unsigned char*>(mem),
                                     static_cast<unsigned char*>(mem) + size);
    std::free(mem);
    return bytes;
}

TEST(FitsFrame, UnsignedPixelsExactlyInTheFilesOrder) {
    // Every value that matters for the top bit, and a marker whose place shows the order:
    // x = 2 on the second stored row.
    const long w = 4, h = 3;
    std::vector<uint16_t> in(w * h, 7);
    in[0] = 0;
    in[1] = 1;
    in[3] = 32767;
    in[4] = 32768;
    in[1 * w + 2] = 65535;
    const auto file = Write(USHORT_IMG, TUSHORT, w, h, in.data());
    std::vector<uint16_t> out;
    FitsFrame frame;
    ASSERT_EQ(DecodeFits(file.data(), file.size(), out, frame), FitsResult::Ok);
    EXPECT_EQ(frame.width, 4);
    EXPECT_EQ(frame.height, 3);
    EXPECT_EQ(out, in);
}

TEST(FitsFrame, OtherPixelTypesAreScaledAndClamped) {
    const std::vector<float> f = {-5.0f, 0.4f, 1000.6f, 70000.0f};
    const auto floats = Write(FLOAT_IMG, TFLOAT, 2, 2, f.data());
    std::vector<uint16_t> out;
    FitsFrame frame;
    ASSERT_EQ(DecodeFits(floats.data(), floats.size(), out, frame), FitsResult::Ok);
    EXPECT_EQ(out, (std::vector<uint16_t>{0, 0, 1001, 65535}));

    // Signed 16-bit with no offset: negative values are black.
    const std::vector<int16_t> s = {-3, 0, 5, 32767};
    const auto shorts = Write(SHORT_IMG, TSHORT, 4, 1, s.data());
    ASSERT_EQ(DecodeFits(shorts.data(), shorts.size(), out, frame), FitsResult::Ok);
    EXPECT_EQ(out, (std::vector<uint16_t>{0, 0, 5, 32767}));

    // 8-bit with BSCALE 256: a driver's 8-bit frame spread over the 16-bit range.
    const std::vector<uint8_t> b = {0, 1, 255};
    const auto bytes = Write(BYTE_IMG, TBYTE, 3, 1, b.data(), 0.0, 256.0);
    ASSERT_EQ(DecodeFits(bytes.data(), bytes.size(), out, frame), FitsResult::Ok);
    EXPECT_EQ(out, (std::vector<uint16_t>{0, 256, 65280}));
}

// A hand-made header of the given cards, padded to a block, and `data` bytes of zeros.
std::vector<unsigned char> Header(const std::vector<std::string>& cards, size_t data) {
    std::string text;
    for (const std::string& c : cards) text += c + std::string(80 - c.size(), ' ');
    text += "END" + std::string(77, ' ');
    text.resize((text.size() + 2879) / 2880 * 2880, ' ');
    std::vector<unsigned char> bytes(text.begin(), text.end());
    bytes.resize(bytes.size() + data, 0);
    return bytes;
}

TEST(FitsFrame, RefusesWhatCannotBeACameraFrameAndKeepsTheBuffer) {
    std::vector<uint16_t> out = {1, 2, 3};
    FitsFrame frame;
    const auto decode = [&](const std::vector<unsigned char>& b) {
        return DecodeFits(b.data(), b.size(), out, frame);
    };
    const std::string simple = "SIMPLE  =                    T";
    const std::string bitpix = "BITPIX  =                   16";
    // Sizes no sensor has, declared by a tiny message: refused before anything is allocated.
    EXPECT_EQ(decode(Header({simple, bitpix, "NAXIS   =                    2",
                             "NAXIS1  =               100000", "NAXIS2  =               100000"},
                            0)),
              FitsResult::TooLarge);
    EXPECT_EQ(decode(Header({simple, bitpix, "NAXIS   =                    2",
                             "NAXIS1  =                  100", "NAXIS2  =                  100"},
                            100 * 99 * 2)),
              FitsResult::Truncated);
    EXPECT_EQ(decode(Header({simple, bitpix, "NAXIS   =                    3",
                             "NAXIS1  =                   10", "NAXIS2  =                   10",
                             "NAXIS3  =                    3"},
                            600)),
              FitsResult::Unsupported);
    EXPECT_EQ(decode(Header({simple, bitpix, "NAXIS   =                    2",
                             "NAXIS1  =                   -4", "NAXIS2  =                   10"},
                            600)),
              FitsResult::Unsupported);
    const std::vector<unsigned char> noEnd(2880, ' ');
    EXPECT_EQ(decode(noEnd), FitsResult::NotFits);
    EXPECT_EQ(DecodeFits(nullptr, 0, out, frame), FitsResult::NotFits);
    EXPECT_EQ(out, (std::vector<uint16_t>{1, 2, 3}));
}

}  // namespace
}  // namespace zorvane::indicam
