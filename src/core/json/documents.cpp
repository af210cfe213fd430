#include "core/json/documents.h"

#include <QJsonArray>

#include "core/calib/calibtransfer.h"
#include "core/link/calibheader.h"
#include "core/link/identity.h"
#include "core/link/status.h"
#include "core/measure/evaluation.h"
#include "core/params/parafields.h"
#include "core/params/paramblock.h"

namespace {

double mm(int32_t um) {
    return um / 1000.0;
}

QJsonObject paraSetJson(const ParaBlock &block, int set) {
    QJsonObject object;
    ForEachParaField(block, set,
                     [&](const char *name, int64_t value) { object.insert(name, qint64(value)); });
    return object;
}

// One sensor of the pair: its model and its calibration header.
QJsonObject sensorJson(int32_t modelCode, const CalibHeader &header) {
    const char *model = SensorModelName(hwinfo.linetype, modelCode);
    return {{"modelCode", modelCode},
            {"model", model ? QJsonValue(model) : QJsonValue()},
            {"calibration", CalibHeaderJson(header)}};
}

// The warning about incomplete calibration tables, when `sides` names any.
void addTableWarning(QJsonObject &object, int sides) {
    if (sides != 0) object.insert("warning", IncompleteTablesText(sides));
}

// A text of the program without the blanks and the line break it may end with.
QString trimmed(const char *text) {
    return QString::fromLatin1(text).trimmed();
}

const char *endName(RecordEnd end) {
    switch (end) {
        case RecordEnd::Completed:
            return "completed";
        case RecordEnd::Stopped:
            return "stopped";
        case RecordEnd::Timeout:
            return "timeout";
        case RecordEnd::FileError:
            break;
    }
    return "file error";
}

}  // namespace

QJsonObject CalibHeaderJson(const CalibHeader &header) {
    QJsonArray reserved;
    for (const int16_t word : header.reserved) reserved.append(word);
    return {
        {"typeCode", header.typeCode}, {"param1", header.param1},
        {"param2", header.param2},     {"tableLength", header.tableLength},
        {"reserved", reserved},        {"virtualOffsetUm", header.virtOffset},
        {"rangeUm", header.range},     {"offsetUm", header.offset},
    };
}

QJsonObject CalibHeadersJson(const CalibHeader &master, const CalibHeader &slave,
                             int incompleteSides) {
    QJsonObject object{{"master", CalibHeaderJson(master)}, {"slave", CalibHeaderJson(slave)}};
    addTableWarning(object, incompleteSides);
    return object;
}

QJsonObject ParaBlockJson(const ParaBlock &block) {
    QJsonObject object;
    for (int set = 0; set < PARA_PAGES; ++set)
        object.insert(PARA_SET_NAMES[set], paraSetJson(block, set));
    return object;
}

QJsonObject MeasurementJson(const QString &time, const RawRecord &record) {
    return {
        {"time", time},
        {"masterUm", record.umA},
        {"slaveUm", record.umB},
        {"valueUm", record.umValue},
        {"masterEdge", record.edgeA},
        {"slaveEdge", record.edgeB},
        {"masterPix", record.posA},
        {"slavePix", record.posB},
        {"valuePix", record.posCombined},
        {"masterMm", mm(record.umA)},
        {"slaveMm", mm(record.umB)},
        {"valueMm", mm(record.umValue)},
        {"tolerance", ToleranceOf(record)},
    };
}

const char *RefusalOf(Identified verdict) {
    if (verdict == Identified::OtherSeries) return "other series";
    if (verdict == Identified::FirmwareOutOfRange) return "firmware number";
    return nullptr;
}

QJsonObject IdentityJson(const char *refused) {
    QJsonObject identity{{"accepted", refused == nullptr},
                         {"firmware", trimmed(szFirmwareVersion)},
                         {"version", trimmed(szVersion)},
                         {"serialNumber", hwinfo.serialno}};
    if (refused) {
        identity.insert("refused", refused);
        identity.insert("message", trimmed(szStatus));
        if (FirmwareRefused()) identity.insert("firmwareNumber", hwinfo.fwversion);
        return identity;
    }
    identity.insert("firmwareNumber", hwinfo.fwversion);
    identity.insert("lineType", hwinfo.linetype);
    identity.insert("subpixels", hwinfo.subpixels);
    identity.insert("master", sensorJson(hwinfo.mastertype, calib[0]));
    identity.insert("slave", sensorJson(hwinfo.slavetype, calib[1]));
    addTableWarning(identity, IncompleteTables());
    return identity;
}

QJsonObject RecordingJson(const RecordOutcome &outcome, const QString &file, unsigned written) {
    QJsonObject summary{{"end", endName(outcome.end)},
                        {"file", file},
                        {"samples", qint64(written)},
                        {"dropped", qint64(outcome.dropped)}};
    if (outcome.cause[0] != '\0') summary.insert("cause", QString::fromLocal8Bit(outcome.cause));
    return summary;
}
