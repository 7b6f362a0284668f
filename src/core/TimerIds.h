#pragma once

namespace zorvane {

// Window timers of the main window. The numbers are part of the program's behaviour: one
// handler dispatches on them, and each has exactly one purpose.
enum TimerId : int {
    kTimerLoopNext = 1,   // start the next looped exposure (delay, 1 ms at loop start, 500 ms after abort)
    kTimerPoll = 2,       // poll the camera for a finished frame, 1 ms
    kTimerMaximise = 3,   // maximise the window once after start-up, 100 ms
    kTimerDialogEdit = 4, // the exposure and display dialogs' own typing timers
    kTimerCooler = 5,     // cooler poll, 10000 ms
    kTimerSeqStart = 6,   // start the next sequence exposure
    kTimerSeqPoll = 7,    // poll for a finished sequence frame, 1 ms
    kTimerSeqCommand = 8, // wait for a sequence line's command to finish, 20 ms
    kTimerGuide = 9,      // guide calibration: a pulse running on, or the bound on a frame wait
    kTimerGuider = 10,    // the guider's clients and the next steps of their requests, 25 ms
    kTimerSeqGate = 11,   // ask again whether the next sequence exposure may start, 50 ms
    kTimerGuiderLink = 12, // the sequencer's connection to its guider, 25 ms
    kTimerFilterWheel = 13, // a filter move: the wheel's position is read every 500 ms
    kTimerPulse = 14,      // a guide pulse through the mount: its end is asked for every 10 ms
};

}  // namespace zorvane
