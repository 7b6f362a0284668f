// The deviation charts in virtual time: 3-s slots, the statistics window, the scale memory,
// the labels, Clear, and the plotted points.

#include <gtest/gtest.h>

#include <cmath>

#include "guiding/DeviationHistory.h"

using namespace zorvane;

namespace {

struct FakeClock : Clock {
    uint64_t now = 100000;
    uint64_t Milliseconds() override { return now; }
};

using Axis = DeviationHistory::Axis;

}  // namespace

TEST(DeviationHistory, SlotsMoveEveryThreeSecondsOnTheirGrid) {
    FakeClock clock;
    DeviationHistory h(clock);
    // After Clear the first interval fills only slot 199.
    h.AddDeviation(1.0f, -1.0f);
    clock.now += 2000;
    h.AddDeviation(2.0f, -2.0f);
    EXPECT_EQ(h.FirstValidSlot(), 199);
    EXPECT_EQ(h.Value(Axis::RA, 199), 2.0f);
    EXPECT_EQ(h.Value(Axis::Dec, 199), -2.0f);
    EXPECT_EQ(h.Value(Axis::RA, 198), 0.0f);
    EXPECT_EQ(h.Stats(Axis::RA).count, 0);  // nothing completed yet

    // 3.5 s after the first value: the interval's last value moves into slot 198.
    clock.now += 1500;
    h.AddDeviation(3.0f, -3.0f);
    EXPECT_EQ(h.FirstValidSlot(), 198);
    EXPECT_EQ(h.Value(Axis::RA, 198), 2.0f);
    EXPECT_EQ(h.Value(Axis::RA, 199), 3.0f);
    EXPECT_EQ(h.Last(Axis::RA), 3.0f);
    EXPECT_EQ(h.Last(Axis::Dec), -3.0f);

    // The grid stays at 3-s steps from the first value: 6.2 s after it is a new slot, 5.9 s
    // was not.
    clock.now = 100000 + 5900;
    h.AddDeviation(4.0f, 0.0f);
    EXPECT_EQ(h.FirstValidSlot(), 198);
    clock.now = 100000 + 6200;
    h.AddDeviation(5.0f, 0.0f);
    EXPECT_EQ(h.FirstValidSlot(), 197);
    EXPECT_EQ(h.Value(Axis::RA, 198), 4.0f);

    // After a long pause one slot moves, and the grid restarts at the new value.
    clock.now += 60000;
    h.AddDeviation(6.0f, 0.0f);
    EXPECT_EQ(h.FirstValidSlot(), 196);
    clock.now += 2999;
    h.AddDeviation(7.0f, 0.0f);
    EXPECT_EQ(h.FirstValidSlot(), 196);

    h.Clear();
    EXPECT_EQ(h.FirstValidSlot(), 199);
    EXPECT_EQ(h.Value(Axis::RA, 197), 0.0f);
    EXPECT_EQ(h.Stats(Axis::RA).count, 0);
    EXPECT_EQ(h.ScaleMemory(Axis::RA), 0.0f);
}

TEST(DeviationHistory, StatisticsCoverTheLastCompletedSlotsOnly) {
    FakeClock clock;
    DeviationHistory h(clock);
    // Slot values 1, 2, 3, ... one per 3 s; the running one is left out.
    for (int i = 1; i <= 30; ++i) {
        h.AddDeviation(static_cast<float>(i), 0.0f);
        clock.now += 3000 + 1;
    }
    // 29 completed slots: only 180..198 (values 11..29) count.
    const DeviationHistory::Statistics s = h.Stats(Axis::RA);
    EXPECT_EQ(s.count, 19);
    EXPECT_FLOAT_EQ(s.mean, 20.0f);
    EXPECT_NEAR(s.spread, std::sqrt(30.0f), 1e-3);
}

TEST(DeviationHistory, SteadyOffsetGivesNoSpreadScaleAndHalfUnitLabels) {
    // A steady offset, no scatter. For 0.255 px over 19 slots the mean of squares minus the
    // squared mean comes out below zero in single precision: the spread must be 0, not NaN.
    FakeClock clock;
    DeviationHistory h(clock);
    for (int i = 0; i < 25; ++i) {
        h.AddDeviation(0.3f, 0.255f);
        clock.now += 3001;
    }
    EXPECT_EQ(h.Stats(Axis::Dec).spread, 0.0f);
    EXPECT_NEAR(h.Stats(Axis::RA).spread, 0.0f, 1e-3f);
    for (Axis a : {Axis::RA, Axis::Dec}) {
        const DeviationPlot p = PlotDeviation(h, a, Rect{0, 0, 203, 72}, 0);
        EXPECT_NEAR(p.scale, a == Axis::RA ? 0.3f : 0.255f, 2e-3f);
        EXPECT_EQ(p.topLabel, "+0.5");
        EXPECT_EQ(p.bottomLabel, "-0.5");
    }
}

TEST(DeviationHistory, ScaleMovesOnlyBeyondTenPercent) {
    FakeClock clock;
    DeviationHistory h(clock);
    DeviationHistory::Statistics s;
    s.mean = 1.0f;
    EXPECT_FLOAT_EQ(h.Scale(Axis::Dec, s), 1.0f);
    s.mean = 1.09f;  // within 10 %: the remembered scale stays
    EXPECT_FLOAT_EQ(h.Scale(Axis::Dec, s), 1.0f);
    s.mean = 0.91f;
    EXPECT_FLOAT_EQ(h.Scale(Axis::Dec, s), 1.0f);
    s.mean = 1.2f;
    EXPECT_FLOAT_EQ(h.Scale(Axis::Dec, s), 1.2f);
    s.mean = 0.5f;
    s.spread = 0.1f;  // 2 x spread + |mean|
    EXPECT_FLOAT_EQ(h.Scale(Axis::Dec, s), 0.7f);
    // The other axis keeps its own memory; tiny deviations still get a scale.
    s = {};
    EXPECT_FLOAT_EQ(h.Scale(Axis::RA, s), 0.01f);

    for (auto [scale, label] : {std::pair{0.3f, 0.5f},
                                {0.01f, 0.01f},
                                {0.011f, 0.02f},
                                {1.5f, 2.0f},
                                {4.0f, 5.0f},
                                {7.0f, 10.0f},
                                {25.0f, 50.0f}})
        EXPECT_NEAR(ChartLabelValue(scale), label, label * 1e-5) << scale;
}

TEST(DeviationHistory, PlotHasZeroLineAndClampedPolyline) {
    FakeClock clock;
    DeviationHistory h(clock);
    // -100, 1 and 0.005 land in slots 173-175, before the statistics window; the zeros after
    // them keep the scale at its floor of 0.01 (label 0.01).
    for (float dec : {-100.0f, 1.0f, 0.005f}) {
        h.AddDeviation(0.0f, dec);
        clock.now += 3001;
    }
    for (int i = 0; i < 24; ++i) {
        h.AddDeviation(0.0f, 0.0f);
        clock.now += 3001;
    }
    const Rect frame{10, 20, 213, 92};  // 72 high: mid 56, at most 34 up or down
    const DeviationPlot p = PlotDeviation(h, Axis::Dec, frame, 1u << 1);
    EXPECT_FLOAT_EQ(p.labelValue, 0.01f);
    EXPECT_EQ(p.zeroFrom, (Point{11, 56}));
    EXPECT_EQ(p.zeroTo, (Point{210, 56}));
    EXPECT_EQ(p.polyline[0], (Point{11, 56}));
    EXPECT_EQ(p.polyline[1], (Point{11, 56}));          // slot 0, empty
    EXPECT_EQ(p.polyline[174], (Point{184, 90}));       // -100: clamped below
    EXPECT_EQ(p.polyline[175], (Point{185, 22}));       // 1: clamped above
    EXPECT_EQ(p.polyline[176], (Point{186, 56 - 16}));  // 0.005 x 72 x 0.45 / 0.01
    EXPECT_EQ(p.polyline[199], (Point{209, 56}));
    // Dec's lamps: north above, south below (lit); RA's are not lit by a south pulse.
    EXPECT_EQ(p.upperMark, (Rect{222, 41, 232, 51}));
    EXPECT_EQ(p.lowerMark, (Rect{222, 61, 232, 71}));
    EXPECT_FALSE(p.upperLit);
    EXPECT_TRUE(p.lowerLit);
    EXPECT_FALSE(PlotDeviation(h, Axis::RA, frame, 1u << 1).lowerLit);
}
