#include "core/measure/recorder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/link/commands.h"
#include "core/link/frame.h"
#include "core/link/sensorwatch.h"
#include "core/link/status.h"
#include "core/link/transport.h"
#include "core/measure/acquisition.h"
#include "core/measure/recfile.h"
#include "core/state/flags.h"
#include "core/state/programdir.h"
#include "core/system/serial.h"
#include "core/system/timing.h"
#include "wire/crc8.h"

TriggerRecord rec;
int tmr_flag = 0;
int timeout_flag = 0;

namespace {

int rx_flag = 0;  // 8 while a sample taken waits to be appended to the file, else 0

constexpr const char *kWaitTrigger = "WAITING FOR EXT.-TRIGG ...";
constexpr const char *kPolling = "DATA-RECORDER: RS-232-BUSY ...";

bool desktopRecording = false;     // RunRecording's loop runs
char linkCause[STATUS_SIZE] = "";  // the frame layer's cause of the last failed order 8

// Paces a display of the loop. At increment 0 the status line and the counter would change
// several times per sample, far faster than a panel is repainted, and every change costs a
// text layout; there they change at most at the repaint pace. Otherwise every change shows.
struct Pace {
    bool on;
    double shownAt = -1.0;
    bool due() {
        const double now = Timer();
        if (on && shownAt >= 0.0 && now - shownAt < 0.05) return false;
        shownAt = now;
        return true;
    }
};

struct StatusLine {
    void (*line)(const char *);
    Pace pace;
};

void show(StatusLine &status, const char *text) {
    if (status.line && status.pace.due()) status.line(text);
}

void showMainStatus(const char *text) {
    SetStatus(text);
    ShowStatus(ST_PA);
}

// Drops the first `count` received bytes (TCP) so that what follows them is taken next.
void consumeReceived(int count) {
    count = std::clamp(count, 0, std::max(dataSizeRec, 0));
    std::memmove(szReadBuf, szReadBuf + count, static_cast<std::size_t>(dataSizeRec - count));
    dataSizeRec -= count;
}

// Received bytes waiting to be taken. On TCP the bytes the connection holds beyond what its
// callback has put into szReadBuf are fetched too, without waiting.
int waitingBytes() {
    if (comtype == 0) return GetInQLen(rs232port);
    dataSizeRec = std::max(dataSizeRec, 0);
    ReceiveTcpWithin(0);
    return dataSizeRec;
}

// Serial line: bytes of a rejected header kept at the start of szReadBuf, to be looked at again
// behind the bytes that follow them.
int carried = 0;

// True when eight bytes wait to be looked at as a header, at the start of szReadBuf.
bool headerWaiting(bool serial) {
    if (!serial) return waitingBytes() >= FRAME_HEADER_SIZE;
    if (carried + GetInQLen(rs232port) < FRAME_HEADER_SIZE) return false;
    ComRd(rs232port, szReadBuf + carried, FRAME_HEADER_SIZE - carried);
    carried = FRAME_HEADER_SIZE;
    dataSizeRec = 0;
    return true;
}

// Drops the first `count` bytes of the header looked at; the rest are looked at again.
void dropHeaderBytes(bool serial, int count) {
    if (!serial) {
        consumeReceived(count);
        return;
    }
    std::memmove(szReadBuf, szReadBuf + count, static_cast<std::size_t>(FRAME_HEADER_SIZE - count));
    carried = FRAME_HEADER_SIZE - count;
}

// Sleeps until bytes or another event arrive, at most until the next whole second of the
// elapsed-time display or `until` (a Timer() value).
void waitForWork(double tStart, double until) {
    const double now = Timer();
    const double nextSecond = tStart + static_cast<int>(now - tStart) + 1.0;
    WaitForSystemEvents(std::min(nextSecond, until) - now);
}

// One order-8 exchange: 1 with the record copied into `raw`, else -1 with the frame layer's
// cause kept in linkCause; `raw` stays as it was.
int exchangeRecord() {
    FillTxBuf(ORD_RAW, 0, nullptr, 0);
    if (DataExchange(FRAME_HEADER_SIZE) == 1 && TakeReplyData(&raw, sizeof raw)) return 1;
    std::snprintf(linkCause, sizeof linkCause, "%s", szStatus);
    return -1;
}

void showTimeout() {
    showMainStatus(comtype == 0 ? "Timeout RS232-Line!" : "Timeout TCP-Server-error!");
}

}  // namespace

int GetRecorderData() {
    if (exchangeRecord() == 1) return 1;
    showTimeout();
    return -1;
}

void DiscardTriggerInput() {
    DiscardPendingInput();
    dataSizeRec = 0;
    carried = 0;
}

int TakeTriggerRecord() {
    const bool serial = comtype == 0;
    for (;;) {
        if (!headerWaiting(serial)) return 0;
        const bool valid = crc8Update(szReadBuf, 0, FRAME_HEADER_SIZE) == 0 && szReadBuf[0] == 0x55;
        if (!valid) {
            // Not a header: the stream was entered in the middle of a frame (a flush or a
            // converter cut it). One byte further on the next header may begin.
            dropHeaderBytes(serial, 1);
            continue;
        }
        if (szReadBuf[1] == ORD_TRIGGER) break;
        dropHeaderBytes(serial, FRAME_HEADER_SIZE);  // a header of another order
    }
    carried = 0;
    const uint16_t len = static_cast<uint16_t>(szReadBuf[4] | szReadBuf[5] << 8);
    head.len = len;
    head.datacrc = szReadBuf[6];
    // Damaged data is no measurement: a flipped bit in a value would be recorded as a distance
    // of kilometres. Nor is a record shorter than one: the bytes behind its data are the next
    // frame's. Either is dropped, its data read past, and the next header looked for.
    const bool received = len == 0 || GetDataFrame(len) == 1;
    if (!received || len < sizeof rec) {
        if (!serial) consumeReceived(FRAME_HEADER_SIZE + len);
        return -1;
    }
    std::memcpy(&rec, szReadBuf + FRAME_HEADER_SIZE, sizeof rec);
    CopyTriggerRecord(rec, raw);
    if (!serial) consumeReceived(FRAME_HEADER_SIZE + len);
    return 1;
}

namespace {

// Takes the next sample into `raw` when one is due (polled: `increment` after t0; trigger: a
// whole record has come) and shows it: 1 taken, 0 none due or none this time (unattended), -1
// the sensor did not answer. A damaged trigger record is counted in `dropped`.
int nextSample(const Recording &r, const RecorderView &view, StatusLine &status, double &t0,
               unsigned &dropped, SensorWatch &watch) {
    if (r.trigger) {
        const int taken = TakeTriggerRecord();
        if (taken == -1) ++dropped;
        if (taken != 1) return 0;
        t0 = Timer();
    } else {
        if (Timer() - t0 < r.increment) return 0;
        t0 = Timer();
        show(status, kPolling);
        const int taken = r.unattended ? WatchedExchange(watch, exchangeRecord) : exchangeRecord();
        if (taken == -1) showTimeout();
        if (taken != 1) return taken;
    }
    if (view.sampled) view.sampled();
    rx_flag = 8;
    return 1;
}

}  // namespace

void WithDroppedCount(char (&out)[STATUS_SIZE], const char *text, unsigned dropped) {
    if (dropped == 0)
        std::snprintf(out, sizeof out, "%s", text);
    else
        std::snprintf(out, sizeof out, "%s %u damaged record%s dropped", text, dropped,
                      dropped == 1 ? "" : "s");
}

bool DesktopRecorderActive() {
    return desktopRecording;
}

bool TouchRecorderActive() {
    return (tmr_flag == 1 && timeout_flag == 0) || recstop_flag == 0;
}

RecordOutcome RunRecording(const Recording &r, const RecorderView &view) {
    const char *waitText = r.trigger ? kWaitTrigger : kPolling;
    const unsigned limit = std::min(r.samples, REC_MAX_SAMPLES);
    if (r.trigger) DiscardTriggerInput();
    const double tStart = Timer();
    double t0 = tStart;
    int shownSeconds = -1;
    const bool paced = !r.trigger && r.increment <= 0.0;
    StatusLine status{view.line, {paced}};
    Pace counterPace{paced};
    unsigned n = 0;
    SensorWatch watch;
    RecordOutcome outcome{RecordEnd::Stopped, 0, ""};
    RecordEnd &end = outcome.end;
    stop_flag = STOP_RUNNING;
    desktopRecording = true;
    rx_flag = 0;
    SetRecorderBusy(true);
    SetTriggerReader(r.trigger);  // the trigger records are kept for this loop to take
    while (stop_flag == STOP_RUNNING) {
        // A sample is taken only while the count wants one: a count of 0 records nothing.
        const int taken = n < limit ? nextSample(r, view, status, t0, outcome.dropped, watch) : 0;
        if (taken == -1) {
            std::snprintf(outcome.cause, sizeof outcome.cause, "%s", linkCause);
            stop_flag = exit_flag == 1 ? STOP_IDLE : STOP_TIMEOUT;
            end = exit_flag == 1 ? RecordEnd::Stopped : RecordEnd::Timeout;
            break;
        }
        if (rx_flag == 8) {
            show(status, "APPEND TO DATA-FILE...");
            if (AppendSampleLine(r.path, raw) != 1) {
                std::snprintf(outcome.cause, sizeof outcome.cause, "%s", RecFileError());
                end = RecordEnd::FileError;
                break;
            }
            ++n;
            if (view.counter && counterPace.due()) view.counter(n);
            char text[STATUS_SIZE];
            std::snprintf(text, sizeof text, "Data-Recorder active!   Sample: %u", n);
            showMainStatus(text);
            show(status, waitText);
            rx_flag = 0;
        }
        const int seconds = static_cast<int>(Timer() - tStart);
        if (seconds != shownSeconds && view.elapsed) view.elapsed(seconds);
        shownSeconds = seconds;
        if (n >= limit) {
            stop_flag = STOP_COMPLETED;
            end = RecordEnd::Completed;
            break;
        }
        if (exit_flag == 1) stop_flag = STOP_IDLE;
        if (stop_flag != STOP_RUNNING) break;
        // Sleeps only when nothing is due: a whole record waiting, or a sample at increment 0,
        // is taken in the next pass at once, after one pass of the events (a reply taken at
        // once has let none through).
        if (r.trigger ? waitingBytes() + carried >= FRAME_HEADER_SIZE : r.increment <= 0.0) {
            ProcessSystemEvents();
        } else {
            waitForWork(tStart, r.trigger ? tStart + 1e9 : t0 + r.increment);
        }
    }
    SetTriggerReader(false);
    SetRecorderBusy(false);
    desktopRecording = false;
    if (view.counter) view.counter(n);
    if (end == RecordEnd::Stopped || end == RecordEnd::FileError) stop_flag = STOP_IDLE;
    if (end == RecordEnd::Timeout) ReportSensorLost(LostDuring::Recording);
    return outcome;
}

int writeFileHeader(int mode, double increment, int samples) {
    const bool trigger = mode == 1;
    if (trigger) {
        increment = 0.0;
        samples = static_cast<int>(REC_MAX_SAMPLES);
    }
    const RecHeader header = CurrentRecHeader(
        increment, static_cast<unsigned>(std::max(samples, 0)), !trigger && !tsd_flag);
    return CreateRecFile(rec_fname, header);
}
