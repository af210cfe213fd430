#include "gui/measure/recpopup.h"

#include <climits>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>

#include "core/link/status.h"
#include "core/measure/acquisition.h"
#include "core/measure/recfile.h"
#include "core/measure/recorder.h"
#include "core/params/paramblock.h"
#include "core/state/flags.h"
#include "core/state/programdir.h"
#include "core/system/timing.h"
#include "gui/measure/displays.h"
#include "gui/panels/handles.h"
#include "gui/params/settingsview.h"
#include "gui/runtime/userint.h"
#include "ktav_panels.h"

namespace {

constexpr int kGreen = 0x008000;
constexpr int kBlue = 0x0066FF;
constexpr int kRed = 0xFF0000;
constexpr double kServiceIncrement = 6173.0;  // reveals the virtual-offset buttons

void showMainStatus(const char *text) {
    SetStatus(text);
    ShowStatus(ST_PA);
}

void showLine(const char *text) {
    SetCtrlVal(pRec, REC_MSG, text);
}

void showCounter(unsigned n) {
    SetCtrlVal(pRec, REC_COUNTER, static_cast<int>(n));
}

void showRecordTime(double increment, int samples) {
    CalcRecTime(RecordingSeconds(samples, increment));
}

void enableRecorderButtons() {
    SetCtrlsAttribute(pPA, {PANEL_RUN, PANEL_VIDEO, PANEL_TEACH}, ATTR_DIMMED, 0);
    SetCtrlAttribute(pRec, REC_START, ATTR_DIMMED, 0);
    DimmSensorControlsWithoutPair();
}

// Main panel and pop-up as a recording begins.
void prepareDisplays() {
    SetCtrlsAttribute(pPA, {PANEL_STRIPCHART, PANEL_GRAPH_MASTER, PANEL_GRAPH_SLAVE}, ATTR_VISIBLE,
                      1);
    SetCtrlsAttribute(pPA, {PANEL_VIDEO_MASTER, PANEL_VIDEO_SLAVE}, ATTR_VISIBLE, 0);
    SetCtrlsAttribute(pPA, {PANEL_RUN, PANEL_VIDEO, PANEL_TEACH}, ATTR_DIMMED, 1);
    SetCtrlAttribute(pRec, REC_START, ATTR_DIMMED, 1);
    SetCtrlAttribute(pRec, REC_MSG, ATTR_TEXT_COLOR, kGreen);
    SetCtrlsAttribute(
        pRec, {REC_DATE, REC_TIME, REC_COUNTER, REC_DAYS, REC_HOURS, REC_MINUTES, REC_SECONDS},
        ATTR_DIMMED, 0);
    SetCtrlVal(pRec, REC_DATE, DateStr());
    SetCtrlVal(pRec, REC_TIME, TimeStr());
    showCounter(0);
    CalcRecTime(0);
}

// The drop-down's texts of the RS-232 data modes the recorder knows.
const char *modeName(int mode) {
    return mode == 1 ? "EXT. TRIGGER" : "ON REQUEST";
}

// The RS-232 data mode the recording follows: the one the sensor was last given, since that
// decides whether it answers requests or sends trigger records. A drop-down changed without a
// SEND since is told to the operator, so that the file's header and samples are not a surprise.
int recordingMode() {
    int shown = 0;
    GetCtrlVal(pRec, REC_RS232MODE, &shown);
    const int mode = para.ge.rs232OutMode == 1 ? 1 : 0;
    if ((shown == 1) != (mode == 1)) {
        char text[192];
        std::snprintf(text, sizeof text,
                      "The sensor sends in RS-232 output mode %s, the drop-down shows %s: this "
                      "recording follows the sensor. SEND the parameters to change its mode.",
                      modeName(mode), modeName(shown));
        MessagePopup("Info", text);
    }
    return mode;
}

// The status line and the main status of how the recording ended; the main status also counts
// the trigger records that were dropped as damaged.
void showEnd(const RecordOutcome &outcome) {
    char line[PATH_SIZE + STATUS_SIZE + 32];
    char cause[STATUS_SIZE + 32];
    const char *mainText = "Data-Recorder stopped!";
    SetCtrlAttribute(pRec, REC_MSG, ATTR_TEXT_COLOR,
                     outcome.end == RecordEnd::Completed ? kBlue : kRed);
    switch (outcome.end) {
        case RecordEnd::Completed:
            showLine("DATA-RECORDER COMPLETED!");
            mainText = "Data-Recorder completed successfully!";
            break;
        case RecordEnd::Timeout:
            // What the link did: "TIMEOUT!", or a closed server or a wrong reply.
            std::snprintf(line, sizeof line, "DATA-REC. ERROR - %s", outcome.cause);
            showLine(line);
            mainText = "Data-Recorder error - rs232 timeout!";
            ShowRecordNotCurrent();  // the displays hold the last record before the loss
            break;
        case RecordEnd::Stopped:
            showLine("DATA-RECORDER STOPPED!");
            break;
        case RecordEnd::FileError:
            std::snprintf(line, sizeof line, "CANNOT WRITE %s: %s", rec_fname, outcome.cause);
            showLine(line);
            std::snprintf(cause, sizeof cause, "Data-Recorder stopped - %s!", outcome.cause);
            mainText = cause;
            break;
    }
    char text[STATUS_SIZE];
    WithDroppedCount(text, mainText, outcome.dropped);
    showMainStatus(text);
}

double readIncrement() {
    double increment = 0.0;
    GetCtrlVal(pRec, REC_INCTIME, &increment);
    return increment;
}

int readSamples() {
    int samples = 0;
    GetCtrlVal(pRec, REC_SAMPLES, &samples);
    return samples;
}

}  // namespace

bool RecorderFileExists(const char *path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

int RecordingSeconds(int samples, double increment) {
    const double seconds = samples * increment;
    return seconds >= INT_MAX ? INT_MAX : static_cast<int>(seconds);
}

void CalcRecTime(int seconds) {
    SetCtrlVal(pRec, REC_DAYS, seconds / 86400);
    seconds %= 86400;
    SetCtrlVal(pRec, REC_HOURS, seconds / 3600);
    seconds %= 3600;
    SetCtrlVal(pRec, REC_MINUTES, seconds / 60);
    SetCtrlVal(pRec, REC_SECONDS, seconds % 60);
}

void ShowRecorderFile() {
    int output = 1;
    GetCtrlVal(pTRec, TREC_OUTFILE, &output);
    SetCtrlVal(pRec, REC_FILENAME, rec_fname);
    SetCtrlVal(pTRec, TREC_FILENAME, output ? rec_fname : "No output file selected");
}

int ConfirmOverwrite(const char *title, const char *question) {
    const std::string text = std::string(question) + "\n" + rec_fname;
    return ConfirmPopup(title, text.c_str());
}

int SelectRecorderFile(bool touch) {
    char path[PATH_SIZE] = "";
    const int chosen =
        FileSelectPopup(proj_dir, "RECORD.DAT", "*.dat",
                        "K-TAV-MS-Series Recorder-File:", VAL_SAVE_BUTTON, 0, 1, 1, 1, path);
    if (chosen <= 0) return 0;
    std::snprintf(rec_fname, sizeof rec_fname, "%s", path);
    // Both recorders write this file from now on, kept or not: both panels show it.
    ShowRecorderFile();
    if (RecorderFileExists(rec_fname)) {
        if (ConfirmOverwrite("ATTENTION!", "Output-File already exist! - Overwrite ?") != 1)
            return 0;
        std::remove(rec_fname);
        if (touch) writeFileHeader(0, incTIME, static_cast<int>(REC_MAX_SAMPLES));
    }
    return 1;
}

int CC_PICBTNrecfile(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) SelectRecorderFile(false);
    return 0;
}

int CC_NEDITRecTime(int, int, int event, void *, int, int) {
    if (event != EVENT_VAL_CHANGED) return 0;
    const double increment = readIncrement();
    if (increment < 3600.0) showRecordTime(increment, readSamples());
    if (increment == kServiceIncrement)
        SetCtrlsAttribute(pCalib, {CALIB_WR_VIRTOFF, CALIB_RD_VIRTOFF}, ATTR_VISIBLE, 1);
    return 0;
}

int CC_NEDITRecSamples(int, int, int event, void *, int, int) {
    if (event != EVENT_VAL_CHANGED) return 0;
    const int samples = readSamples();
    if (samples < static_cast<int>(REC_MAX_SAMPLES)) showRecordTime(readIncrement(), samples);
    return 0;
}

int CC_CBTNStartRecord(int, int, int event, void *, int, int) {
    // A press that reaches START while another loop or exchange runs must not start a second.
    if (event != EVENT_COMMIT || stop_flag == STOP_RUNNING || ExchangeInProgress()) return 0;
    if (TouchRecorderActive()) {
        MessagePopup("Info", "The touch recorder is recording: STOP it first, then START.");
        return 0;
    }
    if (RecorderFileExists(rec_fname)) {
        if (ConfirmOverwrite("ATTENTION !", "File already exist - overwrite ?") != 1) return 0;
        std::remove(rec_fname);
    }
    prepareDisplays();
    incTIME = readIncrement();
    const int samples = readSamples();
    const int mode = recordingMode();
    const bool trigger = mode == 1;
    if (trigger) showLine("WAITING FOR EXT.-TRIGG ...");

    RecordOutcome outcome{RecordEnd::FileError, 0, ""};
    if (writeFileHeader(mode, incTIME, samples) == 1) {
        const Recording recording{rec_fname, incTIME, static_cast<unsigned>(samples), trigger};
        outcome = RunRecording(recording, {showLine, PlotVIDEOBarGraph, showCounter, CalcRecTime});
    } else {
        std::snprintf(outcome.cause, sizeof outcome.cause, "%s", RecFileError());
    }
    enableRecorderButtons();
    showEnd(outcome);
    stop_flag = STOP_IDLE;
    return 0;
}

int CC_PICBTNStopRecord(int, int, int event, void *, int, int) {
    if (event == EVENT_LEFT_CLICK) stop_flag = STOP_IDLE;
    if (event != EVENT_COMMIT) return 0;
    stop_flag = STOP_IDLE;
    SetCtrlsAttribute(pPA, {PANEL_RUN, PANEL_VIDEO, PANEL_TEACH, PANEL_RESET}, ATTR_DIMMED, 0);
    SetCtrlAttribute(pRec, REC_START, ATTR_DIMMED, 0);
    DimmSensorControlsWithoutPair();
    Delay(0.1);
    return 0;
}
