#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "automation/AutomationServer.h"

namespace zorvane {

// Servers this program provides itself (its device chooser), found by ProgID before any other
// transport is asked; every other ProgID goes on to that transport.
class ServerDirectory : public AutomationTransport {
public:
    // Makes the server, or none when it cannot run now.
    using Factory = std::function<std::shared_ptr<AutomationServer>()>;

    explicit ServerDirectory(AutomationTransport& next) : next_(next) {}

    void Register(const std::string& progId, Factory make) { own_[progId] = std::move(make); }

    std::shared_ptr<AutomationServer> Create(const std::string& progId, const char* serverName,
                                             int32_t& code) override {
        const auto it = own_.find(progId);
        if (it == own_.end()) return next_.Create(progId, serverName, code);
        std::shared_ptr<AutomationServer> server = it->second();
        code = server ? result::Ok : result::ClassNotRegistered;
        return server;
    }
    void ProgramEnding() override { next_.ProgramEnding(); }

private:
    AutomationTransport& next_;
    std::map<std::string, Factory> own_;
};

}  // namespace zorvane
