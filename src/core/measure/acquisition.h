// The continuous acquisitions: RUN (measurement records, order 8) and VIDEO (records and the
// two intensity profiles, order 9). Each loops inside the callback that started it until
// stop_flag leaves STOP_RUNNING, and serves the requests that other callbacks leave in the
// request flags between two exchanges; what a cycle shows goes through the surface's LoopView.
#pragma once
#include <cstdint>
#include <functional>

// True while a loop is inside an exchange with the sensor (or serving a request), or any
// exchange waits for its reply: a callback that runs now must leave a request flag instead of
// talking to the sensor, even when stop_flag already says STOP_IDLE, since the loop's exchange
// is not finished.
bool ExchangeInProgress();

// Marks a recorder loop as talking to the sensor (polling or waiting for trigger records) for
// ExchangeInProgress, from its start to its end.
void SetRecorderBusy(bool busy);

// Runs `action` at once when no loop or recording runs; otherwise ends the running loop as STOP
// does and runs `action` once the loop has finished its current cycle (a recording: once the
// callback that ran it has returned). For what must not close or reopen the link under a
// loop's exchange (CONNECT, CHANGE BAUD RATE).
void WhenLoopEnded(std::function<void()> action);

// Asks the running RUN or VIDEO loop to call `take` once, after its next cycle, with that
// cycle's record in `raw`; false, and nothing asked, when no loop runs. A recorder whose timer
// ticks during a loop takes its sample so, without an exchange of its own.
bool RequestLoopRecord(void (*take)());

// Which deferred requests a loop serves, and in which order.
enum class RequestOrder {
    Run,    // SEND, GET, TEACH, RESET, calibration write
    Video,  // SEND, GET, TEACH, calibration write, RESET
    Touch,  // SEND, GET, TEACH, RESET; a calibration write waits for a desktop loop
};

// The success text of a cycle, alternating "--->" (first) and "<---"; `first` starts anew.
const char *CycleText(bool first);

// What distinguishes the loops of the two surfaces: where the cycle's texts go, what a cycle
// draws once its reply is in, which requests it serves and how their outcomes are shown.
struct LoopView {
    unsigned statusFields;  // StatusField bits
    void (*draw)();
    RequestOrder order;
    void (*stopped)();  // what the surface does once its loop has ended; nullptr: nothing
    void (*gotSet)(int received, uint16_t set);  // a served GET's set arrived (1) or not
    void (*taught)(int result);                  // a served TEACH ended (PushTEACH's result)
    void (*notCurrent)();  // a failed exchange ended the loop: the last record is not current
};

// Serves the requests left in the request flags, in the view's order.
void ServeRequests(const LoopView &view);

// The RUN cycle (order 8 into `raw`) until stop_flag leaves STOP_RUNNING; a time-out sets it to
// STOP_TIMEOUT and reports the sensor lost. Then the view's `stopped`, then what WhenLoopEnded
// deferred.
void RunCycles(const LoopView &view);

// The VIDEO cycle (GetRAW, then order 9 into adbuf) until stop_flag leaves STOP_RUNNING,
// processing events after each cycle; a time-out sets it to STOP_TIMEOUT. Ends as RunCycles does.
void VideoCycles(const LoopView &view);
