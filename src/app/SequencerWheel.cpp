// The sequencer's view of the program's filter wheel.
#include "app/CaptureApp.h"

namespace zorvane {

// A quiet connect also refreshes the number of positions (and names) the lines may use.
bool CaptureApp::SequencerWheel::ConnectQuietly() {
    return app.ConnectFilterWheel(true);
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
bool CaptureApp::SequencerWheel::SetPositionAndWait(int position) {
    return app.wheel_.SetPositionAndWait(position) == position;
}

}  // namespace zorvane
