#include "core/params/parajson.h"

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

}  // namespace

QJsonObject ParaBlockJson(const ParaBlock &block) {
    return {
        {"general", generalSetJson(block.ge)},
        {"master", sensorSetJson(block.ma)},
        {"slave", sensorSetJson(block.sl)},
    };
}

const char *ParaSetName(int set) {
    constexpr const char *kNames[PARA_PAGES] = {"general", "master", "slave"};
    return set >= 0 && set < PARA_PAGES ? kNames[set] : "";
}

QJsonObject ParaSetJson(int set, const uint8_t *page) {
    ParaBlock block{};
    PutParaPage(block, set, page);
    return ParaBlockJson(block).value(ParaSetName(set)).toObject();
}

QJsonArray ParaSetChanges(int set, const uint8_t *before, const uint8_t *after) {
    const QJsonObject old = before ? ParaSetJson(set, before) : QJsonObject();
    const QJsonObject now = ParaSetJson(set, after);
    QJsonArray changes;
    for (auto field = now.begin(); field != now.end(); ++field) {
        const QJsonValue was = before ? old.value(field.key()) : QJsonValue();
        if (before && was == field.value()) continue;
        changes.append(QJsonObject{{"set", ParaSetName(set)},
                                   {"field", field.key()},
                                   {"old", was},
                                   {"new", field.value()}});
    }
    return changes;
}
