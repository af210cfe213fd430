// The identity of the connected sensor pair: its hardware record, firmware texts and the limits
// and positions that follow from its CCD line. Filled by the identification.
#pragma once
#include <cstdint>

#include "wire/wire.h"

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

// The pixel count of the CCD line that the displays use: the subpixels of the hardware record,
// at least 256. (The range check of the parameter block takes the pixel-count word instead.)
int PixelCount();
