// Bayer phase, automatic mode and the colour menu of the colour preview.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/CommandIds.h"
#include "view/ColourPreview.h"

namespace zorvane {
namespace {

using namespace ids;

ImageFrame Frame(int width, int height, int originX = 0, int originY = 0, int bin = 1,
                 bool rotated = false, bool preview = false) {
    ImageFrame f;
    const size_t n = static_cast<size_t>(width) * height;
    f.Pixels = std::make_unique<uint16_t[]>(n > 0 ? n : 1);
    for (size_t i = 0; i < n; ++i) f.Pixels[i] = static_cast<uint16_t>(100 + i);
    f.Capacity = static_cast<uint32_t>(n * 2);
    f.Width = width;
    f.Height = height;
    f.OriginX = originX;
    f.OriginY = originY;
    f.BinX = f.BinY = bin;
    f.Rotated = rotated;
    f.Preview = preview;
    return f;
}

struct Phase {
    bool fourRow;
    int x;
    int y;
    friend bool operator==(const Phase&, const Phase&) = default;
};
std::ostream& operator<<(std::ostream& os, const Phase& p) {
    return os << (p.fourRow ? "four-row " : "") << "(" << p.x << "," << p.y << ")";
}

Phase PhaseOf(const ColourPreview& p) {
    return {p.FourRowPattern(), p.BayerOffsetX(), p.BayerOffsetY()};
}

// The phase an automatic camera of colour type 0 gets from the sensor table.
Phase TablePhase(int sensorW, int sensorH, bool rotated, int protocol, int originX = 0,
                 int originY = 0) {
    ColourPreview p;
    p.SetColourProperties(0, 0, 0, 0, 0);
    p.ComputePhase(Frame(4, 4, originX, originY, 1, rotated), Rect{0, 0, sensorW, sensorH},
                   protocol);
    return PhaseOf(p);
}

TEST(ColourPreviewTest, AutomaticModeFollowsBinningOnAnRggbCamera) {
    ColourPreview p;
    p.SetColourProperties(2, 0, 0, 0, 0);
    EXPECT_TRUE(p.Automatic());
    EXPECT_EQ(p.BayerCode(), 4);
    const Rect sensor{0, 0, 8, 8};

    p.OnNewFrame(Frame(4, 4, 0, 0, 2), sensor, 0);
    EXPECT_EQ(p.Mode(), ColourPreview::Raw);
    EXPECT_EQ(p.Buffer(), nullptr);
    // An RGGB camera still reports its phase for the file header while showing raw.
    int x = -1, y = -1;
    EXPECT_TRUE(p.GetBayerOffsets(x, y));

    p.OnNewFrame(Frame(8, 8), sensor, 0);
    EXPECT_EQ(p.Mode(), ColourPreview::Colour);
    EXPECT_NE(p.Buffer(), nullptr);

    // 2 × 1 binning is not 1 × 1 either.
    ImageFrame mixed = Frame(4, 8);
    mixed.BinX = 2;
    p.OnNewFrame(mixed, sensor, 0);
    EXPECT_EQ(p.Mode(), ColourPreview::Raw);
}

TEST(ColourPreviewTest, ModesWithoutAutomaticColour) {
    ColourPreview p;
    p.SetColourProperties(0, 0, 0, 0, 0);
    EXPECT_FALSE(p.Automatic());
    const ImageFrame f = Frame(6, 4);
    const Rect sensor{0, 0, 6, 4};
    p.OnNewFrame(f, sensor, 0);
    EXPECT_EQ(p.Mode(), ColourPreview::Raw);
    int x = 7, y = 7;
    EXPECT_FALSE(p.GetBayerOffsets(x, y));
    EXPECT_EQ(x, 7);  // nothing written
    EXPECT_EQ(y, 7);

    // A colour type other than 2 turns automatic on but the frames stay raw.
    p.SetColourProperties(3, 0, 0, 0, 0);
    EXPECT_TRUE(p.Automatic());
    p.SetMode(ColourPreview::Luminance);
    p.OnNewFrame(f, sensor, 0);
    EXPECT_EQ(p.Mode(), ColourPreview::Raw);

    // Settings values out of range fall back to what the menu can show.
    p.SetMode(7);
    EXPECT_EQ(p.Mode(), ColourPreview::Raw);
    p.SetMode(ColourPreview::Luminance);
    EXPECT_EQ(p.Mode(), ColourPreview::Luminance);
    p.SetBayerCode(-1);
    EXPECT_EQ(p.BayerCode(), 4);
    p.SetBayerCode(9);
    EXPECT_EQ(p.BayerCode(), 4);
    p.SetBayerCode(3);
    EXPECT_EQ(p.BayerCode(), 3);
}

TEST(ColourPreviewTest, FixedCodesAndTheFrameOrigin) {
    ColourPreview p;
    const Rect sensor{0, 0, 100, 80};
    const int expected[4][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}};
    for (int code = 0; code < 4; ++code) {
        p.SetBayerCode(code);
        p.ComputePhase(Frame(4, 4), sensor, 0);
        EXPECT_EQ(PhaseOf(p), (Phase{false, expected[code][0], expected[code][1]})) << code;
    }
    // An odd start column flips the column phase, an odd start row the row phase.
    p.SetBayerCode(1);
    p.ComputePhase(Frame(4, 4, 11, 0), sensor, 0);
    EXPECT_EQ(PhaseOf(p), (Phase{false, 1, 1}));
    p.ComputePhase(Frame(4, 4, 10, 7), sensor, 0);
    EXPECT_EQ(PhaseOf(p), (Phase{false, 0, 0}));
    // The empty frame after a disconnect sits at (-1, -1).
    p.ComputePhase(Frame(0, 0, -1, -1), sensor, 0);
    EXPECT_EQ(PhaseOf(p), (Phase{false, 1, 0}));
}

TEST(ColourPreviewTest, RotationFlipsThePhaseOfEvenSensorSides) {
    ColourPreview p;
    p.SetBayerCode(0);
    auto rotated = [&](int w, int h) {
        p.ComputePhase(Frame(4, 4, 0, 0, 1, true), Rect{0, 0, w, h}, 0);
        return PhaseOf(p);
    };
    EXPECT_EQ(rotated(1000, 800), (Phase{false, 1, 1}));
    EXPECT_EQ(rotated(1001, 800), (Phase{false, 0, 1}));
    EXPECT_EQ(rotated(1000, 801), (Phase{false, 1, 0}));
    EXPECT_EQ(rotated(1001, 801), (Phase{false, 0, 0}));

    // The same rule for the offsets an RGGB camera reports, preview or normal read-out.
    p.SetColourProperties(2, 1, 0, 0, 1);
    const Rect sensor{0, 0, 1000, 800};
    p.ComputePhase(Frame(4, 4), sensor, 0);
    EXPECT_EQ(PhaseOf(p), (Phase{false, 1, 0}));
    p.ComputePhase(Frame(4, 4, 0, 0, 1, false, true), sensor, 0);
    EXPECT_EQ(PhaseOf(p), (Phase{false, 0, 1}));
    p.ComputePhase(Frame(4, 4, 0, 0, 1, true, false), sensor, 0);
    EXPECT_EQ(PhaseOf(p), (Phase{false, 0, 1}));
    p.ComputePhase(Frame(4, 4, 3, 0, 1, true, true), sensor, 0);
    EXPECT_EQ(PhaseOf(p), (Phase{false, 0, 0}));
}

TEST(ColourPreviewTest, SensorTable) {
    for (int w : {500, 510, 752}) {
        EXPECT_EQ(TablePhase(w, 582, false, 0), (Phase{true, 0, 2})) << w;
        EXPECT_EQ(TablePhase(w, 582, true, 0), (Phase{true, 1, 3})) << w;
        EXPECT_EQ(TablePhase(w, 580, true, 0), (Phase{true, 1, 1})) << w;
    }
    // Four-row: the row phase counts modulo 4, so a start at row 2 shifts it by 2.
    EXPECT_EQ(TablePhase(752, 582, false, 0, 0, 2), (Phase{true, 0, 0}));
    EXPECT_EQ(TablePhase(752, 582, false, 0, 1, 3), (Phase{true, 1, 1}));

    EXPECT_EQ(TablePhase(659, 494, false, 0), (Phase{false, 0, 0}));
    EXPECT_EQ(TablePhase(659, 494, true, 0), (Phase{false, 0, 1}));

    // Width 1392: the row phase turns over from protocol 215 on.
    EXPECT_EQ(TablePhase(1392, 1040, false, 214), (Phase{false, 0, 1}));
    EXPECT_EQ(TablePhase(1392, 1040, true, 214), (Phase{false, 1, 0}));
    EXPECT_EQ(TablePhase(1392, 1040, false, 215), (Phase{false, 0, 0}));
    EXPECT_EQ(TablePhase(1392, 1040, true, 300), (Phase{false, 1, 1}));

    EXPECT_EQ(TablePhase(1391, 1039, false, 0), (Phase{false, 1, 0}));
    EXPECT_EQ(TablePhase(1391, 1039, true, 0), (Phase{false, 1, 0}));
    EXPECT_EQ(TablePhase(3362, 2537, false, 0), (Phase{false, 0, 1}));
    EXPECT_EQ(TablePhase(3362, 2537, true, 0), (Phase{false, 1, 1}));
    EXPECT_EQ(TablePhase(2047, 2047, false, 0), (Phase{false, 1, 0}));
    EXPECT_EQ(TablePhase(2047, 2047, true, 0), (Phase{false, 1, 0}));

    // The size rows need both sides; unknown sensors are (0,0) and the rotation rule for
    // fixed codes does not apply to the table.
    EXPECT_EQ(TablePhase(1391, 1040, false, 0), (Phase{false, 0, 0}));
    EXPECT_EQ(TablePhase(2047, 2048, false, 0), (Phase{false, 0, 0}));
    EXPECT_EQ(TablePhase(1000, 800, true, 0), (Phase{false, 0, 0}));
    // The table is for cameras that do not report an RGGB phase themselves.
    ColourPreview p;
    p.SetColourProperties(2, 1, 1, 1, 1);
    p.ComputePhase(Frame(4, 4), Rect{0, 0, 752, 582}, 0);
    EXPECT_EQ(PhaseOf(p), (Phase{false, 1, 1}));
}

TEST(ColourPreviewTest, ColourMenuStates) {
    ColourPreview p;
    auto state = [&](int id) { return p.CommandState(id).value(); };
    EXPECT_FALSE(p.CommandState(ID_COLOUR_AUTOMATIC - 1).has_value());

    // No colour type: "Automatic" is greyed, everything else can be chosen.
    p.SetColourProperties(0, 0, 0, 0, 0);
    EXPECT_FALSE(state(ID_COLOUR_AUTOMATIC).enabled);
    EXPECT_TRUE(state(ID_COLOUR_RAW).checked);
    EXPECT_FALSE(state(ID_COLOUR_COLOUR).checked);
    EXPECT_TRUE(state(ID_BAYER_AUTO).checked);
    EXPECT_TRUE(state(ID_BAYER_10).enabled);
    EXPECT_FALSE(state(ID_BAYER_10).checked);

    // Automatic: only "Automatic" is checked among the modes and fixed offsets are greyed.
    p.SetColourProperties(2, 0, 0, 0, 0);
    p.OnNewFrame(Frame(4, 4), Rect{0, 0, 4, 4}, 0);
    EXPECT_TRUE(state(ID_COLOUR_AUTOMATIC).enabled);
    EXPECT_TRUE(state(ID_COLOUR_AUTOMATIC).checked);
    EXPECT_FALSE(state(ID_COLOUR_COLOUR).checked);
    EXPECT_TRUE(state(ID_COLOUR_COLOUR).enabled);
    for (int id : {ID_BAYER_00, ID_BAYER_01, ID_BAYER_10, ID_BAYER_11}) {
        EXPECT_FALSE(state(id).enabled);
    }
    EXPECT_TRUE(state(ID_BAYER_AUTO).enabled);

    p.SetBayerCode(2);
    EXPECT_TRUE(state(ID_BAYER_10).checked);
    EXPECT_FALSE(state(ID_BAYER_AUTO).checked);
}

TEST(ColourPreviewTest, ColourMenuCommands) {
    ColourPreview p;
    p.SetColourProperties(2, 0, 0, 0, 0);
    const ImageFrame f = Frame(6, 4);
    const Rect sensor{0, 0, 6, 4};
    p.OnNewFrame(f, sensor, 0);
    ASSERT_EQ(p.Mode(), ColourPreview::Colour);

    EXPECT_FALSE(p.OnCommand(ID_COLOUR_AUTOMATIC + 1000, f, sensor, 0).has_value());

    // Fixed offsets are refused while automatic is on.
    EXPECT_EQ(p.OnCommand(ID_BAYER_11, f, sensor, 0), false);
    EXPECT_EQ(p.BayerCode(), 4);

    EXPECT_EQ(p.OnCommand(ID_COLOUR_LUMINANCE, f, sensor, 0), true);
    EXPECT_FALSE(p.Automatic());
    EXPECT_EQ(p.Mode(), ColourPreview::Luminance);
    EXPECT_TRUE(p.CommandState(ID_COLOUR_LUMINANCE)->checked);
    EXPECT_NE(p.Buffer(), nullptr);

    // A fixed code recomputes the phase at once, here with the frame's origin (0, 0).
    EXPECT_EQ(p.OnCommand(ID_BAYER_11, f, sensor, 0), true);
    EXPECT_EQ(PhaseOf(p), (Phase{false, 1, 1}));
    EXPECT_EQ(p.OnCommand(ID_BAYER_AUTO, f, sensor, 0), true);
    EXPECT_EQ(PhaseOf(p), (Phase{false, 0, 0}));

    EXPECT_EQ(p.OnCommand(ID_COLOUR_RAW, f, sensor, 0), true);
    EXPECT_EQ(p.Mode(), ColourPreview::Raw);
    EXPECT_TRUE(p.CommandState(ID_COLOUR_RAW)->checked);

    // "Automatic" waits for the next frame to choose the mode and phase.
    p.SetBayerCode(3);
    p.ComputePhase(f, sensor, 0);
    EXPECT_EQ(p.OnCommand(ID_COLOUR_AUTOMATIC, f, sensor, 0), false);
    EXPECT_TRUE(p.Automatic());
    EXPECT_EQ(p.BayerCode(), 4);
    EXPECT_EQ(p.Mode(), ColourPreview::Raw);
    EXPECT_EQ(PhaseOf(p), (Phase{false, 1, 1}));
    p.OnNewFrame(f, sensor, 0);
    EXPECT_EQ(p.Mode(), ColourPreview::Colour);
    EXPECT_EQ(PhaseOf(p), (Phase{false, 0, 0}));

    // Without a colour type "Automatic" cannot be chosen.
    ColourPreview mono;
    mono.SetColourProperties(0, 0, 0, 0, 0);
    EXPECT_EQ(mono.OnCommand(ID_COLOUR_AUTOMATIC, f, sensor, 0), false);
    EXPECT_FALSE(mono.Automatic());
}

TEST(ColourPreviewTest, NoBufferOutlivesItsFrame) {
    ColourPreview p;
    p.SetMode(ColourPreview::Colour);
    const Rect sensor{0, 0, 64, 64};
    p.OnNewFrame(Frame(64, 64), sensor, 0);
    ASSERT_NE(p.Buffer(), nullptr);

    // A raw frame of another size leaves nothing the renderer could read past.
    p.SetMode(ColourPreview::Raw);
    p.OnNewFrame(Frame(8, 8), sensor, 0);
    EXPECT_EQ(p.Buffer(), nullptr);

    // The empty frame of a disconnect.
    p.SetMode(ColourPreview::Colour);
    p.OnNewFrame(Frame(8, 8), sensor, 0);
    ASSERT_NE(p.Buffer(), nullptr);
    p.OnNewFrame(Frame(0, 0, -1, -1), Rect{}, 0);
    EXPECT_EQ(p.Buffer(), nullptr);
}

}  // namespace
}  // namespace zorvane
