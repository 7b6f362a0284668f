#pragma once

#include <zorvane/camera_api.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/Prompts.h"
#include "platform/DynamicLibrary.h"

namespace zorvane {

// The one loaded camera library and its table of entry points. Every entry point is reached
// through a forwarding member of the same name; each slot is resolved by exact export name on
// its first call and looked up again on later calls while it is missing. Without a library or
// an entry point the forwarders return a neutral result (0, false, 0.0f, nullptr) and call
// nothing. Truth values are normalised to 0/1.
class CameraLibrary {
public:
    // Logical names of the candidate libraries, in order of preference.
    static const std::vector<std::string>& Candidates();
    static constexpr const char* kManagerName = "ZorvaneCameraManager.dll";
    // The last candidate: the simulated camera.
    static constexpr const char* kSimulatedName = "ZorvaneCCDDummy.dll";
    // The camera library over an INDI camera: a candidate only when the user asked for an INDI
    // camera (otherwise no INDI server is tried), and then the first one. A scan then tries
    // nothing else and chooses it even when it finds no camera, so that connecting says why
    // rather than another camera standing in for the one asked for.
    static constexpr const char* kIndiName = "ZorvaneINDI.dll";
    static constexpr int kSlotCount = 100;
    static constexpr int kMaxDevices = 16;

    // searchDirs: folders searched, in order, for the mapped file names (see
    // platform/DynamicLibrary.h); empty = the platform default (beside the executable first).
    explicit CameraLibrary(std::vector<std::string> searchDirs = {});
    ~CameraLibrary();
    CameraLibrary(const CameraLibrary&) = delete;
    CameraLibrary& operator=(const CameraLibrary&) = delete;

    // Whether the scan (and the camera manager's list) starts with the INDI camera library.
    void OfferIndiCamera(bool offer) { offerIndi_ = offer; }

    // How calls that wait on a device are made: the INDI camera library's scan, connect and
    // unload wait on its server, for seconds when the server does not answer. The program makes
    // them on another thread while its windows keep answering, and takes the results once they
    // are back; unset, they are made at once.
    using DeviceWaits = std::function<void(const std::function<void()>& calls)>;
    void SetDeviceWaits(DeviceWaits run) { deviceWaits_ = std::move(run); }
    // Runs `calls` that way when `libraryName` is the INDI camera library, which takes its own
    // lock on every call and may be called from any thread, one call at a time. Every other
    // library is called from the window's thread, as its maker expects.
    void RunDeviceWait(const std::string& libraryName, const std::function<void()>& calls);
    // The candidates the next ChooseCamera uses, in order of preference.
    std::vector<std::string> ScanCandidates() const;

    // Loads a library by logical name ("ZorvaneCCD.dll"); clears every cached entry point.
    bool LoadLibrary(const std::string& logicalName);
    void FreeLibrary();
    bool IsLoaded() const;
    // Logical name of the loaded library; empty when none.
    const std::string& LoadedName() const { return loadedName_; }

    // Chooses a camera through the camera manager when it is installed, otherwise by scanning
    // the candidates (devices 0..15). Leaves the chosen library loaded; returns the device index
    // or -1 (after "No available camera" when nothing offers a camera; an INDI camera asked for
    // is device 0 of its library whether or not it answered).
    int ChooseCamera(Prompts& prompts);
    // Loads the camera manager only for this call; does nothing when it is absent.
    void ReleaseManagerLocks(uint32_t token);

    const std::string& LibraryVersionText() const { return versionText_; }
    uint32_t ManagerLockToken() const { return lockToken_; }

    // ---- forwarding members, named after the entry points ----
    int32_t ZorvaneAPIVersion();
    bool ZorvaneDeviceIsCamera(int32_t device);
    bool ZorvaneDeviceSerial(int32_t device, char* serial40);
    void ZorvaneSetupDialog();
    ZorvaneHandle ZorvaneConnect(int32_t device);
    bool ZorvaneDisconnect(ZorvaneHandle h);
    bool ZorvaneIsConnected(ZorvaneHandle h);
    int32_t ZorvaneProperties(ZorvaneHandle h, CameraProperties* props);
    int32_t ZorvaneColourProperties(ZorvaneHandle h, int32_t* colourType, int32_t* normalX,
                                    int32_t* normalY, int32_t* previewX, int32_t* previewY);
    void ZorvaneAutoAdjustBlackLevel(ZorvaneHandle h, bool enable);
    void ZorvaneGetBin(ZorvaneHandle h, int32_t* binX, int32_t* binY);
    void ZorvaneGetMaxBin(ZorvaneHandle h, int32_t* maxBinX, int32_t* maxBinY);
    void ZorvaneGetSubframe(ZorvaneHandle h, int32_t* x, int32_t* y, int32_t* width,
                            int32_t* height);
    void ZorvaneSubframePos(ZorvaneHandle h, int32_t x, int32_t y);
    void ZorvaneSubframeSize(ZorvaneHandle h, int32_t width, int32_t height);
    void ZorvaneBin(ZorvaneHandle h, int32_t binX, int32_t binY);
    bool ZorvaneGetAmplifierSwitched(ZorvaneHandle h);
    void ZorvaneSetAmplifierSwitched(ZorvaneHandle h, bool on);
    void ZorvanePrechargeMode(ZorvaneHandle h, int32_t mode);
    void ZorvaneFIFO(ZorvaneHandle h, bool on);
    void ZorvaneHighPriority(ZorvaneHandle h, bool on);
    int32_t ZorvaneGetProcessing(ZorvaneHandle h);
    void ZorvaneSetProcessing(ZorvaneHandle h, int32_t flags);
    void ZorvaneTriggeredExposure(ZorvaneHandle h, bool on);
    void ZorvaneSetPreview(ZorvaneHandle h, bool on);
    void ZorvaneSetSubSample(ZorvaneHandle h, bool on);
    void ZorvaneSetDarkMode(ZorvaneHandle h, bool on);
    // target nullptr with message, wParam and lParam 0 cancels the frame-ready request.
    void ZorvaneExposureReadyCallback(ZorvaneHandle h, const ZorvanePostTarget* target,
                                      uint32_t message, uintptr_t wParam, intptr_t lParam);
    void ZorvaneStartExposure(ZorvaneHandle h, float seconds);
    void ZorvaneStopExposure(ZorvaneHandle h);
    void ZorvaneAbortExposure(ZorvaneHandle h);
    bool ZorvaneImageReady(ZorvaneHandle h);
    int32_t ZorvaneCameraState(ZorvaneHandle h);
    float ZorvaneExposureTimeRemaining(ZorvaneHandle h);
    int32_t ZorvaneDownloadPercent(ZorvaneHandle h);
    float ZorvaneLastExposureDuration(ZorvaneHandle h);
    const char* ZorvaneLastStartTime(ZorvaneHandle h);
    int32_t ZorvaneLastStartTimeMilliseconds(ZorvaneHandle h);
    void ZorvaneGetImageData(ZorvaneHandle h, int32_t* x, int32_t* y, int32_t* width,
                             int32_t* height, int32_t* binX, int32_t* binY);
    const uint16_t* ZorvaneImageBuffer(ZorvaneHandle h);
    void ZorvaneClearVRegs(ZorvaneHandle h);
    void ZorvanePulseGuide(ZorvaneHandle h, int32_t direction, int32_t milliseconds);
    int32_t ZorvaneTemperatureSensorInfo(ZorvaneHandle h, int32_t sensor, int32_t* value);
    int32_t ZorvaneCoolingInfo(ZorvaneHandle h, int32_t* flags, int32_t* level, int32_t* minLevel,
                               int32_t* maxLevel, int32_t* setpoint);
    void ZorvaneSetCooling(ZorvaneHandle h, int32_t setpoint);
    void ZorvaneCoolerWarmUp(ZorvaneHandle h);
    int32_t ZorvaneDiagnosticUSBError(ZorvaneHandle h);
    int32_t ZorvaneLastErrorText(char* text, int32_t size);
    // The library's own words for its last failure; empty when it has none (or cannot say).
    std::string LastErrorText();

    // For tests: whether the slot of an entry point currently holds a resolved pointer.
    bool IsResolved(const char* entryPoint) const;

private:
    // Resolves the slot of one entry point (lazily, retried while missing); nullptr when absent.
    void* Resolve(int slot, const char* name);
    template <typename Fn>
    Fn Entry(int slot, const char* name) {
        return reinterpret_cast<Fn>(Resolve(slot, name));
    }
    // Calls the entry point of a slot, or returns the neutral result of its type.
    template <typename Fn, typename... Args>
    auto Forward(int slot, Args... args);

    std::vector<std::string> searchDirs_;
    DynamicLibrary module_;
    std::string loadedName_;
    std::array<void*, kSlotCount> slots_{};
    std::string versionText_;
    bool offerIndi_ = false;
    DeviceWaits deviceWaits_;
    uint32_t lockToken_ = 0;
};

}  // namespace zorvane
