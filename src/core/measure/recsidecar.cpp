#include "core/measure/recsidecar.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>

#include "core/audit/auditlog.h"
#include "core/audit/audittrail.h"
#include "core/calib/pairjson.h"
#include "core/link/identity.h"
#include "core/params/parajson.h"
#include "core/params/paramblock.h"
#include "core/params/transfer.h"
#include "core/state/flags.h"

namespace {

constexpr int kShortDigest = 12;

// The SHA-256 of the table in `side` ("master", "slave") of the pair `serial`, from the last
// table write to it in the audit log: null when there is none or it failed.
QJsonValue tableDigest(int serial, const QString &side) {
    QJsonValue digest;
    if (!AuditLogOn()) return digest;
    ForEachAuditEntry(AuditLogPath(), [&](const QJsonObject &entry, const QByteArray &, qint64) {
        if (entry.value("action") != "calib-table" || entry.value("side") != side ||
            entry.value("device").toObject().value("serialNumber").toInt() != serial)
            return;
        digest = entry.value("outcome") == "done" ? entry.value("sha256") : QJsonValue();
    });
    return digest;
}

// The RAM sets as last known, each null when not known.
QJsonObject knownSets() {
    QJsonObject sets;
    for (uint16_t set = 0; set < PARA_PAGES; ++set) {
        uint8_t page[PARA_PAGE_SIZE];
        sets.insert(ParaSetName(set), KnownSensorSet(RAM, set, page)
                                          ? QJsonValue(ParaSetJson(set, page))
                                          : QJsonValue());
    }
    return sets;
}

QString calibrationText(const QJsonObject &side) {
    const QJsonObject c = side.value("calibration").toObject();
    const QString digest = side.value("tableSha256").toString();
    return QString("type %1, offset %2 um, range %3 um, table %4")
        .arg(c.value("typeCode").toInt())
        .arg(c.value("offsetUm").toInt())
        .arg(c.value("rangeUm").toInt())
        .arg(digest.isEmpty() ? QString("unknown") : digest.left(kShortDigest));
}

}  // namespace

QString RecordingSidecarPath(const QString &recording) {
    return recording + ".json";
}

QString WriteRecordingSidecar(const QString &recording) {
    QJsonObject sidecar = PairJson();
    for (const char *side : {"master", "slave"}) {
        QJsonObject sensor = sidecar.value(side).toObject();
        sensor.insert("tableSha256", tableDigest(hwinfo.serialno, side));
        sidecar.insert(side, sensor);
    }
    const QByteArray last = AuditLogOn() ? LastAuditHash(AuditLogPath()) : QByteArray();
    sidecar.insert("parameters", knownSets());
    sidecar.insert("recording", QFileInfo(recording).fileName());
    sidecar.insert("program", AuditWriterName());
    sidecar.insert("programVersion", KTAV_VERSION);
    sidecar.insert("auditLastHash", last.isEmpty() ? QJsonValue() : QJsonValue(QString(last)));
    QSaveFile file(RecordingSidecarPath(recording));
    if (file.open(QIODevice::WriteOnly) &&
        file.write(QJsonDocument(sidecar).toJson(QJsonDocument::Indented)) >= 0 && file.commit())
        return {};
    return file.errorString();
}

std::optional<QJsonObject> ReadRecordingSidecar(const QString &recording) {
    QFile file(RecordingSidecarPath(recording));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isObject()) return std::nullopt;
    return document.object();
}

QString SidecarPairText(const QJsonObject &sidecar) {
    const auto model = [&](const char *side) {
        const QJsonObject s = sidecar.value(side).toObject();
        return s.value("model").isString() ? s.value("model").toString()
                                           : QString::number(s.value("modelCode").toInt());
    };
    return QString("serial number %1, MASTER %2, SLAVE %3")
        .arg(sidecar.value("serialNumber").toInt())
        .arg(model("master"), model("slave"));
}

QString SidecarCalibrationText(const QJsonObject &sidecar) {
    return "MASTER " + calibrationText(sidecar.value("master").toObject()) + "; SLAVE " +
           calibrationText(sidecar.value("slave").toObject());
}
