#include "audit_mirror.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>

#include "core/audit/auditlog.h"
#include "core/audit/audittrail.h"
#include "core/system/timing.h"
#include "mqtt_client.h"

namespace {

constexpr double kLook = 0.1;  // [s] between two looks at the log

}  // namespace

AuditMirror::AuditMirror(const QByteArray &topic)
    : path_(AuditLogPath()),
      host_(QSysInfo::machineHostName()),
      topic_(topic),
      offset_(QFileInfo(path_).size()) {}

void AuditMirror::poll(MqttClient &client) {
    if (Timer() < next_) return;
    next_ = Timer() + kLook;
    if (QFileInfo(path_).size() < offset_) offset_ = 0;  // another log took its place
    for (const QByteArray &line : AuditLinesAfter(path_, offset_)) {
        const QJsonObject entry = QJsonDocument::fromJson(line).object();
        if (entry.value("host").toString() == host_ && !client.publishAtLeastOnce(topic_, line))
            return;  // the broker is away: this line goes first when it is back
        offset_ += line.size() + 1;
    }
}
