#include "json_output.h"

#include <QDateTime>
#include <QJsonDocument>
#include <cstdio>

void PrintJson(const QJsonObject &object) {
    const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact);
    std::printf("%s\n", line.constData());
    std::fflush(stdout);
}

QString JsonTimeStamp() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}
