#include "core/params/teach.h"

#include <QJsonArray>

#include "core/link/frame.h"
#include "core/link/sensorchange.h"
#include "core/link/status.h"
#include "core/link/transport.h"
#include "core/params/parajson.h"
#include "core/params/paramblock.h"
#include "core/params/transfer.h"
#include "core/state/flags.h"

namespace {

// The teach values of a TEACH, each with the sensor's value before as last known (null when not
// known).
QJsonArray teachChanges(const TeachRecord &taught) {
    QJsonArray changes;
    for (uint16_t set : {1, 2}) {
        uint8_t page[PARA_PAGE_SIZE];
        const bool known = KnownSensorSet(RAM, set, page);
        const QJsonObject before = known ? ParaSetJson(set, page) : QJsonObject();
        const auto add = [&](const char *field, qint64 value) {
            changes.append(QJsonObject{{"set", ParaSetName(set)},
                                       {"field", field},
                                       {"old", known ? before.value(field) : QJsonValue()},
                                       {"new", value}});
        };
        add("teachValuePix", set == 1 ? taught.posA : taught.posB);
        add("teachValueUm", set == 1 ? taught.umA : taught.umB);
    }
    return changes;
}

}  // namespace

int PushTEACH() {
    if (!SensorChangeAllowed(ST_PA | ST_TSD)) return -1;
    SetStatus("TEACH new setpoint value ...");
    FillTxBuf(ORD_TEACH, 0, nullptr, 0);
    const bool ok = DataExchange(FRAME_HEADER_SIZE) == 1 && TakeReplyData(&teach, sizeof teach);
    if (ok)
        AppendStatus(" -> Ok!");
    else
        SetTransportFailure("Teach-Error:");
    RecordSensorChange("teach", {{"changes", ok ? teachChanges(teach) : QJsonArray()}}, ok);
    if (ok) NoteTaught(teach);
    ShowStatus(ST_PA | ST_TSD);
    // The block always takes the teach record, after a failure the previous one.
    para.ma.teachValue = teach.posA;
    para.sl.teachValue = teach.posB;
    para.ma.umTeachValue = teach.umA;
    para.sl.umTeachValue = teach.umB;
    return ok ? 0 : -1;
}
