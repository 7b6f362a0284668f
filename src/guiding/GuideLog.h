#pragma once

#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "guiding/GuiderInterface.h"

namespace zorvane {

// The guide log: one text file per session in the common guide-log layout that guide-log
// viewers open (calibrations with their steps, guiding runs with a row per frame, dithers and
// settling), written as guiding goes, a line at a time.
class GuideLog : public GuiderListener {
public:
    static constexpr const char* kPrefix = "ZorvaneCapture_GuideLog_";
    static constexpr int kKeepDays = 60;

    // `now` gives the wall-clock time of each entry.
    GuideLog(
        std::string folder, std::string programVersion,
        std::function<std::time_t()> now = [] { return std::time(nullptr); });
    ~GuideLog() override;
    GuideLog(const GuideLog&) = delete;
    GuideLog& operator=(const GuideLog&) = delete;

    // Creates the folder and the session's file, after removing this program's logs older
    // than kKeepDays. False when the file cannot be made (the log is then silent).
    bool Open();
    const std::string& Path() const { return path_; }
    const std::string& Folder() const { return folder_; }

    void OnCalibrationStarted(const std::string& mount, std::optional<double> pixelScale,
                              int binning, double focalLength) override;
    void OnCalibrating(const CalibrationStepEvent& step) override;
    void OnCalibrationComplete(const CalibrationResult& result) override;
    void OnCalibrationFailed(const std::string& mount, const std::string& reason) override;
    void OnStartGuiding(const GuidingStart& start) override;
    void OnGuideStep(const GuideStepEvent& step) override;
    void OnStarLost(const StarLostEvent& lost) override;
    void OnSettleBegin() override;
    void OnSettleDone(const SettleDoneEvent& done) override;
    void OnDithered(double dx, double dy, PointF newLock) override;
    void OnGuidingStopped() override;
    void OnPaused() override;
    void OnResumed() override;

private:
    void Write(const std::string& text);
    std::string Stamp() const;
    std::string ScaleLine(std::optional<double> scale, int binning, double focalLength) const;

    std::string folder_;
    std::string version_;
    std::function<std::time_t()> now_;
    std::string path_;
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    bool guiding_ = false;
};

// Removes this program's guide logs in `folder` last written more than `days` days before
// `now`; other files are left alone. Returns how many were removed.
int RemoveOldGuideLogs(const std::string& folder, std::time_t now, int days);

}  // namespace zorvane
