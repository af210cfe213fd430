#include "gui/calib/calibpopup.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/calib/calibfile.h"
#include "core/calib/calibtransfer.h"
#include "core/link/frame.h"
#include "core/link/requests.h"
#include "core/link/status.h"
#include "core/link/xflash.h"
#include "core/state/flags.h"
#include "core/state/programdir.h"
#include "gui/panels/handles.h"
#include "gui/params/panelmap.h"
#include "gui/params/settingsview.h"
#include "gui/runtime/userint.h"
#include "ktav_panels.h"

namespace {

struct Side {
    int typeList;
    uint16_t *table;
    int *fileFlag;
    const char *noFile;
};
const Side kSides[2] = {
    {CALIB_TYPE_A, linArrayA, &calibfile_flagA, "No valid calibration file for MASTER selected!"},
    {CALIB_TYPE_B, linArrayB, &calibfile_flagB, "No valid calibration file for SLAVE selected!"},
};

// The master/slave switch: 1 master, anything else slave.
int switchValue() {
    int master = 1;
    GetCtrlVal(pCalib, CALIB_MASL, &master);
    return master;
}

// A recording runs: the desktop recorder's loop or the touch recorder's wait, or the touch
// recorder's timer taking polled samples.
bool recording() {
    int ticking = 0;
    GetCtrlAttribute(pTRec, TREC_TIMER, ATTR_ENABLED, &ticking);
    return recstop_flag == 0 || ticking != 0;
}

void showTableProgress(int done, int total) {
    SetCtrlAttribute(pCalib, CALIB_PROGRESS, ATTR_MAX_VALUE, total);
    SetCtrlVal(pCalib, CALIB_PROGRESS, done);
}

void writeTable(int sensor) {
    const Side &side = kSides[sensor - 1];
    if (*side.fileFlag != 1) {
        MessagePopup("Info", side.noFile);
        return;
    }
    // The write pauses between its steps with the interface live; a running loop would
    // exchange frames in between.
    if (stop_flag == STOP_RUNNING || ExchangeActive() || recording()) {
        MessagePopup("Info", "Data transfer is running: press STOP first, then WRITE the table.");
        return;
    }
    showTableProgress(0, 1);
    SetCtrlAttribute(pCalib, CALIB_PROGRESS, ATTR_VISIBLE, 1);
    WriteCalibTable(sensor, side.table, showTableProgress);
    SetCtrlAttribute(pCalib, CALIB_PROGRESS, ATTR_VISIBLE, 0);
}

}  // namespace

void DimmCalibElements(uint16_t mode) {
    const bool normal = mode >= 1;
    SetCtrlsAttribute(pCalib, {CALIB_WRITE, CALIB_READ, CALIB_WRHEADER, CALIB_WRTABLE},
                      ATTR_VISIBLE, normal ? 0 : 1);
    SetCtrlsAttribute(pCalib, {CALIB_SETPOINT, CALIB_MMODE}, ATTR_DIMMED, normal ? 0 : 1);
    SetCtrlsAttribute(pPA, {PANEL_SEND, PANEL_GET}, ATTR_DIMMED, normal ? 0 : 1);
    for (int control : {CALIB_TYPE_A, CALIB_P1_A, CALIB_P2_A, CALIB_TABLEN_A, CALIB_RANGE_A,
                        CALIB_OFFSET_A, CALIB_VIRTOFF_A, CALIB_TYPE_B, CALIB_P1_B, CALIB_P2_B,
                        CALIB_TABLEN_B, CALIB_RANGE_B, CALIB_OFFSET_B, CALIB_VIRTOFF_B}) {
        SetCtrlAttribute(pCalib, control, ATTR_CTRL_MODE, normal ? VAL_INDICATOR : VAL_HOT);
        SetCtrlAttribute(pCalib, control, ATTR_TEXT_BGCOLOR, normal ? 0xE0E0E0 : 0xFFFFFF);
    }
    SetCtrlVal(pCalib, CALIB_WRTABLE, 0);
    DimmSensorControlsWithoutPair();
}

int ReadCalibrationDataFromFile(char *path, int sensor) {
    char chosen[CALIB_PATH_SIZE] = "";
    path[0] = '\0';
    if (FileSelectPopup(proj_dir, "XF-LINEAR.DAT", "*.dat", "K-TAV-Calibration-File",
                        VAL_LOAD_BUTTON, 0, 1, 1, 1, chosen) <= 0)
        return 0;
    std::snprintf(path, CALIB_PATH_SIZE, "%s", chosen);
    return LoadCalibrationFile(path, sensor);
}

int CC_PICBTNSelectCalibFile(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    const int index = switchValue() == 1 ? 0 : 1;
    const Side &side = kSides[index];
    // The file's header is shown, and written by WRITE; the sensor's stays in `calib` until then.
    if (ReadCalibrationDataFromFile(calib_fname, index + 1) != 1) {
        SetCtrlVal(pCalib, CALIB_CALIBFILE, "No valid calib.-file selected!");
        SetCtrlVal(pCalib, CALIB_WRTABLE, 0);
        *side.fileFlag = 0;
        ShowCalibHeader(index, calib[index]);
        if (calib_fname[0] != '\0') {
            const std::string why = std::string("Calibration file refused: ") + CalibFileProblem();
            ShowText(ST_PA, why.c_str());
        }
        return 0;
    }
    SetCtrlVal(pCalib, CALIB_CALIBFILE, calib_fname);
    int item = -1;
    GetIndexFromValue(pCalib, side.typeList, &item, calibToWrite[index].typeCode);
    if (item < 0) calibToWrite[index].typeCode = 0;
    ShowCalibHeader(index, calibToWrite[index]);
    return 0;
}

int CC_BTNWriteCalibXF(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    const int sensor = switchValue() == 1 ? 1 : 2;
    const int index = sensor - 1;
    int header = 0, table = 0;
    GetCtrlVal(pCalib, CALIB_WRHEADER, &header);
    GetCtrlVal(pCalib, CALIB_WRTABLE, &table);
    if (header) {
        // The fields shown over the header they show, so that what a file or a field does not
        // hold (the reserved words) stays the sensor's.
        CalibHeader written = ShownCalibHeader(index);
        TakeCalibHeader(index, written);
        if (*kSides[index].fileFlag == 1) calibToWrite[index] = written;
        switch (RouteOfRequest(true)) {
            case RequestRoute::Now:
                wrxf_flag = 0;
                WriteCalibHeader(sensor, written);
                // A write unticks the TABLE box: a WRITE without it says that it wrote no table.
                if (!table) {
                    AppendStatus(" (header only)");
                    ShowStatus(ST_PA);
                }
                break;
            case RequestRoute::Loop:
                DeferCalibHeader(sensor, written);
                break;
            case RequestRoute::Refused:
                ShowRequestRefused("WRITE");
                break;
        }
    }
    if (table) {
        writeTable(sensor);
        SetCtrlVal(pCalib, CALIB_WRTABLE, 0);
    }
    return 0;
}

int CC_BTNReadCalibXF(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    for (int sensor : {1, 2}) {
        uint8_t buffer[sizeof(CalibHeader)];
        if (ReadCalibDataFromXF(buffer, sensor, sizeof buffer) != 1) continue;
        std::memcpy(&calib[sensor - 1], buffer, sizeof buffer);
        ShowCalibHeader(sensor - 1, calib[sensor - 1]);
    }
    return 0;
}

int CC_DROPlinearization(int panel, int control, int event, void *, int, int) {
    int mode = 0;
    GetCtrlVal(panel, control, &mode);
    if (event == EVENT_LEFT_CLICK) {
        ShowText(ST_PA, mode == 1   ? "Activate spi-master-linearisation ..."
                        : mode == 2 ? "Activate spi-slave-linearisation ..."
                                    : "Deactivate spi-linearisation ...");
    }
    if (event == EVENT_COMMIT && SwitchLinearisation(static_cast<uint16_t>(mode)) == 1 &&
        mode != 1 && mode != 2)
        SetCtrlAttribute(panel, control, ATTR_VISIBLE, 0);
    return 0;
}

int CC_BTNWriteVirtOffsetToEE(int, int, int, void *, int, int) {
    return 0;
}

int CC_BTNReadVirtOffsetFromEE(int, int, int, void *, int, int) {
    return 0;
}
