#include "core/link/frame.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/link/identity.h"
#include "core/link/status.h"
#include "core/link/transport.h"
#include "core/state/flags.h"
#include "core/system/serial.h"
#include "core/system/tcp.h"
#include "core/system/timing.h"
#include "wire/crc8.h"

uint8_t szWriteBuf[FRAME_BUFFER_SIZE];
uint8_t szReadBuf[FRAME_BUFFER_SIZE];
FrameHeader head;
int dataSizeRec;

namespace {

FrameTap frameTap = nullptr;
bool exchangeActive = false;
bool eventsLetThrough = false;  // the current exchange has processed events
bool triggerReader = false;
FrameHeader sent;  // the header of the request the current exchange sent

constexpr double TCP_HEADER_TIMEOUT = TIMEOUT + 0.5;

// A TCP reply that comes within this time is taken by a blocking receive, without an event-loop
// pass: as fast as a bare client takes it, and no press can reach a control meanwhile. Longer
// waits go through the event loop, so the interface stays live.
constexpr unsigned kQuickReplyMs = 2;
// The last reply came within that time. A slower device is awaited through the event loop at
// once: a blocking receive would only end in its time-out, one more wake-up per exchange.
bool quickReplies = true;

constexpr const char *kServerClosed = "SERVER HAS CLOSED CONNECTION!";
constexpr const char *kWrongAnswer = "ATTENTION! RECEIVED FRAME DOES NOT ANSWER THE REQUEST!";
constexpr const char *kTooShort = "ATTENTION! RECEIVED DATA FRAME IS TOO SHORT!";

enum class WaitEnd { Arrived, TimedOut, Aborted, Closed };

bool serialLine() {
    return comtype == 0;
}

// Reports the first time an exchange lets events through (see ReportExchange).
void letEventsThrough() {
    if (!exchangeActive || eventsLetThrough) return;
    eventsLetThrough = true;
    ReportExchange(true);
}

double headerTimeout() {
    return serialLine() ? TIMEOUT : TCP_HEADER_TIMEOUT;
}

// Waits until `needed` reply bytes are there (RS-232: in the input queue; TCP: in szReadBuf,
// put there by a quick blocking receive first, then by the TCP callback while events are
// processed), the deadline has passed, the program is closing or the server has closed the
// connection. Sleeps between passes instead of polling.
WaitEnd waitForBytes(int needed, double deadline) {
    for (bool quick = !serialLine() && quickReplies;; quick = false) {
        if (serialLine()) dataSizeRec = GetInQLen(rs232port);
        const double left = deadline - Timer();
        if (left < 0) return dataSizeRec >= needed ? WaitEnd::Arrived : WaitEnd::TimedOut;
        if (exit_flag == 1) return WaitEnd::Aborted;
        if (dataSizeRec >= needed) return WaitEnd::Arrived;
        if (!serialLine() && TcpServerClosed()) return WaitEnd::Closed;
        if (quick) {
            ReceiveTcpWithin(kQuickReplyMs);
            continue;
        }
        // Runs the pending events (the TCP callback among them) or, when there are none,
        // sleeps until one comes: bytes, input, a timer, or the deadline.
        letEventsThrough();
        WaitForSystemEvents(left + 0.0005);
    }
}

// Reads `count` bytes from the serial port into `dest`. After a time-out only what is waiting
// is taken: that drains a partial reply without a second wait.
void readSerial(uint8_t *dest, int count, bool arrived) {
    if (!arrived) count = std::clamp(GetInQLen(rs232port), 0, count);
    if (count > 0) ComRd(rs232port, dest, count);
}

// Discards `count` further bytes of a reply that does not fit szReadBuf, within the time-out,
// so that the next exchange starts clean. Nothing beyond the header is kept.
void drainReply(int count) {
    uint8_t scratch[512];
    const double start = Timer();
    if (!serialLine()) count -= std::max(0, dataSizeRec - FRAME_HEADER_SIZE);
    while (count > 0 && Timer() - start <= TIMEOUT && exit_flag != 1) {
        int taken = 0;
        if (serialLine()) {
            const int waiting = std::min({GetInQLen(rs232port), count, int(sizeof scratch)});
            if (waiting > 0) taken = std::max(0, ComRd(rs232port, scratch, waiting));
        } else {
            dataSizeRec = FRAME_HEADER_SIZE;
            letEventsThrough();
            ProcessSystemEvents();
            taken = dataSizeRec - FRAME_HEADER_SIZE;
            dataSizeRec = FRAME_HEADER_SIZE;
            const int n = ClientTCPRead(
                tcp_hconversation, scratch,
                std::min<size_t>(size_t(std::max(count - taken, 0)), sizeof scratch), 0);
            if (n > 0) taken += n;
        }
        count -= taken;
        if (taken == 0) {
            letEventsThrough();
            WaitForSystemEvents(TIMEOUT - (Timer() - start) + 0.0005);
        }
    }
    std::memset(szReadBuf + FRAME_HEADER_SIZE, 0, FRAME_MAX_DATA);
}

uint16_t le16(const uint8_t *p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

}  // namespace

void FillTxBuf(uint8_t order, uint16_t param, const void *data, uint16_t len) {
    len = std::min<uint16_t>(len, FRAME_MAX_DATA);
    if (!data) len = 0;
    szWriteBuf[0] = 0x55;
    szWriteBuf[1] = order;
    szWriteBuf[2] = static_cast<uint8_t>(param);
    szWriteBuf[3] = static_cast<uint8_t>(param >> 8);
    szWriteBuf[4] = static_cast<uint8_t>(len);
    szWriteBuf[5] = static_cast<uint8_t>(len >> 8);
    szWriteBuf[6] = 0xAA;
    if (len > 0) {
        if (order == ORD_XF_READ) {
            // The flash read carries its word count as one byte widened to a 16-bit word.
            szWriteBuf[8] = *static_cast<const uint8_t *>(data);
            szWriteBuf[9] = 0;
        } else {
            std::memcpy(szWriteBuf + FRAME_HEADER_SIZE, data, len);
        }
        szWriteBuf[6] = crc8Update(szWriteBuf, FRAME_HEADER_SIZE, len);
    }
    szWriteBuf[7] = crc8Update(szWriteBuf, 0, 7);
    std::memcpy(&head, szWriteBuf, sizeof head);
}

namespace {

// The receivers with a deadline: the header's time-out runs on while trigger records are
// skipped.
int receiveHeader(uint8_t *order, uint16_t *param, uint16_t *len, uint8_t *datacrc,
                  double deadline);
int receiveData(uint16_t len, double deadline);
constexpr int DATA_CRC_WRONG = -2;  // receiveData: the data came whole, its CRC does not fit

// Orders whose reply repeats the request's parameter: parameter pages, calibration sides and
// flash addresses. Other replies carry their own (the echo and the firmware text the serial
// number) or a value the request does not fix.
bool replyEchoesParam(uint8_t order) {
    switch (order) {
        case ORD_SEND_RAM:
        case ORD_GET_RAM:
        case ORD_SEND_EEPROM:
        case ORD_GET_EEPROM:
        case ORD_CALIB_WRITE:
        case ORD_CALIB_READ:
        case ORD_XF_ERASE_SLAVE:
        case ORD_XF_WRITE_SLAVE:
        case ORD_XF_ERASE:
        case ORD_XF_WRITE:
        case ORD_XF_READ:
            return true;
        default:
            return false;
    }
}

// The reply in `head` answers the request sent: the same order and, where the reply repeats
// it, the same parameter.
bool answersRequest() {
    return head.order == sent.order && (!replyEchoesParam(sent.order) || head.param == sent.param);
}

// Drops a trigger record received in front of the awaited reply. Over TCP the bytes behind it
// move to the front of szReadBuf; over RS-232 it was read from the queue already.
void skipTriggerRecord() {
    const int frame = FRAME_HEADER_SIZE + head.len;
    if (!serialLine()) {
        const int rest = std::max(0, dataSizeRec - frame);
        std::memmove(szReadBuf, szReadBuf + frame, static_cast<size_t>(rest));
        std::memset(szReadBuf + rest, 0, sizeof szReadBuf - static_cast<size_t>(rest));
        dataSizeRec = rest;
    } else {
        std::memset(szReadBuf, 0, sizeof szReadBuf);
    }
    head = sent;  // the request's fields until a reply comes
}

// Receives the reply to the request just sent. Trigger records that the sensor sends on its
// own are skipped within the header's time-out; any other reply that does not answer the
// request ends the exchange.
int receiveReply() {
    const double headerDeadline = Timer() + headerTimeout();
    for (;;) {
        int result =
            receiveHeader(&head.order, &head.param, &head.len, &head.datacrc, headerDeadline);
        const bool trigger = result == 1 && head.order == ORD_TRIGGER && sent.order != ORD_TRIGGER;
        char statusBefore[STATUS_SIZE];
        std::memcpy(statusBefore, szStatus, sizeof statusBefore);
        if (result == 1 && head.len > 0)
            result = receiveData(head.len, trigger ? headerDeadline : Timer() + TIMEOUT);
        // A trigger record is not this exchange's, damaged or not: its frame was read whole and
        // is dropped, and the status text stays the exchange's.
        if (trigger && result == DATA_CRC_WRONG) {
            std::memcpy(szStatus, statusBefore, sizeof statusBefore);
            result = 1;
        }
        if (result != 1) return result == DATA_CRC_WRONG ? -1 : result;
        if (trigger) {
            skipTriggerRecord();
            continue;
        }
        if (answersRequest()) return 1;
        SetStatus(kWrongAnswer);
        return -1;
    }
}

// Sends the request and receives its reply; DataExchange keeps exchanges from nesting.
int exchangeOnce(uint16_t requestLength) {
    requestLength = std::min<uint16_t>(requestLength, FRAME_BUFFER_SIZE);
    std::memcpy(&sent, szWriteBuf, sizeof sent);
    std::memset(szReadBuf, 0, sizeof szReadBuf);
    if (serialLine()) {
        FlushInQ(rs232port);
        FlushOutQ(rs232port);
        dataSizeRec = 0;
        ComWrt(rs232port, szWriteBuf, requestLength);
    } else {
        DiscardPendingInput();  // bytes of an earlier reply must not pass for this one
        dataSizeRec = 0;
        ClientTCPWrite(tcp_hconversation, szWriteBuf, requestLength, TCP_TIMEOUT);
    }
    if (frameTap) frameTap(true, szWriteBuf, requestLength);
    const double sentAt = Timer();
    const int result = receiveReply();
    quickReplies = result == 1 && Timer() - sentAt <= kQuickReplyMs / 1000.0;
    if (frameTap) {
        const bool complete = result == 1 && head.len <= FRAME_MAX_DATA;
        frameTap(false, szReadBuf, FRAME_HEADER_SIZE + (complete ? head.len : 0));
    }
    if (result != 1 && exit_flag != 1) ReportFailureCause(szStatus);
    return result;
}

// The outcome of a wait: 1 when its bytes arrived, else -1 with the status text of the cause
// (none when the program is closing).
int waitOutcome(WaitEnd end, int lineErrors) {
    if (end == WaitEnd::Closed) {
        SetStatus(kServerClosed);
        return -1;
    }
    if (end == WaitEnd::TimedOut || lineErrors) {
        ReportLineErrors(end == WaitEnd::TimedOut, lineErrors);
        return -1;
    }
    return end == WaitEnd::Aborted ? -1 : 1;
}

int receiveHeader(uint8_t *order, uint16_t *param, uint16_t *len, uint8_t *datacrc,
                  double deadline) {
    const bool serial = serialLine();
    const WaitEnd end = waitForBytes(FRAME_HEADER_SIZE, deadline);
    if (end == WaitEnd::Aborted) return -1;
    int lineErrors = 0;
    if (serial) {
        lineErrors = std::max(0, GetComStat(rs232port));
        readSerial(szReadBuf, FRAME_HEADER_SIZE, end == WaitEnd::Arrived);
    }
    if (waitOutcome(end, lineErrors) != 1) return -1;
    int result = CheckHeaderCRC(order, param, len, datacrc);
    if (result == 1 && *order == ORD_ERROR) {
        result = -1;
        if (*param == 0) SetStatus("INVALID ORDER NUMBER!");
        if (*param == 25) SetStatus("COMM ERROR! YOU MAY REDUCE BAUDRATE!");
    } else if (result == 1 && *len > FRAME_MAX_DATA) {
        // A reply that cannot fit szReadBuf is refused before any data byte is stored.
        drainReply(*len);
        SetStatus("ATTENTION! RECEIVED FRAME TOO LONG!");
        result = -1;
    }
    return result;
}

int receiveData(uint16_t len, double deadline) {
    if (len > FRAME_MAX_DATA || head.len > FRAME_MAX_DATA) {
        SetStatus("ATTENTION! RECEIVED FRAME TOO LONG!");
        return -1;
    }
    const bool serial = serialLine();
    const WaitEnd end = waitForBytes(serial ? len : len + FRAME_HEADER_SIZE, deadline);
    if (end == WaitEnd::Aborted) return -1;
    int lineErrors = 0;
    if (serial) {
        lineErrors = std::max(0, GetComStat(rs232port));
        readSerial(szReadBuf + FRAME_HEADER_SIZE, len, end == WaitEnd::Arrived);
    }
    if (waitOutcome(end, lineErrors) != 1) return -1;
    if (crc8Update(szReadBuf, FRAME_HEADER_SIZE, head.len) == head.datacrc) return 1;
    SetStatus("ATTENTION! RECEIVED DATA FRAME IS INCORRECT!");
    return DATA_CRC_WRONG;
}

}  // namespace

bool ExchangeActive() {
    return exchangeActive;
}

void SetTriggerReader(bool waiting) {
    triggerReader = waiting;
}

bool ReceiveWanted() {
    return exchangeActive || triggerReader;
}

int DataExchange(uint16_t requestLength) {
    if (exchangeActive) return -1;
    exchangeActive = true;
    const int result = exchangeOnce(requestLength);
    exchangeActive = false;
    if (std::exchange(eventsLetThrough, false)) ReportExchange(false);
    return result;
}

bool TakeReplyData(void *dest, size_t size) {
    if (head.len < size) {
        SetStatus(kTooShort);
        ReportFailureCause(szStatus);
        return false;
    }
    std::memcpy(dest, szReadBuf + FRAME_HEADER_SIZE, size);
    return true;
}

void SetFrameTap(FrameTap tap) {
    frameTap = tap;
}

int CheckHeaderCRC(uint8_t *order, uint16_t *param, uint16_t *len, uint8_t *datacrc) {
    if (crc8Update(szReadBuf, 0, FRAME_HEADER_SIZE) != 0 || szReadBuf[0] != 0x55) {
        SetStatus("ATTENTION! RECEIVED HEADER FRAME IS INCORRECT!");
        return -1;
    }
    *order = szReadBuf[1];
    *param = le16(szReadBuf + 2);
    *len = le16(szReadBuf + 4);
    *datacrc = szReadBuf[6];
    return 1;
}

void ReportLineErrors(bool timedOut, int lineErrorBits) {
    if (timedOut) SetStatus("TIMEOUT!");
    if (lineErrorBits & kComInputLost) AppendStatus(" COMM ERROR: INPUT LOST!");
    if (lineErrorBits & kComParity) AppendStatus(" COMM ERROR: PARITY!");
    if (lineErrorBits & kComFraming) AppendStatus(" COMM ERROR: FRAMING!");
}

int GetHeaderFrame(uint8_t *order, uint16_t *param, uint16_t *len, uint8_t *datacrc) {
    return receiveHeader(order, param, len, datacrc, Timer() + headerTimeout());
}

int GetDataFrame(uint16_t len) {
    return receiveData(len, Timer() + TIMEOUT) == 1 ? 1 : -1;
}

int CheckComLine() {
    FillTxBuf(ORD_ECHO, 0, nullptr, 0);
    const int result = DataExchange(FRAME_HEADER_SIZE);
    if (result == 1) {
        head.order = szReadBuf[1];
        head.param = le16(szReadBuf + 2);
        hwinfo.serialno = static_cast<int16_t>(head.param);
        SetStatus("Echo Check - Line Ok!");
    }
    ShowStatus(ST_ALL);
    return result == 1 ? 1 : 0;
}
