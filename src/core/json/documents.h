// The pair's records as JSON objects, under the field names every front shows them by: the
// tool's --json and MQTT payloads, and the Python module's dicts. Distances are whole
// micrometres in fields ending in "Um".
#pragma once
#include <QJsonObject>
#include <QString>

#include "core/calib/identifypair.h"
#include "core/calib/pairjson.h"     // PairJson: the identified pair
#include "core/link/identityjson.h"  // CalibHeaderJson: a calibration header
#include "core/measure/recorder.h"
#include "core/params/parajson.h"  // ParaBlockJson: the three parameter sets
#include "wire/wire.h"

// Both sensors' headers as "master" and "slave", and "warning" when `incompleteSides` (bit 0
// MASTER, bit 1 SLAVE) names a side whose table is incomplete.
QJsonObject CalibHeadersJson(const CalibHeader &master, const CalibHeader &slave,
                             int incompleteSides);

// A measurement record behind the time stamp "time": masterUm, slaveUm, valueUm, masterEdge,
// slaveEdge, masterPix, slavePix, valuePix (the recorder file's columns), masterMm, slaveMm,
// valueMm, and "tolerance" (ToleranceOf). `record` is the last record read into `raw`.
QJsonObject MeasurementJson(const QString &time, const RawRecord &record);

// Why an identification refused the device ("other series", "firmware number"); nullptr when it
// did not.
const char *RefusalOf(Identified verdict);

// What the last identification found about the pair: "accepted", the pair (PairJson) and
// "warning" about incomplete tables. A device refused for `refused` carries "refused" and
// "message" (the program's text to the operator) instead of the pair's record and headers.
QJsonObject IdentityJson(const char *refused);

// How a recording into `file` ended: "end" (completed, stopped, timeout, file error), "file",
// "samples" written, "dropped" trigger records and, after a time-out or a failed write, "cause".
QJsonObject RecordingJson(const RecordOutcome &outcome, const QString &file, unsigned written);
