#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "automation/AutomationServer.h"
#include "automation/Variant.h"

namespace zorvane {

// One invocable member of a server.
struct MemberInfo {
    int32_t dispatchId = 0;
    std::string name;
    uint16_t invokeKind = invoke::None;
    VarType resultType = vt::Empty;  // void and null results are stored as empty
    Variant result;                  // the result of the last invoke of this member
    std::vector<VarType> parameterTypes;
    int ParameterCount() const { return static_cast<int>(parameterTypes.size()); }
};

// Drives a server known only by its ProgID and member names: it builds a table of the
// server's members once, then gets and puts properties and calls methods by name, converting
// the caller's plain values into the types the members declare. Not copyable; every call on
// the thread that created it.
class AutomationObject {
public:
    static constexpr uint32_t kAllContexts = 23;

    explicit AutomationObject(AutomationTransport& transport) : transport_(transport) {}
    ~AutomationObject() { Release(); }
    AutomationObject(const AutomationObject&) = delete;
    AutomationObject& operator=(const AutomationObject&) = delete;

    // Releases any previous server, creates the one the ProgID names and builds its member
    // table. `contextFlags` is accepted for the callers' sake; the transport decides where the
    // server runs. False with the failure's code as the last result.
    bool CreateFromProgId(const std::string& progId, uint32_t contextFlags = kAllContexts,
                          const char* serverName = nullptr);
    // Takes a server that already runs.
    bool Attach(std::shared_ptr<AutomationServer> server);
    // Lets go of the server, its member table, its results and the exception information.
    void Release();
    bool HasServer() const { return server_ != nullptr; }

    // Index of the first member whose name equals `name` exactly (case counts) and whose kind
    // is `kind`; -1 when there is none.
    int FindMember(std::string_view name, uint16_t kind) const;

    // The property's value, owned by this object until the same member is invoked again or
    // the object is released; null when there is no such getter or the server failed.
    const Variant* GetProperty(std::string_view name);
    bool PutProperty(std::string_view name, const Argument& value);
    bool PutPropertyRef(std::string_view name, const Argument& value);
    // The method's result (as for GetProperty), or null.
    template <typename... Args>
    const Variant* CallMethod(std::string_view name, const Args&... args) {
        return CallMethodWith(name, {Argument(args)...});
    }
    const Variant* CallMethodWith(std::string_view name, const std::vector<Argument>& args);

    // Invokes member `index` with the caller's values; the result code (also the last result).
    int32_t Invoke(int index, const std::vector<Argument>& args);

    // The result of the last operation: 0, a failure code, or 1 when it was not possible.
    int32_t LastResult() const { return lastResult_; }
    // The server's explanation of the last failed call; null unless it raised one.
    const ExceptionInfo* LastException() const { return exception_ ? &*exception_ : nullptr; }
    const std::vector<MemberInfo>& Members() const { return members_; }
    int FunctionCount() const { return functionCount_; }
    int VariableCount() const { return variableCount_; }

private:
    bool BuildMemberTable();

    AutomationTransport& transport_;
    std::shared_ptr<AutomationServer> server_;
    std::vector<MemberInfo> members_;
    int functionCount_ = 0;
    int variableCount_ = 0;
    int32_t lastResult_ = 0;
    std::optional<ExceptionInfo> exception_;
};

}  // namespace zorvane
