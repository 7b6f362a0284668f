#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zorvane::sim {

enum class SensorKind { Mono, Rggb, FourRow, Large };
enum class CoolingKind { Setpoint, Power, OnOff, None };

// Every tunable of the simulated camera set, with the values a fresh library starts from.
struct SimOptions {
    int devices = 1;
    SensorKind sensor = SensorKind::Mono;
    // Overrides of the sensor model's own geometry; 0 = the model's value.
    int width = 0;
    int height = 0;
    float pixelWidth = 0.0f;
    float pixelHeight = 0.0f;
    int maxBinX = 8;
    int maxBinY = 8;

    // Sky and sensor.
    uint32_t seed = 1;
    double fwhm = 2.5;           // px, at focus
    double starDensity = 100.0;  // stars per megapixel of sky
    double starFlux = 200000.0;  // e-/s of the brightest stars
    double sky = 15.0;           // e-/s per pixel
    double readNoise = 8.0;      // e- rms
    double gain = 1.0;           // e- per ADU
    double bias = 1000.0;        // ADU
    double darkCurrent = 1.0;    // e-/s per pixel at the ambient temperature
    double darkDoubling = 6.0;   // degrees C per doubling of the dark current
    int hotPixels = 16;

    // Timing.
    double flushMs = 20.0;
    double waitMs = 5.0;
    double triggerDelayMs = 500.0;
    double downloadMpxPerS = 20.0;

    // Mount.
    double driftPxPerMin = 0.5;
    double driftAngleDeg = 0.0;
    bool driftAngleSet = false;  // unset: along the north guide axis
    double peAmplitude = 1.0;    // px
    double pePeriodS = 480.0;
    double guideRate = 7.5;  // px/s
    double guideAngleDeg = 30.0;
    // An INDI telescope the sky follows instead of the guide pulses ("" = none), and the image
    // scale its pointing is drawn at.
    std::string mountDevice;
    std::string mountHost;
    int mountPort = 0;
    double arcsecPerPx = 1.0;

    // Cooler.
    CoolingKind cooling = CoolingKind::Setpoint;
    double ambient = 20.0;    // degrees C
    double coolRate = 0.5;    // degrees C per second
    double coolLimit = 40.0;  // the deepest the cooler gets below ambient

    // Faults.
    bool faultUsb = false;
    bool faultConnect = false;
    // >= 0: only the first N connects fail (with or without the connect fault); -1: with the
    // connect fault every connect fails.
    int connectFailures = -1;
    bool faultNullBuffer = false;
    bool faultDisconnect = false;
    int disconnectAfter = 0;  // frames finished after a connect before the camera drops
    bool faultDisconnectFails = false;
    // The ready flag stays up once a frame has finished: taking the frame does not lower it.
    bool faultStickyReady = false;

    // A cloud: frames cloudFirst .. cloudFirst + cloudFrames - 1 (counted from 0 in the order
    // their exposures end since the library was configured) get only this fraction of the
    // light of the stars and the sky.
    long long cloudFirst = -1;
    long long cloudFrames = 0;
    double cloudTransmission = 0.0;
};

// Applies "key=value" items separated by ';' or line breaks ('#' starts a comment line) on top
// of `options`. Unknown or malformed items leave the options untouched and are described in
// `problems`; returns true when every item was understood.
bool ApplyOptions(const std::string& text, SimOptions& options, std::vector<std::string>& problems);

}  // namespace zorvane::sim
