#include "core/audit/audittrail.h"

#include <pwd.h>
#include <unistd.h>

#include <QDateTime>
#include <QStandardPaths>
#include <QSysInfo>
#include <cstdlib>

#include "core/audit/auditlog.h"
#include "core/state/flags.h"

namespace {

QString logPath;  // empty: the default place
bool logOn = true;
QString toolName = "k-tav-px-ms-vista";
bool withSurfaces = true;

QString loginName() {
    if (const passwd *user = ::getpwuid(::geteuid())) return QString::fromLocal8Bit(user->pw_name);
    return qEnvironmentVariable("USER");
}

}  // namespace

QString DefaultAuditLogPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           "/K-TAV-PX-MS-Vista/audit.jsonl";
}

void SetAuditLog(const QString &path, bool on) {
    logPath = path;
    logOn = on;
}

QString AuditLogPath() {
    return logPath.isEmpty() ? DefaultAuditLogPath() : logPath;
}

bool AuditLogOn() {
    return logOn;
}

void SetAuditWriter(const char *tool, bool surfaces) {
    toolName = tool;
    withSurfaces = surfaces;
}

QString AuditWriterName() {
    return toolName;
}

QString AuditTrailProblem() {
    return logOn ? AuditLogProblem(AuditLogPath()) : QString();
}

QString WriteAuditEntry(QJsonObject entry) {
    entry.insert("time", AuditTimeNow());
    entry.insert("user", loginName());
    entry.insert("host", QSysInfo::machineHostName());
    entry.insert("tool", toolName);
    entry.insert("version", KTAV_VERSION);
    entry.insert("surface", !withSurfaces ? "tool" : tsd_flag ? "touch" : "desktop");
    return AppendAuditLine(AuditLogPath(), std::move(entry));
}

QString AuditTimeNow() {
    const QDateTime now = QDateTime::currentDateTime();
    const int minutes = now.offsetFromUtc() / 60;  // "+00:00" rather than "Z" for UTC too
    return now.toString("yyyy-MM-ddTHH:mm:ss.zzz") +
           QString::asprintf("%c%02d:%02d", minutes < 0 ? '-' : '+', std::abs(minutes) / 60,
                             std::abs(minutes) % 60);
}
