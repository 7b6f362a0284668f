// The colour preview's fills: which colour each pixel gets from the mosaic around it.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <vector>

#include "core/CommandIds.h"
#include "view/BayerFill.h"
#include "view/ColourPreview.h"

namespace zorvane {
namespace {

using Bgr = std::array<int, 3>;

std::vector<uint16_t> Fill(void (*fill)(const uint16_t*, int, int, int, int, uint16_t*),
                           const std::vector<uint16_t>& src, int w, int h, int ox, int oy) {
    std::vector<uint16_t> out(src.size() * 3, 0xDEAD);
    fill(src.data(), w, h, ox, oy, out.data());
    return out;
}

Bgr At(const std::vector<uint16_t>& out, int w, int c, int r) {
    const size_t i = (static_cast<size_t>(r) * w + c) * 3;
    return {out[i], out[i + 1], out[i + 2]};
}

ImageFrame FrameOf(const std::vector<uint16_t>& pixels, int w, int h, int bin = 1) {
    ImageFrame f;
    f.Pixels = std::make_unique<uint16_t[]>(pixels.size());
    std::memcpy(f.Pixels.get(), pixels.data(), pixels.size() * 2);
    f.Capacity = static_cast<uint32_t>(pixels.size() * 2);
    f.Width = w;
    f.Height = h;
    f.BinX = f.BinY = bin;
    return f;
}

TEST(ColourPreviewFillTest, FixedOffsetsPlaceTheColours) {
    // Offsets (0,1) at origin (0,0): pixel (0,0) is green in a blue row, (0,1) red. A mosaic
    // laid out that way, with red 1000, green 2000 and blue 3000, must come out flat.
    const int w = 6, h = 4;
    std::vector<uint16_t> mosaic(w * h);
    for (int r = 0; r < h; ++r) {
        for (int c = 0; c < w; ++c) {
            const bool blueRow = r % 2 == 0;
            const bool green = (c % 2 == 0) == blueRow;
            mosaic[r * w + c] = green ? 2000 : (blueRow ? 3000 : 1000);
        }
    }
    ColourPreview p;
    p.SetMode(ColourPreview::Colour);
    p.SetBayerCode(1);
    p.OnNewFrame(FrameOf(mosaic, w, h), Rect{0, 0, w, h}, 0);
    ASSERT_NE(p.Buffer(), nullptr);
    const std::vector<uint16_t> out(p.Buffer(), p.Buffer() + w * h * 3);
    for (int r = 0; r < h; ++r) {
        for (int c = 0; c < w; ++c) EXPECT_EQ(At(out, w, c, r), (Bgr{3000, 2000, 1000}));
    }
    // Offsets (1,0) read the same mosaic with red and blue swapped at the green sites only.
    p.OnCommand(ids::ID_BAYER_10, FrameOf(mosaic, w, h), Rect{0, 0, w, h}, 0);
    const std::vector<uint16_t> wrong(p.Buffer(), p.Buffer() + w * h * 3);
    EXPECT_NE(At(wrong, w, 2, 2), (Bgr{3000, 2000, 1000}));
}

TEST(ColourPreviewFillTest, RggbNeighboursAndMirroredEdges) {
    // Phase (0,0): row 0 is R G R G, row 1 is G B G B. Both rows are edge rows, so every
    // vertical pair is the other row taken twice.
    const int w = 4, h = 2;
    const std::vector<uint16_t> mosaic = {100, 20, 300, 40,  //
                                          50,  7,  60,  9};
    const auto out = Fill(FillRggb, mosaic, w, h, 0, 0);
    // red in column 0: the right neighbour stands in for the left one
    EXPECT_EQ(At(out, w, 0, 0), (Bgr{7, (50 + 50 + 20 + 20) / 4, 100}));
    EXPECT_EQ(At(out, w, 1, 0), (Bgr{7, 20, (100 + 300) / 2}));
    EXPECT_EQ(At(out, w, 2, 0), (Bgr{(7 + 9 + 7 + 9) / 4, (60 + 60 + 20 + 40) / 4, 300}));
    // green in the last column: red from column 2 twice
    EXPECT_EQ(At(out, w, 3, 0), (Bgr{9, 40, 300}));
    EXPECT_EQ(At(out, w, 0, 1), (Bgr{7, 50, 100}));
    // blue: 150 / 4 and 800 / 4, averages truncate
    EXPECT_EQ(At(out, w, 1, 1), (Bgr{7, 37, 200}));
    EXPECT_EQ(At(out, w, 2, 1), (Bgr{8, 60, 300}));
    EXPECT_EQ(At(out, w, 3, 1), (Bgr{9, (40 + 40 + 60 + 60) / 4, 300}));
}

TEST(ColourPreviewFillTest, RggbRowRunsAgreeWithSinglePixels) {
    // Inside a frame the fill works on runs of pixel pairs; a 3 × 3 frame has no runs at all
    // and goes pixel by pixel. A pixel's colour depends only on its 3 × 3 neighbourhood, so
    // both must agree for every phase and for both parities of the width.
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> value(0, 65535);
    for (int w : {37, 38}) {
        const int h = 6;
        std::vector<uint16_t> mosaic(w * h);
        for (auto& v : mosaic) v = static_cast<uint16_t>(value(rng));
        for (int code = 0; code < 4; ++code) {
            const int ox = code / 2, oy = code % 2;
            const auto out = Fill(FillRggb, mosaic, w, h, ox, oy);
            for (int r = 1; r < h - 1; ++r) {
                for (int c = 1; c < w - 1; ++c) {
                    std::vector<uint16_t> crop(9);
                    for (int i = 0; i < 9; ++i)
                        crop[i] = mosaic[(r - 1 + i / 3) * w + c - 1 + i % 3];
                    const auto one = Fill(FillRggb, crop, 3, 3, (ox + c - 1) & 1, (oy + r - 1) & 1);
                    ASSERT_EQ(At(out, w, c, r), At(one, 3, 1, 1))
                        << "width " << w << " code " << code << " at " << c << "," << r;
                }
            }
        }
    }
}

TEST(ColourPreviewFillTest, LargeFramesAgreeRowByRowWithStrips) {
    // Large frames are filled by two threads, half the rows each. A row's colours depend only on
    // the rows either side of it, so each row must come out as the middle row of that three-row
    // strip filled on its own, also where the halves meet.
    const int w = 1024, h = 1030;
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> value(0, 65535);
    std::vector<uint16_t> mosaic(size_t(w) * h);
    for (auto& v : mosaic) v = static_cast<uint16_t>(value(rng));
    for (auto [fill, rowPhases] : {std::pair{&FillRggb, 2}, std::pair{&FillFourRow, 4}}) {
        const auto out = Fill(fill, mosaic, w, h, 1, 1);
        for (int r : {1, h / 2 - 1, h / 2, h / 2 + 1, h - 2}) {
            const std::vector<uint16_t> strip(mosaic.begin() + size_t(r - 1) * w,
                                              mosaic.begin() + size_t(r + 2) * w);
            const auto one = Fill(fill, strip, w, 3, 1, r % rowPhases);
            ASSERT_TRUE(std::equal(one.begin() + size_t(w) * 3, one.begin() + size_t(w) * 6,
                                   out.begin() + size_t(r) * w * 3))
                << "row " << r << (fill == FillRggb ? " rggb" : " four-row");
        }
    }
}

TEST(ColourPreviewFillTest, OnePixelWideOrHighFrames) {
    // Without a neighbour on one side the pixel stands in for it; nothing is read outside the
    // frame (the sanitizer build checks that).
    for (int code = 0; code < 4; ++code) {
        const auto single = Fill(FillRggb, {1234}, 1, 1, code / 2, code % 2);
        EXPECT_EQ(At(single, 1, 0, 0), (Bgr{1234, 1234, 1234}));
    }
    // One row R G R G R: a green site's vertical pair is itself.
    const std::vector<uint16_t> row = {10, 20, 30, 40, 50};
    const auto r = Fill(FillRggb, row, 5, 1, 0, 0);
    EXPECT_EQ(At(r, 5, 0, 0), (Bgr{20, (20 + 20 + 10 + 10) / 4, 10}));
    EXPECT_EQ(At(r, 5, 1, 0), (Bgr{20, 20, 20}));
    EXPECT_EQ(At(r, 5, 4, 0), (Bgr{40, (50 + 50 + 40 + 40) / 4, 50}));
    // One column R / G / R: the horizontal pair is the pixel itself.
    const auto c = Fill(FillRggb, row, 1, 5, 0, 0);
    EXPECT_EQ(At(c, 1, 0, 1), (Bgr{20, 20, (10 + 30) / 2}));
    EXPECT_EQ(At(c, 1, 0, 4), (Bgr{40, (40 + 40 + 50 + 50) / 4, 50}));

    for (auto fill : {FillRggb, FillFourRow}) {
        for (auto [w, h] : {std::pair{1, 7}, std::pair{7, 1}, std::pair{2, 1}}) {
            std::vector<uint16_t> src(w * h, 500);
            const auto out = Fill(fill, src, w, h, 1, 3 % (fill == FillRggb ? 2 : 4));
            for (uint16_t v : out) EXPECT_NE(v, 0xDEAD);
        }
    }

    ColourPreview p;
    p.SetMode(ColourPreview::Colour);
    p.OnNewFrame(FrameOf({5, 6, 7}, 1, 3), Rect{0, 0, 1, 3}, 0);
    ASSERT_NE(p.Buffer(), nullptr);
    EXPECT_EQ(p.Buffer()[0], 6);  // red site (0,0): blue from the diagonal, row 1 twice
}

TEST(ColourPreviewFillTest, FourRowComplementaryPattern) {
    // A flat field comes out with the pattern's fixed tint: groups of 100 give X = Y = 75,
    // D2 = 125, n = 337, s = 400 / 337.
    const std::vector<uint16_t> flat(9, 100);
    EXPECT_EQ(At(Fill(FillFourRow, flat, 3, 3, 0, 0), 3, 1, 1), (Bgr{89, 148, 89}));

    // Distinct values: the centre sees all four groups, the corner only part of them, and the
    // row phase (modulo 4) decides which rows form which groups.
    const std::vector<uint16_t> ramp = {1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000};
    const Bgr centre[4] = {
        {4444, 7407, 4444}, {3478, 8695, 3478}, {4444, 7407, 4444}, {5454, 6060, 5454}};
    const Bgr corner[4] = {
        {2057, 4342, 3428}, {0, 6400, 2400}, {2823, 3294, 4235}, {1263, 4631, 3789}};
    for (int oy = 0; oy < 4; ++oy) {
        const auto out = Fill(FillFourRow, ramp, 3, 3, 0, oy);
        EXPECT_EQ(At(out, 3, 1, 1), centre[oy]) << oy;
        EXPECT_EQ(At(out, 3, 0, 0), corner[oy]) << oy;
    }

    // Only the Kc sites lit with 3: the weighted sum n is 0, and the pixel is black rather
    // than the result of dividing by it.
    // Phase (0,0): Kc sites are column phase 0 in row phase 1 and column phase 1 in row phase 3.
    std::vector<uint16_t> kc(4 * 4, 0);
    kc[1 * 4 + 0] = kc[1 * 4 + 2] = kc[3 * 4 + 1] = kc[3 * 4 + 3] = 3;
    EXPECT_EQ(At(Fill(FillFourRow, kc, 4, 4, 0, 0), 4, 1, 2), (Bgr{0, 0, 0}));

    // Only the Kb sites lit: blue would be negative and red above 65535; both are clamped.
    std::vector<uint16_t> kb(4 * 4, 0);
    kb[0 * 4 + 1] = kb[0 * 4 + 3] = kb[2 * 4 + 1] = kb[2 * 4 + 3] = 65535;
    EXPECT_EQ(At(Fill(FillFourRow, kb, 4, 4, 0, 0), 4, 1, 1), (Bgr{0, 43694, 65535}));
}

TEST(ColourPreviewFillTest, FourRowSensorBinnedIsGrey) {
    // A 752-wide sensor has the four-row pattern; binned frames cannot be separated.
    const std::vector<uint16_t> pixels = {1, 2, 3, 4, 5, 6};
    ColourPreview p;
    p.SetMode(ColourPreview::Luminance);
    p.OnNewFrame(FrameOf(pixels, 3, 2, 2), Rect{0, 0, 752, 582}, 0);
    ASSERT_TRUE(p.FourRowPattern());
    ASSERT_NE(p.Buffer(), nullptr);
    for (int i = 0; i < 6; ++i) {
        for (int k = 0; k < 3; ++k) EXPECT_EQ(p.Buffer()[i * 3 + k], pixels[i]);
    }
}

}  // namespace
}  // namespace zorvane
