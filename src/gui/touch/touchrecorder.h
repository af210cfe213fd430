// The touch recorder panel: polled recording driven by the panel's timer control (one order-8
// record per tick), or a wait loop for the sensor's trigger records; each sample goes to the
// recorder file (when file output is on), the status text box, the newest and oldest time
// stamps of the last 100 samples and the panel's four-trace chart.
#pragma once
#include <cstdint>

constexpr int TOUCH_MAX_SAMPLES = 30000;  // a touch recording stops after this many samples
constexpr int REC_CHART_SAMPLES = 100;    // samples the chart and the time stamps keep
constexpr int REC_CHART_TRACES = 4;       // set-point, measured value, upper and lower threshold

// The chart history, oldest first; a slot without a sample of this recording is not a number.
extern double arrayREC[REC_CHART_TRACES * REC_CHART_SAMPLES];
extern int file_flag;  // 1 when the touch recording writes its samples to rec_fname

// START toggle: left click prepares (interval, text box, lamps, settings dimmed), commit starts.
int CC_TBTN_TSDStartRecord(int panel, int control, int event, void *callbackData, int eventData1,
                           int eventData2);
// Timer tick: one polled sample; a running RUN or VIDEO loop hands over its next record.
int CC_TIMER1interrupt(int panel, int control, int event, void *callbackData, int eventData1,
                       int eventData2);
// STOP: left click stops timer and trigger wait; commit re-enables the controls.
int CC_PICBTN_TSDStopRecord(int panel, int control, int event, void *callbackData, int eventData1,
                            int eventData2);
// Output-file switch, file button, RS-232 data-mode drop-down, increment steppers (1..60 s).
int CC_RBToutfile(int panel, int control, int event, void *callbackData, int eventData1,
                  int eventData2);
int CC_TSD_PICBTNrecfile(int panel, int control, int event, void *callbackData, int eventData1,
                         int eventData2);
int CC_TSD_DROPrs232mode(int panel, int control, int event, void *callbackData, int eventData1,
                         int eventData2);
int CC_PICBTNinctimeUP(int panel, int control, int event, void *callbackData, int eventData1,
                       int eventData2);
int CC_PICBTNinctimeDOWN(int panel, int control, int event, void *callbackData, int eventData1,
                         int eventData2);

// Ends a polled recording for `reason` (shown in the recorder box), saying so on the lamps and
// the touch status line; nothing when none runs. SEND and GET take the link from the recorder.
void StopTouchRecording(const char *reason);

// "Recorder active!" while a recording runs, else "Recorder not active!".
const char *TouchRecorderState();

// The trigger-mode wait loop: takes trigger records until recstop_flag is 1; returns the number
// of records dropped because their data was damaged.
unsigned WaitForRecorderLoop();

// Appends the sample line of `raw` to `path`: 1, or -1 when the file cannot be written.
int WriteRecorderDataToFile(const char *path);

// Measured value with its tolerance colour and the chart of the recorder panel from `raw`.
void PlotTSD_RECGraph();

// The recorder's value field without a value: idle, and before a recording's first sample.
void ShowTouchRecorderIdle();
// The recorder's value field showing `um` in millimetres on the background `colour`.
void ShowTouchRecorderValue(int32_t um, int colour);

// Dims (1) or enables (0) the recorder's setting controls and the touch GET, SEND and
// RAM/EEPROM selectors.
void DimmTSD_RECsettings(int dim);

// The tick interval for an increment and a fine increment [s]: their sum, at least 1.0.
double TouchIncrement(double increment, double fine);

// The time stamps of the newest and the oldest of the last 100 samples; the oldest is empty
// until 100 samples have been taken.
const char *NewestRecStamp();
const char *OldestRecStamp();
