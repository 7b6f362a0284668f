#pragma once

#include <QMainWindow>
#include <QTimer>
#include <array>
#include <map>
#include <memory>
#include <optional>

#include "app/AppUi.h"
#include "app/CaptureApp.h"
#include "ui/CDeviceChooserDialog.h"
#include "ui/GuidingWindows.h"
#include "ui/QtEventPoster.h"
#include "ui/QtSleepInhibitor.h"
#include "ui/QtTimerService.h"
#include "ui/WaitNote.h"

class QAction;
class QDialog;
class QMenu;
class QToolBar;

namespace zorvane {

class CChildView;
class ExposureDialogController;
class SettingsController;
class CoolerDialog;
class CTrackingDialog;
class CSequencerDialog;
class MainStatusBar;

// The main window: menus, toolbar, status bar, the image view and the modeless dialogs. It
// holds no program state of its own: commands go first to the image view, then to the core
// (CaptureApp), then to the window's own handlers (dialogs, Info, About, Exit), and every menu
// item, toolbar button and status pane shows what the core says on a periodic idle pass.
class CMainFrame : public QMainWindow, public AppUi {
    Q_OBJECT
public:
    // Start-up as the program does it: the camera choice and the connection loop (questions go
    // to `prompts`), the window, the settings, then the dialogs that were open at the last exit.
    explicit CMainFrame(Prompts& prompts, AppOptions options = {}, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CaptureApp& App() { return *app_; }
    SettingsController& Settings() { return *settings_; }
    CChildView* View() const { return view_; }

    // Runs a command by id, as a menu item, toolbar button or shortcut does.
    void OnCommand(int id);
    // The idle pass: enable / check / text of every command, then the status-bar panes.
    void UpdateUi();
    void UpdateCommandUi();
    void UpdateStatusBar();

    // "&Save..." of the "&Quick" menu: the Save quick settings dialog.
    void OnSaveQuickSettings();
    // The Tracking and Sequencer commands: show the dialog, creating it on first use, or hide
    // it when it is visible.
    void ToggleTrackingDialog();
    void ToggleSequencerDialog();
    QDialog* Dialog(AppDialog which) const;
    CoolerDialog* Cooler() const;
    CTrackingDialog* Tracking() const;
    CSequencerDialog* Sequencer() const;
    QDialog* UsbErrorDialogWidget() const { return usbError_.get(); }

    QAction* Action(int id) const;
    QToolBar* ToolBar() const { return toolBar_; }
    MainStatusBar* StatusBar() const { return statusBar_; }
    QMenu* TopMenu(const QString& text) const;
    // The actions that carry the main window's shortcuts; dialogs add them so the shortcuts
    // keep working while a dialog has the focus.
    QList<QAction*> ShortcutActions() const;

    // ---- AppUi ----
    void RepaintView(bool erase) override;
    void RefreshExposureDialog() override;
    bool ApplyLockInExposureDialog(bool locked) override;
    void ShowExposureInDialog(float seconds) override;
    void RefreshCoolerDialog() override;
    void EnableSequencerRun(bool enable) override;
    void RefreshSequencerDialog() override;
    void RefreshFilterDialog() override;
    bool SetQuickMenuItemText(int position, const std::string& text) override;
    void ShowTrackingDialog(bool show) override;
    void RefreshTrackingDialog() override;
    void RefreshDeviationCharts(bool now) override;
    void ShowCalibrationProgress(bool show) override { indicators_.ShowCalibrationProgress(show); }
    void SetCalibrationProgress(int percent) override {
        indicators_.SetCalibrationProgress(percent);
    }
    void ShowGuideStarLost(bool show) override { indicators_.ShowGuideStarLost(show); }
    QDialog* CalibrationProgress() const { return indicators_.CalibrationProgress(); }
    QDialog* GuideStarLost() const { return indicators_.GuideStarLost(); }
    void RunCameraSetUp(const std::function<void()>& calls) override;
    DeviceChooserUi* DeviceChooser() override { return &chooser_; }
    bool ModalOpen() const override;
    void OpenFolder(const std::string& path) override;
    void CloseMainWindow() override;
    void MaximiseWindow() override;
    [[noreturn]] void ExitProcessNow(int code) override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateMenus();
    void CreateToolBar();
    QAction* AddCommand(QMenu* menu, int id, const QString& text, const QKeySequence& key = {});
    void HandleOwnCommand(int id);
    void ShowCameraInfo();
    void ShowAbout();
    void EditImageHeader();
    void ApplyWindowPlacement();
    // The dialogs that were open at the last exit.
    void ReopenDialogs();
    void RecordWindowPlacement();
    void FocusExposureEdit();
    // Shows a modeless dialog, creating it on first use, or hides it when it is visible.
    void ToggleDialog(AppDialog which);
    std::unique_ptr<QDialog> CreateDialog(AppDialog which);
    void BringUpToDate(AppDialog which);
    std::unique_ptr<QDialog> CreateSequencerDialog();
    void ShowUsbError();
    bool NightVisionOn() const;

    // Hooks to the image view: it sees every command and update first.
    bool RouteToView(int id);
    std::optional<CommandUi> ViewCommandState(int id);

    Prompts& prompts_;
    QtTimerService timers_;
    QtEventPoster poster_;
    QtSleepInhibitor sleepInhibitor_;  // outlives the core, which releases it at shutdown
    QtDeviceChooser chooser_{this};
    std::unique_ptr<CaptureApp> app_;
    std::unique_ptr<ExposureDialogController> exposureDialog_;
    std::unique_ptr<SettingsController> settings_;

    CChildView* view_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    MainStatusBar* statusBar_ = nullptr;
    std::map<int, QAction*> actions_;
    QTimer idleTimer_;

    std::array<std::unique_ptr<QDialog>, 5> dialogs_;
    std::unique_ptr<QDialog> usbError_;
    GuidingIndicators indicators_{this, [this] { app_->Guider().CancelCalibration(); }};
    bool reopenPending_ = false;
    bool waitingOnCamera_ = false;
};

}  // namespace zorvane
