#pragma once

#include <array>

#include "automation/IndiDeviceServer.h"

namespace zorvane {

// An INDI mount with the members the telescope link uses: "Connected" (get/put),
// "CanPulseGuide" (get: both timed-guide vectors are defined), "PulseGuide"(direction 0 north,
// 1 south, 2 east, 3 west; milliseconds), "IsPulseGuiding" (get: a timed-guide vector is
// Busy, or has not yet answered the last pulse), and "RightAscension" (hours) and
// "Declination" (degrees) of date, as the mount last reported them.
class IndiTelescopeServer : public IndiDeviceServer {
public:
    using IndiDeviceServer::IndiDeviceServer;

protected:
    void DescribeDevice(ServerDescription& description) override;
    int32_t InvokeDevice(const Call& call) override;
    std::vector<std::string> ConnectedProperties() const override { return {}; }
    std::vector<std::string> LaterProperties() const override {
        return {"TELESCOPE_TIMED_GUIDE_NS", "TELESCOPE_TIMED_GUIDE_WE"};
    }

private:
    int32_t PulseGuide(int direction, int milliseconds);
    int32_t Coordinate(const char* element, Variant& value);
    bool Guiding();

    std::array<PendingAnswer, 2> pulses_;  // north-south, west-east
};

}  // namespace zorvane
