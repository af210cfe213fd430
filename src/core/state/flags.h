// Shared state of the program: mode and request flags, transfer targets and the constants
// that every module reads. All of it has static lifetime and lives on the user-interface thread.
#pragma once
#include <cstdint>

// How the acquisition loops and the recorders stand: idle, running, or how the last one ended.
enum StopFlag : int {
    STOP_RUNNING = 0,    // RUN, VIDEO or a recording runs
    STOP_IDLE = 1,       // idle; set while a loop runs, it ends the loop after its cycle
    STOP_TIMEOUT = -1,   // the last loop ended because the sensor did not answer
    STOP_COMPLETED = 2,  // the last recording reached its sample count
};

// Mode and request flags.
extern StopFlag stop_flag;
extern int exit_flag;     // 1 = the program is closing
extern int tsd_flag;      // 1 = the touch surface is active
extern int video_flag;    // 1 = VIDEO requested or running
extern int teach_flag;    // pending TEACH
extern int reset_flag;    // pending RESET of max/min
extern int send_flag;     // pending parameter SEND
extern int get_flag;      // pending parameter GET
extern int wrxf_flag;     // pending calibration-header write
extern int recstop_flag;  // 1 = no recording is running
extern int masl_flag;     // side on the calibration pop-up: 1 master, 2 slave
extern int zoom_flag;     // zoom of the measured-value display
extern int dclick_flag;   // shared toggle of the calibration pop-up's service gestures

// Transfer targets.
constexpr int RAM = 1;
constexpr int EEPROM = 2;
constexpr int DATFILE = 3;
extern int target;  // the selected transfer target

// Constants and limits.
constexpr double TIMEOUT = 1.5;    // reply time-out [s]
constexpr int TCP_TIMEOUT = 2000;  // TCP write/read time-out [ms]
constexpr int MAXPOINT = 128;      // points of a video curve and its threshold line
extern int YAXISMAX, YAXISMIN;     // limits of the measured-value axis
extern int YPRECISION;             // decimals of the measured-value axis in mm mode
extern uint16_t ADCMAX;            // full scale of a video sample
extern uint16_t HWTYPE;            // hardware type: 20 known, 22 two-line, 0 unknown, 8 4096 line
extern int umFULLRANGE;
extern double mmDelta, mmFreeze, incTIME;
extern int recidx;

// Sets every flag, target and limit above to its start-up value.
void ResetSharedState();
