/*
 * Test controls of the simulated camera library (libZorvaneCCDDummy.so), beside the camera
 * entry points of <zorvane/camera_api.h>. Resolve them with dlsym from the loaded library; the
 * state they touch lives in the library, shared by every user in the process.
 *
 * Positions are unbinned sensor pixels in the camera's own read-out order (the order of
 * ZorvaneImageBuffer, before any 180-degree turn by the program); pixel c spans [c, c+1).
 */
#ifndef ZORVANE_SIM_H
#define ZORVANE_SIM_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifndef ZORVANE_EXPORT
#if defined(__GNUC__)
#define ZORVANE_EXPORT __attribute__((visibility("default")))
#else
#define ZORVANE_EXPORT
#endif
#endif

/* Resets every camera to power-on (disconnected, cooler at ambient, mount at its origin, no
 * frame, empty call log) with the built-in defaults, then applies "key=value;key=value".
 * The environment and the configuration file are not read. Returns 1 when every option was
 * understood, 0 when some were reported on stderr and ignored. The clock is kept. */
ZORVANE_EXPORT int32_t ZorvaneSimConfigure(const char* options);

/* on != 0: time moves only through ZorvaneSimSetTime, starting at 0 ms; 0: the steady clock.
 * Either way the cameras are reset as by ZorvaneSimConfigure, keeping the options. */
ZORVANE_EXPORT void ZorvaneSimUseVirtualClock(int32_t on);

/* Moves virtual time to ms (absolute; earlier values are ignored). Frame-ready messages that
 * fall due are posted from inside this call, on the calling thread, after the library's lock
 * is released. Ignored on the steady clock. */
ZORVANE_EXPORT void ZorvaneSimSetTime(uint64_t ms);

/* The test camera is the one connected last (device 0 until a connect succeeds). */

/* Stars now on the test camera's sensor, brightest first. */
ZORVANE_EXPORT int32_t ZorvaneSimStarCount(void);
/* Star i: position now and flux in ADU per second over the whole star (before colour
 * filters). Returns 1, or 0 when i is out of range (outputs untouched). Any pointer may be
 * NULL. */
ZORVANE_EXPORT int32_t ZorvaneSimStar(int32_t i, double* x, double* y, double* flux);
/* Hot pixels of the test camera (fixed sensor pixels): their number, and hot pixel i with its
 * dark current as a multiple of the normal one. Returns 1, or 0 when i is out of range. */
ZORVANE_EXPORT int32_t ZorvaneSimHotPixelCount(void);
ZORVANE_EXPORT int32_t ZorvaneSimHotPixel(int32_t i, int32_t* x, int32_t* y, double* factor);
/* How far the sky has moved on the test camera's sensor since the start (drift, periodic
 * error and guide pulses): a star's position is its starting position plus this. */
ZORVANE_EXPORT void ZorvaneSimMountOffset(double* x, double* y);

/* Recent entry-point calls, one line each, oldest first, e.g.
 * "ZorvaneBin(2,2)\nZorvaneSubframePos(880,740)\n". The handle is left out; other inputs
 * follow in the ABI's order (integers %d, floats %g, a post target as 1 or 0); outputs are
 * left out. At most the newest 4096 lines are kept. Copies up to size - 1 characters and a
 * NUL (like snprintf); returns the full length. buffer may be NULL with size 0. */
ZORVANE_EXPORT int32_t ZorvaneSimCallLog(char* buffer, int32_t size);
/* Empties the call log and the call counts. */
ZORVANE_EXPORT void ZorvaneSimClearCallLog(void);
/* Calls of one entry point (by exported name) since the last clear or configure. */
ZORVANE_EXPORT int32_t ZorvaneSimCallCount(const char* entryPoint);

/* The test camera's sensor temperature now, degrees Celsius. */
ZORVANE_EXPORT double ZorvaneSimSensorTemperature(void);

typedef int32_t (*ZorvaneSimConfigure_fn)(const char*);
typedef void (*ZorvaneSimUseVirtualClock_fn)(int32_t);
typedef void (*ZorvaneSimSetTime_fn)(uint64_t);
typedef int32_t (*ZorvaneSimStarCount_fn)(void);
typedef int32_t (*ZorvaneSimStar_fn)(int32_t, double*, double*, double*);
typedef void (*ZorvaneSimMountOffset_fn)(double*, double*);
typedef int32_t (*ZorvaneSimHotPixelCount_fn)(void);
typedef int32_t (*ZorvaneSimHotPixel_fn)(int32_t, int32_t*, int32_t*, double*);
typedef int32_t (*ZorvaneSimCallLog_fn)(char*, int32_t);
typedef void (*ZorvaneSimClearCallLog_fn)(void);
typedef int32_t (*ZorvaneSimCallCount_fn)(const char*);
typedef double (*ZorvaneSimSensorTemperature_fn)(void);

#ifdef __cplusplus
}
#endif

#endif /* ZORVANE_SIM_H */
