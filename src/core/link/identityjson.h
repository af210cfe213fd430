// The identity records of the pair as JSON: what the tool prints, the audit log names and a
// recording's sidecar keeps.
#pragma once
#include <QJsonObject>
#include <QString>

#include "wire/wire.h"

// A calibration header: typeCode, param1, param2, tableLength, reserved (five numbers),
// virtualOffsetUm, rangeUm, offsetUm.
QJsonObject CalibHeaderJson(const CalibHeader &header);

// The pair as the audit log names it, from its firmware text and hardware record: serialNumber,
// firmware, lineType, and master and slave, each {modelCode}.
QJsonObject DeviceJson();

// A text of the program without the blanks and the line break it may end with.
QString TrimmedText(const char *text);
