// The pair's records as JSON objects, under the field names every front shows them by: the
// tool's --json and MQTT payloads, and the Python module's dicts. Distances are whole
// micrometres in fields ending in "Um".
#pragma once
#include <QJsonObject>
#include <QString>

#include "core/calib/identifypair.h"
#include "core/measure/recorder.h"
#include "wire/wire.h"

// A calibration header: typeCode, param1, param2, tableLength, reserved (five numbers),
// virtualOffsetUm, rangeUm, offsetUm.
QJsonObject CalibHeaderJson(const CalibHeader &header);

// Both sensors' headers as "master" and "slave", and "warning" when `incompleteSides` (bit 0
// MASTER, bit 1 SLAVE) names a side whose table is incomplete.
QJsonObject CalibHeadersJson(const CalibHeader &master, const CalibHeader &slave,
                             int incompleteSides);

// The three parameter sets as "general", "master" and "slave", every field of the sensors' wire
// image by its name (parafields).
QJsonObject ParaBlockJson(const ParaBlock &block);

// A measurement record behind the time stamp "time": masterUm, slaveUm, valueUm, masterEdge,
// slaveEdge, masterPix, slavePix, valuePix (the recorder file's columns), masterMm, slaveMm,
// valueMm, and "tolerance" (ToleranceOf). `record` is the last record read into `raw`.
QJsonObject MeasurementJson(const QString &time, const RawRecord &record);

// Why an identification refused the device ("other series", "firmware number"); nullptr when it
// did not.
const char *RefusalOf(Identified verdict);

// What the last identification found about the pair: accepted, firmware, version, serialNumber,
// firmwareNumber, lineType, subpixels, "master" and "slave" (modelCode, model, calibration) and
// "warning" about incomplete tables. A device refused for `refused` carries "refused" and
// "message" (the program's text to the operator) instead of the pair's record and headers.
QJsonObject IdentityJson(const char *refused);

// How a recording into `file` ended: "end" (completed, stopped, timeout, file error), "file",
// "samples" written, "dropped" trigger records and, after a time-out or a failed write, "cause".
QJsonObject RecordingJson(const RecordOutcome &outcome, const QString &file, unsigned written);
