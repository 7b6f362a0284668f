#pragma once

#include "automation/IndiDeviceServer.h"

namespace zorvane {

// An INDI filter wheel with the members the filter wheel's callers use:
// "Connected" (get/put, CONNECTION), "Position" (get/put, 16-bit, 0-based:
// FILTER_SLOT.FILTER_SLOT_VALUE - 1, and -1 while the wheel moves), "Names" (get, the
// FILTER_NAME texts) and "Version" (get, DRIVER_INFO.DRIVER_VERSION).
class IndiFilterWheelServer : public IndiDeviceServer {
public:
    using IndiDeviceServer::IndiDeviceServer;

protected:
    void DescribeDevice(ServerDescription& description) override;
    int32_t InvokeDevice(const Call& call) override;
    std::vector<std::string> ConnectedProperties() const override {
        return {"FILTER_SLOT", "FILTER_NAME"};
    }

private:
    int32_t GetPosition(Variant& value);
    int32_t PutPosition(int position);

    PendingAnswer move_;
};

}  // namespace zorvane
