#include "core/link/identityjson.h"

#include <QJsonArray>

#include "core/link/identity.h"

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

QJsonObject DeviceJson() {
    return {{"serialNumber", hwinfo.serialno},
            {"firmware", TrimmedText(szFirmwareVersion)},
            {"lineType", hwinfo.linetype},
            {"master", QJsonObject{{"modelCode", hwinfo.mastertype}}},
            {"slave", QJsonObject{{"modelCode", hwinfo.slavetype}}}};
}

QString TrimmedText(const char *text) {
    return QString::fromLatin1(text).trimmed();
}
