#include "automation/AutomationObject.h"

namespace zorvane {

namespace {

bool Invocable(uint16_t kind) {
    return kind == invoke::Method || kind == invoke::PropertyGet || kind == invoke::PropertyPut ||
           kind == invoke::PropertyPutRef;
}

VarType StoredResultType(VarType t) {
    return t == vt::Void || t == vt::Null ? vt::Empty : t;
}

}  // namespace

bool AutomationObject::CreateFromProgId(const std::string& progId, uint32_t,
                                        const char* serverName) {
    Release();
    int32_t code = result::Unexpected;
    std::shared_ptr<AutomationServer> server = transport_.Create(progId, serverName, code);
    if (!server) {
        lastResult_ = code < 0 ? code : result::Unexpected;
        return false;
    }
    lastResult_ = result::Ok;
    server_ = std::move(server);
    return BuildMemberTable();
}

bool AutomationObject::Attach(std::shared_ptr<AutomationServer> server) {
    Release();
    if (!server) return false;
    server_ = std::move(server);
    return BuildMemberTable();
}

void AutomationObject::Release() {
    lastResult_ = result::Ok;
    exception_.reset();
    server_.reset();
    members_.clear();
    functionCount_ = variableCount_ = 0;
}

bool AutomationObject::BuildMemberTable() {
    ServerDescription d;
    const int32_t code = server_->Describe(d);
    if (code < 0) {
        lastResult_ = code;
        return false;
    }
    functionCount_ = static_cast<int>(d.functions.size());
    variableCount_ = static_cast<int>(d.variables.size());
    members_.assign(functionCount_ + 2 * variableCount_, MemberInfo{});
    for (int i = 0; i < functionCount_; ++i) {
        const FunctionDescription& f = d.functions[i];
        MemberInfo& m = members_[i];
        m.dispatchId = f.id;
        m.name = f.name;
        m.invokeKind = Invocable(f.kind) ? f.kind : invoke::None;
        m.resultType = StoredResultType(f.resultType);
        m.parameterTypes = f.parameterTypes;
    }
    // A variable gives a getter and a setter, in two blocks after the functions.
    for (int j = 0; j < variableCount_; ++j) {
        const VariableDescription& v = d.variables[j];
        MemberInfo& get = members_[functionCount_ + j];
        MemberInfo& put = members_[functionCount_ + variableCount_ + j];
        get.dispatchId = put.dispatchId = v.id;
        get.name = put.name = v.name;
        if (v.dispatchProperty) {
            get.invokeKind = invoke::PropertyGet;
            get.resultType = v.type;
            put.invokeKind = invoke::PropertyPut;
            put.parameterTypes = {v.type};
        }
    }
    lastResult_ = result::Ok;
    return true;
}

int AutomationObject::FindMember(std::string_view name, uint16_t kind) const {
    for (size_t i = 0; i < members_.size(); ++i)
        if (members_[i].invokeKind == kind && members_[i].name == name) return static_cast<int>(i);
    return -1;
}

int32_t AutomationObject::Invoke(int index, const std::vector<Argument>& args) {
    lastResult_ = result::Ok;
    if (!server_ || index < 0 || index >= static_cast<int>(members_.size()) ||
        members_[index].invokeKind == invoke::None) {
        lastResult_ = result::NotPossible;
        return lastResult_;
    }
    MemberInfo& m = members_[index];
    // As many values as the member declares, each converted to its declared type; a missing
    // one goes as empty.
    std::vector<Variant> values;
    values.reserve(m.parameterTypes.size());
    for (size_t p = 0; p < m.parameterTypes.size(); ++p)
        values.push_back(p < args.size() ? args[p].ConvertTo(m.parameterTypes[p]) : Variant{});

    m.result = Variant{};
    exception_.emplace();
    const int32_t code = server_->Invoke(m.dispatchId, m.invokeKind, values, m.result, *exception_);
    lastResult_ = code;
    if (code < 0) {
        m.result = Variant{};
        if (code != result::Exception) exception_.reset();
    } else {
        exception_.reset();
    }
    return code;
}

const Variant* AutomationObject::GetProperty(std::string_view name) {
    const int i = FindMember(name, invoke::PropertyGet);
    if (i < 0 || Invoke(i, {}) < 0) return nullptr;
    return &members_[i].result;
}

bool AutomationObject::PutProperty(std::string_view name, const Argument& value) {
    const int i = FindMember(name, invoke::PropertyPut);
    return i >= 0 && Invoke(i, {value}) >= 0;
}

bool AutomationObject::PutPropertyRef(std::string_view name, const Argument& value) {
    const int i = FindMember(name, invoke::PropertyPutRef);
    return i >= 0 && Invoke(i, {value}) >= 0;
}

const Variant* AutomationObject::CallMethodWith(std::string_view name,
                                                const std::vector<Argument>& args) {
    const int i = FindMember(name, invoke::Method);
    if (i < 0 || Invoke(i, args) < 0) return nullptr;
    return &members_[i].result;
}

}  // namespace zorvane
