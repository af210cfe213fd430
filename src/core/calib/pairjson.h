// The identified pair as JSON, in the form identify --json prints it: what the tool prints and a
// recording's sidecar keeps.
#pragma once
#include <QJsonObject>

// The pair of the last identification: firmware, version, serialNumber, firmwareNumber,
// lineType, subpixels, and master and slave, each {modelCode, model (null when unknown),
// calibration}.
QJsonObject PairJson();
