#include "SensorModel.h"

namespace zorvane::sim {

int SensorModel::OffsetX(bool preview) const {
    return preview ? previewOffsetX : normalOffsetX;
}

int SensorModel::OffsetY(bool preview) const {
    return preview ? previewOffsetY : normalOffsetY;
}

SensorModel SensorModel::From(const SimOptions& options) {
    SensorModel s;
    s.response[0][0] = 1.0f;
    switch (options.sensor) {
        case SensorKind::Mono:
            s.width = 1392;
            s.height = 1040;
            s.pixelWidth = s.pixelHeight = 6.45f;
            s.model = "SIM-1392M";
            break;
        case SensorKind::Large:
            s.width = 4656;
            s.height = 3520;
            s.pixelWidth = s.pixelHeight = 3.8f;
            s.model = "SIM-4656M";
            break;
        case SensorKind::Rggb:
            s.width = 1600;
            s.height = 1200;
            s.pixelWidth = s.pixelHeight = 4.4f;
            s.model = "SIM-1600C";
            s.colourType = 2;
            // The preview read-out starts one column later, so its mosaic begins on green.
            s.normalOffsetX = 0;
            s.normalOffsetY = 0;
            s.previewOffsetX = 1;
            s.previewOffsetY = 0;
            s.classesX = 2;
            s.classesY = 2;
            // Site = cx + 2 * cy: red, green in a red row, green in a blue row, blue.
            s.response[0] = {0.72f, 1.0f};
            s.response[1] = {1.0f, 0.58f};
            break;
        case SensorKind::FourRow:
            s.width = 752;
            s.height = 582;
            s.pixelWidth = 8.6f;
            s.pixelHeight = 8.3f;
            s.model = "SIM-752Q";
            // Complementary 2 x 4 mosaic, reported as colour type 0: the program knows it by
            // its width. Row class (y + 2) mod 4: k = cx + 2 * cy, groups {0,4} cyan,
            // {1,5} yellow, {2,7} magenta, {3,6} green.
            s.normalOffsetY = s.previewOffsetY = 2;
            s.classesX = 2;
            s.classesY = 4;
            s.response[0] = {0.92f, 0.97f};  // cyan, yellow
            s.response[1] = {0.78f, 0.62f};  // magenta, green
            s.response[2] = {0.92f, 0.97f};  // cyan, yellow
            s.response[3] = {0.62f, 0.78f};  // green, magenta
            break;
    }
    if (options.width > 0) s.width = options.width;
    if (options.height > 0) s.height = options.height;
    if (options.pixelWidth > 0) s.pixelWidth = options.pixelWidth;
    if (options.pixelHeight > 0) s.pixelHeight = options.pixelHeight;
    return s;
}

}  // namespace zorvane::sim
