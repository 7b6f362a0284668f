#pragma once

#include <functional>

namespace zorvane {

// The filter wheel as the sequencer drives it. Positions are 0-based. The wheel answers later:
// the outcomes come through the functions given, on the window's thread.
class FilterWheelControl {
public:
    virtual ~FilterWheelControl() = default;
    // Connects the wheel without messages; done(true) once it is connected.
    virtual void ConnectQuietly(std::function<void(bool)> done) = 0;
    virtual bool IsConnected() = 0;
    // The program uses the wheel (it connected it and has not let it go), whether or not the
    // wheel answers now: frames are then to be taken through the filters it moves to.
    virtual bool InUse() = 0;
    virtual int GetPositionCount() = 0;
    // Commands the wheel to a position without waiting; true when the wheel took the command.
    virtual bool SetPosition(int position) = 0;
    // Commands the wheel and waits (bounded, up to 10 s) until it reports a position;
    // done(true) when that is the position asked for.
    virtual void MoveAndWait(int position, std::function<void(bool)> done) = 0;
};

}  // namespace zorvane
