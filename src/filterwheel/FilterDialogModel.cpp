#include "filterwheel/FilterDialogModel.h"

namespace zorvane {

const FilterDialogView& FilterDialogModel::Refresh() {
    const bool connecting = host_.FilterWheelConnecting();
    view_.busy = moving_ || connecting;
    view_.buttonEnabled = !connecting;
    if (host_.IsFilterWheelConnected()) {
        view_.buttonText = "Disconnect";
        view_.typeText = "Qelt Filterwheel";
        view_.listEnabled = !moving_;
        view_.entries.clear();
        const int count = host_.FilterPositionCount();
        for (int i = 1; i <= count; ++i) {
            const std::string name = host_.FilterName(i - 1);
            view_.entries.push_back(std::to_string(i) + (name.empty() ? "" : ": " + name));
        }
        // While the wheel moves the list keeps the entry chosen.
        if (!moving_) SelectReported(host_.FilterPosition());
    } else {
        view_.buttonText = "Connect";
        view_.typeText = "Not Connected";
        view_.listEnabled = false;
    }
    return view_;
}

void FilterDialogModel::SelectReported(int position) {
    view_.selection =
        position >= 0 && position < static_cast<int>(view_.entries.size()) ? position : -1;
}

void FilterDialogModel::Changed() {
    if (changed_) changed_();
}

const FilterDialogView& FilterDialogModel::PressConnectButton() {
    if (host_.IsFilterWheelConnected()) {
        host_.DisconnectFilterWheel();
        return Refresh();
    }
    host_.ConnectFilterWheel(
        false,
        [this, alive = alive_](bool) {
            if (!*alive) return;
            Refresh();
            Changed();
        },
        kSettleMs);
    return Refresh();
}

const FilterDialogView& FilterDialogModel::SelectPosition(int index) {
    if (moving_ || index < 0 || index >= host_.FilterPositionCount()) return view_;
    moving_ = true;
    view_.selection = index;
    Refresh();
    host_.MoveFilterWheel(index, [this, alive = alive_](int reached) {
        if (!*alive) return;
        moving_ = false;
        Refresh();
        SelectReported(reached);
        Changed();
    });
    return view_;
}

}  // namespace zorvane
