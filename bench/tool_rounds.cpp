#include "tool_rounds.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <vector>

double RateOfStamps(const QByteArray &lines, const char *marker) {
    std::vector<qint64> stamps;
    for (const QByteArray &line : lines.split('\n')) {
        const qsizetype at = line.indexOf('{');
        if (at < 0 || !line.contains(marker)) continue;
        const QJsonObject object = QJsonDocument::fromJson(line.mid(at)).object();
        stamps.push_back(QDateTime::fromString(object["time"].toString(), Qt::ISODateWithMs)
                             .toMSecsSinceEpoch());
    }
    if (stamps.size() < 2 || stamps.back() <= stamps.front()) return -1;
    return double(stamps.size() - 1) / double(stamps.back() - stamps.front()) * 1000.0;
}

double CliRunRate(const QStringList &connection, int records) {
    QProcess run;
    run.start(KTAV_CLI_PATH,
              connection + QStringList{"run", "--json", "--count", QString::number(records)});
    if (!run.waitForFinished(60000) || run.exitCode() != 0) return -1;
    return RateOfStamps(run.readAllStandardOutput(), "time");
}
