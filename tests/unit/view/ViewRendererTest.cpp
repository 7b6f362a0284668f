#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "view/ViewRenderer.h"

namespace zorvane {
namespace {

struct Bgr {
    int b, g, r;
    friend bool operator==(const Bgr&, const Bgr&) = default;
};
std::ostream& operator<<(std::ostream& os, const Bgr& p) {
    return os << "(" << p.b << "," << p.g << "," << p.r << ")";
}

// A frame whose values are 10 × row + column + 1, shown through the low byte.
struct Scene {
    ImageFrame frame;
    std::vector<uint8_t> lut = std::vector<uint8_t>(65536);
    ViewGeometry geo;
    ViewBitmap bmp;
    ViewRenderer renderer;
    RenderSource src;

    Scene(int w, int h, int clientW, int clientH) {
        std::vector<uint16_t> px(size_t(w) * h);
        for (int r = 0; r < h; ++r)
            for (int c = 0; c < w; ++c) px[size_t(r) * w + c] = uint16_t(10 * r + c + 1);
        frame.Assign(px.data(), w, h);
        frame.BinX = frame.BinY = 1;
        for (int v = 0; v < 65536; ++v) lut[v] = uint8_t(v);
        geo.SetSensorRect({0, 0, w, h});
        geo.SetClientSize(clientW, clientH);
        bmp.Allocate(clientW, clientH);
        src.frame = &frame;
        src.lut = lut.data();
    }
    void Render() {
        std::memset(bmp.Bits(), 0xAA, size_t(bmp.Stride()) * bmp.Height());  // stale picture
        renderer.Render(src, geo, bmp);
    }
    Bgr At(int x, int y) const {
        const uint8_t* p = bmp.Row(y) + x * 3;
        return {p[0], p[1], p[2]};
    }
    static Bgr Grey(int v) { return {v, v, v}; }
};

TEST(ViewBitmap, RowsArePaddedToFourBytes) {
    EXPECT_EQ(ViewBitmap::StrideFor(4), 12);
    EXPECT_EQ(ViewBitmap::StrideFor(5), 16);
    EXPECT_EQ(ViewBitmap::StrideFor(1), 4);
    ViewBitmap b;
    EXPECT_FALSE(b.Allocate(0, 10));
    EXPECT_FALSE(b.Valid());
    ASSERT_TRUE(b.Allocate(7, 3));
    EXPECT_EQ(b.Stride(), 24);
}

TEST(ViewRenderer, SmallFrameIsCentredWithBlackBorders) {
    Scene s(4, 3, 10, 7);  // span: columns 3..6, rows 2..4
    s.Render();
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 10; ++x) {
            const bool inside = x >= 3 && x < 7 && y >= 2 && y < 5;
            const Bgr want = inside ? Scene::Grey(10 * (y - 2) + (x - 3) + 1) : Bgr{0, 0, 0};
            ASSERT_EQ(s.At(x, y), want) << x << "," << y;
        }
}

TEST(ViewRenderer, ZoomRepeatsPixelsAndClipsAtTheWindowEdge) {
    Scene s(4, 4, 6, 6);
    s.geo.SetZoom(2);    // factor 2
    s.geo.SetPan(2, 2);  // frame spans 1..9 on a 6-pixel window
    s.Render();
    EXPECT_EQ(s.At(0, 0), (Bgr{0, 0, 0}));
    EXPECT_EQ(s.At(1, 1), Scene::Grey(1));
    EXPECT_EQ(s.At(2, 2), Scene::Grey(1));
    EXPECT_EQ(s.At(3, 1), Scene::Grey(2));
    EXPECT_EQ(s.At(1, 3), Scene::Grey(11));
    // The last column and row of the window show the frame's column 2 and row 2.
    EXPECT_EQ(s.At(5, 5), Scene::Grey(23));
    EXPECT_EQ(s.At(5, 0), (Bgr{0, 0, 0}));
}

TEST(ViewRenderer, BinnedFrameCoversItsSensorArea) {
    // A 2 × 2 binned frame of a 4 × 4 sensor at zoom 1 covers 4 × 4 screen pixels.
    Scene s(2, 2, 4, 4);
    s.frame.BinX = s.frame.BinY = 2;
    s.geo.SetSensorRect({0, 0, 4, 4});
    s.Render();
    EXPECT_EQ(s.At(0, 0), Scene::Grey(1));
    EXPECT_EQ(s.At(1, 1), Scene::Grey(1));
    EXPECT_EQ(s.At(2, 0), Scene::Grey(2));
    EXPECT_EQ(s.At(3, 3), Scene::Grey(12));
}

TEST(ViewRenderer, AspectCorrectionWidensTheImage) {
    Scene s(83, 10, 200, 20);
    s.geo.SetPixelSize(8.6f, 8.3f);
    s.Render();
    int painted = 0;
    for (int x = 0; x < 200; ++x) painted += s.At(x, 10) != Bgr{0, 0, 0};
    EXPECT_EQ(painted, 86);
}

TEST(ViewRenderer, NightVisionDrawsInRedOnly) {
    Scene s(4, 3, 4, 3);
    s.src.nightVision = true;
    s.Render();
    EXPECT_EQ(s.At(0, 0), (Bgr{0, 0, 1}));
    EXPECT_EQ(s.At(3, 2), (Bgr{0, 0, 24}));
}

TEST(ViewRenderer, OneToOneRowsOfAnyWidth) {
    // At 1:1 rows are drawn eight pixels at a time; the pixels left over go one by one.
    for (bool night : {false, true}) {
        Scene s(19, 2, 19, 2);
        s.src.nightVision = night;
        s.Render();
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 19; ++x) {
                const int v = 10 * y + x + 1;
                const Bgr want = night ? Bgr{0, 0, v} : Scene::Grey(v);
                ASSERT_EQ(s.At(x, y), want) << x << "," << y;
            }
        EXPECT_EQ(s.bmp.Row(0)[57], 0);  // the row's padding byte
    }
}

TEST(ViewRenderer, ColourBufferThroughTheTable) {
    Scene s(2, 1, 2, 1);
    // Pixel 0: blue 40, green 80, red 200; pixel 1: blue 4, green 8, red 12.
    std::vector<uint16_t> colour{40, 80, 200, 4, 8, 12};
    s.src.colourBuffer = colour.data();
    s.Render();
    EXPECT_EQ(s.At(0, 0), (Bgr{40, 80, 200}));
    EXPECT_EQ(s.At(1, 0), (Bgr{4, 8, 12}));

    s.src.luminance = true;  // (r + 2g + b) / 4
    s.Render();
    EXPECT_EQ(s.At(0, 0), Scene::Grey(100));
    EXPECT_EQ(s.At(1, 0), Scene::Grey(8));

    s.src.luminance = false;
    s.src.nightVision = true;
    s.Render();
    EXPECT_EQ(s.At(0, 0), (Bgr{0, 0, 100}));
}

TEST(ViewRenderer, EmptyFrameLeavesABlackWindow) {
    Scene s(4, 3, 5, 5);
    s.frame.Assign(nullptr, 0, 0);
    s.Render();
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) ASSERT_EQ(s.At(x, y), (Bgr{0, 0, 0}));
}

}  // namespace
}  // namespace zorvane
