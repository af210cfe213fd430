// audit: the entries of the audit log as a table or as JSON, and the check of its chain; and where
// the tool records its own changes to the sensor: --audit FILE, --no-audit, else the AUDIT
// section of the settings file, else the user's data folder.
#include <QCommandLineParser>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <cstdio>
#include <optional>

#include "cliargs.h"
#include "commands.h"
#include "connection.h"
#include "console.h"
#include "core/audit/auditlog.h"
#include "core/audit/audittrail.h"
#include "core/params/appsettings.h"
#include "json_output.h"

namespace {

// The keys every entry has, shown in columns of their own or not at all.
const QStringList kEnvelope = {"time",   "user",   "host",    "tool",   "version", "surface",
                               "device", "action", "outcome", "status", "prev",    "hash"};

QString valueText(const QJsonValue &value) {
    if (value.isObject() || value.isArray()) {
        return QJsonDocument::fromVariant(value.toVariant()).toJson(QJsonDocument::Compact);
    }
    return value.toVariant().toString();
}

// What an entry changed: each changed field "set.field old->new", then its other details.
QString detailsOf(const QJsonObject &entry) {
    QStringList parts;
    for (const QJsonValue c : entry.value("changes").toArray()) {
        const QJsonObject change = c.toObject();
        parts << QString("%1.%2 %3->%4")
                     .arg(change.value("set").toString(), change.value("field").toString(),
                          change.value("old").isNull() ? "?" : valueText(change.value("old")),
                          valueText(change.value("new")));
    }
    for (auto field = entry.begin(); field != entry.end(); ++field)
        if (!kEnvelope.contains(field.key()) && field.key() != "changes" && field.key() != "sets")
            parts << field.key() + "=" + valueText(field.value());
    return parts.join(", ");
}

// The entries --serial and --since select.
struct Filter {
    std::optional<int> serial;
    QDateTime since;

    bool takes(const QJsonObject &entry) const {
        if (serial && entry.value("device").toObject().value("serialNumber").toInt(-1) != *serial)
            return false;
        const QDateTime time = QDateTime::fromString(entry.value("time").toString(), Qt::ISODate);
        return !since.isValid() || time >= since;
    }
};

int verify(const QCommandLineParser &args, const QString &path) {
    const AuditCheck check = VerifyAuditLog(path);
    if (!check.error.isEmpty())
        return Fail(EXIT_NO_INPUT,
                    QString("cannot read the audit log %1: %2").arg(path, check.error));
    if (args.isSet("json")) {
        PrintJson({{"file", path},
                   {"lines", check.lines},
                   {"intact", check.broken == 0},
                   {"brokenLine", check.broken ? QJsonValue(check.broken) : QJsonValue()},
                   {"why", check.broken ? QJsonValue(check.why) : QJsonValue()},
                   {"lastHash", QString::fromLatin1(check.lastHash)},
                   {"cutShort", check.cutShort}});
    } else if (check.broken == 0) {
        std::printf("%s: %lld lines, chain intact, last hash %s\n", qPrintable(path),
                    static_cast<long long>(check.lines), check.lastHash.constData());
    }
    if (check.cutShort)
        std::fprintf(stderr,
                     "k-tav-cli: %s ends in a line a write cut short; it is not part of the chain "
                     "and goes with the next entry\n",
                     qPrintable(path));
    if (check.broken == 0) return EXIT_OK;
    return Fail(EXIT_AUDIT_BROKEN,
                QString("%1:%2: chain broken: %3").arg(path).arg(check.broken).arg(check.why));
}

}  // namespace

void ConfigureAuditLog(const QCommandLineParser &args) {
    SetAuditWriter("k-tav-cli", false);
    AppSettings settings;
    ReadAppSettings(QFile::encodeName(SettingsFilePath(args)).constData(), settings);
    if (args.isSet("audit")) {
        settings.auditLog = QFile::encodeName(args.value("audit")).toStdString();
        settings.auditOn = true;
    }
    if (args.isSet("no-audit")) settings.auditOn = false;
    ApplyAuditSettings(settings);
}

int CheckAuditLog(const QCommandLineParser &) {
    if (!AuditLogOn()) {
        std::fprintf(stderr, "k-tav-cli: the audit log is off: this change is not recorded\n");
        return EXIT_OK;
    }
    const QString why = AuditTrailProblem();
    if (why.isEmpty()) return EXIT_OK;
    return Fail(
        EXIT_CANT_CREATE,
        QString("the audit log %1 cannot be written: %2; nothing sent").arg(AuditLogPath(), why));
}

int CmdAudit(const QCommandLineParser &args) {
    const QString path = AuditLogPath();
    if (args.isSet("verify")) return verify(args, path);
    Filter filter;
    if (args.isSet("serial")) filter.serial = args.value("serial").toInt();
    if (args.isSet("since")) filter.since = QDateTime::fromString(args.value("since"), Qt::ISODate);
    if (QFile file(path); !file.open(QIODevice::ReadOnly))
        return Fail(EXIT_NO_INPUT,
                    QString("cannot read the audit log %1: %2").arg(path, file.errorString()));
    const bool json = args.isSet("json");
    if (!json)
        std::printf("LINE\tTIME\tUSER\tHOST\tTOOL\tSURFACE\tSERIAL\tACTION\tOUTCOME\tDETAILS\n");
    const bool read = ForEachAuditEntry(path, [&](const QJsonObject &entry, const QByteArray &text,
                                                  qint64 line) {
        if (!filter.takes(entry)) return;
        if (json) {
            std::printf("%s\n", text.constData());  // as it stands in the log, hash and all
            return;
        }
        const QJsonObject device = entry.value("device").toObject();
        std::printf(
            "%lld\t%s\t%s\t%s\t%s\t%s\t%d\t%s\t%s\t%s\n", static_cast<long long>(line),
            qPrintable(entry.value("time").toString()), qPrintable(entry.value("user").toString()),
            qPrintable(entry.value("host").toString()), qPrintable(entry.value("tool").toString()),
            qPrintable(entry.value("surface").toString()), device.value("serialNumber").toInt(),
            qPrintable(entry.value("action").toString()),
            qPrintable(entry.value("outcome").toString()), qPrintable(detailsOf(entry)));
    });
    if (!read) return Fail(EXIT_NO_INPUT, QString("cannot read the audit log %1").arg(path));
    return EXIT_OK;
}
