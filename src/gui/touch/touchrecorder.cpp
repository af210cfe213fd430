#include "gui/touch/touchrecorder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <limits>

#include "core/link/commands.h"
#include "core/link/frame.h"
#include "core/link/status.h"
#include "core/measure/acquisition.h"
#include "core/measure/evaluation.h"
#include "core/measure/recfile.h"
#include "core/measure/recorder.h"
#include "core/params/derived.h"
#include "core/params/paramblock.h"
#include "core/state/flags.h"
#include "core/state/programdir.h"
#include "core/system/timing.h"
#include "gui/measure/displays.h"
#include "gui/measure/recpopup.h"
#include "gui/panels/handles.h"
#include "gui/params/settingsview.h"
#include "gui/runtime/userint.h"
#include "ktav_panels.h"

double arrayREC[REC_CHART_TRACES * REC_CHART_SAMPLES];
int file_flag = 0;

namespace {

constexpr int kLightGreen = 0xA0DC42;
constexpr int kRed = 0xFF0000;
constexpr int kDarkGreen = 0x008000;
constexpr int kPanelGrey = 0xF0F0F0;
constexpr int kIdleGrey = 0x484848;  // the instrument display without a value
constexpr int kWhite = 0xFFFFFF;
constexpr double kLeastAxisMargin = 0.01;  // [mm] above and below the values of the chart
constexpr int kStampSize = 9;              // "HH:MM:SS" and its terminator

// Time stamps of the last 100 samples, oldest first; unused places hold an empty text.
char szRectime[REC_CHART_SAMPLES][kStampSize];

void boxLine(int line, const char *text) {
    ReplaceTextBoxLine(pTRec, TREC_MSGBOX, line, text);
}

void touchStatus(const char *text) {
    SetCtrlVal(pTSD, TSD_STATUS, text);
}

void lamps(int colour) {
    for (auto [panel, lamp] : {std::pair{pTRec, TREC_RECLED}, std::pair{pTSD, TSD_RECLED}}) {
        SetCtrlAttribute(panel, lamp, ATTR_ON_COLOR, colour);
        SetCtrlAttribute(panel, lamp, ATTR_VISIBLE, 1);
        SetCtrlVal(panel, lamp, 1);
    }
}

void hideLamps() {
    for (auto [panel, lamp] : {std::pair{pTRec, TREC_RECLED}, std::pair{pTSD, TSD_RECLED}}) {
        SetCtrlAttribute(panel, lamp, ATTR_ON_COLOR, kPanelGrey);
        SetCtrlAttribute(panel, lamp, ATTR_VISIBLE, 0);
    }
}

void showSamples() {
    char text[32];
    std::snprintf(text, sizeof text, "SAMPLES: %d", recidx);
    boxLine(2, text);
}

int readInt(int panel, int control) {
    int value = 0;
    GetCtrlVal(panel, control, &value);
    return value;
}

// START, STOP and the settings as the mode allows them: modes 2 and 3 record nothing.
void dimForMode(int mode) {
    SetCtrlsAttribute(pTRec,
                      {TREC_INCTIME, TREC_INCFINE, TREC_INC_UP, TREC_INC_DOWN, TREC_OUTFILE,
                       TREC_FILEBTN, TREC_START, TREC_STOP},
                      ATTR_DIMMED, mode == 2 || mode == 3);
}

// The start toggle released, the settings enabled again as far as the mode allows.
void releaseStart() {
    SetCtrlVal(pTRec, TREC_START, 0);
    DimmTSD_RECsettings(0);
    dimForMode(readInt(pTRec, TREC_RS232MODE));
    DimmSensorControlsWithoutPair();
    SetCtrlAttribute(pTSD, TSD_EXIT, ATTR_DIMMED, 0);
}

void setTimer(int on) {
    SetCtrlAttribute(pTRec, TREC_TIMER, ATTR_ENABLED, on);
}

void pushStamp(const char *time) {
    std::memmove(szRectime[0], szRectime[1], sizeof szRectime - kStampSize);
    std::snprintf(szRectime[REC_CHART_SAMPLES - 1], kStampSize, "%s", time);
    SetCtrlVal(pTRec, TREC_TIME_NEW, NewestRecStamp());
    SetCtrlVal(pTRec, TREC_TIME_OLD, OldestRecStamp());
}

bool fileFailed = false;  // this recording stopped because its file could not be written

// A recorder file that cannot be written: red lamps, and the touch status names the file.
void showFileError() {
    fileFailed = true;
    lamps(kRed);
    boxLine(0, "RECORDER STOPPED");
    boxLine(1, "CANNOT WRITE FILE!");
    char text[PATH_SIZE + 160];
    std::snprintf(text, sizeof text, "Recorder stopped - cannot write %s: %s", rec_fname,
                  RecFileError());
    touchStatus(text);
}

// Trigger records carry no analog-output values: while they are taken, a measured value selected
// from those is the one of an earlier record.
bool triggerRecords = false;

// A polled recording runs while its timer does; a trigger recording while it takes records.
bool recording() {
    return tmr_flag == 1 || triggerRecords;
}

enum class Sample { Taken, Limit, FileError };

// The record in `raw` as the next sample: counted, written, shown.
Sample takeSample() {
    boxLine(1, "DATA VALID");
    if (recidx + 1 > TOUCH_MAX_SAMPLES) {
        recidx = TOUCH_MAX_SAMPLES;
        lamps(kRed);
        boxLine(1, "MAX NUMBER OF DATA!");
        return Sample::Limit;
    }
    ++recidx;
    if (file_flag == 1 && WriteRecorderDataToFile(rec_fname) != 1) {
        --recidx;
        showFileError();
        return Sample::FileError;
    }
    showSamples();
    pushStamp(TimeStr());
    PlotTSD_RECGraph();
    return Sample::Taken;
}

// A polled recording that has stopped, for `reason` (the box's second line): timer off, START
// released, and unless the file error has told it already, red lamps, the box and the touch
// status line say so at once.
void endPolled(const char *reason) {
    tmr_flag = 0;
    timeout_flag = 1;
    setTimer(0);
    releaseStart();
    if (fileFailed) return;
    lamps(kRed);
    boxLine(0, "RECORDER STOPPED");
    boxLine(1, reason);
    touchStatus("Recorder stopped!");
}

// One polled sample from the record in `raw`, taken by a tick or handed over by a loop.
void sampleTick() {
    if (tmr_flag != 1) return;  // stopped since the tick asked for it
    lamps(kLightGreen);
    boxLine(0, "RECORDER ACTIVE");
    boxLine(1, "APPEND DATA ...");
    const Sample sample = takeSample();
    if (sample != Sample::Taken) endPolled(sample == Sample::Limit ? "MAX NUMBER OF DATA!" : "");
}

bool analogSelected() {
    return para.ge.analogOutMode >= 1 && para.ge.analogOutMode <= 3;
}

// Measured value of the record by the analog-output mode.
int32_t recorderValue() {
    switch (para.ge.analogOutMode) {
        case 1:
            return raw.umAnalog1;
        case 2:
        case 3:
            return raw.umAnalog23;
        default:
            return raw.umValue;
    }
}

// The chart's axis without zoom: the values and the band of this recording's samples on the
// chart, with a margin; the measuring range before the first.
void showWholeAxis() {
    const int taken = std::min(recidx, REC_CHART_SAMPLES);
    const double *first = arrayREC + REC_CHART_TRACES * (REC_CHART_SAMPLES - taken);
    const auto [low, high] = std::minmax_element(first, std::cend(arrayREC));
    const double bottom = taken > 0 ? *low : YAXISMIN, top = taken > 0 ? *high : YAXISMAX;
    const double margin = std::max((top - bottom) / 10.0, kLeastAxisMargin);
    SetAxisScalingMode(pTRec, TREC_RECCHART, VAL_LEFT_YAXIS, VAL_MANUAL, bottom - margin,
                       top + margin);
}

void startPressed() {
    recidx = 0;
    timeout_flag = 0;
    fileFailed = false;
    double increment = 0.0, fine = 0.0;
    GetCtrlVal(pTRec, TREC_INCTIME, &increment);
    GetCtrlVal(pTRec, TREC_INCFINE, &fine);
    incTIME = TouchIncrement(increment, fine);
    if (increment + fine < 1.0) SetCtrlVal(pTRec, TREC_INCTIME, incTIME);
    SetCtrlAttribute(pTRec, TREC_TIMER, ATTR_INTERVAL, incTIME);
    DimmTSD_RECsettings(1);
}

// A recording has begun (its file, if any, is there): the box, the lamps and the chart say so,
// the value waits for the first sample, and the touch surface is not left meanwhile.
void showStarted() {
    char text[48];
    boxLine(0, "RECORDER ACTIVE");
    boxLine(1, "APPEND DATA ...");
    boxLine(2, "SAMPLES: 0");
    std::snprintf(text, sizeof text, "START-DATE: %s", DateStr());
    boxLine(3, text);
    std::snprintf(text, sizeof text, "START-TIME: %s", TimeStr());
    boxLine(4, text);
    lamps(kLightGreen);
    ShowTouchRecorderIdle();
    // No sample yet: the chart draws nothing before the first of this recording.
    std::fill(std::begin(arrayREC), std::end(arrayREC), std::numeric_limits<double>::quiet_NaN());
    SetCtrlAttribute(pTSD, TSD_EXIT, ATTR_DIMMED, 1);
}

// A start that does not record: the lamps its press lit off again, the start button released,
// the settings enabled again.
void refuseStart(const char *status) {
    tmr_flag = 0;
    hideLamps();
    touchStatus(status);
    boxLine(0, "RECORDER STOP!");
    releaseStart();
}

// Opens the file for a recording in `mode`; false when the operator declined to overwrite it.
bool prepareFile(int mode) {
    file_flag = 0;
    if (readInt(pTRec, TREC_OUTFILE) == 0) return true;
    if (RecorderFileExists(rec_fname)) {
        if (ConfirmOverwrite("ATTENTION !", "File already exist - overwrite ?") != 1) {
            refuseStart("Recorder stopped!");
            return false;
        }
        std::remove(rec_fname);
    }
    file_flag = 1;
    if (writeFileHeader(mode, incTIME, static_cast<int>(REC_MAX_SAMPLES)) == 1) return true;
    tmr_flag = 0;
    showFileError();
    releaseStart();
    return false;
}

void startCommitted() {
    const int mode = readInt(pTRec, TREC_RS232MODE);
    if (mode != 0 && mode != 1) return;
    // The desktop recorder takes the trigger records and writes its file until it has ended.
    if (DesktopRecorderActive()) {
        refuseStart("Desktop recorder is recording: STOP it first!");
        return;
    }
    if (!prepareFile(mode)) return;
    showStarted();
    SetCtrlAttribute(pTRec, TREC_START, ATTR_DIMMED, 1);
    if (mode == 0) {
        setTimer(1);
        tmr_flag = 1;
        touchStatus("Recorder active!");
        return;
    }
    touchStatus("Recorder IN0 L/H active!");
    boxLine(1, "WAITING FOR EXT IN0 L/H ...");
    tmr_flag = 0;
    const unsigned dropped = WaitForRecorderLoop();
    if (!fileFailed) {
        char text[STATUS_SIZE];
        WithDroppedCount(text, "Recorder stopped!", dropped);
        touchStatus(text);
        boxLine(0, "RECORDER STOP!");
    }
    releaseStart();
}

void stepIncrement(double step) {
    double increment = 0.0;
    GetCtrlVal(pTRec, TREC_INCTIME, &increment);
    SetCtrlVal(pTRec, TREC_INCTIME, std::clamp(increment + step, 1.0, 60.0));
}

}  // namespace

double TouchIncrement(double increment, double fine) {
    return std::max(increment + fine, 1.0);
}

const char *NewestRecStamp() {
    return szRectime[REC_CHART_SAMPLES - 1];
}

const char *OldestRecStamp() {
    return szRectime[0];
}

const char *TouchRecorderState() {
    return recording() ? "Recorder active!" : "Recorder not active!";
}

void StopTouchRecording(const char *reason) {
    if (tmr_flag == 1) endPolled(reason);
}

void DimmTSD_RECsettings(int dim) {
    SetCtrlsAttribute(
        pTRec, {TREC_INCTIME, TREC_INCFINE, TREC_INC_UP, TREC_INC_DOWN, TREC_OUTFILE, TREC_FILEBTN},
        ATTR_DIMMED, dim);
    SetCtrlsAttribute(pTSD, {TSD_GET, TSD_SEND, TSD_RAM, TSD_EEPROM}, ATTR_DIMMED, dim);
}

int WriteRecorderDataToFile(const char *path) {
    boxLine(1, "WRITE DATA...");
    return AppendSampleLine(path, raw);
}

void ShowTouchRecorderIdle() {
    SetCtrlAttribute(pTRec, TREC_MEASVALUE, ATTR_TEXT_BGCOLOR, kIdleGrey);
    SetCtrlAttribute(pTRec, TREC_MEASVALUE, ATTR_TEXT_COLOR, kIdleGrey);
}

void ShowTouchRecorderValue(int32_t um, int colour) {
    SetCtrlAttribute(pTRec, TREC_MEASVALUE, ATTR_TEXT_COLOR, kWhite);
    SetTextBackground(pTRec, TREC_MEASVALUE, colour);
    SetCtrlVal(pTRec, TREC_MEASVALUE, um / 1000.0);
}

void PlotTSD_RECGraph() {
    CalcUMThresholds(para.ge.evalMode);
    umValue = recorderValue();
    const bool stale = triggerRecords && analogSelected();
    ShowTouchRecorderValue(umValue, stale                                    ? kIdleGrey
                                    : InTolerance(umValue, umloTHD, umupTHD) ? kDarkGreen
                                                                             : kRed);
    ShowNotCurrent(pTRec, TREC_MEASVALUE, stale);
    const ZoomRange zoom = ComputeZoomRange(umValue, umTeach, umupTHD, umloTHD, YAXISMAX, YAXISMIN);

    std::memmove(arrayREC, arrayREC + REC_CHART_TRACES,
                 sizeof arrayREC - sizeof(double) * REC_CHART_TRACES);
    double *newest = arrayREC + REC_CHART_TRACES * (REC_CHART_SAMPLES - 1);
    newest[0] = umTeach / 1000.0;
    newest[1] = umValue / 1000.0;
    newest[2] = umupTHD / 1000.0;
    newest[3] = umloTHD / 1000.0;

    SetCtrlAttribute(pTRec, TREC_RECCHART, ATTR_YPRECISION, YPRECISION);
    SetCtrlAttribute(pTRec, TREC_RECCHART, ATTR_YNAME, "Meas.-Value / [mm]");
    if (readInt(pTRec, TREC_ZOOM))
        SetAxisScalingMode(pTRec, TREC_RECCHART, VAL_LEFT_YAXIS, VAL_MANUAL, zoom.bottom / 1000.0,
                           zoom.top / 1000.0);
    else
        showWholeAxis();
    SetCtrlAttribute(pTRec, TREC_RECCHART, ATTR_POINTS_PER_SCREEN, REC_CHART_SAMPLES + 1);
    SetCtrlAttribute(pTRec, TREC_RECCHART, ATTR_SCROLL_MODE, VAL_CONTINUOUS);
    SetCtrlAttribute(pTRec, TREC_RECCHART, ATTR_NUM_TRACES, REC_CHART_TRACES);
    PlotStripChart(pTRec, TREC_RECCHART, arrayREC, REC_CHART_TRACES * REC_CHART_SAMPLES);
}

unsigned WaitForRecorderLoop() {
    unsigned dropped = 0;
    recstop_flag = 0;
    triggerRecords = true;
    SetRecorderBusy(true);
    SetTriggerReader(true);  // the trigger records are kept for this loop to take
    DiscardTriggerInput();
    while (recstop_flag != 1 && exit_flag != 1) {
        const int taken = TakeTriggerRecord();
        if (taken == -1) {
            ++dropped;
            continue;  // the next record may wait already
        }
        if (taken == 0) {
            WaitForSystemEvents(0.5);
            continue;
        }
        const Sample sample = takeSample();
        if (sample == Sample::Limit) boxLine(0, "RECORDER STOP!");
        if (sample != Sample::Taken) recstop_flag = 1;
        ProcessSystemEvents();
    }
    recstop_flag = 1;
    SetTriggerReader(false);
    triggerRecords = false;
    SetRecorderBusy(false);
    return dropped;
}

int CC_TBTN_TSDStartRecord(int, int, int event, void *, int, int) {
    if (event == EVENT_LEFT_CLICK) startPressed();
    if (event == EVENT_COMMIT) startCommitted();
    return 0;
}

int CC_TIMER1interrupt(int, int, int event, void *, int, int) {
    if (event != EVENT_TIMER_TICK || tmr_flag != 1) return 0;
    // A running loop hands its next record over; any other exchange under way leaves the
    // sensor to it for this tick.
    if (RequestLoopRecord(sampleTick) || ExchangeInProgress()) return 0;
    if (GetRecorderData() != 1) {
        endPolled("TIMEOUT RS232");
        ReportSensorLost(LostDuring::Recording);
        return 0;
    }
    sampleTick();
    return 0;
}

int CC_PICBTN_TSDStopRecord(int, int, int event, void *, int, int) {
    if (event == EVENT_LEFT_CLICK) {
        recstop_flag = 1;
        tmr_flag = 0;
        setTimer(0);
        SetCtrlAttribute(pTSD, TSD_TOG_RECORDER, ATTR_TEXT_BGCOLOR, kPanelGrey);
        hideLamps();
        return 0;
    }
    if (event != EVENT_COMMIT) return 0;
    boxLine(0, "RECORDER STOPPED");
    boxLine(1, "");
    showSamples();
    recstop_flag = 1;
    DimmTSD_RECsettings(0);
    SetCtrlsAttribute(pPA, {PANEL_RUN, PANEL_VIDEO, PANEL_TEACH, PANEL_RESET}, ATTR_DIMMED, 0);
    SetCtrlsAttribute(pTSD, {TSD_GET, TSD_SEND, TSD_RAM, TSD_EEPROM}, ATTR_DIMMED, 0);
    releaseStart();
    touchStatus("Recorder stopped!");
    Delay(0.1);
    return 0;
}

int CC_RBToutfile(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    const int on = readInt(pTRec, TREC_OUTFILE);
    SetCtrlsAttribute(pTRec, {TREC_FILEBTN, TREC_FILENAME}, ATTR_DIMMED, !on);
    ShowRecorderFile();
    return 0;
}

int CC_TSD_PICBTNrecfile(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) SelectRecorderFile(true);
    return 0;
}

int CC_TSD_DROPrs232mode(int, int, int event, void *, int, int) {
    if (event != EVENT_VAL_CHANGED) return 0;
    const int mode = readInt(pTRec, TREC_RS232MODE);
    SetCtrlVal(pRec, REC_RS232MODE, mode);
    // A recording goes on as it was started; its controls follow the mode once it has ended.
    if (!recording()) dimForMode(mode);
    return 0;
}

int CC_PICBTNinctimeUP(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) stepIncrement(1.0);
    return 0;
}

int CC_PICBTNinctimeDOWN(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) stepIncrement(-1.0);
    return 0;
}
