#include "core/params/transfer.h"

#include <QJsonArray>
#include <cstring>
#include <string>
#include <initializer_list>

#include "core/link/calibheader.h"
#include "core/link/frame.h"
#include "core/link/identity.h"
#include "core/link/sensorchange.h"
#include "core/link/status.h"
#include "core/params/parajson.h"
#include "core/link/xflash.h"
#include "core/params/paramblock.h"
#include "core/state/flags.h"
#include "core/system/timing.h"

namespace {

constexpr const char *kSendOk[PARA_PAGES] = {"Transmission successful GE - Line Ok!",
                                             "Transmission successful MA - Line Ok!",
                                             "Transmission successful SL - Line Ok!"};
constexpr const char *kGetOk[PARA_PAGES] = {"Parameter-frame received! GE - Line Ok!",
                                            "Parameter-frame received! MA - Line Ok!",
                                            "Parameter-frame received! SL - Line Ok!"};

// A set as the sensor holds it, as far as known: from its last GET or acknowledged SEND.
struct KnownSet {
    bool known = false;
    uint8_t page[PARA_PAGE_SIZE];
};
KnownSet knownSets[2][PARA_PAGES];  // RAM, EEPROM

KnownSet &knownSet(uint16_t target, uint16_t set) {
    return knownSets[target == EEPROM ? 1 : 0][set];
}

void noteKnown(uint16_t target, uint16_t set, const uint8_t *page) {
    KnownSet &k = knownSet(target, set);
    std::memcpy(k.page, page, PARA_PAGE_SIZE);
    k.known = true;
}

unsigned activeSurface() {
    return tsd_flag ? ST_TSD : ST_PA;
}

// Once the last set is in, the whole block is range-checked, so that no field beyond its limit
// is shown, sent or saved. 1.
int rangeCheckedAfter(uint16_t set) {
    if (set == PARA_PAGES - 1) CheckParaRanges(para, hwinfo.pixelCount);
    return 1;
}

// One SEND exchange of the block's set `set` (to RAM for any target but EEPROM) with its status
// text: true when the sensor acknowledged it.
bool sendSet(uint16_t target, uint16_t set) {
    const uint8_t order = target == EEPROM ? ORD_SEND_EEPROM : ORD_SEND_RAM;
    uint8_t page[PARA_PAGE_SIZE];
    GetParaPage(para, set, page);
    FillTxBuf(order, set, page, PARA_PAGE_SIZE);
    const bool ok = DataExchange(FRAME_HEADER_SIZE + PARA_PAGE_SIZE) == 1;
    SetStatus(ok ? kSendOk[set] : "Transmission error [SEND]!");
    if (ok) noteKnown(target, set, page);
    return ok;
}

}  // namespace

int PushSEND(uint16_t target, uint16_t set) {
    if (set >= PARA_PAGES) return -1;
    const bool ok = sendSet(target, set);
    ShowStatus(activeSurface());
    return ok ? 1 : -1;
}

int SendParaSets(uint16_t target, double pause) {
    if (!SensorChangeAllowed(activeSurface())) return -1;
    const uint16_t memory = target == EEPROM ? EEPROM : RAM;
    QJsonArray changes;
    QJsonObject results;
    std::string texts[PARA_PAGES];
    bool all = true;
    for (uint16_t set = 0; set < PARA_PAGES; ++set) {
        uint8_t page[PARA_PAGE_SIZE];
        GetParaPage(para, set, page);
        const KnownSet &before = knownSet(memory, set);
        for (const QJsonValue change :
             ParaSetChanges(set, before.known ? before.page : nullptr, page))
            changes.append(change);
        all = sendSet(memory, set) && all;
        results.insert(ParaSetName(set), szStatus);
        texts[set] = szStatus;
        if (pause > 0) Delay(pause);
    }
    RecordSensorChange(
        "send",
        {{"target", memory == EEPROM ? "EEPROM" : "RAM"}, {"changes", changes}, {"sets", results}},
        all);
    // The sets' texts in their order once the change is recorded; the last one as szStatus.
    for (uint16_t set = 0; set + 1 < PARA_PAGES; ++set)
        ShowText(activeSurface(), texts[set].c_str());
    ShowStatus(activeSurface());
    return all ? 1 : -1;
}

int PushGET(uint16_t target, uint16_t set) {
    if (set >= PARA_PAGES) return -1;
    if (target == DATFILE) return rangeCheckedAfter(set);
    const uint8_t order = target == EEPROM ? ORD_GET_EEPROM : ORD_GET_RAM;
    FillTxBuf(order, set, nullptr, 0);
    // A reply that does not carry exactly one set is refused: copying a short reply would put
    // zeros into the block.
    const bool ok = DataExchange(FRAME_HEADER_SIZE) == 1 && head.len == PARA_PAGE_SIZE;
    if (ok) {
        PutParaPage(para, set, szReadBuf + FRAME_HEADER_SIZE);
        noteKnown(target, set, szReadBuf + FRAME_HEADER_SIZE);
    }
    SetStatus(ok ? kGetOk[set] : "Timeout-RS-232...");
    ShowStatus(activeSurface());
    return ok ? rangeCheckedAfter(set) : -1;
}

bool KnownSensorSet(uint16_t target, uint16_t set, uint8_t *page) {
    if (set >= PARA_PAGES || !knownSet(target, set).known) return false;
    std::memcpy(page, knownSet(target, set).page, PARA_PAGE_SIZE);
    return true;
}

void NoteTaught(const TeachRecord &t) {
    for (uint16_t set = 1; set < PARA_PAGES; ++set) {
        KnownSet &k = knownSet(RAM, set);
        if (!k.known) continue;
        ParaBlock block{};
        PutParaPage(block, set, k.page);
        ParaSensor &sensor = set == 1 ? block.ma : block.sl;
        sensor.teachValue = set == 1 ? t.posA : t.posB;
        sensor.umTeachValue = set == 1 ? t.umA : t.umB;
        GetParaPage(block, set, k.page);
    }
}

void ForgetSensorSets() {
    for (auto &memory : knownSets)
        for (KnownSet &set : memory) set.known = false;
}

bool GetAllSets(int target) {
    bool ok = true;
    for (uint16_t set = 0; set < PARA_PAGES; ++set) ok = PushGET(target, set) == 1 && ok;
    return ok;
}

bool ReadEvaluationSettings() {
    // Each read is tried once more at once: a damaged reply is no lost sensor.
    const auto twice = [](auto read) { return read() || read(); };
    for (int sensor : {1, 2})
        if (!twice([sensor] {
                return ReadCalibDataFromXF(&calib[sensor - 1], sensor, sizeof(CalibHeader)) == 1;
            }))
            return false;
    return twice([] { return GetAllSets(RAM); });
}
