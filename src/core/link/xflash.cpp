#include "core/link/xflash.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/link/calibheader.h"
#include "core/link/frame.h"
#include "core/link/identityjson.h"
#include "core/link/sensorchange.h"
#include "core/link/status.h"
#include "core/link/transport.h"

namespace {

struct FlashSide {
    uint8_t eraseOrder, writeOrder;
    const char *eraseText;    // printf format with the page number
    const char *invalidPage;  // text of an address that is no page start
};

constexpr FlashSide kMaster{ORD_XF_ERASE, ORD_XF_WRITE, "Erase XFLASH-PAGE%d",
                            "Erase error: no valid XFLASH-Address"};
constexpr FlashSide kSlave{ORD_XF_ERASE_SLAVE, ORD_XF_WRITE_SLAVE, "Erase XF-PAGE%d SLAVE",
                           "Erase error: no valid XF-Address"};

bool isPageStart(uint16_t a) {
    return a >= XF_FIRST_PAGE && a <= 0x1F00 && (a & 0xFF) == 0;
}

void setStatusf(const char *format, unsigned a, int b = 0) {
    char text[STATUS_SIZE * 2];
    std::snprintf(text, sizeof text, format, a, b);
    SetStatus(text);
}

int clearPage(const FlashSide &side, uint16_t address) {
    if (!isPageStart(address)) {
        SetStatus(side.invalidPage);
        return -1;
    }
    setStatusf(side.eraseText, (address - XF_FIRST_PAGE) >> 8);
    FillTxBuf(side.eraseOrder, address, nullptr, 0);
    if (DataExchange(FRAME_HEADER_SIZE) == 1) {
        AppendStatus(" -> Ok!");
        ShowStatus(ST_PA);
        return 0;
    }
    // The failure is shown; szStatus keeps the frame layer's detail.
    ShowText(ST_PA, comtype == 0 ? "Erase-Error:Timeout RS232-Line!"
                                 : "Erase-Error:Timeout TCP-Server-error!");
    return -1;
}

int writeBlock(const FlashSide &side, uint16_t address, const void *data, uint16_t length) {
    SetStatus("");
    if (address < XF_FIRST_PAGE || address > XF_LAST_ADDRESS) {
        SetStatus("XFLASH write-error -2:address out of range!");
        ShowStatus(ST_PA);
        return -2;
    }
    length = std::min<uint16_t>(length, XF_MAX_BYTES);
    FillTxBuf(side.writeOrder, address, data, length);
    const int ok = DataExchange(FRAME_HEADER_SIZE + length) == 1;
    setStatusf(ok ? "Write XFLASH OK Addr=0x%X" : "Write XFLASH Error Addr=0x%X", address);
    ShowStatus(ST_PA);
    return ok ? 1 : -1;
}

// The audit line of a header write: the sensor's header before (as last read or written) and
// the one sent.
void recordHeaderWrite(const void *data, int sensor, uint16_t length, bool ok) {
    CalibHeader sent = calib[sensor == 1 ? 0 : 1];
    std::memcpy(&sent, data, std::min<size_t>(length, sizeof sent));
    RecordSensorChange("calib-header",
                       {{"side", SideName(sensor)},
                        {"old", CalibHeaderJson(calib[sensor == 1 ? 0 : 1])},
                        {"new", CalibHeaderJson(sent)}},
                       ok);
}

}  // namespace

int ClearXFLASHpage(uint16_t address) {
    return clearPage(kMaster, address);
}

int ClearXFLASHpageSLAVE(uint16_t address) {
    return clearPage(kSlave, address);
}

int WriteXFLASH(uint16_t address, const void *data, uint16_t length) {
    return writeBlock(kMaster, address, data, length);
}

int WriteXFLASHSLAVE(uint16_t address, const void *data, uint16_t length) {
    return writeBlock(kSlave, address, data, length);
}

int ReadXFLASH(uint16_t address, uint16_t *buffer, uint16_t length) {
    length = std::min<uint16_t>(length, XF_MAX_BYTES);
    setStatusf("Read XFLASH-ADDR: 0x%x ... Bytes OK: %i", address, 0);
    ShowStatus(ST_PA);
    for (int done = 0; done < length; done += XF_MAX_READ_WORDS * 2) {
        const int bytes = std::min(length - done, XF_MAX_READ_WORDS * 2);
        uint16_t *part = buffer + done / 2;
        part[0] = static_cast<uint16_t>(bytes / 2);
        FillTxBuf(ORD_XF_READ, static_cast<uint16_t>(address + done / 2), part, 2);
        if (DataExchange(FRAME_HEADER_SIZE + 2) != 1 || !TakeReplyData(part, bytes)) {
            ShowText(ST_PA, comtype == 0 ? "XFlash-Read-Error:Timeout RS232-Line!"
                                         : "XFlash-Read-Error:Timeout TCP-Server-error!");
            ShowStatus(ST_PA);
            return 0;
        }
    }
    setStatusf("Read XFLASH-ADDR: 0x%x ... Bytes OK: %i", address, length);
    ShowStatus(ST_PA);
    return 1;
}

int WriteCalibDataToXF(const void *data, int sensor, uint16_t length) {
    if (!SensorChangeAllowed(ST_PA)) return -1;
    length = std::min<uint16_t>(length, XF_MAX_BYTES);
    FillTxBuf(ORD_CALIB_WRITE, static_cast<uint16_t>(sensor), data, length);
    SetStatus("WRITE calib-data to XFLASH ...");
    ShowStatus(ST_PA);
    int result = -1;
    if (DataExchange(FRAME_HEADER_SIZE + length) == 1) {
        AppendStatus(" -> Ok!");
        result = 1;
    } else {
        SetTransportFailure("CALIB-Write-Error:");
    }
    recordHeaderWrite(data, sensor, length, result == 1);
    ShowStatus(ST_PA);
    return result;
}

int ReadCalibDataFromXF(void *dest, int sensor, uint16_t length) {
    length = std::min<uint16_t>(length, XF_MAX_BYTES);
    FillTxBuf(ORD_CALIB_READ, static_cast<uint16_t>(sensor), nullptr, 0);
    SetStatus("READ XF-PAGE1 calib data ...");
    ShowStatus(ST_PA);
    int result = -1;
    if (DataExchange(FRAME_HEADER_SIZE) == 1 && TakeReplyData(dest, length)) {
        setStatusf("Read XFLASH-ADDR: 0x%x ... Bytes OK: %i", XF_CALIB_PAGE, length);
        result = 1;
    } else {
        SetTransportFailure("CALIB-Read-Error:");
    }
    ShowStatus(ST_PA);
    return result;
}
