#include "filterwheel/FilterDialogModel.h"

namespace zorvane {

const FilterDialogView& FilterDialogModel::Refresh() {
    if (host_.IsFilterWheelConnected()) {
        view_.buttonText = "Disconnect";
        view_.typeText = "Qelt Filterwheel";
        view_.listEnabled = true;
        view_.entries.clear();
        const int count = host_.FilterPositionCount();
        for (int i = 1; i <= count; ++i) {
            const std::string name = host_.FilterName(i - 1);
            view_.entries.push_back(std::to_string(i) + (name.empty() ? "" : ": " + name));
        }
        SelectReported(host_.FilterPosition());
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

const FilterDialogView& FilterDialogModel::PressConnectButton() {
    if (host_.IsFilterWheelConnected())
        host_.DisconnectFilterWheel();
    else
        host_.ConnectFilterWheel(false);
    host_.Sleep(kSettleMs);
    return Refresh();
}

const FilterDialogView& FilterDialogModel::SelectPosition(int index) {
    if (index < 0 || index >= host_.FilterPositionCount()) return view_;
    SelectReported(host_.SetFilterPositionAndWait(index));
    return view_;
}

}  // namespace zorvane
