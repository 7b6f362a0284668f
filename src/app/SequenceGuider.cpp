#include "app/SequenceGuider.h"

#include "core/TimerIds.h"

namespace zorvane {

SequenceGuider::SequenceGuider(SequenceEngine& engine, SequenceModel& model, TimerService& timers,
                               Clock& clock, AppUi& ui)
    : engine_(engine), timers_(timers), ui_(ui), gate_(clock, model.guiding) {
    engine_.SetGate(this);
}

SequenceGuider::~SequenceGuider() {
    engine_.SetGate(nullptr);
    timers_.KillTimer(kTimerGuiderLink);
}

void SequenceGuider::Begin(StopHandler stop) {
    gate_.Begin(std::move(stop));
    if (gate_.InUse()) timers_.SetTimer(kTimerGuiderLink, kPollMs);
}

void SequenceGuider::End() {
    gate_.End();
    timers_.KillTimer(kTimerGuiderLink);
    ui_.RefreshSequencerDialog();
}

bool SequenceGuider::OnTimer(int id) {
    if (id != kTimerGuiderLink) return false;
    gate_.Poll();
    if (gate_.StateText() != shown_) {
        shown_ = gate_.StateText();
        ui_.RefreshSequencerDialog();
    }
    return true;
}

void SequenceGuider::AddHeaderInputs(HeaderInputs& in) const {
    const auto& rms = gate_.LastExposureRms();
    if (!engine_.Running() || !gate_.InUse() || !rms) return;
    if (rms->arcseconds)
        in.guideRmsArcsec = rms->arcseconds;
    else
        in.guideRmsPixels = rms->pixels;
}

}  // namespace zorvane
