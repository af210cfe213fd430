#include "core/link/sensorchange.h"

#include "core/audit/audittrail.h"
#include "core/link/identityjson.h"
#include "core/link/status.h"

bool SensorChangeAllowed(unsigned fields) {
    const QString why = AuditTrailProblem();
    if (why.isEmpty()) return true;
    const QByteArray text = QString("Not sent: the audit log %1 cannot be written: %2")
                                .arg(AuditLogPath(), why)
                                .toUtf8();
    SetStatus(text.constData());
    ShowText(fields, text.constData());  // whole, though longer than the status text may be
    return false;
}

void RecordSensorChange(const char *action, QJsonObject details, bool ok) {
    if (!AuditLogOn()) {
        AppendStatus(" [audit log off]");
        return;
    }
    details.insert("action", action);
    details.insert("device", DeviceJson());
    details.insert("outcome", ok ? "done" : "failed");
    details.insert("status", QString::fromLatin1(szStatus));
    const QString why = WriteAuditEntry(std::move(details));
    if (!why.isEmpty()) AppendStatus(qPrintable(" [NOT IN THE AUDIT LOG: " + why + "]"));
}

const char *SideName(int sensor) {
    return sensor == 1 ? "master" : "slave";
}
