#include "json_output.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <cstdio>

#include "core/measure/evaluation.h"
#include "core/params/derived.h"
#include "core/params/paramblock.h"

namespace {

QJsonObject generalSetJson(const ParaGeneral &ge) {
    return {
        {"evalMode", ge.evalMode},
        {"optionSwitch", ge.optionSwitch},
        {"hardwareMode", ge.hardwareMode},
        {"measurementMode", ge.measurementMode},
        {"triggerMode", ge.triggerMode},
        {"average", ge.average},
        {"polarity", ge.polarity},
        {"analogOutMode", ge.analogOutMode},
        {"analogOutZoom", ge.analogOutZoom},
        {"rs232OutMode", ge.rs232OutMode},
        {"upperToleranceUm", ge.umUpperTolerance},
        {"lowerToleranceUm", ge.umLowerTolerance},
        {"setpointUm", ge.umSetpoint},
    };
}

QJsonObject sensorSetJson(const ParaSensor &set) {
    return {
        {"power", set.power},
        {"powerMode", set.powerMode},
        {"intTime", set.intTime},
        {"videoThreshold", set.videoThreshold},
        {"teachValuePix", set.teachValue},
        {"evalBeginPix", set.evalBegin},
        {"evalEndPix", set.evalEnd},
        {"baudrateIndex", set.baudrateIndex},
        {"modeSelect", set.modeSelect},
        {"ccdOpMode", set.ccdOpMode},
        {"teachValueUm", set.umTeachValue},
    };
}

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

QJsonObject ParaBlockJson(const ParaBlock &block) {
    return {
        {"general", generalSetJson(block.ge)},
        {"master", sensorSetJson(block.ma)},
        {"slave", sensorSetJson(block.sl)},
    };
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
