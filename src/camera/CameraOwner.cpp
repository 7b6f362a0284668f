#include "camera/CameraOwner.h"

#include <utility>

namespace zorvane {

namespace {

const char* WhatIsRefused(CameraActivity who) {
    switch (who) {
        case CameraActivity::Sequence:
            return "Cannot start a sequence";
        case CameraActivity::Calibration:
            return "Cannot calibrate";
        case CameraActivity::Remote:
            return "Cannot use the camera";
        default:
            return "Cannot take exposures";
    }
}

}  // namespace

bool CameraOwner::MayUse(CameraActivity who) const {
    return holder_ == CameraActivity::None || holder_ == who;
}

bool CameraOwner::Acquire(CameraActivity who, LossHandler onLoss, std::string requester) {
    if (who == CameraActivity::None || !MayUse(who)) return false;
    if (holder_ == who) return true;
    holder_ = who;
    onLoss_ = std::move(onLoss);
    requester_ = std::move(requester);
    return true;
}

void CameraOwner::Release(CameraActivity who) {
    if (holder_ != who) return;
    holder_ = CameraActivity::None;
    onLoss_ = nullptr;
    requester_.clear();
}

void CameraOwner::TakeAway(CameraLoss why) {
    const LossHandler told = std::move(onLoss_);
    Release(holder_);
    // Free before the holder hears of it: what it does then finds nobody holding the camera.
    if (told) told(why);
}

std::string CameraOwner::Refusal(CameraActivity who) const {
    if (MayUse(who)) return {};
    std::string text = std::string(WhatIsRefused(who)) + " while ";
    switch (holder_) {
        case CameraActivity::Sequence:
            return text + "a sequence is running.\nStop the sequence first.";
        case CameraActivity::Calibration:
            return text + "a calibration is running.\nWait for it to end, or cancel it.";
        case CameraActivity::Remote:
            return text + (requester_.empty() ? "a remote client" : requester_) +
                   " is using the camera.";
        default:
            return text + "camera is imaging.";
    }
}

const char* CameraOwner::RefusalCaption(CameraActivity who) {
    switch (who) {
        case CameraActivity::Sequence:
            return "Sequencer";
        case CameraActivity::Calibration:
            return "Calibrate";
        default:
            return "Zorvane Capture";
    }
}

bool CameraOwner::MayUseOrTell(CameraActivity who, Prompts& prompts) const {
    if (MayUse(who)) return true;
    prompts.MessageBox(Refusal(who), RefusalCaption(who), MessageButtons::Ok,
                       MessageIcon::Exclamation);
    return false;
}

}  // namespace zorvane
