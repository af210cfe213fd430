#include "core/json/documents.h"


#include "core/calib/calibtransfer.h"
#include "core/link/calibheader.h"
#include "core/link/identity.h"
#include "core/link/status.h"
#include "core/measure/evaluation.h"

namespace {

double mm(int32_t um) {
    return um / 1000.0;
}

// The warning about incomplete calibration tables, when `sides` names any.
void addTableWarning(QJsonObject &object, int sides) {
    if (sides != 0) object.insert("warning", IncompleteTablesText(sides));
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

QJsonObject CalibHeadersJson(const CalibHeader &master, const CalibHeader &slave,
                             int incompleteSides) {
    QJsonObject object{{"master", CalibHeaderJson(master)}, {"slave", CalibHeaderJson(slave)}};
    addTableWarning(object, incompleteSides);
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
    if (!refused) {
        QJsonObject identity = PairJson();
        identity.insert("accepted", true);
        addTableWarning(identity, IncompleteTables());
        return identity;
    }
    QJsonObject identity{{"accepted", false},
                         {"firmware", TrimmedText(szFirmwareVersion)},
                         {"version", TrimmedText(szVersion)},
                         {"serialNumber", hwinfo.serialno},
                         {"refused", refused},
                         {"message", TrimmedText(szStatus)}};
    if (FirmwareRefused()) identity.insert("firmwareNumber", hwinfo.fwversion);
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
