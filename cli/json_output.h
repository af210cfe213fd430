// --json: the results of identify, get, calib-read, run, video and record as JSON objects on
// standard output, one per line, so that scripts need not parse the texts. Distances are whole
// micrometres in fields ending in "Um"; time stamps are ISO 8601 in UTC with milliseconds.
#pragma once
#include <QJsonObject>

#include "core/calib/pairjson.h"     // PairJson: the identified pair
#include "core/link/identityjson.h"  // CalibHeaderJson: a calibration header
#include "core/params/parajson.h"    // ParaBlockJson: the three parameter sets
#include "wire/wire.h"

// Prints `object` as one compact line on standard output and flushes it, so that a reader of a
// running command sees each line as it comes.
void PrintJson(const QJsonObject &object);

// The time now as "2026-12-06T21:07:48.123Z".
QString JsonTimeStamp();

// A measurement record behind the time stamp "time": masterUm, slaveUm, valueUm, masterEdge,
// slaveEdge, masterPix, slavePix, valuePix (the recorder file's columns), masterMm, slaveMm,
// valueMm, and "tolerance": "in", "above" or "below", the value the analog-output mode selects
// against the thresholds of `para` and `calib`. `record` is the last record read into `raw`
// (its hardware tolerance word sets the thresholds in the hardware modes).
QJsonObject MeasurementJson(const QString &time, const RawRecord &record);
