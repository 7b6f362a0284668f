#pragma once

// A private INDI server for tests: `indiserver` on a free loopback port with its own local
// socket (/tmp/indiserver-<port>; two servers would otherwise share the default one), with the
// simulators a test needs. It waits until every named device has defined its properties, and
// stops the server and its drivers when it goes.

#include <sys/types.h>

#include <string>
#include <vector>

namespace zorvane::test {

class IndiServer {
public:
    enum class Status {
        Started,
        CannotStart,     // no indiserver on this machine, or it would not run
        DevicesMissing,  // the server runs but the drivers never showed their devices
    };

    // Drivers to run, and the devices whose properties must have arrived before Start returns.
    IndiServer(std::vector<std::string> drivers, std::vector<std::string> devices);
    ~IndiServer();
    IndiServer(const IndiServer&) = delete;
    IndiServer& operator=(const IndiServer&) = delete;

    Status Start();
    // Starts the server again on the port it had (after Kill or Stop), as someone restarting
    // it would: clients configured with its address find it there again.
    Status Restart();
    // Why Start did not report Started.
    const std::string& Error() const { return error_; }
    // Ends the server at once, as a crash would (the drivers go with it).
    void Kill();
    // Ends the server and its drivers, waiting a bounded time for them.
    void Stop();
    // Freezes the server and its drivers (SIGSTOP): connections are still accepted by the
    // system, but nothing answers. Resume lets them go on.
    void Pause();
    void Resume();

    bool Running() const { return pid_ > 0; }
    int Port() const { return port_; }
    // "localhost:<port>", the server part of an "Automation" setting.
    std::string Address() const;

    // The standard simulators and their device names.
    static constexpr const char* kWheelDriver = "indi_simulator_wheel";
    static constexpr const char* kWheelDevice = "Filter Simulator";
    static constexpr const char* kTelescopeDriver = "indi_simulator_telescope";
    static constexpr const char* kTelescopeDevice = "Telescope Simulator";
    static constexpr const char* kCcdDriver = "indi_simulator_ccd";
    static constexpr const char* kCcdDevice = "CCD Simulator";

    // A loopback port nobody listens on at the moment of asking.
    static int FreePort();

private:
    Status Launch();
    void Signal(int signal);
    bool Reap(int timeoutMs);

    std::vector<std::string> drivers_;
    std::vector<std::string> devices_;
    pid_t pid_ = -1;
    int port_ = 0;
    std::string socketPath_;
    std::string error_;
};

}  // namespace zorvane::test

// Starts `server` or fails the test with the reason: the install script provides indiserver and
// its simulators, so a peer that does not start is a fault to see, never a skip.
#define ZORVANE_START_INDI_SERVER(server)                                         \
    do {                                                                          \
        ASSERT_EQ((server).Start(), ::zorvane::test::IndiServer::Status::Started) \
            << "indiserver did not start: " << (server).Error();                  \
    } while (0)
