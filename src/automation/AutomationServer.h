#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "automation/Variant.h"

namespace zorvane {

// How a member is invoked.
namespace invoke {
constexpr uint16_t None = 0;  // not invocable
constexpr uint16_t Method = 1;
constexpr uint16_t PropertyGet = 2;
constexpr uint16_t PropertyPut = 4;
constexpr uint16_t PropertyPutRef = 8;
}  // namespace invoke

// Result codes. 0 is success, negative values are failures.
namespace result {
constexpr int32_t Ok = 0;
constexpr int32_t NotPossible = 1;  // the member cannot be invoked
constexpr int32_t ClassNotRegistered = static_cast<int32_t>(0x80040154);  // unknown ProgID
constexpr int32_t ServerUnavailable = static_cast<int32_t>(0x800706BA);   // server not reached
constexpr int32_t MemberNotFound = static_cast<int32_t>(0x80020003);
constexpr int32_t Exception = static_cast<int32_t>(0x80020009);  // texts in the exception info
constexpr int32_t Unexpected = static_cast<int32_t>(0x8000FFFF);
}  // namespace result

// A method or property accessor as the server describes it.
struct FunctionDescription {
    int32_t id = 0;
    std::string name;
    uint16_t kind = invoke::Method;  // anything but 1, 2, 4 or 8 is not invocable
    VarType resultType = vt::Void;
    std::vector<VarType> parameterTypes;  // in declaration order
};

// A property declared as a variable: read and written through one id.
struct VariableDescription {
    int32_t id = 0;
    std::string name;
    VarType type = vt::Empty;
    bool dispatchProperty = true;  // false: described, but neither read nor written
};

struct ServerDescription {
    std::vector<FunctionDescription> functions;
    std::vector<VariableDescription> variables;
};

// Why a call failed, in the server's words; filled when Invoke returns result::Exception.
struct ExceptionInfo {
    int32_t code = 0;
    std::string source;
    std::string description;
    std::string helpFile;
};

// A late-bound server: it describes its members once and is then invoked by member id. Every
// call comes from the thread that created it.
class AutomationServer {
public:
    virtual ~AutomationServer() = default;
    // result::Ok and the description, or the failure's code.
    virtual int32_t Describe(ServerDescription& description) = 0;
    // Invokes member `id` as `kind` with the converted arguments in declaration order; a
    // result value goes into `value`. Negative results are failures.
    virtual int32_t Invoke(int32_t id, uint16_t kind, const std::vector<Variant>& arguments,
                           Variant& value, ExceptionInfo& exception) = 0;
};

// Turns a ProgID into a running server. The INDI transport resolves it through the settings;
// another transport can stand beside it without the callers noticing.
class AutomationTransport {
public:
    virtual ~AutomationTransport() = default;
    // The server, or none with the failure's code in `code`. `serverName` names the machine
    // to use instead of the configured one; null for the configured one.
    virtual std::shared_ptr<AutomationServer> Create(const std::string& progId,
                                                     const char* serverName, int32_t& code) = 0;
    // The program is ending: a device it switched on itself and lets go from now on may be
    // switched off again. Until then letting go of a device leaves it as it is, since other
    // programs may be using it.
    virtual void ProgramEnding() {}
};

}  // namespace zorvane
