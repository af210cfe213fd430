#include "core/state/flags.h"

StopFlag stop_flag;
int exit_flag, tsd_flag, video_flag, teach_flag, reset_flag, send_flag, get_flag, wrxf_flag,
    recstop_flag, masl_flag, zoom_flag, dclick_flag;
int target;
int YAXISMAX, YAXISMIN, YPRECISION;
uint16_t ADCMAX, HWTYPE;
int umFULLRANGE;
double mmDelta, mmFreeze, incTIME;
int recidx;

namespace {
// Static start values, so that code running before ResetSharedState() sees them too.
struct StartValues {
    StartValues() { ResetSharedState(); }
} startValues;
}  // namespace

void ResetSharedState() {
    stop_flag = STOP_IDLE;
    exit_flag = tsd_flag = video_flag = teach_flag = reset_flag = send_flag = get_flag = 0;
    wrxf_flag = zoom_flag = dclick_flag = 0;
    recstop_flag = 1;
    masl_flag = 1;
    target = RAM;
    YAXISMAX = 2048;
    YAXISMIN = 0;
    YPRECISION = 1;
    ADCMAX = 256;
    HWTYPE = 20;
    umFULLRANGE = 100000;
    mmDelta = 0.001;
    mmFreeze = incTIME = 0.0;
    recidx = 0;
}
