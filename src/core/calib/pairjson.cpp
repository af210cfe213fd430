#include "core/calib/pairjson.h"

#include "core/calib/identifypair.h"
#include "core/link/calibheader.h"
#include "core/link/identity.h"
#include "core/link/identityjson.h"

namespace {

QJsonObject sensorJson(int32_t modelCode, const CalibHeader &header) {
    const char *model = SensorModelName(hwinfo.linetype, modelCode);
    return {{"modelCode", modelCode},
            {"model", model ? QJsonValue(model) : QJsonValue()},
            {"calibration", CalibHeaderJson(header)}};
}

}  // namespace

QJsonObject PairJson() {
    return {{"firmware", TrimmedText(szFirmwareVersion)},
            {"version", TrimmedText(szVersion)},
            {"serialNumber", hwinfo.serialno},
            {"firmwareNumber", hwinfo.fwversion},
            {"lineType", hwinfo.linetype},
            {"subpixels", hwinfo.subpixels},
            {"master", sensorJson(hwinfo.mastertype, calib[0])},
            {"slave", sensorJson(hwinfo.slavetype, calib[1])}};
}
