#include "camera/CameraLibrary.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace zorvane {

namespace {

constexpr const char* kAppTitle = "Zorvane Capture";

// Every entry point the program calls, in slot order. The slot, the export name and the
// function type of a forwarder all come from this one list.
// clang-format off
#define ZORVANE_ENTRY_POINTS(X)                                                        \
    X(ZorvaneAPIVersion) X(ZorvaneDeviceIsCamera) X(ZorvaneDeviceSerial)               \
    X(ZorvaneSetupDialog) X(ZorvaneConnect) X(ZorvaneDisconnect) X(ZorvaneIsConnected) \
    X(ZorvaneProperties) X(ZorvaneColourProperties) X(ZorvaneAutoAdjustBlackLevel)     \
    X(ZorvaneGetBin) X(ZorvaneGetMaxBin) X(ZorvaneGetSubframe) X(ZorvaneSubframePos)   \
    X(ZorvaneSubframeSize) X(ZorvaneBin) X(ZorvaneGetAmplifierSwitched)                \
    X(ZorvaneSetAmplifierSwitched) X(ZorvanePrechargeMode) X(ZorvaneFIFO)              \
    X(ZorvaneHighPriority) X(ZorvaneGetProcessing) X(ZorvaneSetProcessing)             \
    X(ZorvaneTriggeredExposure) X(ZorvaneSetPreview) X(ZorvaneSetSubSample)            \
    X(ZorvaneSetDarkMode) X(ZorvaneExposureReadyCallback) X(ZorvaneStartExposure)      \
    X(ZorvaneStopExposure) X(ZorvaneAbortExposure) X(ZorvaneImageReady)                \
    X(ZorvaneCameraState) X(ZorvaneExposureTimeRemaining) X(ZorvaneDownloadPercent)    \
    X(ZorvaneLastExposureDuration) X(ZorvaneLastStartTime)                             \
    X(ZorvaneLastStartTimeMilliseconds) X(ZorvaneGetImageData) X(ZorvaneImageBuffer)   \
    X(ZorvaneClearVRegs) X(ZorvanePulseGuide) X(ZorvaneTemperatureSensorInfo)          \
    X(ZorvaneCoolingInfo) X(ZorvaneSetCooling) X(ZorvaneCoolerWarmUp)                  \
    X(ZorvaneDiagnosticUSBError) X(ZorvaneLastErrorText)
// clang-format on

enum Slot : int {
#define ZORVANE_SLOT(name) k##name,
    ZORVANE_ENTRY_POINTS(ZORVANE_SLOT)
#undef ZORVANE_SLOT
        kUsedSlots
};

constexpr const char* kEntryNames[] = {
#define ZORVANE_NAME(name) #name,
    ZORVANE_ENTRY_POINTS(ZORVANE_NAME)
#undef ZORVANE_NAME
};

static_assert(kUsedSlots <= CameraLibrary::kSlotCount, "the entry-point table has 100 slots");

}  // namespace

// Forward<name_fn>(slot-of-name, args...), spelled once per forwarder.
#define ZORVANE_CALL(name, ...) Forward<name##_fn>(k##name __VA_OPT__(, ) __VA_ARGS__)

template <typename Fn, typename... Args>
auto CameraLibrary::Forward(int slot, Args... args) {
    using Result = std::invoke_result_t<Fn, Args...>;
    const Fn fn = Entry<Fn>(slot, kEntryNames[slot]);
    if (!fn) return Result{};
    return fn(args...);
}

const std::vector<std::string>& CameraLibrary::Candidates() {
    static const std::vector<std::string> names = {"ZorvaneCCD.dll", "ZorvaneHSC.dll",
                                                   kSimulatedName};
    return names;
}

std::vector<std::string> CameraLibrary::ScanCandidates() const {
    std::vector<std::string> names = Candidates();
    if (offerIndi_) names.insert(names.begin(), kIndiName);
    return names;
}

CameraLibrary::CameraLibrary(std::vector<std::string> searchDirs)
    : searchDirs_(std::move(searchDirs)) {}

CameraLibrary::~CameraLibrary() {
    FreeLibrary();
}

bool CameraLibrary::LoadLibrary(const std::string& logicalName) {
    // One camera library at a time, and no resolved pointer outlives the library it points into.
    FreeLibrary();
    module_ = DynamicLibrary::LoadMapped(logicalName, searchDirs_);
    if (module_) loadedName_ = logicalName;
    return module_.IsLoaded();
}

void CameraLibrary::FreeLibrary() {
    slots_.fill(nullptr);
    module_.Close();
    loadedName_.clear();
}

void CameraLibrary::RunDeviceWait(const std::string& libraryName,
                                  const std::function<void()>& calls) {
    if (deviceWaits_ && libraryName == kIndiName)
        deviceWaits_(calls);
    else
        calls();
}

bool CameraLibrary::IsLoaded() const {
    return module_.IsLoaded();
}

void* CameraLibrary::Resolve(int slot, const char* name) {
    if (slot < 0 || slot >= kSlotCount || !module_) return nullptr;
    // A missing export leaves the slot empty, so the next call asks again.
    if (!slots_[slot]) slots_[slot] = module_.Symbol(name);
    return slots_[slot];
}

bool CameraLibrary::IsResolved(const char* entryPoint) const {
    if (!entryPoint) return false;
    for (int i = 0; i < kUsedSlots; ++i) {
        if (std::strcmp(kEntryNames[i], entryPoint) == 0) return slots_[i] != nullptr;
    }
    return false;
}

int CameraLibrary::ChooseCamera(Prompts& prompts) {
    const std::vector<std::string> candidates = ScanCandidates();
    const int candidateCount = static_cast<int>(candidates.size());
    int libraryIndex = -1;
    int device = -1;

    // Unloading the INDI camera library closes its server connection, which waits a moment.
    RunDeviceWait(loadedName_, [this] { FreeLibrary(); });
    if (DynamicLibrary manager = DynamicLibrary::LoadMapped(kManagerName, searchDirs_)) {
        const auto choose =
            reinterpret_cast<ZorvaneMgrChooseCamera_fn>(manager.Symbol("ZorvaneMgrChooseCamera"));
        if (choose) {
            std::vector<const char*> list;
            for (const std::string& name : candidates) list.push_back(name.c_str());
            list.push_back("");
            int32_t chosenLibrary = -1;
            int32_t chosenDevice = -1;
            lockToken_ = choose(kAppTitle, list.data(), 0, 0, &chosenLibrary, &chosenDevice);
            libraryIndex = chosenLibrary;
            device = chosenDevice;
        }
        // The manager is freed here, before the chosen library is loaded.
    } else {
        // An INDI camera the user asked for is the only one scanned: should it not answer, the
        // connection attempt says why, rather than another camera standing in for it unseen.
        const int scanCount = offerIndi_ ? 1 : candidateCount;
        for (int i = 0; i < scanCount && libraryIndex < 0; ++i) {
            RunDeviceWait(candidates[i], [&] {
                if (!LoadLibrary(candidates[i])) return;
                for (int d = 0; d < kMaxDevices; ++d) {
                    if (ZorvaneDeviceIsCamera(d)) {
                        libraryIndex = i;
                        device = d;
                        break;
                    }
                }
                FreeLibrary();
            });
        }
        if (libraryIndex < 0 && offerIndi_) {
            libraryIndex = 0;
            device = 0;
        } else if (libraryIndex < 0) {
            prompts.MessageBox("No available camera", kAppTitle, MessageButtons::Ok,
                               MessageIcon::None);
        }
    }

    // Only an index into the candidate list chooses a library; whatever else a manager writes
    // means no choice, and without a library there is no device to connect to.
    if (libraryIndex < 0 || libraryIndex >= candidateCount) {
        versionText_.clear();
        return -1;
    }
    const std::string& name = candidates[libraryIndex];
    if (LoadLibrary(name)) {
        versionText_ = "Using " + name + " v" + std::to_string(ZorvaneAPIVersion());
    } else {
        versionText_.clear();  // never name a library that is not in use
    }
    return device;
}

void CameraLibrary::ReleaseManagerLocks(uint32_t token) {
    DynamicLibrary manager = DynamicLibrary::LoadMapped(kManagerName, searchDirs_);
    if (!manager) return;
    const auto release =
        reinterpret_cast<ZorvaneMgrReleaseLocks_fn>(manager.Symbol("ZorvaneMgrReleaseLocks"));
    if (release) release(token);
}

// ---- forwarders ----

int32_t CameraLibrary::ZorvaneAPIVersion() {
    return ZORVANE_CALL(ZorvaneAPIVersion);
}
bool CameraLibrary::ZorvaneDeviceIsCamera(int32_t device) {
    return ZORVANE_CALL(ZorvaneDeviceIsCamera, device) != 0;
}
bool CameraLibrary::ZorvaneDeviceSerial(int32_t device, char* serial40) {
    return ZORVANE_CALL(ZorvaneDeviceSerial, device, serial40) != 0;
}
void CameraLibrary::ZorvaneSetupDialog() {
    ZORVANE_CALL(ZorvaneSetupDialog);
}
ZorvaneHandle CameraLibrary::ZorvaneConnect(int32_t device) {
    return ZORVANE_CALL(ZorvaneConnect, device);
}
bool CameraLibrary::ZorvaneDisconnect(ZorvaneHandle h) {
    return ZORVANE_CALL(ZorvaneDisconnect, h) != 0;
}
bool CameraLibrary::ZorvaneIsConnected(ZorvaneHandle h) {
    return ZORVANE_CALL(ZorvaneIsConnected, h) != 0;
}
int32_t CameraLibrary::ZorvaneProperties(ZorvaneHandle h, CameraProperties* props) {
    return ZORVANE_CALL(ZorvaneProperties, h, props);
}
int32_t CameraLibrary::ZorvaneColourProperties(ZorvaneHandle h, int32_t* colourType,
                                               int32_t* normalX, int32_t* normalY,
                                               int32_t* previewX, int32_t* previewY) {
    return ZORVANE_CALL(ZorvaneColourProperties, h, colourType, normalX, normalY, previewX,
                        previewY);
}
void CameraLibrary::ZorvaneAutoAdjustBlackLevel(ZorvaneHandle h, bool enable) {
    ZORVANE_CALL(ZorvaneAutoAdjustBlackLevel, h, int32_t{enable});
}
void CameraLibrary::ZorvaneGetBin(ZorvaneHandle h, int32_t* binX, int32_t* binY) {
    ZORVANE_CALL(ZorvaneGetBin, h, binX, binY);
}
void CameraLibrary::ZorvaneGetMaxBin(ZorvaneHandle h, int32_t* maxBinX, int32_t* maxBinY) {
    ZORVANE_CALL(ZorvaneGetMaxBin, h, maxBinX, maxBinY);
}
void CameraLibrary::ZorvaneGetSubframe(ZorvaneHandle h, int32_t* x, int32_t* y, int32_t* width,
                                       int32_t* height) {
    ZORVANE_CALL(ZorvaneGetSubframe, h, x, y, width, height);
}
void CameraLibrary::ZorvaneSubframePos(ZorvaneHandle h, int32_t x, int32_t y) {
    ZORVANE_CALL(ZorvaneSubframePos, h, x, y);
}
void CameraLibrary::ZorvaneSubframeSize(ZorvaneHandle h, int32_t width, int32_t height) {
    ZORVANE_CALL(ZorvaneSubframeSize, h, width, height);
}
void CameraLibrary::ZorvaneBin(ZorvaneHandle h, int32_t binX, int32_t binY) {
    ZORVANE_CALL(ZorvaneBin, h, binX, binY);
}
bool CameraLibrary::ZorvaneGetAmplifierSwitched(ZorvaneHandle h) {
    return ZORVANE_CALL(ZorvaneGetAmplifierSwitched, h) != 0;
}
void CameraLibrary::ZorvaneSetAmplifierSwitched(ZorvaneHandle h, bool on) {
    ZORVANE_CALL(ZorvaneSetAmplifierSwitched, h, int32_t{on});
}
void CameraLibrary::ZorvanePrechargeMode(ZorvaneHandle h, int32_t mode) {
    ZORVANE_CALL(ZorvanePrechargeMode, h, mode);
}
void CameraLibrary::ZorvaneFIFO(ZorvaneHandle h, bool on) {
    ZORVANE_CALL(ZorvaneFIFO, h, int32_t{on});
}
void CameraLibrary::ZorvaneHighPriority(ZorvaneHandle h, bool on) {
    ZORVANE_CALL(ZorvaneHighPriority, h, int32_t{on});
}
int32_t CameraLibrary::ZorvaneGetProcessing(ZorvaneHandle h) {
    return ZORVANE_CALL(ZorvaneGetProcessing, h);
}
void CameraLibrary::ZorvaneSetProcessing(ZorvaneHandle h, int32_t flags) {
    ZORVANE_CALL(ZorvaneSetProcessing, h, flags);
}
void CameraLibrary::ZorvaneTriggeredExposure(ZorvaneHandle h, bool on) {
    ZORVANE_CALL(ZorvaneTriggeredExposure, h, int32_t{on});
}
void CameraLibrary::ZorvaneSetPreview(ZorvaneHandle h, bool on) {
    ZORVANE_CALL(ZorvaneSetPreview, h, int32_t{on});
}
void CameraLibrary::ZorvaneSetSubSample(ZorvaneHandle h, bool on) {
    ZORVANE_CALL(ZorvaneSetSubSample, h, int32_t{on});
}
void CameraLibrary::ZorvaneSetDarkMode(ZorvaneHandle h, bool on) {
    ZORVANE_CALL(ZorvaneSetDarkMode, h, int32_t{on});
}
void CameraLibrary::ZorvaneExposureReadyCallback(ZorvaneHandle h, const ZorvanePostTarget* target,
                                                 uint32_t message, uintptr_t wParam,
                                                 intptr_t lParam) {
    ZORVANE_CALL(ZorvaneExposureReadyCallback, h, target, message, wParam, lParam);
}
void CameraLibrary::ZorvaneStartExposure(ZorvaneHandle h, float seconds) {
    ZORVANE_CALL(ZorvaneStartExposure, h, seconds);
}
void CameraLibrary::ZorvaneStopExposure(ZorvaneHandle h) {
    ZORVANE_CALL(ZorvaneStopExposure, h);
}
void CameraLibrary::ZorvaneAbortExposure(ZorvaneHandle h) {
    ZORVANE_CALL(ZorvaneAbortExposure, h);
}
bool CameraLibrary::ZorvaneImageReady(ZorvaneHandle h) {
    return ZORVANE_CALL(ZorvaneImageReady, h) != 0;
}
int32_t CameraLibrary::ZorvaneCameraState(ZorvaneHandle h) {
    return ZORVANE_CALL(ZorvaneCameraState, h);
}
float CameraLibrary::ZorvaneExposureTimeRemaining(ZorvaneHandle h) {
    return ZORVANE_CALL(ZorvaneExposureTimeRemaining, h);
}
int32_t CameraLibrary::ZorvaneDownloadPercent(ZorvaneHandle h) {
    return ZORVANE_CALL(ZorvaneDownloadPercent, h);
}
float CameraLibrary::ZorvaneLastExposureDuration(ZorvaneHandle h) {
    return ZORVANE_CALL(ZorvaneLastExposureDuration, h);
}
const char* CameraLibrary::ZorvaneLastStartTime(ZorvaneHandle h) {
    return ZORVANE_CALL(ZorvaneLastStartTime, h);
}
int32_t CameraLibrary::ZorvaneLastStartTimeMilliseconds(ZorvaneHandle h) {
    return ZORVANE_CALL(ZorvaneLastStartTimeMilliseconds, h);
}
void CameraLibrary::ZorvaneGetImageData(ZorvaneHandle h, int32_t* x, int32_t* y, int32_t* width,
                                        int32_t* height, int32_t* binX, int32_t* binY) {
    ZORVANE_CALL(ZorvaneGetImageData, h, x, y, width, height, binX, binY);
}
const uint16_t* CameraLibrary::ZorvaneImageBuffer(ZorvaneHandle h) {
    return ZORVANE_CALL(ZorvaneImageBuffer, h);
}
void CameraLibrary::ZorvaneClearVRegs(ZorvaneHandle h) {
    ZORVANE_CALL(ZorvaneClearVRegs, h);
}
void CameraLibrary::ZorvanePulseGuide(ZorvaneHandle h, int32_t direction, int32_t milliseconds) {
    ZORVANE_CALL(ZorvanePulseGuide, h, direction, milliseconds);
}
int32_t CameraLibrary::ZorvaneTemperatureSensorInfo(ZorvaneHandle h, int32_t sensor,
                                                    int32_t* value) {
    return ZORVANE_CALL(ZorvaneTemperatureSensorInfo, h, sensor, value);
}
int32_t CameraLibrary::ZorvaneCoolingInfo(ZorvaneHandle h, int32_t* flags, int32_t* level,
                                          int32_t* minLevel, int32_t* maxLevel, int32_t* setpoint) {
    return ZORVANE_CALL(ZorvaneCoolingInfo, h, flags, level, minLevel, maxLevel, setpoint);
}
void CameraLibrary::ZorvaneSetCooling(ZorvaneHandle h, int32_t setpoint) {
    ZORVANE_CALL(ZorvaneSetCooling, h, setpoint);
}
void CameraLibrary::ZorvaneCoolerWarmUp(ZorvaneHandle h) {
    ZORVANE_CALL(ZorvaneCoolerWarmUp, h);
}
int32_t CameraLibrary::ZorvaneDiagnosticUSBError(ZorvaneHandle h) {
    return ZORVANE_CALL(ZorvaneDiagnosticUSBError, h);
}

int32_t CameraLibrary::ZorvaneLastErrorText(char* text, int32_t size) {
    return ZORVANE_CALL(ZorvaneLastErrorText, text, size);
}
std::string CameraLibrary::LastErrorText() {
    char text[512] = "";
    const int32_t length = ZorvaneLastErrorText(text, sizeof text);
    if (length <= 0) return {};
    return std::string(text, ::strnlen(text, std::min<size_t>(length, sizeof text - 1)));
}

}  // namespace zorvane
