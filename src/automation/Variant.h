#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zorvane {

// Value type codes of the automation calls (the classic variant type numbers, which the
// member descriptions of every server use).
using VarType = uint16_t;
namespace vt {
constexpr VarType Empty = 0;
constexpr VarType Null = 1;
constexpr VarType I2 = 2;
constexpr VarType I4 = 3;
constexpr VarType R4 = 4;
constexpr VarType R8 = 5;
constexpr VarType Currency = 6;
constexpr VarType Date = 7;
constexpr VarType BStr = 8;
constexpr VarType Dispatch = 9;
constexpr VarType Error = 10;
constexpr VarType Bool = 11;
constexpr VarType Variant = 12;
constexpr VarType Unknown = 13;
constexpr VarType UI1 = 17;
constexpr VarType Void = 24;
constexpr VarType UserDefined = 29;
constexpr VarType Array = 0x2000;
constexpr VarType ByRef = 0x4000;
}  // namespace vt

// One value passed to or returned by a server: its type code and the field that type uses.
struct Variant {
    VarType type = vt::Empty;
    int64_t integer = 0;             // I2, I4, UI1, Error, Currency, Bool (-1 true, 0 false)
    double real = 0.0;               // R4, R8, Date
    std::string text;                // BStr
    std::vector<std::string> texts;  // Array | BStr
    const void* pointer = nullptr;   // by-reference and array arguments, Dispatch, Unknown

    static Variant Of(VarType t, int64_t v) {
        Variant r;
        r.type = t;
        r.integer = v;
        return r;
    }
    static Variant Int16(int v) { return Of(vt::I2, static_cast<int16_t>(v)); }
    static Variant Int32(int32_t v) { return Variant::Of(vt::I4, v); }
    static Variant Boolean(bool v) { return Variant::Of(vt::Bool, v ? -1 : 0); }
    static Variant Text(std::string v) {
        Variant r = Of(vt::BStr, 0);
        r.text = std::move(v);
        return r;
    }
    static Variant TextArray(std::vector<std::string> v) {
        Variant r = Of(vt::Array | vt::BStr, 0);
        r.texts = std::move(v);
        return r;
    }

    bool IsEmpty() const { return type == vt::Empty; }
    // The value read as a 16-bit integer, as callers read "Position" and the boolean flags.
    int16_t AsInt16() const;
    // Converted to text: texts as they are, numbers in decimal.
    std::string AsText() const;
};

// What a caller hands to a member: a whole number, a real, a text, a whole variant or a
// pointer. The member's declared parameter type decides what the server receives.
struct Argument {
    enum class Kind { Whole, Real, Text, Whole_Variant, Pointer };
    Kind kind = Kind::Whole;
    int64_t whole = 0;
    double real = 0.0;
    std::string text;
    Variant variant;
    const void* pointer = nullptr;

    Argument(int v) : kind(Kind::Whole), whole(v) {}
    Argument(long v) : kind(Kind::Whole), whole(v) {}
    Argument(long long v) : kind(Kind::Whole), whole(v) {}
    Argument(unsigned v) : kind(Kind::Whole), whole(v) {}
    Argument(bool v) : kind(Kind::Whole), whole(v ? 1 : 0) {}
    Argument(double v) : kind(Kind::Real), real(v) {}
    Argument(float v) : kind(Kind::Real), real(v) {}
    Argument(const char* v) : kind(Kind::Text), text(v ? v : "") {}
    Argument(std::string v) : kind(Kind::Text), text(std::move(v)) {}
    Argument(Variant v) : kind(Kind::Whole_Variant), variant(std::move(v)) {}
    Argument(const void* v) : kind(Kind::Pointer), pointer(v) {}

    // The value the server receives for a parameter declared as `type`.
    Variant ConvertTo(VarType type) const;
};

}  // namespace zorvane
