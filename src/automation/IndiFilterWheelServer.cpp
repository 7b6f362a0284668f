#include "automation/IndiFilterWheelServer.h"

#include <cmath>

namespace zorvane {

namespace {
constexpr int32_t kPosition = 2;
constexpr int32_t kNames = 3;
constexpr int32_t kVersion = 4;
}  // namespace

void IndiFilterWheelServer::DescribeDevice(ServerDescription& d) {
    d.variables.push_back({kPosition, "Position", vt::I2});
    d.functions.push_back({kNames, "Names", invoke::PropertyGet, vt::Array | vt::BStr, {}});
    d.functions.push_back({kVersion, "Version", invoke::PropertyGet, vt::BStr, {}});
}

int32_t IndiFilterWheelServer::InvokeDevice(const Call& call) {
    switch (call.id) {
        case kPosition:
            if (call.kind == invoke::PropertyGet) return GetPosition(call.value);
            if (call.kind == invoke::PropertyPut && call.arguments.size() == 1)
                return PutPosition(static_cast<int16_t>(call.arguments[0].integer));
            break;
        case kNames: {
            const auto names = Property("FILTER_NAME");
            if (!names) return Fail("The wheel has not said its filter names (not connected)");
            std::vector<std::string> texts;
            for (const indi::Element& e : names->elements) texts.push_back(e.text);
            call.value = Variant::TextArray(std::move(texts));
            return result::Ok;
        }
        case kVersion: {
            const auto info = Property("DRIVER_INFO");
            const indi::Element* v = info ? info->Find("DRIVER_VERSION") : nullptr;
            if (!v) return Fail("The wheel's driver has not said its version");
            call.value = Variant::Text(v->text);
            return result::Ok;
        }
        default:
            break;
    }
    return result::MemberNotFound;
}

int32_t IndiFilterWheelServer::GetPosition(Variant& value) {
    const auto slot = Property("FILTER_SLOT");
    const indi::Element* e = slot ? slot->Find("FILTER_SLOT_VALUE") : nullptr;
    if (!e) return Fail("The wheel has no filter slot (not connected)");
    // Until the wheel has answered a move it counts as moving, so that a read straight after
    // a move does not report the old position as reached.
    const bool moving = move_.Active(slot) || slot->state == indi::PropertyState::Busy;
    value = Variant::Int16(moving ? -1 : static_cast<int>(std::lround(e->number)) - 1);
    return result::Ok;
}

int32_t IndiFilterWheelServer::PutPosition(int position) {
    const auto slot = Property("FILTER_SLOT");
    if (!slot) return Fail("The wheel has no filter slot (not connected)");
    const auto names = Property("FILTER_NAME");
    const int count = names ? static_cast<int>(names->elements.size()) : 0;
    if (position < 0 || (count > 0 && position >= count))
        return Fail("Position " + std::to_string(position) + " is not on the wheel");
    if (!Client().SendNumbers(Device(), "FILTER_SLOT", {{"FILTER_SLOT_VALUE", position + 1.0}}))
        return Fail("The INDI server does not answer");
    move_.Start(slot->updates);
    return result::Ok;
}

}  // namespace zorvane
