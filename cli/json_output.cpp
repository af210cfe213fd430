#include "json_output.h"

#include <QDateTime>
#include <QJsonDocument>
#include <cstdio>

#include "core/measure/evaluation.h"
#include "core/params/derived.h"
#include "core/params/paramblock.h"

namespace {

// Where the value the analog-output mode selects lies against the pair's thresholds, derived as
// the displays derive them.
const char *toleranceOf(const RawRecord &record) {
    const uint16_t mode = para.ge.evalMode;
    DeriveSettings(mode);
    DeriveThresholds(mode);
    const int32_t value = SelectedValue(record, para.ge.analogOutMode);
    if (InTolerance(value, umloTHD, umupTHD)) return "in";
    return value > umupTHD ? "above" : "below";
}

double mm(int32_t um) {
    return um / 1000.0;
}

}  // namespace

void PrintJson(const QJsonObject &object) {
    const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact);
    std::printf("%s\n", line.constData());
    std::fflush(stdout);
}

QString JsonTimeStamp() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
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
        {"tolerance", toleranceOf(record)},
    };
}
