// Identification of the sensor pair after a transport has opened: line test, firmware text and
// series check, hardware record with the displays it configures, firmware range, calibration
// headers and the three RAM parameter sets.
#pragma once
#include <cstdint>

#include "link/wire.h"

constexpr int VERSION_TEXT_SIZE = 72;  // characters of the firmware text (reply to order 7)
constexpr int XBAR_COUNT = 128;        // bars of the video bar graph
constexpr int HW_LINE_SIZE = 40;       // characters of one line of the hardware text box

extern HwInfo hwinfo;  // hardware record, reply to order 10; serialno also from orders 5 and 7
extern char szFirmwareVersion[VERSION_TEXT_SIZE + 1];  // firmware text, always terminated
extern char szVersion[VERSION_TEXT_SIZE + 1];          // short version text built from it
extern char szHwLine[3][HW_LINE_SIZE];  // hardware text box lines: CCD line, MASTER, SLAVE
extern int hwok_flag;                   // 1 when the firmware text names this series
extern int pixB, pixE;                  // first and last subpixel of the evaluated range
extern double MIN_ITIME, MAX_ITIME;     // limits of the integration-time entries [ms]
extern double xArray8[XBAR_COUNT];      // x positions of the bars of the video bar graph

// Sets the hardware record to its start-up defaults (pixel count 1024, subpixels 4096).
void ResetHwInfo();

// Identifies the device on the open transport: 1 when it answered the echo and was identified
// (also a device of another series, buttons dimmed), 0 when identification stopped. Always ends
// by showing the status text on all four status fields.
int InitDataExchange();

// Reads the firmware text (order 7) and builds szVersion: the reply's data length, or -1.
int GetVERSIONInfo();

// Reads the hardware record (order 10) and configures lines, axes, rings and limits from it:
// 1 when the exchange succeeded, else 0.
int GetHARDWAREInfo();

// Name of a sensor model code on the given CCD line type; nullptr when the code is unknown.
const char *SensorModelName(int32_t linetype, int32_t code);
