#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/Clock.h"
#include "guideprotocol/GuiderClient.h"
#include "sequencer/SequenceGate.h"
#include "sequencer/SequenceModel.h"

namespace zorvane {

// A sequence guided by a separate guider over the guiding event protocol. At Run it connects
// and, unless the guider already guides, starts guiding (unpause, loop, find a star, guide)
// and holds the first exposure until the guider has settled. Every N frames it dithers and
// holds the next exposure until the guider has settled again. While the guider does not guide
// (the star is lost) it holds the next exposure, and stops the sequence after a limit; once
// guiding is back it waits for a new settle. Guiding pauses while the wheel moves. A guider
// that cannot be reached or goes away stops the sequence with a message naming it. It also
// measures the guiding RMS over each exposure, for the file header.
class GuiderGate : public SequenceGate {
public:
    // How long past its own timeout a settle is waited for before it counts as failed.
    static constexpr uint64_t kSettleGraceMs = 60000;
    // How long the guider has to show a frame after it was asked to loop.
    static constexpr uint64_t kFirstFrameMs = 120000;
    // Frames in which the guider may fail to find a star before the start is given up.
    static constexpr int kFindStarAttempts = 3;

    // The options are read where they are used: their guide switch and address at Run, the
    // rest at each frame, as the other sequence settings are.
    GuiderGate(Clock& clock, const SequenceGuideOptions& options);

    // Reads the guider and moves the start on; call every few tens of milliseconds while in
    // use. A failure found here stops the sequence through the handler given to Begin.
    void Poll();
    // The link is in use (a guided sequence runs).
    bool InUse() const { return phase_ != Phase::Off; }
    // The guider as the sequencer dialog shows it: "Guider localhost:4400: Guiding".
    std::string StateText() const;

    struct Rms {
        double pixels = 0;                 // guide-camera pixels, RA and Dec together
        std::optional<double> arcseconds;  // when the guider gave its pixel scale
        int steps = 0;                     // guide steps it was measured over
    };
    // The guiding RMS over the exposure that ended last; none when no guide step came in.
    const std::optional<Rms>& LastExposureRms() const { return lastRms_; }
    // The time each settle after a dither (or a lost star) took so far, on average; none before
    // the first.
    std::optional<double> MeanSettleSeconds() const;
    int Dithers() const { return dithers_; }

    // ---- SequenceGate ----
    void Begin(StopHandler stop) override;
    Answer BeforeExposure(int framesTaken) override;
    void ExposureStarted() override;
    void ExposureEnded() override;
    void FilterMoving() override;
    void FilterArrived() override;
    void End() override;
    std::string WaitText() const override;
    double ExpectedHoldSeconds(int framesTaken, int framesLeft) const override;

private:
    using Json = GuiderClient::Json;
    enum class Phase { Off, Connecting, Starting, Settling, Ready };
    // The steps of starting guiding, each after the answer to the one before.
    enum class StartStep { Unpause, Loop, FirstFrame, FindStar, Guide };

    void OnEvent(const Json& event);
    void StartGuiding();
    void NextStartStep();
    void RequestSettle(const char* method, Json params);
    void Settled(bool ok, const std::string& error);
    void Fail(const std::string& message);
    Json SettleParams() const;
    bool Guiding() const { return appState_ == "Guiding"; }
    uint64_t Now() { return clock_.Milliseconds(); }
    std::string Named(const std::string& what) const;

    Clock& clock_;
    const SequenceGuideOptions& options_;
    GuiderClient client_;
    StopHandler stop_;
    Phase phase_ = Phase::Off;
    std::string failure_;
    bool failureTold_ = false;

    std::string appState_;  // as the guider last said or its events imply
    bool heardState_ = false;
    std::optional<double> pixelScale_;
    StartStep startStep_ = StartStep::Unpause;
    uint64_t stepSinceMs_ = 0;
    int findAttempts_ = 0;
    bool frameSeen_ = false;  // a frame came after the loop request

    bool initialSettle_ = false;
    bool ditherSettle_ = false;
    uint64_t settleStartMs_ = 0;
    uint64_t settleDeadlineMs_ = 0;
    double settleTotalSeconds_ = 0;
    int settles_ = 0;
    double settleDistance_ = -1;  // the last Settling report
    int ditheredBefore_ = -1;     // the frame count a dither was made for
    int dithers_ = 0;

    std::optional<uint64_t> holdingSinceMs_;  // the guider did not guide when asked
    bool pausedByUs_ = false;
    int resumeRequest_ = 0;  // a set_paused [false] still unanswered

    bool measuring_ = false;
    int steps_ = 0;
    double ra_ = 0, ra2_ = 0, dec_ = 0, dec2_ = 0;
    std::optional<Rms> lastRms_;
};

}  // namespace zorvane
