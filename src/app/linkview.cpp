#include "app/linkview.h"

#include <QDateTime>
#include <cstdio>

#include "ktav_panels.h"
#include "link/status.h"
#include "platform/ui/screen.h"
#include "platform/ui/userint.h"
#include "shared/panels.h"

namespace {

std::FILE *logFile = nullptr;

void logText(const char *text) {
    if (!logFile) return;
    const QByteArray stamp =
        QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss.zzz").toLatin1();
    std::fprintf(logFile, "%s  %s\n", stamp.constData(), text);
    std::fflush(logFile);
}

void showStatus(unsigned fields, const char *text) {
    if (fields & ST_PA) SetCtrlVal(pPA, PANEL_STATUS, text);
    if (fields & ST_CONN) SetCtrlVal(pConn, CONNECT_STATUS, text);
    if (fields & ST_TSD) SetCtrlVal(pTSD, TSD_STATUS, text);
    if (fields & ST_TCONN) SetCtrlVal(pTConn, TCONN_STATUS, text);
    logText(text);
}

void showPortNumber(int port) {
    SetCtrlVal(pPA, PANEL_COMPORT, port);
    SetCtrlVal(pTSD, TSD_COMPORT, port);
}

void showBusy(bool on) {
    SetWaitCursor(on ? 1 : 0);
}

}  // namespace

void InstallLinkView(const char *logPath) {
    CloseLinkLog();
    if (logPath && *logPath) {
        logFile = std::fopen(logPath, "a");
        if (!logFile) std::fprintf(stderr, "cannot open the log file %s\n", logPath);
    }
    SetLinkView({showStatus, showPortNumber, showBusy});
}

void CloseLinkLog() {
    if (logFile) std::fclose(logFile);
    logFile = nullptr;
}
