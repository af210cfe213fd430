#include "gui/app/hwselect.h"

#include <cstdlib>

#include "core/state/flags.h"
#include "gui/app/hwdefines.h"
#include "gui/panels/handles.h"
#include "gui/runtime/userint.h"
#include "ktav_panels.h"

namespace {

struct SideFields {
    int typeList, tableLength, param2, virtOffset, offset, range;
};

constexpr SideFields kMaster{CALIB_TYPE_A,    CALIB_TABLEN_A, CALIB_P2_A,
                             CALIB_VIRTOFF_A, CALIB_OFFSET_A, CALIB_RANGE_A};
constexpr SideFields kSlave{CALIB_TYPE_B,    CALIB_TABLEN_B, CALIB_P2_B,
                            CALIB_VIRTOFF_B, CALIB_OFFSET_B, CALIB_RANGE_B};

// Writes the defaults of `code` into one side's fields; returns the code's hardware type.
uint16_t fillSide(const SideFields &side, int32_t code) {
    const HardwareDefaults d = HardwareDefaultsOfCode(code);
    SetCtrlVal(pCalib, side.tableLength, d.tableLength);
    SetCtrlVal(pCalib, side.param2, d.param2);
    SetCtrlVal(pCalib, side.virtOffset, d.virtOffset);
    SetCtrlVal(pCalib, side.offset, d.offset);
    SetCtrlVal(pCalib, side.range, d.range);
    return d.hwType;
}

void codesAsValues(int control) {
    int count = 0;
    GetNumListItems(pCalib, control, &count);
    for (int i = 0; i < count; ++i) {
        char label[32] = "";
        GetLabelFromIndex(pCalib, control, i, label, sizeof label);
        ReplaceListItem(pCalib, control, i, label, std::atoi(label));
    }
}

}  // namespace

void PrepareTypeCodeLists() {
    codesAsValues(CALIB_TYPE_A);
    codesAsValues(CALIB_TYPE_B);
}

void selectHARDWARE_A(int32_t code) {
    HWTYPE = 20;
    HWTYPE = fillSide(kMaster, code);
}

void selectHARDWARE_B(int32_t code) {
    fillSide(kSlave, code);
}

int CC_DROPhwtypeA(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    int code = 0;
    GetCtrlVal(panel, control, &code);
    selectHARDWARE_A(code);
    return 0;
}

int CC_DROPhwtypeB(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    int code = 0;
    GetCtrlVal(panel, control, &code);
    selectHARDWARE_B(code);
    return 0;
}
