#include "filterwheel/FilterWheel.h"

#include "platform/Clock.h"

namespace zorvane {

FilterWheel::FilterWheel(AutomationTransport& transport, Prompts& prompts, TimerService& timers,
                         int timerId, BackgroundWork& work)
    : transport_(transport), prompts_(prompts), timers_(timers), timerId_(timerId), work_(work) {}

FilterWheel::~FilterWheel() {
    *alive_ = false;
    // Those still waiting may be gone already: nobody is told anything more.
    waiting_.clear();
    if (!moves_.empty()) timers_.KillTimer(timerId_);
    moves_.clear();
    Disconnect();
}

void FilterWheel::Connect(bool quiet, Connected done, int settleMs) {
    quiet_ = (connecting_ ? quiet_ : true) && quiet;
    waiting_.push_back(std::move(done));
    if (connecting_) return;
    Release();
    inUse_ = false;
    connecting_ = true;
    const int attempt = ++attempt_;
    work_.Run([&transport = transport_, settleMs, alive = alive_, this,
               attempt]() -> BackgroundWork::Finish {
        auto object = std::make_shared<AutomationObject>(transport);
        bool connected = false;
        if (object->CreateFromProgId(kProgId)) {
            object->PutProperty("Connected", 1);
            const Variant* v = object->GetProperty("Connected");
            connected = v && v->AsInt16() != 0;
        }
        if (!connected) object.reset();
        if (connected && settleMs > 0) SleepMilliseconds(settleMs);
        return [this, alive, attempt, object] {
            if (*alive) ConnectFinished(attempt, object);
        };
    });
}

void FilterWheel::ConnectFinished(int attempt, std::shared_ptr<AutomationObject> object) {
    if (attempt != attempt_) {
        // Given up meanwhile: the wheel that connected all the same is let go again.
        if (object)
            work_.Run([object]() mutable {
                object->PutProperty("Connected", 0);
                object.reset();
                return BackgroundWork::Finish{};
            });
        return;
    }
    connecting_ = false;
    const bool connected = object != nullptr;
    object_ = std::move(object);
    inUse_ = connected;
    std::vector<Connected> waiting = std::move(waiting_);
    waiting_.clear();
    if (!connected && !quiet_)
        prompts_.MessageBox("Cannot communicate with filterwheel", "Filterwheel",
                            MessageButtons::Ok, MessageIcon::None);
    for (const Connected& done : waiting)
        if (done) done(connected);
}

bool FilterWheel::Disconnect() {
    Release();
    inUse_ = false;
    if (connecting_) {
        connecting_ = false;
        ++attempt_;
        std::vector<Connected> waiting = std::move(waiting_);
        waiting_.clear();
        for (const Connected& done : waiting)
            if (done) done(false);
    }
    return true;
}

void FilterWheel::Release() {
    if (!object_) return;
    // Letting go of a server connection waits a moment for the server to end its side.
    work_.Run([object = std::move(object_)]() mutable {
        object->PutProperty("Connected", 0);
        object.reset();
        return BackgroundWork::Finish{};
    });
    object_.reset();
}

bool FilterWheel::IsConnected() {
    if (!object_) return false;
    const Variant* v = object_->GetProperty("Connected");
    return v && v->AsInt16() != 0;
}

bool FilterWheel::SetPosition(int position) {
    if (!object_) return false;
    // What the server makes of it shows in the next read of the position.
    object_->PutProperty("Position", position);
    return true;
}

int FilterWheel::ReadPosition(bool& answered) {
    answered = false;
    if (!object_) return -1;
    const Variant* v = object_->GetProperty("Position");
    answered = v != nullptr;
    return v ? v->AsInt16() : -1;
}

int FilterWheel::GetPosition() {
    bool answered = false;
    return ReadPosition(answered);
}

void FilterWheel::MoveAndWait(int position, Reached done) {
    moves_.push_back({position, std::move(done)});
    if (!moves_.front().started) StartMove();
}

void FilterWheel::StartMove() {
    Move& m = moves_.front();
    m.started = true;
    m.sent = SetPosition(m.position);
    // Without a wheel the outcome comes on the next tick, as every outcome does.
    timers_.SetTimer(timerId_, m.sent ? kWaitStepMs : 1);
}

void FilterWheel::OnTimer() {
    if (moves_.empty()) {
        timers_.KillTimer(timerId_);
        return;
    }
    Move& m = moves_.front();
    if (!m.sent) return EndMove(-1);
    bool answered = false;
    const int p = ReadPosition(answered);
    // A server that no longer answers will not finish the move: no use waiting on.
    if (answered && p == -1 && ++m.steps < kWaitSteps) return;
    EndMove(GetPosition());
}

void FilterWheel::EndMove(int reached) {
    timers_.KillTimer(timerId_);
    const Reached done = std::move(moves_.front().done);
    moves_.pop_front();
    const std::shared_ptr<bool> alive = alive_;
    if (done) done(reached);
    if (*alive && !moves_.empty() && !moves_.front().started) StartMove();
}

int FilterWheel::GetPositionCount() {
    const auto names = GetFilterNames();
    return names ? static_cast<int>(names->size()) : -1;
}

std::optional<std::vector<std::string>> FilterWheel::GetFilterNames() {
    if (!object_) return std::nullopt;
    const Variant* names = object_->GetProperty("Names");
    if (!names || names->type != (vt::Array | vt::BStr)) return std::nullopt;
    return names->texts;
}

std::string FilterWheel::GetVersionText() {
    if (!object_) return {};
    const Variant* v = object_->GetProperty("Version");
    if (!v) return {};
    return "Using Wyrl assembly v" + v->AsText();
}

}  // namespace zorvane
