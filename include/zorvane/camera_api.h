/*
 * The C interface between the program and a camera library (and the optional camera manager).
 *
 * The program never links a camera library: it loads one at run time and resolves every entry
 * point by the exported name below. Truth values cross the interface as int32_t (non-zero =
 * true); the program normalises them to 0 or 1. All records are little-endian.
 */
#ifndef ZORVANE_CAMERA_API_H
#define ZORVANE_CAMERA_API_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define ZORVANE_EXPORT __attribute__((visibility("default")))
#else
#define ZORVANE_EXPORT
#endif

/* Opaque, pointer-sized camera handle; 0 means not connected. */
typedef void* ZorvaneHandle;

/* The properties record filled by ZorvaneProperties: 108 bytes, little-endian. */
typedef struct CameraProperties {
    int32_t protocol;       /* >> 8 major, low 8 bits minor */
    int32_t pixelsX;        /* sensor width, unbinned pixels */
    int32_t pixelsY;        /* sensor height, unbinned pixels */
    float pixelSizeX;       /* micrometres */
    float pixelSizeY;       /* micrometres */
    int32_t sensorFlags;    /* bit 0: VBE read-out option */
    int32_t cameraFlags;    /* 2 triggered, 4 preview, 8 subsample, 16 dark */
    char model[40];         /* NUL-terminated */
    char manufacturer[40];  /* NUL-terminated */
} CameraProperties;

#ifdef __cplusplus
static_assert(sizeof(CameraProperties) == 108, "CameraProperties must be 108 bytes");
static_assert(offsetof(CameraProperties, protocol) == 0, "layout");
static_assert(offsetof(CameraProperties, pixelsX) == 4, "layout");
static_assert(offsetof(CameraProperties, pixelsY) == 8, "layout");
static_assert(offsetof(CameraProperties, pixelSizeX) == 12, "layout");
static_assert(offsetof(CameraProperties, pixelSizeY) == 16, "layout");
static_assert(offsetof(CameraProperties, sensorFlags) == 20, "layout");
static_assert(offsetof(CameraProperties, cameraFlags) == 24, "layout");
static_assert(offsetof(CameraProperties, model) == 28, "layout");
static_assert(offsetof(CameraProperties, manufacturer) == 68, "layout");
#else
_Static_assert(sizeof(CameraProperties) == 108, "CameraProperties must be 108 bytes");
#endif

/* Camera state codes returned by ZorvaneCameraState; every other value means idle. */
enum {
    ZORVANE_STATE_IDLE = 0,
    ZORVANE_STATE_WAITING = 1,
    ZORVANE_STATE_EXPOSING = 2,
    ZORVANE_STATE_DOWNLOADING = 4,
    ZORVANE_STATE_FLUSHING = 5
};

/* Camera capability bits of CameraProperties.cameraFlags. */
enum {
    ZORVANE_CAMERA_TRIGGER = 2,
    ZORVANE_CAMERA_PREVIEW = 4,
    ZORVANE_CAMERA_SUBSAMPLE = 8,
    ZORVANE_CAMERA_DARK = 16
};

/* Cooling flag bits of ZorvaneCoolingInfo. */
enum {
    ZORVANE_COOLING_CONTROL = 2,
    ZORVANE_COOLING_ONOFF = 4,
    ZORVANE_COOLING_POWER = 8,
    ZORVANE_COOLING_SETPOINT = 16,
    ZORVANE_COOLING_WARMING_UP = 32,
    ZORVANE_COOLING_COOLING = 64
};

/* Guide directions of ZorvanePulseGuide. */
enum { ZORVANE_GUIDE_NORTH = 0, ZORVANE_GUIDE_SOUTH = 1, ZORVANE_GUIDE_EAST = 2, ZORVANE_GUIDE_WEST = 3 };

/* The frame-ready message number the program asks for (the first user message number). */
#define ZORVANE_MSG_FRAME_READY 0x401u

/*
 * Where the library posts its frame-ready message. The library calls post(context, message,
 * wParam, lParam) from a thread of its own; the receiver must only queue the message. The
 * record must stay valid until the request is cancelled.
 */
typedef struct ZorvanePostTarget {
    void (*post)(void* context, uint32_t message, uintptr_t wParam, intptr_t lParam);
    void* context;
} ZorvanePostTarget;

/* ---- camera library entry points (exported names = function names) ---- */
typedef int32_t (*ZorvaneAPIVersion_fn)(void);
typedef int32_t (*ZorvaneDeviceIsCamera_fn)(int32_t device);
typedef int32_t (*ZorvaneDeviceSerial_fn)(int32_t device, char* serial /* 40 bytes */);
typedef int32_t (*ZorvaneSetupDialog_fn)(void);
typedef ZorvaneHandle (*ZorvaneConnect_fn)(int32_t device);
typedef int32_t (*ZorvaneDisconnect_fn)(ZorvaneHandle h);
typedef int32_t (*ZorvaneIsConnected_fn)(ZorvaneHandle h);
typedef int32_t (*ZorvaneProperties_fn)(ZorvaneHandle h, CameraProperties* props);
typedef int32_t (*ZorvaneColourProperties_fn)(ZorvaneHandle h, int32_t* colourType, int32_t* normalX,
                                              int32_t* normalY, int32_t* previewX, int32_t* previewY);
typedef int32_t (*ZorvaneAutoAdjustBlackLevel_fn)(ZorvaneHandle h, int32_t enable);
typedef int32_t (*ZorvaneGetBin_fn)(ZorvaneHandle h, int32_t* binX, int32_t* binY);
typedef int32_t (*ZorvaneGetMaxBin_fn)(ZorvaneHandle h, int32_t* maxBinX, int32_t* maxBinY);
typedef int32_t (*ZorvaneGetSubframe_fn)(ZorvaneHandle h, int32_t* x, int32_t* y, int32_t* width,
                                         int32_t* height);
typedef int32_t (*ZorvaneSubframePos_fn)(ZorvaneHandle h, int32_t x, int32_t y);
typedef int32_t (*ZorvaneSubframeSize_fn)(ZorvaneHandle h, int32_t width, int32_t height);
typedef int32_t (*ZorvaneBin_fn)(ZorvaneHandle h, int32_t binX, int32_t binY);
typedef int32_t (*ZorvaneGetAmplifierSwitched_fn)(ZorvaneHandle h);
typedef int32_t (*ZorvaneSetAmplifierSwitched_fn)(ZorvaneHandle h, int32_t on);
typedef int32_t (*ZorvanePrechargeMode_fn)(ZorvaneHandle h, int32_t mode);
typedef int32_t (*ZorvaneFIFO_fn)(ZorvaneHandle h, int32_t on);
typedef int32_t (*ZorvaneHighPriority_fn)(ZorvaneHandle h, int32_t on);
typedef int32_t (*ZorvaneGetProcessing_fn)(ZorvaneHandle h);
typedef int32_t (*ZorvaneSetProcessing_fn)(ZorvaneHandle h, int32_t flags);
typedef int32_t (*ZorvaneTriggeredExposure_fn)(ZorvaneHandle h, int32_t on);
typedef int32_t (*ZorvaneSetPreview_fn)(ZorvaneHandle h, int32_t on);
typedef int32_t (*ZorvaneSetSubSample_fn)(ZorvaneHandle h, int32_t on);
typedef int32_t (*ZorvaneSetDarkMode_fn)(ZorvaneHandle h, int32_t on);
/* target == NULL with message, wParam and lParam 0 cancels the request. */
typedef int32_t (*ZorvaneExposureReadyCallback_fn)(ZorvaneHandle h, const ZorvanePostTarget* target,
                                                   uint32_t message, uintptr_t wParam, intptr_t lParam);
typedef int32_t (*ZorvaneStartExposure_fn)(ZorvaneHandle h, float seconds);
typedef int32_t (*ZorvaneStopExposure_fn)(ZorvaneHandle h);
typedef int32_t (*ZorvaneAbortExposure_fn)(ZorvaneHandle h);
typedef int32_t (*ZorvaneImageReady_fn)(ZorvaneHandle h);
typedef int32_t (*ZorvaneCameraState_fn)(ZorvaneHandle h);
typedef float (*ZorvaneExposureTimeRemaining_fn)(ZorvaneHandle h);
typedef int32_t (*ZorvaneDownloadPercent_fn)(ZorvaneHandle h);
typedef float (*ZorvaneLastExposureDuration_fn)(ZorvaneHandle h);
/* "YYYY-MM-DD hh:mm:ss": a ten-character date, one separator, the time of day (UTC). */
typedef const char* (*ZorvaneLastStartTime_fn)(ZorvaneHandle h);
typedef int32_t (*ZorvaneLastStartTimeMilliseconds_fn)(ZorvaneHandle h);
typedef int32_t (*ZorvaneGetImageData_fn)(ZorvaneHandle h, int32_t* x, int32_t* y, int32_t* width,
                                          int32_t* height, int32_t* binX, int32_t* binY);
typedef const uint16_t* (*ZorvaneImageBuffer_fn)(ZorvaneHandle h);
typedef int32_t (*ZorvaneClearVRegs_fn)(ZorvaneHandle h);
typedef int32_t (*ZorvanePulseGuide_fn)(ZorvaneHandle h, int32_t direction, int32_t milliseconds);
typedef int32_t (*ZorvaneTemperatureSensorInfo_fn)(ZorvaneHandle h, int32_t sensor, int32_t* value);
typedef int32_t (*ZorvaneCoolingInfo_fn)(ZorvaneHandle h, int32_t* flags, int32_t* level,
                                         int32_t* minLevel, int32_t* maxLevel, int32_t* setpoint);
typedef int32_t (*ZorvaneSetCooling_fn)(ZorvaneHandle h, int32_t setpoint);
typedef int32_t (*ZorvaneCoolerWarmUp_fn)(ZorvaneHandle h);
typedef int32_t (*ZorvaneDiagnosticUSBError_fn)(ZorvaneHandle h);
/*
 * Optional: why the library's last connect or exposure failed, in words for the user, when the
 * failure was not about the frame itself (the server or the device was not there, the camera
 * did not start the exposure). Writes at most size bytes, NUL-terminated; returns the length
 * written, 0 when there is nothing to explain.
 */
typedef int32_t (*ZorvaneLastErrorText_fn)(char* text, int32_t size);

/* ---- camera manager exports ---- */
/* candidates: the candidate file names, ended by an empty entry "". */
typedef uint32_t (*ZorvaneMgrChooseCamera_fn)(const char* appTitle, const char* const* candidates,
                                              int32_t reserved1, int32_t reserved2,
                                              int32_t* libraryIndex, int32_t* deviceIndex);
typedef int32_t (*ZorvaneMgrReleaseLocks_fn)(uint32_t token);

#ifdef ZORVANE_DECLARE_EXPORTS
/* Declarations for libraries that implement the interface (the simulated camera, fixtures). */
ZORVANE_EXPORT int32_t ZorvaneAPIVersion(void);
ZORVANE_EXPORT int32_t ZorvaneDeviceIsCamera(int32_t device);
ZORVANE_EXPORT int32_t ZorvaneDeviceSerial(int32_t device, char* serial);
ZORVANE_EXPORT int32_t ZorvaneSetupDialog(void);
ZORVANE_EXPORT ZorvaneHandle ZorvaneConnect(int32_t device);
ZORVANE_EXPORT int32_t ZorvaneDisconnect(ZorvaneHandle h);
ZORVANE_EXPORT int32_t ZorvaneIsConnected(ZorvaneHandle h);
ZORVANE_EXPORT int32_t ZorvaneProperties(ZorvaneHandle h, CameraProperties* props);
ZORVANE_EXPORT int32_t ZorvaneColourProperties(ZorvaneHandle h, int32_t* colourType, int32_t* normalX,
                                               int32_t* normalY, int32_t* previewX, int32_t* previewY);
ZORVANE_EXPORT int32_t ZorvaneAutoAdjustBlackLevel(ZorvaneHandle h, int32_t enable);
ZORVANE_EXPORT int32_t ZorvaneGetBin(ZorvaneHandle h, int32_t* binX, int32_t* binY);
ZORVANE_EXPORT int32_t ZorvaneGetMaxBin(ZorvaneHandle h, int32_t* maxBinX, int32_t* maxBinY);
ZORVANE_EXPORT int32_t ZorvaneGetSubframe(ZorvaneHandle h, int32_t* x, int32_t* y, int32_t* width,
                                          int32_t* height);
ZORVANE_EXPORT int32_t ZorvaneSubframePos(ZorvaneHandle h, int32_t x, int32_t y);
ZORVANE_EXPORT int32_t ZorvaneSubframeSize(ZorvaneHandle h, int32_t width, int32_t height);
ZORVANE_EXPORT int32_t ZorvaneBin(ZorvaneHandle h, int32_t binX, int32_t binY);
ZORVANE_EXPORT int32_t ZorvaneGetAmplifierSwitched(ZorvaneHandle h);
ZORVANE_EXPORT int32_t ZorvaneSetAmplifierSwitched(ZorvaneHandle h, int32_t on);
ZORVANE_EXPORT int32_t ZorvanePrechargeMode(ZorvaneHandle h, int32_t mode);
ZORVANE_EXPORT int32_t ZorvaneFIFO(ZorvaneHandle h, int32_t on);
ZORVANE_EXPORT int32_t ZorvaneHighPriority(ZorvaneHandle h, int32_t on);
ZORVANE_EXPORT int32_t ZorvaneGetProcessing(ZorvaneHandle h);
ZORVANE_EXPORT int32_t ZorvaneSetProcessing(ZorvaneHandle h, int32_t flags);
ZORVANE_EXPORT int32_t ZorvaneTriggeredExposure(ZorvaneHandle h, int32_t on);
ZORVANE_EXPORT int32_t ZorvaneSetPreview(ZorvaneHandle h, int32_t on);
ZORVANE_EXPORT int32_t ZorvaneSetSubSample(ZorvaneHandle h, int32_t on);
ZORVANE_EXPORT int32_t ZorvaneSetDarkMode(ZorvaneHandle h, int32_t on);
ZORVANE_EXPORT int32_t ZorvaneExposureReadyCallback(ZorvaneHandle h, const ZorvanePostTarget* target,
                                                    uint32_t message, uintptr_t wParam, intptr_t lParam);
ZORVANE_EXPORT int32_t ZorvaneStartExposure(ZorvaneHandle h, float seconds);
ZORVANE_EXPORT int32_t ZorvaneStopExposure(ZorvaneHandle h);
ZORVANE_EXPORT int32_t ZorvaneAbortExposure(ZorvaneHandle h);
ZORVANE_EXPORT int32_t ZorvaneImageReady(ZorvaneHandle h);
ZORVANE_EXPORT int32_t ZorvaneCameraState(ZorvaneHandle h);
ZORVANE_EXPORT float ZorvaneExposureTimeRemaining(ZorvaneHandle h);
ZORVANE_EXPORT int32_t ZorvaneDownloadPercent(ZorvaneHandle h);
ZORVANE_EXPORT float ZorvaneLastExposureDuration(ZorvaneHandle h);
ZORVANE_EXPORT const char* ZorvaneLastStartTime(ZorvaneHandle h);
ZORVANE_EXPORT int32_t ZorvaneLastStartTimeMilliseconds(ZorvaneHandle h);
ZORVANE_EXPORT int32_t ZorvaneGetImageData(ZorvaneHandle h, int32_t* x, int32_t* y, int32_t* width,
                                           int32_t* height, int32_t* binX, int32_t* binY);
ZORVANE_EXPORT const uint16_t* ZorvaneImageBuffer(ZorvaneHandle h);
ZORVANE_EXPORT int32_t ZorvaneClearVRegs(ZorvaneHandle h);
ZORVANE_EXPORT int32_t ZorvanePulseGuide(ZorvaneHandle h, int32_t direction, int32_t milliseconds);
ZORVANE_EXPORT int32_t ZorvaneTemperatureSensorInfo(ZorvaneHandle h, int32_t sensor, int32_t* value);
ZORVANE_EXPORT int32_t ZorvaneCoolingInfo(ZorvaneHandle h, int32_t* flags, int32_t* level,
                                          int32_t* minLevel, int32_t* maxLevel, int32_t* setpoint);
ZORVANE_EXPORT int32_t ZorvaneSetCooling(ZorvaneHandle h, int32_t setpoint);
ZORVANE_EXPORT int32_t ZorvaneCoolerWarmUp(ZorvaneHandle h);
ZORVANE_EXPORT int32_t ZorvaneDiagnosticUSBError(ZorvaneHandle h);
ZORVANE_EXPORT int32_t ZorvaneLastErrorText(char* text, int32_t size);

ZORVANE_EXPORT uint32_t ZorvaneMgrChooseCamera(const char* appTitle, const char* const* candidates,
                                               int32_t reserved1, int32_t reserved2,
                                               int32_t* libraryIndex, int32_t* deviceIndex);
ZORVANE_EXPORT int32_t ZorvaneMgrReleaseLocks(uint32_t token);
#endif /* ZORVANE_DECLARE_EXPORTS */

#ifdef __cplusplus
}
#endif

#endif /* ZORVANE_CAMERA_API_H */
