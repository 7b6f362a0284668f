#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zorvane {

// What the Filter Wheel dialog needs of the main window: its filter-wheel operations.
class FilterDialogHost {
public:
    virtual ~FilterDialogHost() = default;
    virtual bool IsFilterWheelConnected() = 0;
    // A connect has been started and the wheel has not answered yet.
    virtual bool FilterWheelConnecting() = 0;
    // Starts a connect; not quiet: a failure shows its message. done(connected) follows once
    // the wheel has answered, given `settleMs` to settle when it connected.
    virtual void ConnectFilterWheel(bool quiet, std::function<void(bool)> done, int settleMs) = 0;
    virtual void DisconnectFilterWheel() = 0;
    // Also keeps the main window's number of positions (and the sequencer's filter ranges).
    virtual int FilterPositionCount() = 0;
    // The wheel's name for 0-based `position`, as the last count found it; empty when none.
    virtual std::string FilterName(int position) = 0;
    virtual int FilterPosition() = 0;
    // Moves the wheel; done(position reported, -1 when it still moves after 10 s).
    virtual void MoveFilterWheel(int position, std::function<void(int)> done) = 0;
};

// What the dialog shows.
struct FilterDialogView {
    std::string buttonText = "Connect";
    std::string typeText = "Not Connected";
    bool buttonEnabled = true;         // not while a connect waits for the wheel
    bool listEnabled = false;          // not while the wheel moves to the entry chosen
    bool busy = false;                 // the wheel is connecting or moving
    std::vector<std::string> entries;  // "1" .. "<count>", each with its filter's name: "3: Red"
    int selection = -1;                // none
};

// The Filter Wheel dialog's rules: connect and disconnect by hand, and the position list. The
// wheel's answers come later; the dialog is told through the change notice.
class FilterDialogModel {
public:
    static constexpr int kSettleMs = 200;

    explicit FilterDialogModel(FilterDialogHost& host) : host_(host) {}
    ~FilterDialogModel() { *alive_ = false; }
    FilterDialogModel(const FilterDialogModel&) = delete;
    FilterDialogModel& operator=(const FilterDialogModel&) = delete;

    // Called when the wheel's answer (a connect or a move ended) changed the view.
    void SetChangeNotice(std::function<void()> notice) { changed_ = std::move(notice); }

    const FilterDialogView& View() const { return view_; }
    // At creation and after every change: the button, the wheel's name, the list.
    const FilterDialogView& Refresh();
    // Button 1157: disconnect a connected wheel, otherwise connect (with the message on
    // failure); the wheel settles before the dialog shows it.
    const FilterDialogView& PressConnectButton();
    // The list's selection changed to `index` (-1 none): the wheel moves there; once it
    // reports a position, that one is selected (nothing when it still moves).
    const FilterDialogView& SelectPosition(int index);

private:
    void SelectReported(int position);
    void Changed();

    FilterDialogHost& host_;
    FilterDialogView view_;
    bool moving_ = false;
    std::function<void()> changed_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace zorvane
