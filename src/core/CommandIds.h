#pragma once

namespace zorvane {

// Command, menu, dialog and control numbers of the program's resources. They are stable: menus,
// the toolbar, the command table and the tests all refer to them.
namespace ids {

// Resources
constexpr int IDR_MAINFRAME = 128;  // menu, accelerator table, toolbar, icon, title string

// File menu
constexpr int ID_APP_EXIT = 57665;
constexpr int ID_FILE_SAVE_AS = 32777;
constexpr int ID_FILE_AUTOSAVE = 32785;
constexpr int ID_FILE_IMAGE_HEADER = 32791;
// View menu
constexpr int ID_VIEW_DISPLAY = 32779;
constexpr int ID_VIEW_EXPOSURE = 32773;
constexpr int ID_VIEW_COOLER = 32810;
constexpr int ID_VIEW_TRACKING = 32811;
constexpr int ID_GUIDE_AUTOSELECT = 32830;  // pick the best guide star
constexpr int ID_GUIDE_SERVER = 32831;      // the guiding event server on or off
constexpr int ID_GUIDE_LOG_FOLDER = 32832;  // open the guide logs' folder
// Camera menu
constexpr int ID_CAMERA_SNAPSHOT = 32784;
constexpr int ID_CAMERA_LOOP = 32774;
constexpr int ID_CAMERA_SUBFRAME = 32787;
constexpr int ID_CAMERA_ROTATE = 32790;
constexpr int ID_CAMERA_LOCK = 32806;
constexpr int ID_CAMERA_SET_EXP = 32812;
constexpr int ID_CAMERA_SEQUENCER = 32813;
constexpr int ID_CAMERA_FILTER_WHEEL = 32819;
constexpr int ID_CAMERA_INFO = 32775;
constexpr int ID_CAMERA_CONNECT = 32778;
// Colour menu (handled by the image view)
constexpr int ID_COLOUR_AUTOMATIC = 32822;
constexpr int ID_COLOUR_RAW = 32802;
constexpr int ID_COLOUR_COLOUR = 32803;
constexpr int ID_COLOUR_LUMINANCE = 32804;
constexpr int ID_BAYER_AUTO = 32825;
constexpr int ID_BAYER_00 = 32826;
constexpr int ID_BAYER_01 = 32827;
constexpr int ID_BAYER_10 = 32828;
constexpr int ID_BAYER_11 = 32829;
// Quick menu: presets 1-4 and 5-8 (32796 is not used)
constexpr int ID_QUICK_1 = 32792;
constexpr int ID_QUICK_2 = 32793;
constexpr int ID_QUICK_3 = 32794;
constexpr int ID_QUICK_4 = 32795;
constexpr int ID_QUICK_5 = 32797;
constexpr int ID_QUICK_6 = 32798;
constexpr int ID_QUICK_7 = 32799;
constexpr int ID_QUICK_8 = 32800;
constexpr int ID_QUICK_SAVE = 32805;
// Help menu
constexpr int ID_APP_ABOUT = 57664;

// Quick preset command of preset n (1..8).
constexpr int QuickPresetCommand(int n) { return n <= 4 ? ID_QUICK_1 + n - 1 : ID_QUICK_5 + n - 5; }

// Status-bar indicators
constexpr int ID_INDICATOR_ZOOM = 101;
constexpr int ID_INDICATOR_STATE = 102;
constexpr int ID_INDICATOR_READOUT = 103;
constexpr int ID_INDICATOR_SAVED = 104;

// Dialogs
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDD_EXPOSURE = 130;
constexpr int IDD_CAMERA_INFO = 132;
constexpr int IDD_DISPLAY = 134;
constexpr int IDD_IMAGE_HEADER = 137;
constexpr int IDD_USB_ERROR = 142;
constexpr int IDD_QUICK_SAVE = 148;
constexpr int IDD_COOLER = 151;
constexpr int IDD_PROGRESS = 153;
constexpr int IDD_TRACKING_HELP = 154;
constexpr int IDD_SEQUENCER = 155;
constexpr int IDD_FILTER_WHEEL = 156;
constexpr int IDD_TRACKING = 159;
constexpr int IDD_GUIDE_STAR_LOST = 161;

}  // namespace ids
}  // namespace zorvane
