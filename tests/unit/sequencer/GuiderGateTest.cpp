// The sequencer's guider link when the guider cannot be had: nobody at the address, or a
// program there that does not speak the guiding event protocol. (Guiding through a real guider
// is shown by the integration test with two copies of the program.)

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/TcpListener.h"
#include "sequencer/GuiderGate.h"
#include "support/VirtualEventLoop.h"

namespace zorvane {
namespace {

struct GateBench {
    test::VirtualEventLoop clock;
    SequenceGuideOptions options;
    GuiderGate gate{clock, options};
    std::vector<std::string> stops;

    GateBench() {
        options.guide = true;
        options.host = "127.0.0.1";
    }
    void Begin() {
        gate.Begin([this](const std::string& why) { stops.push_back(why); });
    }
    // Polls as the window's timer would, every 25 ms of virtual time, with a moment of real
    // time for loopback bytes to arrive.
    void Poll(int times) {
        for (int i = 0; i < times && stops.empty(); ++i) {
            clock.Advance(25);
            gate.Poll();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
};

TEST(GuiderGate, NobodyAtTheAddressStopsTheRunNamingTheGuider) {
    GateBench b;
    TcpListener probe;
    std::string why;
    ASSERT_TRUE(probe.Listen(0, false, why));
    b.options.port = probe.Port();
    probe.Close();
    b.Begin();
    EXPECT_TRUE(b.gate.InUse());
    EXPECT_EQ(b.gate.BeforeExposure(0).verdict, SequenceGate::Verdict::Wait);
    EXPECT_EQ(b.gate.WaitText(), "connecting to the guider");
    b.Poll(100);
    ASSERT_EQ(b.stops.size(), 1u);
    EXPECT_EQ(b.stops[0],
              "Cannot connect to the guider at 127.0.0.1:" + std::to_string(b.options.port) +
                  ":\nConnection refused\n\nThe sequence did not start.");
    // Told once; the engine's next question gets the same answer, not a second message.
    b.Poll(10);
    EXPECT_EQ(b.stops.size(), 1u);
    EXPECT_EQ(b.gate.BeforeExposure(0).verdict, SequenceGate::Verdict::Stop);
    b.gate.End();
    EXPECT_FALSE(b.gate.InUse());

    // Guiding off: the gate never holds and never connects.
    b.options.guide = false;
    b.Begin();
    EXPECT_FALSE(b.gate.InUse());
    EXPECT_EQ(b.gate.BeforeExposure(4).verdict, SequenceGate::Verdict::Go);
    EXPECT_EQ(b.gate.StateText(), "Guiding: off");
}

TEST(GuiderGate, AProgramThatSaysNothingIsNoGuider) {
    GateBench b;
    TcpListener silent;
    std::string why;
    ASSERT_TRUE(silent.Listen(0, false, why));
    b.options.port = silent.Port();
    b.Begin();
    b.Poll(300);  // 7.5 s
    EXPECT_TRUE(b.stops.empty());
    TcpConnection taken = silent.Accept();
    EXPECT_TRUE(taken.Open());
    b.Poll(200);
    ASSERT_EQ(b.stops.size(), 1u);
    EXPECT_EQ(b.stops[0], "No word from the guider at 127.0.0.1:" + std::to_string(silent.Port()) +
                              ": it does not speak the guiding event protocol.");
}

}  // namespace
}  // namespace zorvane
