#pragma once

#include <string>
#include <vector>

namespace zorvane {

// What the Filter Wheel dialog needs of the main window: its filter-wheel operations.
class FilterDialogHost {
public:
    virtual ~FilterDialogHost() = default;
    virtual bool IsFilterWheelConnected() = 0;
    // Not quiet: a failure shows its message.
    virtual bool ConnectFilterWheel(bool quiet) = 0;
    virtual void DisconnectFilterWheel() = 0;
    // Also keeps the main window's number of positions (and the sequencer's filter ranges).
    virtual int FilterPositionCount() = 0;
    // The wheel's name for 0-based `position`, as the last count found it; empty when none.
    virtual std::string FilterName(int position) = 0;
    virtual int FilterPosition() = 0;
    virtual int SetFilterPositionAndWait(int position) = 0;
    virtual void Sleep(int ms) = 0;
};

// What the dialog shows.
struct FilterDialogView {
    std::string buttonText = "Connect";
    std::string typeText = "Not Connected";
    bool listEnabled = false;
    std::vector<std::string> entries;  // "1" .. "<count>", each with its filter's name: "3: Red"
    int selection = -1;                // none
};

// The Filter Wheel dialog's rules: connect and disconnect by hand, and the position list.
class FilterDialogModel {
public:
    static constexpr int kSettleMs = 200;

    explicit FilterDialogModel(FilterDialogHost& host) : host_(host) {}

    const FilterDialogView& View() const { return view_; }
    // At creation and after every change: the button, the wheel's name, the list.
    const FilterDialogView& Refresh();
    // Button 1157: disconnect a connected wheel, otherwise connect (with the message on
    // failure); let the wheel settle, then refresh.
    const FilterDialogView& PressConnectButton();
    // The list's selection changed to `index` (-1 none): move there and wait, then select what
    // the wheel reports (nothing while it still moves).
    const FilterDialogView& SelectPosition(int index);

private:
    void SelectReported(int position);

    FilterDialogHost& host_;
    FilterDialogView view_;
};

}  // namespace zorvane
