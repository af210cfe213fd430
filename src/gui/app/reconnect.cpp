#include "gui/app/reconnect.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <string>

#include "core/calib/calibtransfer.h"
#include "core/calib/identifypair.h"
#include "core/link/identity.h"
#include "core/link/requests.h"
#include "core/link/sensorwatch.h"
#include "core/measure/acquisition.h"
#include "core/state/flags.h"
#include "core/system/timing.h"
#include "gui/app/conndialog.h"
#include "gui/app/identityview.h"
#include "gui/app/shell.h"
#include "gui/measure/displays.h"
#include "gui/panels/handles.h"
#include "gui/params/settingsview.h"
#include "gui/runtime/userint.h"
#include "gui/touch/touchrecorder.h"
#include "ktav_panels.h"

int reconnect_flag = 1;

namespace {

constexpr double kBusyWait = 0.2;  // [s] before an attempt that found the link taken looks again

bool reconnecting = false;
bool attempting = false;                  // an attempt runs; its exchanges let events through
LostDuring resume = LostDuring::Nothing;  // the acquisition to start again once the pair is back
int lostSerial = 0;                       // serial number of the pair that was lost
int attempts = 0;
ReconnectSchedule schedule;

void attempt();

// The next attempt's timer: attempts come from the event loop, between the operator's actions.
QTimer &timer() {
    static QTimer *t = [] {
        auto *single = new QTimer(QCoreApplication::instance());
        single->setSingleShot(true);
        QObject::connect(single, &QTimer::timeout, single, attempt);
        return single;
    }();
    return *t;
}

void logLine(const std::string &text) {
    const std::string line = text + "\n";
    SetCtrlVal(pConn, CONNECT_MSGBOX, line.c_str());
    SetCtrlVal(pTConn, TCONN_MSGBOX, line.c_str());
}

// A text on every status line and in both connection boxes.
void tell(const std::string &text) {
    SetStatus(text.c_str());
    ShowStatus(ST_ALL);
    logLine(text);
}

std::string lostText() {
    return "Sensor lost: reconnecting \u2026, attempt " + std::to_string(attempts);
}

// The address fields of both main panels look as connected as the link is.
void greyAddress(bool grey) {
    SetCtrlsAttribute(pPA, {PANEL_HOST, PANEL_COMPORT}, ATTR_DIMMED, grey);
    SetCtrlsAttribute(pTSD, {TSD_HOST, TSD_COMPORT}, ATTR_DIMMED, grey);
}

// Something else has the link now: a loop, a recording, an exchange or a table write.
bool linkTaken() {
    return stop_flag == STOP_RUNNING || ExchangeInProgress() ||
           CurrentLinkHolder() != LinkHolder::None || TableWriteRunning();
}

void plan(double seconds) {
    timer().start(static_cast<int>(seconds * 1000.0));
}

void endReconnecting() {
    reconnecting = false;
    timer().stop();
    greyAddress(false);
}

// The pair answered and was identified (`verdict`): as after CONNECT; the same pair goes on with
// what the loss ended.
void pairBack(Identified verdict) {
    const LostDuring again = resume;
    endReconnecting();
    if (verdict != Identified::Accepted) return;  // shown by the identification
    InitGUI();
    if (hwinfo.serialno != lostSerial) {
        char line[STATUS_SIZE];
        std::snprintf(line, sizeof line, "Another sensor pair (serial %d): nothing resumed",
                      int(hwinfo.serialno));
        logLine(line);
        return;
    }
    const bool video = again == LostDuring::Video;
    const bool acquire = video || again == LostDuring::Run;
    const std::string text = std::string("Sensor reconnected: same pair") +
                             (acquire ? video ? ", VIDEO resumed" : ", RUN resumed" : "");
    // A table warning of the identification stays on the status lines.
    if (IncompleteTables() == 0)
        tell(text);
    else
        logLine(text);
    if (!acquire) return;
    PostDeferredCall([video] {
        if (stop_flag != STOP_RUNNING && DeviceAccepted()) PressAcquisitionButton(video);
    });
}

void attempt() {
    if (!reconnecting || attempting || exit_flag == 1) return;
    if (linkTaken()) return plan(kBusyWait);
    attempting = true;
    ++attempts;
    tell(lostText());
    CloseLink();
    Identified verdict = Identified::NoLine;
    if (!OpenLink())
        logLine(szStatus);
    else
        verdict = IdentifyLostPair();
    attempting = false;
    if (!reconnecting) return;  // the operator took over meanwhile
    const bool answered = verdict == Identified::Accepted || verdict == Identified::OtherSeries ||
                          verdict == Identified::FirmwareOutOfRange;
    if (answered) return pairBack(verdict);
    CloseLink();
    SetStatus(lostText().c_str());
    ShowStatus(ST_ALL);
    plan(NextReconnectWait(schedule));
}

}  // namespace

void SensorLost(LostDuring during) {
    if (reconnect_flag != 1 || exit_flag == 1) return;
    const bool acquiring = during == LostDuring::Run || during == LostDuring::Video;
    if (reconnecting) {
        // A loop the loss ended reports after the link did.
        if (acquiring) resume = during;
        return;
    }
    if (!DeviceAccepted()) return;  // no pair was there to lose
    reconnecting = true;
    resume = acquiring ? during : LostDuring::Nothing;
    attempts = 0;
    schedule = {};
    lostSerial = hwinfo.serialno;
    ForgetDevice();
    DimmSensorControls(1);
    ShowRecordNotCurrent();
    greyAddress(true);
    StopTouchRecording("SENSOR LOST");
    plan(NextReconnectWait(schedule));
}

bool Reconnecting() {
    return reconnecting;
}

void StopReconnecting() {
    if (reconnecting) endReconnecting();
    resume = LostDuring::Nothing;
}
