// The sequencer's view of the program's filter wheel.
#include "app/CaptureApp.h"

namespace zorvane {

// A quiet connect also refreshes the number of positions (and names) the lines may use.
void CaptureApp::SequencerWheel::ConnectQuietly(std::function<void(bool)> done) {
    app.ConnectFilterWheel(true, std::move(done));
}
bool CaptureApp::SequencerWheel::IsConnected() {
    return app.wheel_.IsConnected();
}
bool CaptureApp::SequencerWheel::InUse() {
    return app.wheel_.InUse();
}
int CaptureApp::SequencerWheel::GetPositionCount() {
    return app.FilterPositionCount();
}
bool CaptureApp::SequencerWheel::SetPosition(int position) {
    return app.wheel_.SetPosition(position);
}
void CaptureApp::SequencerWheel::MoveAndWait(int position, std::function<void(bool)> done) {
    app.wheel_.MoveAndWait(
        position, [position, done = std::move(done)](int reached) { done(reached == position); });
}

}  // namespace zorvane
