#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "guiding/Ditherer.h"
#include "guiding/GuiderInterface.h"
#include "guiding/GuidingEngine.h"
#include "guiding/SettleMonitor.h"

namespace zorvane {

// The camera as the guider asks for it. Every start, stop and change of the camera that other
// programs ask for goes through here.
class GuideCamera {
public:
    virtual ~GuideCamera() = default;
    virtual bool Connected() = 0;
    virtual std::string Name() = 0;
    virtual bool Looping() = 0;
    // Starts looping exposures; an error when the camera is not free for it.
    virtual GuiderStatus StartLoop() = 0;
    // Whether calibration may take the camera now (its owner's word).
    virtual GuiderStatus MayCalibrate() = 0;
    virtual void StopLoop() = 0;
    virtual int ExposureMs() = 0;
    virtual GuiderStatus SetExposureMs(int ms) = 0;
    // The whole sensor in unbinned pixels, and the binning of the frames.
    virtual Rect SensorRect() = 0;
    virtual int BinX() = 0;
    virtual int BinY() = 0;
    // Micrometres; 0 when not known.
    virtual double PixelSizeUm() = 0;
    // The frame on show.
    virtual const ImageFrame& Frame() = 0;
};

// The guider under the control of other programs: it carries out their requests in the
// program's terms (the loop, star selection, calibration, autoguiding, dithers, pauses) and
// reports what guiding does, as it happens, to its listeners (the event server, the guide log).
// Positions and distances it reports are camera pixels (binned), so that with the image scale
// they give arc-seconds. Work that starts or stops the camera runs from Tick, never from inside
// a frame's handling.
class GuiderControl : public GuiderApi, private GuidingObserver {
public:
    GuiderControl(GuidingEngine& engine, GuideCamera& camera, Clock& clock,
                  GuidingSettings& settings);
    ~GuiderControl() override;
    GuiderControl(const GuiderControl&) = delete;
    GuiderControl& operator=(const GuiderControl&) = delete;

    void AddListener(GuiderListener* listener) { listeners_.push_back(listener); }
    void SetShutdownHandler(std::function<void()> handler) { shutdown_ = std::move(handler); }
    void SetDitherSeed(uint64_t seed) { ditherer_ = Ditherer(seed); }
    // Time passing (call it every few tens of milliseconds): settle timeouts, the next step of
    // a guide request, and changes made in the window reported.
    void Tick();

    // ---- GuiderApi ----
    GuiderState State() override;
    std::optional<PointF> LockPosition() override;
    std::optional<PointF> SelectedStar() override;
    bool Calibrated() override;
    bool Paused() override { return paused_; }
    bool CameraConnected() override;
    GuiderStatus SetConnected(bool connect) override;
    Equipment CurrentEquipment() override;
    std::optional<double> PixelScale() override;
    int ExposureMs() override;
    GuiderStatus SetExposureMs(int ms) override;
    std::vector<int> ExposureDurations() override;
    std::optional<std::pair<int, int>> CameraFrameSize() override;
    GuiderStatus Loop() override;
    void StopCapture() override;
    std::optional<PointF> FindStar(const std::optional<Roi>& roi, GuiderError& error) override;
    GuiderStatus Guide(const SettleSpec& settle, bool recalibrate,
                       const std::optional<Roi>& roi) override;
    GuiderStatus Dither(double amount, bool raOnly, const SettleSpec& settle) override;
    GuiderStatus SetPaused(bool paused, bool full) override;
    GuiderStatus SetLockPosition(double x, double y, bool exact) override;
    void ClearCalibration() override;
    std::string DecGuideMode() override;
    GuiderStatus SetDecGuideMode(const std::string& mode) override;
    std::optional<StarImage> StarImageAround(int size) override;
    void Shutdown() override;

    std::string MountName();
    const GuideFigures& Figures() const { return engine_.Model().figures; }

private:
    enum class Phase { Idle, FindingStar, Calibrating, StartingGuiding, Guiding };

    // ---- GuidingObserver ----
    void OnFrameShown() override;
    void OnGuided(const GuideStepReport& step) override;
    void OnGuideStarLost() override;
    void OnCalibrationStarted() override;
    void OnCalibrationStep(int direction, bool returning, float x, float y, float x0,
                           float y0) override;
    void OnCalibrationEnded() override;

    template <typename F>
    void Tell(F&& f) {
        for (GuiderListener* l : listeners_) f(*l);
    }
    // Reports what changed since the last look: loop, guiding, lock position, state.
    void Sync();
    void StartGuidingRun();
    // The next step of a guide request: calibrate when needed, then autoguide.
    void ContinueGuide();
    void StartCalibration();
    void StartAutoguiding();
    void BeginSettle();
    void Settled(const SettleDoneEvent& done);
    // The guide or dither being answered has failed.
    void FailRequest(const std::string& why);
    bool SelectStar(const std::optional<Roi>& roi);
    GuiderError CalibrationObstacle();
    PointF ToCamera(float x, float y);
    Point ToSensor(double x, double y);
    CalibrationResult Result();
    uint64_t Now() { return clock_.Milliseconds(); }

    GuidingEngine& engine_;
    GuideCamera& camera_;
    Clock& clock_;
    GuidingSettings& settings_;
    std::vector<GuiderListener*> listeners_;
    std::function<void()> shutdown_;
    Ditherer ditherer_;
    SettleMonitor settle_;

    Phase phase_ = Phase::Idle;
    bool requestOpen_ = false;  // a guide or dither waits for its SettleDone
    SettleSpec request_;
    bool recalibrate_ = false;
    std::optional<Roi> roi_;
    uint64_t findUntilMs_ = 0;
    bool continuePending_ = false;
    bool paused_ = false, pausedFull_ = false;
    bool lostLock_ = false;
    int frame_ = 0;

    // What was last reported.
    GuiderState state_ = GuiderState::Stopped;
    bool looping_ = false, guiding_ = false;
    std::optional<PointF> lock_;
    uint64_t guidingStartMs_ = 0;
    double avgDist_ = 0;
    struct Sums {
        int n = 0;
        double ra = 0, ra2 = 0, dec = 0, dec2 = 0;
    } sums_;
    GuideCalibration calibrationBefore_;
    int calibrationDirection_ = -1, calibrationStep_ = 0;
};

}  // namespace zorvane
