#include "core/params/teach.h"

#include "core/link/frame.h"
#include "core/link/status.h"
#include "core/link/transport.h"
#include "core/params/paramblock.h"

int PushTEACH() {
    SetStatus("TEACH new setpoint value ...");
    FillTxBuf(ORD_TEACH, 0, nullptr, 0);
    const bool ok = DataExchange(FRAME_HEADER_SIZE) == 1 && TakeReplyData(&teach, sizeof teach);
    if (ok)
        AppendStatus(" -> Ok!");
    else
        SetTransportFailure("Teach-Error:");
    ShowStatus(ST_PA | ST_TSD);
    // The block always takes the teach record, after a failure the previous one.
    para.ma.teachValue = teach.posA;
    para.sl.teachValue = teach.posB;
    para.ma.umTeachValue = teach.umA;
    para.sl.umTeachValue = teach.umB;
    return ok ? 0 : -1;
}
