#pragma once

#include <cstdint>
#include <vector>

namespace zorvane::sim {

struct Star {
    double x = 0.0;  // sky position in sensor pixels (the sensor's place at the start)
    double y = 0.0;
    double flux = 0.0;  // e-/s over the whole star
    uint64_t id = 0;
};

// An endless seeded star field. The sky is cut into square tiles, each filled from its own
// seed, so any region gives the same stars however often and in whatever order it is asked
// for. Star counts grow toward faint magnitudes as in a real field.
class StarField {
public:
    StarField() = default;
    StarField(uint64_t seed, double starsPerMegapixel, double brightestFlux);

    // Appends the stars whose sky position lies in [x0, x1) x [y0, y1).
    void Collect(double x0, double y0, double x1, double y1, std::vector<Star>& out) const;

    static constexpr int kTile = 256;

private:
    void FillTile(int64_t tx, int64_t ty, std::vector<Star>& out) const;

    uint64_t seed_ = 0;
    double perTile_ = 0.0;
    double brightest_ = 0.0;
};

}  // namespace zorvane::sim
