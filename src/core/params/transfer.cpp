#include "core/params/transfer.h"

#include <cstring>
#include <initializer_list>

#include "core/link/calibheader.h"
#include "core/link/frame.h"
#include "core/link/identity.h"
#include "core/link/status.h"
#include "core/link/xflash.h"
#include "core/params/paramblock.h"
#include "core/state/flags.h"

namespace {

constexpr const char *kSendOk[PARA_PAGES] = {"Transmission successful GE - Line Ok!",
                                             "Transmission successful MA - Line Ok!",
                                             "Transmission successful SL - Line Ok!"};
constexpr const char *kGetOk[PARA_PAGES] = {"Parameter-frame received! GE - Line Ok!",
                                            "Parameter-frame received! MA - Line Ok!",
                                            "Parameter-frame received! SL - Line Ok!"};

void showOnActiveSurface() {
    ShowStatus(tsd_flag ? ST_TSD : ST_PA);
}

// Once the last set is in, the whole block is range-checked, so that no field beyond its limit
// is shown, sent or saved. 1.
int rangeCheckedAfter(uint16_t set) {
    if (set == PARA_PAGES - 1) CheckParaRanges(para, hwinfo.pixelCount);
    return 1;
}

}  // namespace

int PushSEND(uint16_t target, uint16_t set) {
    if (set >= PARA_PAGES) return -1;
    const uint8_t order = target == EEPROM ? ORD_SEND_EEPROM : ORD_SEND_RAM;
    uint8_t page[PARA_PAGE_SIZE];
    GetParaPage(para, set, page);
    FillTxBuf(order, set, page, PARA_PAGE_SIZE);
    const bool ok = DataExchange(FRAME_HEADER_SIZE + PARA_PAGE_SIZE) == 1;
    SetStatus(ok ? kSendOk[set] : "Transmission error [SEND]!");
    showOnActiveSurface();
    return ok ? 1 : -1;
}

int PushGET(uint16_t target, uint16_t set) {
    if (set >= PARA_PAGES) return -1;
    if (target == DATFILE) return rangeCheckedAfter(set);
    const uint8_t order = target == EEPROM ? ORD_GET_EEPROM : ORD_GET_RAM;
    FillTxBuf(order, set, nullptr, 0);
    // A reply that does not carry exactly one set is refused: copying a short reply would put
    // zeros into the block.
    const bool ok = DataExchange(FRAME_HEADER_SIZE) == 1 && head.len == PARA_PAGE_SIZE;
    if (ok) PutParaPage(para, set, szReadBuf + FRAME_HEADER_SIZE);
    SetStatus(ok ? kGetOk[set] : "Timeout-RS-232...");
    showOnActiveSurface();
    return ok ? rangeCheckedAfter(set) : -1;
}

bool GetAllSets(int target) {
    bool ok = true;
    for (uint16_t set = 0; set < PARA_PAGES; ++set) ok = PushGET(target, set) == 1 && ok;
    return ok;
}

bool ReadEvaluationSettings() {
    for (int sensor : {1, 2})
        if (ReadCalibDataFromXF(&calib[sensor - 1], sensor, sizeof(CalibHeader)) != 1) return false;
    return GetAllSets(RAM);
}
