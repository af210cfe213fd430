#include "core/measure/acquisition.h"

#include <string>
#include <utility>

#include "core/calib/calibtransfer.h"
#include "core/link/commands.h"
#include "core/link/frame.h"
#include "core/link/requests.h"
#include "core/link/status.h"
#include "core/link/transport.h"
#include "core/params/teach.h"
#include "core/params/transfer.h"
#include "core/state/flags.h"
#include "core/system/timing.h"

namespace {

bool exchanging = false;
bool recorderBusy = false;
bool loopRunning = false;
std::function<void()> afterLoop;   // what waits for the running loop to end
void (*recordWanted)() = nullptr;  // who waits for the next cycle's record

constexpr const char *kTimeoutRS232 = "Timeout RS232-Line!";

void showStatus(unsigned fields, const char *text) {
    SetStatus(text);
    ShowStatus(fields);
}

// Ends a loop whose exchange failed: a time-out, unless the exchange was abandoned because the
// program is closing, which ends the loop as an exit request does. What the displays show of
// the last record is then no longer measured now, and the sensor is lost.
void endByFailure(const LoopView &view, const char *text, LostDuring during) {
    if (exit_flag == 1) {
        stop_flag = STOP_IDLE;
        return;
    }
    showStatus(view.statusFields, text);
    stop_flag = STOP_TIMEOUT;
    if (view.notCurrent) view.notCurrent();
    ReportSensorLost(during);
}

// One header-only request of `order`; the reply's data are left in szReadBuf.
bool exchange(uint8_t order) {
    FillTxBuf(order, 0, nullptr, 0);
    return DataExchange(FRAME_HEADER_SIZE) == 1;
}

void serveReset() {
    if (!reset_flag) return;
    reset_flag = 0;
    PushRESET();
}

void serveCalibrationWrite() {
    if (wrxf_flag) WriteDeferredCalibHeader();
}

// The request flags and what the operator pressed for each.
struct Request {
    int *flag;
    const char *name;
};
const Request kRequests[] = {{&send_flag, "SEND"},
                             {&get_flag, "GET"},
                             {&teach_flag, "TEACH"},
                             {&reset_flag, "RESET"},
                             {&wrxf_flag, "WRITE"}};

// Whether a request waits that the loop of `view` serves.
bool requestsPending(const LoopView &view) {
    for (const Request &r : kRequests)
        if (*r.flag && !(r.flag == &wrxf_flag && view.order == RequestOrder::Touch)) return true;
    return false;
}

// Clears the requests no loop will serve any more, telling which were not carried out (not
// while the program closes).
void dropRequests(unsigned fields) {
    std::string names;
    for (const Request &r : kRequests) {
        if (*r.flag) names += names.empty() ? r.name : std::string(" ") + r.name;
        *r.flag = 0;
    }
    if (!names.empty() && exit_flag != 1) showStatus(fields, (names + " not carried out!").c_str());
}

// Hands the record of the cycle just ended to whoever asked for it during the cycle.
void handOverRecord() {
    if (auto take = std::exchange(recordWanted, nullptr)) take();
}

}  // namespace

bool ExchangeInProgress() {
    return exchanging || recorderBusy || ExchangeActive();
}

void SetRecorderBusy(bool busy) {
    recorderBusy = busy;
    SetLinkHolder(busy ? LinkHolder::Recording : LinkHolder::None);
    // What waited for the recording's end runs once the recorder's callback has shown how the
    // recording ended.
    if (!busy)
        if (auto action = std::exchange(afterLoop, nullptr)) PostDeferredCall(std::move(action));
}

const char *CycleText(bool first) {
    static bool forward = false;
    forward = first || !forward;
    return forward ? CYCLE_TEXT_FORWARD : CYCLE_TEXT_BACKWARD;
}

bool RequestLoopRecord(void (*take)()) {
    if (!loopRunning) return false;
    recordWanted = take;
    return true;
}

void WhenLoopEnded(std::function<void()> action) {
    if (!loopRunning && !recorderBusy) return action();
    stop_flag = STOP_IDLE;  // ends RUN, VIDEO or a desktop recording after its cycle
    recstop_flag = 1;       // ends the touch recorder's wait for trigger records
    afterLoop = std::move(action);
}

namespace {

// Marks a loop running from its start to its end and runs what waited for its end.
void beginLoop(const LoopView &view) {
    loopRunning = true;
    stop_flag = STOP_RUNNING;
    SetLinkHolder(view.order == RequestOrder::Touch ? LinkHolder::TouchLoop
                                                    : LinkHolder::DesktopLoop);
    ReportLoop(true);
}

// The requests made in the loop's last cycle are served before it lets the link go, unless the
// sensor stopped answering or the program closes: none waits for a later loop.
void endLoop(const LoopView &view) {
    const bool serve = stop_flag != STOP_TIMEOUT && exit_flag != 1;
    while (serve && requestsPending(view)) ServeRequests(view);
    exchanging = false;
    loopRunning = false;
    SetLinkHolder(LinkHolder::None);
    recordWanted = nullptr;  // a cycle that failed has no record to hand over
    ReportLoop(false);
    if (view.stopped) view.stopped();
    dropRequests(view.statusFields);
    if (auto action = std::exchange(afterLoop, nullptr)) action();
}

}  // namespace

// Each flag is cleared before its request is served, so that a request made again while it
// is being served stays pending for the next cycle.
void ServeRequests(const LoopView &view) {
    const auto set = static_cast<uint16_t>(target);
    if (send_flag) {
        send_flag = 0;
        SendParaSets(set, 0);
    }
    if (get_flag) {
        get_flag = 0;
        for (uint16_t block = 0; block < 3; ++block) {
            const int received = PushGET(set, block);
            if (view.gotSet) view.gotSet(received, block);
        }
    }
    if (teach_flag) {
        teach_flag = 0;
        const int result = PushTEACH();
        if (view.taught) view.taught(result);
    }
    switch (view.order) {
        case RequestOrder::Run:
            serveReset();
            serveCalibrationWrite();
            break;
        case RequestOrder::Video:
            serveCalibrationWrite();
            serveReset();
            break;
        case RequestOrder::Touch:
            serveReset();
            break;
    }
}

void RunCycles(const LoopView &view) {
    beginLoop(view);
    exchanging = true;
    bool first = true;
    do {
        if (!exchange(ORD_RAW) || !TakeReplyData(&raw, sizeof raw)) {
            endByFailure(view, comtype == 0 ? kTimeoutRS232 : "Timeout TCP-Server-error!",
                         LostDuring::Run);
            break;
        }
        showStatus(view.statusFields, CycleText(first));
        first = false;
        view.draw();
        ServeRequests(view);
        // A reply taken at once lets no events through: STOP, the other presses and the
        // repaints are served here, once a cycle.
        ProcessSystemEvents();
        handOverRecord();
        if (exit_flag == 1) stop_flag = STOP_IDLE;
    } while (stop_flag == STOP_RUNNING);
    endLoop(view);
}

void VideoCycles(const LoopView &view) {
    beginLoop(view);
    bool first = true;
    do {
        exchanging = true;
        if (GetRAW() != 1 || !exchange(ORD_VIDEO) || !TakeReplyData(adbuf, sizeof adbuf)) {
            endByFailure(view, kTimeoutRS232, LostDuring::Video);
            break;
        }
        showStatus(view.statusFields, CycleText(first));
        first = false;
        view.draw();
        ServeRequests(view);
        exchanging = false;
        ProcessSystemEvents();
        handOverRecord();
    } while (stop_flag == STOP_RUNNING);
    endLoop(view);
}
