#include "FrameRenderer.h"

#include <algorithm>
#include <cmath>

#include "NoiseSource.h"

namespace zorvane::sim {

namespace {
constexpr double kFwhmToSigma = 1.0 / 2.3548200450309493;
// Below this spread of the sampled mount positions a star is drawn once, at their mean.
constexpr double kSmearThreshold = 0.05;
// Preview read-out trades noise for speed.
constexpr double kPreviewNoiseFactor = 1.5;
}  // namespace

FrameRenderer::FrameRenderer(const SimOptions& options, const SensorModel& sensor,
                             const StarField* stars, std::vector<HotPixel> hotPixels)
    : options_(options), sensor_(sensor), stars_(stars), hotPixels_(std::move(hotPixels)) {}

void FrameRenderer::BuildStarPatches(const FramePlan& plan, std::vector<Patch>& patches,
                                     std::vector<float>& pool) const {
    if (plan.dark || plan.exposureS <= 0.0 || stars_ == nullptr) return;
    const double sigma = options_.fwhm * kFwhmToSigma;
    const double reach = 4.0 * sigma + 1.0;
    const double edgeScale = 1.0 / (sigma * std::sqrt(2.0));
    const int readX0 = plan.originX, readX1 = plan.originX + plan.width * plan.stepX;
    const int readY0 = plan.originY, readY1 = plan.originY + plan.height * plan.stepY;
    const int offX = sensor_.OffsetX(plan.preview), offY = sensor_.OffsetY(plan.preview);
    const int ncx = sensor_.classesX, ncy = sensor_.classesY;

    std::vector<Vec2> samples = plan.mountOffsets;
    if (samples.empty()) samples.push_back({});
    Vec2 mean, lo = samples[0], hi = samples[0];
    for (const Vec2& s : samples) {
        mean.x += s.x / samples.size();
        mean.y += s.y / samples.size();
        lo = {std::min(lo.x, s.x), std::min(lo.y, s.y)};
        hi = {std::max(hi.x, s.x), std::max(hi.y, s.y)};
    }
    if (std::max(hi.x - lo.x, hi.y - lo.y) < kSmearThreshold) samples.assign(1, mean);
    const size_t k = samples.size();

    std::vector<Star> stars;
    stars_->Collect(readX0 - hi.x - reach, readY0 - hi.y - reach, readX1 - lo.x + reach,
                    readY1 - lo.y + reach, stars);

    std::vector<double> edges, sumX, sumY;
    for (const Star& star : stars) {
        double minX = 1e300, maxX = -1e300, minY = 1e300, maxY = -1e300;
        for (const Vec2& s : samples) {
            minX = std::min(minX, star.x + s.x);
            maxX = std::max(maxX, star.x + s.x);
            minY = std::min(minY, star.y + s.y);
            maxY = std::max(maxY, star.y + s.y);
        }
        const int xa = std::max(readX0, static_cast<int>(std::floor(minX - reach)));
        const int xb = std::min(readX1, static_cast<int>(std::ceil(maxX + reach)));
        const int ya = std::max(readY0, static_cast<int>(std::floor(minY - reach)));
        const int yb = std::min(readY1, static_cast<int>(std::ceil(maxY + reach)));
        if (xa >= xb || ya >= yb) continue;
        const int c0 = (xa - readX0) / plan.stepX, c1 = (xb - 1 - readX0) / plan.stepX;
        const int r0 = (ya - readY0) / plan.stepY, r1 = (yb - 1 - readY0) / plan.stepY;
        const int cols = c1 - c0 + 1, rows = r1 - r0 + 1;

        // Per sample: the star's light falling on each output column (row), split by filter
        // class. sumX[(i * cols + c) * ncx + cx], sumY[(i * rows + r) * ncy + cy].
        sumX.assign(k * cols * ncx, 0.0);
        sumY.assign(k * rows * ncy, 0.0);
        for (size_t i = 0; i < k; ++i) {
            const double cx = star.x + samples[i].x, cy = star.y + samples[i].y;
            edges.resize(xb - xa + 1);
            for (int x = xa; x <= xb; ++x) edges[x - xa] = std::erf((x - cx) * edgeScale);
            for (int x = xa; x < xb; ++x) {
                const int rel = x - readX0;
                if (rel % plan.stepX >= plan.binX) continue;
                const double w = 0.5 * (edges[x - xa + 1] - edges[x - xa]);
                sumX[(i * cols + (rel / plan.stepX - c0)) * ncx + (x + offX) % ncx] += w;
            }
            edges.resize(yb - ya + 1);
            for (int y = ya; y <= yb; ++y) edges[y - ya] = std::erf((y - cy) * edgeScale);
            for (int y = ya; y < yb; ++y) {
                const int rel = y - readY0;
                if (rel % plan.stepY >= plan.binY) continue;
                const double w = 0.5 * (edges[y - ya + 1] - edges[y - ya]);
                sumY[(i * rows + (rel / plan.stepY - r0)) * ncy + (y + offY) % ncy] += w;
            }
        }

        const double electrons =
            star.flux * plan.transmission * plan.exposureS / static_cast<double>(k);
        const size_t offset = pool.size();
        pool.resize(offset + static_cast<size_t>(rows) * cols, 0.0f);
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c) {
                double v = 0.0;
                for (size_t i = 0; i < k; ++i) {
                    for (int cy = 0; cy < ncy; ++cy) {
                        const double wy = sumY[(i * rows + r) * ncy + cy];
                        if (wy == 0.0) continue;
                        double wx = 0.0;
                        for (int cx = 0; cx < ncx; ++cx) {
                            wx += sensor_.response[cy][cx] * sumX[(i * cols + c) * ncx + cx];
                        }
                        v += wx * wy;
                    }
                }
                pool[offset + static_cast<size_t>(r) * cols + c] =
                    static_cast<float>(v * electrons);
            }
        }
        patches.push_back({r0, c0, rows, cols, offset});
    }
}

void FrameRenderer::Render(const FramePlan& plan, uint16_t* out) const {
    const int width = plan.width, height = plan.height;
    if (width <= 0 || height <= 0 || out == nullptr) return;
    const int offX = sensor_.OffsetX(plan.preview), offY = sensor_.OffsetY(plan.preview);
    const int ncx = sensor_.classesX, ncy = sensor_.classesY;

    // Electrons per unbinned pixel from the sky (before the filter) and from dark current.
    double darkRate = 0.0;
    for (double t : plan.temperatures) {
        darkRate +=
            options_.darkCurrent * std::exp2((t - options_.ambient) / options_.darkDoubling);
    }
    if (!plan.temperatures.empty()) darkRate /= static_cast<double>(plan.temperatures.size());
    const double darkPerPixel = darkRate * plan.exposureS;
    const double skyPerPixel = plan.dark ? 0.0 : options_.sky * plan.transmission * plan.exposureS;
    const double darkPerBin = darkPerPixel * plan.binX * plan.binY;

    // Filter response summed over each output column's pixels, per row class.
    std::vector<float> columnResponse(static_cast<size_t>(ncy) * width, 0.0f);
    for (int c = 0; c < width; ++c) {
        for (int i = 0; i < plan.binX; ++i) {
            const int cx = (plan.originX + c * plan.stepX + i + offX) % ncx;
            for (int cy = 0; cy < ncy; ++cy) {
                columnResponse[static_cast<size_t>(cy) * width + c] += sensor_.response[cy][cx];
            }
        }
    }

    std::vector<Patch> patches;
    std::vector<float> pool;
    BuildStarPatches(plan, patches, pool);
    std::sort(patches.begin(), patches.end(),
              [](const Patch& a, const Patch& b) { return a.row0 < b.row0; });

    struct HotHit {
        int row, col;
        float electrons;
    };
    std::vector<HotHit> hot;
    for (const HotPixel& h : hotPixels_) {
        const int rx = h.x - plan.originX, ry = h.y - plan.originY;
        if (rx < 0 || ry < 0 || rx % plan.stepX >= plan.binX || ry % plan.stepY >= plan.binY) {
            continue;
        }
        const int c = rx / plan.stepX, r = ry / plan.stepY;
        if (c >= width || r >= height) continue;
        hot.push_back({r, c, static_cast<float>(darkPerPixel * (h.factor - 1.0))});
    }
    std::sort(hot.begin(), hot.end(),
              [](const HotHit& a, const HotHit& b) { return a.row < b.row; });

    const double readNoise = options_.readNoise * (plan.preview ? kPreviewNoiseFactor : 1.0);
    const float readVar = static_cast<float>(readNoise * readNoise);
    const float invGain = static_cast<float>(1.0 / options_.gain);
    const float bias = static_cast<float>(options_.bias) + 0.5f;  // + 0.5: round on truncation
    NormalSource noise(plan.noiseSeed);

    std::vector<float> signal(width), deviates(width);
    std::vector<const Patch*> active;
    size_t nextPatch = 0, nextHot = 0;
    for (int r = 0; r < height; ++r) {
        float rowCount[4] = {0, 0, 0, 0};
        for (int i = 0; i < plan.binY; ++i) {
            rowCount[(plan.originY + r * plan.stepY + i + offY) % ncy] += 1.0f;
        }
        const float sky = static_cast<float>(skyPerPixel);
        const float dark = static_cast<float>(darkPerBin);
        for (int c = 0; c < width; ++c) signal[c] = dark + sky * rowCount[0] * columnResponse[c];
        for (int cy = 1; cy < ncy; ++cy) {
            const float* resp = columnResponse.data() + static_cast<size_t>(cy) * width;
            const float scale = sky * rowCount[cy];
            for (int c = 0; c < width; ++c) signal[c] += scale * resp[c];
        }

        while (nextPatch < patches.size() && patches[nextPatch].row0 <= r) {
            active.push_back(&patches[nextPatch++]);
        }
        for (size_t i = 0; i < active.size();) {
            const Patch& p = *active[i];
            if (r >= p.row0 + p.rows) {
                active[i] = active.back();
                active.pop_back();
                continue;
            }
            const float* src = pool.data() + p.offset + static_cast<size_t>(r - p.row0) * p.cols;
            float* dst = signal.data() + p.col0;
            for (int c = 0; c < p.cols; ++c) dst[c] += src[c];
            ++i;
        }
        for (; nextHot < hot.size() && hot[nextHot].row == r; ++nextHot) {
            signal[hot[nextHot].col] += hot[nextHot].electrons;
        }

        uint16_t* row = out + static_cast<size_t>(r) * width;
        noise.Fill(deviates.data(), width);
        for (int c = 0; c < width; ++c) {
            const float e = std::max(signal[c], 0.0f);
            // Shot and read noise together: one normal deviate with their combined variance.
            const float v = e + std::sqrt(e + readVar) * deviates[c];
            const float adu = std::clamp(bias + v * invGain, 0.0f, 65535.0f);
            row[c] = static_cast<uint16_t>(static_cast<int32_t>(adu));
        }
    }
}

}  // namespace zorvane::sim
