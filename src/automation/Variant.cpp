#include "automation/Variant.h"

#include <cmath>
#include <cstdio>

namespace zorvane {

int16_t Variant::AsInt16() const {
    switch (type) {
        case vt::R4:
        case vt::R8:
        case vt::Date:
            return static_cast<int16_t>(std::lround(real));
        case vt::BStr:
            return static_cast<int16_t>(std::atoi(text.c_str()));
        default:
            return static_cast<int16_t>(static_cast<uint16_t>(integer));
    }
}

std::string Variant::AsText() const {
    char buf[32];
    switch (type) {
        case vt::BStr:
            return text;
        case vt::Empty:
        case vt::Null:
            return {};
        case vt::R4:
        case vt::R8:
        case vt::Date:
            std::snprintf(buf, sizeof buf, "%g", real);
            return buf;
        default:
            std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(integer));
            return buf;
    }
}

Variant Argument::ConvertTo(VarType type) const {
    const int64_t asWhole = kind == Kind::Real            ? static_cast<int64_t>(real)
                            : kind == Kind::Whole_Variant ? variant.integer
                                                          : whole;
    const double asReal = kind == Kind::Real ? real : static_cast<double>(whole);
    const bool number = kind == Kind::Whole || kind == Kind::Real;
    Variant v;
    if (type & (vt::ByRef | vt::Array)) {
        if (kind == Kind::Pointer) v.pointer = pointer;
        v.type = type;
        return v;
    }
    switch (type) {
        case vt::I2:
            // Only the low two bytes travel.
            if (number)
                v = Variant::Of(vt::I2, static_cast<int16_t>(static_cast<uint16_t>(asWhole)));
            break;
        case vt::UI1:
            if (number) v = Variant::Of(vt::UI1, static_cast<uint8_t>(asWhole));
            break;
        case vt::I4:
        case vt::Error:
        case vt::UserDefined:
            if (number) v = Variant::Of(type, static_cast<int32_t>(asWhole));
            break;
        case vt::Dispatch:
        case vt::Unknown:
            v.type = type;
            if (kind == Kind::Pointer) v.pointer = pointer;
            break;
        case vt::R4:
            if (number) {
                v.type = vt::R4;
                v.real = static_cast<float>(asReal);
            }
            break;
        case vt::R8:
        case vt::Date:
            if (number) {
                v.type = type;
                v.real = asReal;
            }
            break;
        case vt::Currency:
            if (number) v = Variant::Of(vt::Currency, asWhole);
            break;
        case vt::BStr:
            if (kind == Kind::Text) v = Variant::Text(text);
            break;
        case vt::Bool:
            if (number) v = Variant::Boolean(asWhole != 0);
            break;
        case vt::Variant:
            if (kind == Kind::Whole_Variant) v = variant;
            break;
        default:
            break;  // anything else is left empty
    }
    return v;
}

}  // namespace zorvane
