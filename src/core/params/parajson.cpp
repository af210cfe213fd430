#include "core/params/parajson.h"

#include "core/params/parafields.h"
#include "core/params/paramblock.h"

QJsonObject ParaBlockJson(const ParaBlock &block) {
    QJsonObject object;
    for (int set = 0; set < PARA_PAGES; ++set)
        object.insert(ParaSetName(set), ParaSetJson(block, set));
    return object;
}

const char *ParaSetName(int set) {
    return set >= 0 && set < PARA_PAGES ? PARA_SET_NAMES[set] : "";
}

QJsonObject ParaSetJson(const ParaBlock &block, int set) {
    QJsonObject fields;
    ForEachParaField(block, set,
                     [&](const char *name, int64_t value) { fields.insert(name, qint64(value)); });
    return fields;
}

QJsonObject ParaSetJson(int set, const uint8_t *page) {
    ParaBlock block{};
    PutParaPage(block, set, page);
    return ParaSetJson(block, set);
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
