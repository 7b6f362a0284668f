#pragma once

#include <zorvane/camera_api.h>

#include <cstdint>
#include <string>

#include "camera/CameraLibrary.h"

namespace zorvane {

// Facts about the connected camera, gathered when it is opened.
struct CameraConnection {
    ZorvaneHandle handle = nullptr;  // 0 = not connected
    CameraProperties properties{};   // zero-filled while no camera is connected
    char serial[40] = {};
    int32_t coolingFlags = 0;        // low 5 bits of the cooling flags at connection time
    int32_t minLevel = 0;
    int32_t maxLevel = 0;
    bool hasSensor = false;          // a temperature sensor was reported

    // Connected means a handle is held and the library says so.
    bool IsConnected(CameraLibrary& lib) const {
        return handle != nullptr && lib.ZorvaneIsConnected(handle);
    }
    std::string SerialText() const;  // the serial buffer as text, never past its 40 bytes
};

// Start-up asks for the sensor count before the cooling information; the Connect command asks
// in the other order.
enum class CoolingDiscoveryOrder { SensorFirst, CoolingFirst };

// Automatic black-level adjustment is on exactly when the machine-wide switch allows it and the
// sensor is narrower than 1000 pixels.
bool BlackLevelAutoAdjust(bool switchAllows, int32_t pixelsX);

// Reads the serial and connects (the first two steps of opening a camera); true when a handle
// was obtained. Start-up calls the library's USB diagnostic between the two halves.
bool ConnectCamera(CameraLibrary& lib, int device, CameraConnection& camera);
// The rest of opening on a held handle: properties, black level, cooling discovery.
void ReadCameraFacts(CameraLibrary& lib, bool blackLevelSwitch, CoolingDiscoveryOrder order,
                     CameraConnection& camera);
// Both halves; returns with handle 0 when the connect failed (the caller reports it).
bool OpenCamera(CameraLibrary& lib, int device, bool blackLevelSwitch, CoolingDiscoveryOrder order,
                CameraConnection& camera);

// A failed connect put to the user ("Zorvane Capture", Abort / Retry / Ignore), with the
// library's own account of what went wrong below the message when it gives one (which server
// and device it tried, and why).
MessageAnswer AskAfterFailedConnect(Prompts& prompts, CameraLibrary& lib,
                                    const std::string& message);

// Which camera the program is imaging with, for the window's title: the connected camera's
// model, marked "(simulated)" on the simulated camera; "no camera" while none is connected.
std::string ConnectedCameraName(CameraLibrary& lib, const CameraConnection& camera);

}  // namespace zorvane
