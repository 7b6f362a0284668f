#include "automation/IndiTelescopeServer.h"

namespace zorvane {

namespace {
constexpr int32_t kCanPulseGuide = 2;
constexpr int32_t kPulseGuide = 3;
constexpr int32_t kIsPulseGuiding = 4;
constexpr int32_t kRightAscension = 5;
constexpr int32_t kDeclination = 6;

constexpr const char* kAxisProperty[2] = {"TELESCOPE_TIMED_GUIDE_NS", "TELESCOPE_TIMED_GUIDE_WE"};
}  // namespace

void IndiTelescopeServer::DescribeDevice(ServerDescription& d) {
    d.functions.push_back({kCanPulseGuide, "CanPulseGuide", invoke::PropertyGet, vt::Bool, {}});
    // The direction is an enumeration whose values are 32-bit integers.
    d.functions.push_back({kPulseGuide, "PulseGuide", invoke::Method, vt::Void, {vt::I4, vt::I4}});
    d.functions.push_back({kIsPulseGuiding, "IsPulseGuiding", invoke::PropertyGet, vt::Bool, {}});
    d.functions.push_back({kRightAscension, "RightAscension", invoke::PropertyGet, vt::R8, {}});
    d.functions.push_back({kDeclination, "Declination", invoke::PropertyGet, vt::R8, {}});
}

int32_t IndiTelescopeServer::InvokeDevice(const Call& call) {
    switch (call.id) {
        case kCanPulseGuide:
            call.value = Variant::Boolean(Property(kAxisProperty[0]) && Property(kAxisProperty[1]));
            return result::Ok;
        case kPulseGuide:
            if (call.arguments.size() != 2) break;
            return PulseGuide(static_cast<int>(call.arguments[0].integer),
                              static_cast<int>(call.arguments[1].integer));
        case kIsPulseGuiding:
            call.value = Variant::Boolean(Guiding());
            return result::Ok;
        case kRightAscension:
            return Coordinate("RA", call.value);
        case kDeclination:
            return Coordinate("DEC", call.value);
        default:
            break;
    }
    return result::MemberNotFound;
}

int32_t IndiTelescopeServer::Coordinate(const char* element, Variant& value) {
    const auto p = Property("EQUATORIAL_EOD_COORD");
    const indi::Element* e = p ? p->Find(element) : nullptr;
    // A mount whose pointing is in error does not know where it points.
    if (!e || p->state == indi::PropertyState::Alert)
        return Fail("The mount reports no coordinates (not connected?)");
    value.type = vt::R8;
    value.real = e->number;
    return result::Ok;
}

bool IndiTelescopeServer::Guiding() {
    bool guiding = false;
    for (int axis = 0; axis < 2; ++axis) {
        const auto p = Property(kAxisProperty[axis]);
        // The answer that ends a pulse is Idle on some mounts and Ok on others: only Busy
        // means the pulse still runs.
        if (pulses_[axis].Active(p) || (p && p->state == indi::PropertyState::Busy)) guiding = true;
    }
    return guiding;
}

int32_t IndiTelescopeServer::PulseGuide(int direction, int milliseconds) {
    if (direction < 0 || direction > 3)
        return Fail("Guide direction " + std::to_string(direction) + " is not 0 to 3");
    if (milliseconds < 0) return Fail("A guide pulse cannot last less than 0 ms");
    const int axis = direction < 2 ? 0 : 1;
    const auto p = Property(kAxisProperty[axis]);
    if (!p) return Fail("The mount cannot pulse-guide (not connected?)");
    static constexpr const char* kElement[4] = {"TIMED_GUIDE_N", "TIMED_GUIDE_S", "TIMED_GUIDE_E",
                                                "TIMED_GUIDE_W"};
    // The whole vector: the chosen direction with its time, its opposite with 0.
    const int opposite = direction ^ 1;
    if (!Client().SendNumbers(
            Device(), kAxisProperty[axis],
            {{kElement[direction], static_cast<double>(milliseconds)}, {kElement[opposite], 0.0}}))
        return Fail("The INDI server does not answer");
    // A pulse of 0 ms never goes Busy, so there is nothing to wait for.
    if (milliseconds > 0) pulses_[axis].Start(p->updates);
    return result::Ok;
}

}  // namespace zorvane
