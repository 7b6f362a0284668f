// The automation client against a scripted server: how the member table is built and looked
// up, what the server receives for each declared parameter type, and how results and a
// server's exception texts live.
#include <gtest/gtest.h>

#include <functional>

#include "automation/AutomationObject.h"

namespace zorvane {
namespace {

struct Received {
    int32_t id;
    uint16_t kind;
    std::vector<Variant> args;
};

class ScriptedServer : public AutomationServer {
public:
    ServerDescription description;
    std::vector<Received> calls;
    // Answers a call; the default returns the call count as a 32-bit value.
    std::function<int32_t(const Received&, Variant&, ExceptionInfo&)> answer =
        [this](const Received&, Variant& v, ExceptionInfo&) {
            v = Variant::Int32(static_cast<int32_t>(calls.size()));
            return result::Ok;
        };

    int32_t Describe(ServerDescription& d) override {
        d = description;
        return result::Ok;
    }
    int32_t Invoke(int32_t id, uint16_t kind, const std::vector<Variant>& args, Variant& value,
                   ExceptionInfo& exception) override {
        calls.push_back({id, kind, args});
        return answer(calls.back(), value, exception);
    }
};

class NoTransport : public AutomationTransport {
public:
    std::shared_ptr<AutomationServer> Create(const std::string&, const char*,
                                             int32_t& code) override {
        code = result::ClassNotRegistered;
        return nullptr;
    }
};

struct Fixture {
    NoTransport transport;
    std::shared_ptr<ScriptedServer> server = std::make_shared<ScriptedServer>();
    AutomationObject object{transport};

    Fixture() {
        server->description.functions = {
            {10, "Park", invoke::Method, vt::Void, {}},
            {11,
             "Move",
             invoke::Method,
             vt::I4,
             {vt::I2, vt::UI1, vt::Bool, vt::BStr, vt::I4, vt::R8, vt::Variant, vt::Date}},
            {12, "Odd", 3, vt::I4, {}},
            {13, "Name", invoke::PropertyGet, vt::BStr, {}},
        };
        server->description.variables = {{20, "Connected", vt::Bool},
                                         {21, "Hidden", vt::I4, false}};
    }
};

TEST(AutomationObject, TableFromTheDescriptionAndExactLookup) {
    Fixture f;
    ASSERT_TRUE(f.object.Attach(f.server));
    // Four functions, then a getter block and a setter block for the two variables.
    ASSERT_EQ(f.object.Members().size(), 8u);
    EXPECT_EQ(f.object.FunctionCount(), 4);
    EXPECT_EQ(f.object.VariableCount(), 2);
    EXPECT_EQ(f.object.Members()[0].resultType, vt::Empty) << "void is stored as empty";
    EXPECT_EQ(f.object.Members()[2].invokeKind, invoke::None);
    const int get = f.object.FindMember("Connected", invoke::PropertyGet);
    const int put = f.object.FindMember("Connected", invoke::PropertyPut);
    EXPECT_EQ(get, 4);
    EXPECT_EQ(put, 6);
    EXPECT_EQ(f.object.Members()[get].dispatchId, f.object.Members()[put].dispatchId);
    EXPECT_EQ(f.object.Members()[put].parameterTypes, std::vector<VarType>{vt::Bool});
    EXPECT_EQ(f.object.Members()[5].invokeKind, invoke::None) << "not a dispatch property";

    EXPECT_EQ(f.object.FindMember("connected", invoke::PropertyGet), -1);
    EXPECT_EQ(f.object.FindMember("Park", invoke::PropertyGet), -1);
    EXPECT_EQ(f.object.GetProperty("Park"), nullptr) << "a method is no property";
    EXPECT_EQ(f.object.CallMethod("Name"), nullptr) << "a property is no method";
    EXPECT_FALSE(f.object.PutPropertyRef("Connected", 1)) << "no put-by-reference member";
    EXPECT_TRUE(f.server->calls.empty());

    // A member that cannot be invoked is refused with result 1.
    EXPECT_EQ(f.object.Invoke(2, {}), result::NotPossible);
    EXPECT_EQ(f.object.LastResult(), result::NotPossible);

    ASSERT_TRUE(f.object.PutProperty("Connected", 1));
    EXPECT_EQ(f.server->calls.back().id, 20);
    EXPECT_EQ(f.server->calls.back().kind, invoke::PropertyPut);

    f.object.Release();
    EXPECT_TRUE(f.object.Members().empty());
    EXPECT_EQ(f.object.GetProperty("Name"), nullptr);
}

TEST(AutomationObject, ArgumentsTakeTheDeclaredTypes) {
    Fixture f;
    ASSERT_TRUE(f.object.Attach(f.server));
    ASSERT_NE(f.object.CallMethod("Move", 0x12345, 0x1FF, 5, "M 31", 7, 2.5, Variant::Text("v"),
                                  45000.25),
              nullptr);
    const std::vector<Variant>& a = f.server->calls.back().args;
    ASSERT_EQ(a.size(), 8u);
    EXPECT_EQ(a[0].type, vt::I2);
    EXPECT_EQ(a[0].integer, 0x2345) << "only the low two bytes";
    EXPECT_EQ(a[1].type, vt::UI1);
    EXPECT_EQ(a[1].integer, 0xFF);
    EXPECT_EQ(a[2].type, vt::Bool);
    EXPECT_EQ(a[2].integer, -1);
    EXPECT_EQ(a[3].type, vt::BStr);
    EXPECT_EQ(a[3].text, "M 31");
    EXPECT_EQ(a[4].integer, 7);
    EXPECT_EQ(a[5].real, 2.5);
    EXPECT_EQ(a[6].type, vt::BStr) << "a variant goes whole, its type included";
    EXPECT_EQ(a[6].text, "v");
    EXPECT_EQ(a[7].type, vt::Date);
    EXPECT_EQ(a[7].real, 45000.25);

    // A false flag is 0; a value of the wrong kind, or one left out, goes as empty.
    f.object.CallMethod("Move", -1, 0, 0, 12);
    const std::vector<Variant>& b = f.server->calls.back().args;
    EXPECT_EQ(b[0].integer, -1);
    EXPECT_EQ(b[2].integer, 0);
    EXPECT_TRUE(b[3].IsEmpty());
    EXPECT_TRUE(b[7].IsEmpty());
}

TEST(AutomationObject, ResultsAndExceptionTextsLiveUntilTheNextCall) {
    Fixture f;
    ASSERT_TRUE(f.object.Attach(f.server));
    const Variant* first = f.object.GetProperty("Connected");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->integer, 1);
    // Another member's call leaves the first result alone; the same member's replaces it.
    f.object.GetProperty("Name");
    EXPECT_EQ(first->integer, 1);
    EXPECT_EQ(f.object.GetProperty("Connected")->integer, 3);

    f.server->answer = [](const Received&, Variant& v, ExceptionInfo& e) {
        v = Variant::Int32(99);
        e.source = "Filter Simulator@localhost:7624";
        e.description = "The wheel is jammed";
        return result::Exception;
    };
    EXPECT_EQ(f.object.GetProperty("Connected"), nullptr);
    EXPECT_EQ(f.object.LastResult(), result::Exception);
    ASSERT_NE(f.object.LastException(), nullptr);
    EXPECT_EQ(f.object.LastException()->description, "The wheel is jammed");
    EXPECT_TRUE(f.object.Members()[4].result.IsEmpty()) << "a failed call leaves no result";
    // A lookup that finds nothing is no call: the texts stay.
    EXPECT_EQ(f.object.GetProperty("Nothing"), nullptr);
    EXPECT_NE(f.object.LastException(), nullptr);

    // Any other failure carries no texts; a success clears them.
    f.server->answer = [](const Received&, Variant&, ExceptionInfo&) {
        return result::MemberNotFound;
    };
    EXPECT_FALSE(f.object.PutProperty("Connected", 0));
    EXPECT_EQ(f.object.LastResult(), result::MemberNotFound);
    EXPECT_EQ(f.object.LastException(), nullptr);
    f.server->answer = [](const Received&, Variant&, ExceptionInfo& e) {
        e.description = "again";
        return result::Exception;
    };
    f.object.CallMethod("Park");
    ASSERT_NE(f.object.LastException(), nullptr);
    f.server->answer = [](const Received&, Variant&, ExceptionInfo&) { return result::Ok; };
    EXPECT_NE(f.object.CallMethod("Park"), nullptr);
    EXPECT_EQ(f.object.LastResult(), result::Ok);
    EXPECT_EQ(f.object.LastException(), nullptr);
}

TEST(AutomationObject, AnUnknownProgIdKeepsTheTransportsCode) {
    NoTransport transport;
    AutomationObject object(transport);
    EXPECT_FALSE(object.CreateFromProgId("No.Such.Server"));
    EXPECT_EQ(object.LastResult(), result::ClassNotRegistered);
    EXPECT_FALSE(object.HasServer());
}

}  // namespace
}  // namespace zorvane
