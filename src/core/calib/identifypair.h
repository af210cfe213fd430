// Identification of the sensor pair after a transport has opened, the device side: line test,
// firmware text and series check, hardware record and what follows from it (CCD line, models,
// limits, bar positions), firmware range, calibration headers and the three RAM parameter sets.
// The panels show the outcome (gui/app/identityview).
#pragma once
#include <cstdint>

// How an identification ended.
enum class Identified {
    Accepted,            // this series, hardware record read, firmware in range
    OtherSeries,         // the firmware text names no device of this series (hwok_flag 0)
    FirmwareOutOfRange,  // this series, but a firmware version this program does not serve
    NoLine,              // no answer to the line test
    NoFirmwareText,      // no answer, or too short a one, to the firmware-text request
    NoHardwareRecord,    // no answer to the hardware-record request
};

// The outcome of an identification and what the panels need to show it.
struct Identification {
    Identified verdict = Identified::NoLine;
    const char *refusal = nullptr;  // pop-up text of a refused device or firmware
    bool firmwareRead = false;      // the firmware text arrived (szFirmwareVersion is new)
    unsigned headersRead = 0;       // calibration headers read into `calib`: bit 0 MASTER, 1 SLAVE
    int paraReceived = 0;           // 1 when the last parameter set arrived (PushGET)
    unsigned filesDropped = 0;      // calibration files loaded for another pair and dropped
};

// Told each step line of an identification as it begins, for a connection log; may be nullptr.
using IdentifyLog = void (*)(const char *line);

// Identifies the device on the open transport. The status text (szStatus) tells the outcome and
// is shown on all four status fields at the end.
Identification IdentifyPair(IdentifyLog log);

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
int GetVERSIONInfo(IdentifyLog log = nullptr);

// Reads the hardware record (order 10) and takes from it the CCD line, the models (HWTYPE,
// szHwLine), the limits, axes and bar positions of the displays: 1 when the exchange
// succeeded, else 0.
int GetHARDWAREInfo();

// A sensor model and the display settings its MASTER code selects (0: left as it is).
struct SensorModel {
    int32_t code;
    const char *name;
    double toleranceStep;  // step of the tolerance entries [mm]
    int yPrecision;        // decimals of the measured-value axis
    int valueDecimals;     // decimals of the measured-value displays
};
constexpr int32_t LINE_8192 = 306158;  // CCD line type codes of the hardware record
constexpr int32_t LINE_4096 = 306159;
constexpr int32_t TWO_LINE_MODEL = 611632;  // the model with two lines in one sensor

// The model of a code on the given CCD line type; nullptr when the code is unknown.
const SensorModel *FindSensorModel(int32_t linetype, int32_t code);
// Name of a sensor model code on the given CCD line type; nullptr when the code is unknown.
const char *SensorModelName(int32_t linetype, int32_t code);
// True for the SLAVE models of the 8192 line whose micrometre values show 2 decimals.
bool FineSlaveModel(int32_t code);
