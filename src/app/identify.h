// Identification of the sensor pair after a transport has opened: line test, firmware text and
// series check, hardware record with the displays it configures, firmware range, calibration
// headers and the three RAM parameter sets.
#pragma once
#include <cstdint>

#include "link/identify.h"
// Identifies the device on the open transport: 1 when it answered the echo and was identified
// (also a device of another series, buttons dimmed), 0 when identification stopped. Always ends
// by showing the status text on all four status fields.
int InitDataExchange();

// 1 when the last identification accepted the device (this series, hardware record read,
// firmware in range): only then may the sensor controls be enabled.
int DeviceAccepted();
// 1 when the last identification refused a device of this series for its firmware number.
int FirmwareRefused();
// The sides (bit 0 MASTER, bit 1 SLAVE) whose calibration table the last identification found
// incomplete; its status text then warns instead of showing the version.
int IncompleteTables();
// Forgets the last verdict when the link to the device is lost.
void ForgetDevice();

// Reads the firmware text (order 7) and builds szVersion: the reply's data length, or -1.
int GetVERSIONInfo();

// Reads the hardware record (order 10) and configures lines, axes, rings and limits from it:
// 1 when the exchange succeeded, else 0.
int GetHARDWAREInfo();

// Name of a sensor model code on the given CCD line type; nullptr when the code is unknown.
const char *SensorModelName(int32_t linetype, int32_t code);
