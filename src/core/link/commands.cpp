#include "core/link/commands.h"

#include "core/link/frame.h"
#include "core/link/sensorchange.h"
#include "core/link/status.h"
#include "core/link/transport.h"
#include "core/state/flags.h"

RawRecord raw;
uint16_t adbuf[256];

namespace {

// One header-only request; on success the reply data are left in szReadBuf.
bool request(uint8_t order, uint16_t param) {
    FillTxBuf(order, param, nullptr, 0);
    return DataExchange(FRAME_HEADER_SIZE) == 1;
}

// A command that changes the sensor, with a start text: " -> Ok!" appended on success, else the
// failure text of the transport after `failurePrefix`. Recorded in the audit log as `action`
// with `details`, then shown on `fields`.
int change(uint8_t order, uint16_t param, const char *startText, const char *failurePrefix,
           unsigned fields, const char *action, const QJsonObject &details = {}) {
    if (!SensorChangeAllowed(fields)) return -1;
    SetStatus(startText);
    const bool ok = request(order, param);
    if (ok)
        AppendStatus(" -> Ok!");
    else
        SetTransportFailure(failurePrefix);
    RecordSensorChange(action, details, ok);
    ShowStatus(fields);
    return ok ? 0 : -1;
}

QJsonValue baudOf(int index) {
    const long baud = BaudRateOfIndex(index, 0);
    return baud ? QJsonValue(qint64(baud)) : QJsonValue();
}

// Reads `size` reply data bytes into `dest` after a record request; the success and failure
// texts are left for the calling loop to show.
int fetch(uint8_t order, uint16_t param, void *dest, size_t size, const char *okText) {
    if (request(order, param) && TakeReplyData(dest, size)) {
        SetStatus(okText);
        return 1;
    }
    SetStatus(comtype == 0 ? "Timeout RS232-Line!" : "TCP-Server-error!");
    stop_flag = STOP_IDLE;
    return -1;
}

}  // namespace

int GetRAW() {
    return fetch(ORD_RAW, 0, &raw, sizeof raw, "Transmission successful - Line Ok!");
}

int GetDATA(uint16_t param) {
    return fetch(ORD_VIDEO, param, adbuf, sizeof adbuf, "Transmission successful  - Line Ok!");
}

int PushRESET() {
    return change(ORD_RESET, 0, "RESET analog/digital output ...", "Reset-Error:", ST_PA | ST_TSD,
                  "reset");
}

int WriteVideoDataToEE_A(uint16_t value) {
    return change(ORD_VTHD_MASTER, value, "SAVE MASTER video-threshold to EEPROM ...",
                  "VTHD-MA Write-Error:", ST_PA, "video-threshold",
                  {{"side", "master"}, {"value", value}});
}

int WriteVideoDataToEE_B(uint16_t value) {
    return change(ORD_VTHD_SLAVE, value, "SAVE SLAVE video-threshold to EEPROM ...",
                  "VTHD-SL Write-Error:", ST_PA, "video-threshold",
                  {{"side", "slave"}, {"value", value}});
}

int PushBAUDRATE(int fromIndex, int toIndex) {
    if (!SensorChangeAllowed(ST_CONN | ST_TCONN)) return -1;
    const bool ok = request(ORD_BAUDRATE, static_cast<uint16_t>(toIndex));
    SetStatus(ok ? "Baudrate-change OK!" : "Timeout: changing RS-232-baudrate...");
    RecordSensorChange("baud-rate", {{"oldBaud", baudOf(fromIndex)}, {"newBaud", baudOf(toIndex)}},
                       ok);
    return ok ? 1 : -1;
}
