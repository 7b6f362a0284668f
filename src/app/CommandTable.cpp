#include "app/CommandTable.h"

#include "app/CaptureApp.h"
#include "core/CommandIds.h"
#include "settings/QuickPresets.h"

namespace zorvane {

bool CommandTable::Execute(int id) {
    switch (id) {
        case ids::ID_CAMERA_SNAPSHOT:
            app_.Snapshot();
            return true;
        case ids::ID_CAMERA_LOOP:
            app_.ToggleLoop();
            return true;
        case ids::ID_CAMERA_SUBFRAME:
            app_.ToggleSubframeMode();
            return true;
        case ids::ID_CAMERA_ROTATE:
            app_.ToggleRotate();
            return true;
        case ids::ID_CAMERA_LOCK:
            app_.ToggleLock();
            return true;
        case ids::ID_CAMERA_CONNECT:
            app_.ConnectOrDisconnect();
            return true;
        case ids::ID_FILE_AUTOSAVE:
            app_.ToggleAutosave();
            return true;
        case ids::ID_FILE_SAVE_AS:
            app_.Saver().SaveImageAs();
            return true;
        case ids::ID_VIEW_TRACKING:
            app_.Guider().ToggleTrackingDialog();
            return true;
        default:
            return app_.GuiderServer().ExecuteCommand(id);
    }
}

CommandUi CommandTable::State(int id) {
    CommandUi ui;
    const ExposureSettings& exposure = app_.Exposure();
    const bool exposuresMayRun = app_.Owner().MayUse(CameraActivity::Exposures);
    switch (id) {
        case ids::ID_CAMERA_SNAPSHOT:
            ui.checked = app_.Cycle().Exposing();
            ui.enabled = app_.IsConnected() && exposuresMayRun;
            break;
        case ids::ID_CAMERA_LOOP:
            ui.checked = app_.Cycle().Looping();
            ui.enabled = app_.IsConnected() && exposuresMayRun;
            break;
        case ids::ID_CAMERA_SUBFRAME:
            ui.checked = app_.SubframeMode() || !app_.SubframeIsFullSensor();
            ui.enabled = !exposure.lockExposure;
            break;
        case ids::ID_CAMERA_ROTATE:
            ui.checked = exposure.rotate180;
            break;
        case ids::ID_CAMERA_LOCK:
            ui.checked = exposure.lockExposure;
            break;
        case ids::ID_CAMERA_SET_EXP:
            ui.enabled = !exposure.lockExposure;
            break;
        case ids::ID_VIEW_EXPOSURE:
            ui.checked = app_.Placement(AppDialog::Exposure).visible;
            break;
        case ids::ID_VIEW_COOLER:
            ui.checked = app_.Placement(AppDialog::Cooler).visible;
            ui.enabled = app_.Cooler().HasControl();
            break;
        case ids::ID_VIEW_TRACKING:
            ui.checked = app_.Guider().DialogVisible();
            break;
        case ids::ID_CAMERA_SEQUENCER:
            ui.checked = app_.Placement(AppDialog::Sequencer).visible;
            break;
        case ids::ID_CAMERA_FILTER_WHEEL:
            ui.checked = app_.Placement(AppDialog::FilterWheel).visible;
            break;
        case ids::ID_CAMERA_CONNECT:
            ui.text = app_.IsConnected() ? "Dis&connect" : "&Connect";
            break;
        case ids::ID_FILE_AUTOSAVE:
            ui.checked = app_.Saver().Settings().autosave;
            break;
        default:
            // A preset that starts an exposure or a loop needs the camera.
            for (int n = 1; n <= quick::kCount; ++n)
                if (id == ids::QuickPresetCommand(n))
                    ui.enabled =
                        !(app_.Presets()[n - 1].flags & quick::kStartMask) || exposuresMayRun;
            return app_.GuiderServer().CommandState(id, ui);
    }
    return ui;
}

}  // namespace zorvane
