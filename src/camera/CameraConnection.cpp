#include "camera/CameraConnection.h"

#include <cstring>

namespace zorvane {

std::string CameraConnection::SerialText() const {
    return std::string(serial, ::strnlen(serial, sizeof serial));
}

bool BlackLevelAutoAdjust(bool switchAllows, int32_t pixelsX) {
    return switchAllows && pixelsX < 1000;
}

bool ConnectCamera(CameraLibrary& lib, int device, CameraConnection& camera) {
    // A library that writes nothing must not leave the previous camera's serial behind.
    char serial[sizeof camera.serial] = {};
    ZorvaneHandle handle = nullptr;
    // The connection is taken over only once the calls are back (they may be made on another
    // thread while the window's thread goes on reading the old one).
    lib.RunDeviceWait(lib.LoadedName(), [&] {
        lib.ZorvaneDeviceSerial(device, serial);
        handle = lib.ZorvaneConnect(device);
    });
    std::memcpy(camera.serial, serial, sizeof serial);
    camera.handle = handle;
    return camera.handle != nullptr;
}

void ReadCameraFacts(CameraLibrary& lib, bool blackLevelSwitch, CoolingDiscoveryOrder order,
                     CameraConnection& camera) {
    const ZorvaneHandle h = camera.handle;
    camera.properties = CameraProperties{};
    lib.ZorvaneProperties(h, &camera.properties);
    // The texts are printed with "%s": a library that fills all 40 bytes must not make the
    // reader run past the record.
    camera.properties.model[sizeof camera.properties.model - 1] = '\0';
    camera.properties.manufacturer[sizeof camera.properties.manufacturer - 1] = '\0';

    lib.ZorvaneAutoAdjustBlackLevel(
        h, BlackLevelAutoAdjust(blackLevelSwitch, camera.properties.pixelsX));

    int32_t count = -1;
    int32_t flags = 0;
    int32_t level = 0;
    int32_t minLevel = 0;
    int32_t maxLevel = 0;
    int32_t setpoint = 0;
    if (order == CoolingDiscoveryOrder::SensorFirst) {
        lib.ZorvaneTemperatureSensorInfo(h, 0, &count);
        lib.ZorvaneCoolingInfo(h, &flags, &level, &minLevel, &maxLevel, &setpoint);
    } else {
        lib.ZorvaneCoolingInfo(h, &flags, &level, &minLevel, &maxLevel, &setpoint);
        lib.ZorvaneTemperatureSensorInfo(h, 0, &count);
    }
    camera.coolingFlags = flags & 31;
    camera.minLevel = minLevel;
    camera.maxLevel = maxLevel;
    camera.hasSensor = count > 0;
}

bool OpenCamera(CameraLibrary& lib, int device, bool blackLevelSwitch, CoolingDiscoveryOrder order,
                CameraConnection& camera) {
    if (!ConnectCamera(lib, device, camera)) return false;
    ReadCameraFacts(lib, blackLevelSwitch, order, camera);
    return true;
}

MessageAnswer AskAfterFailedConnect(Prompts& prompts, CameraLibrary& lib,
                                    const std::string& message) {
    const std::string why = lib.LastErrorText();
    return prompts.MessageBox(why.empty() ? message : message + "\n\n" + why, "Zorvane Capture",
                              MessageButtons::AbortRetryIgnore, MessageIcon::Exclamation);
}

std::string ConnectedCameraName(CameraLibrary& lib, const CameraConnection& camera) {
    if (!camera.IsConnected(lib)) return "no camera";
    const CameraProperties& p = camera.properties;
    std::string model(p.model, ::strnlen(p.model, sizeof p.model));
    if (model.empty()) model = "camera";
    if (lib.LoadedName() == CameraLibrary::kSimulatedName) model += " (simulated)";
    return model;
}

}  // namespace zorvane
