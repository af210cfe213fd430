#include "gui/app/linkview.h"

#include <QDateTime>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/link/status.h"
#include "gui/app/exchangeguard.h"
#include "gui/app/reconnect.h"
#include "gui/panels/handles.h"
#include "gui/runtime/screen.h"
#include "gui/runtime/userint.h"
#include "ktav_panels.h"

namespace {

std::FILE *logFile = nullptr;
std::string logPath;
long logLimit = LINK_LOG_LIMIT;
std::string pendingCause;  // written before the next text that differs from it
bool loopRunning = false;
long loopCycles = 0;
std::string statusNote;  // put before every text shown

// Starts a new file once the current one has passed the limit; the old one stays beside it.
void rotateIfFull() {
    if (!logFile || std::ftell(logFile) < logLimit) return;
    std::fclose(logFile);
    const std::string old = logPath + ".1";
    std::rename(logPath.c_str(), old.c_str());
    logFile = std::fopen(logPath.c_str(), "a");
}

void writeLine(const char *text) {
    if (!logFile) return;
    const QByteArray stamp =
        QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss.zzz").toLatin1();
    std::fprintf(logFile, "%s  %s\n", stamp.constData(), text);
    std::fflush(logFile);
    rotateIfFull();
}

bool isCycleText(const char *text) {
    return std::strcmp(text, CYCLE_TEXT_FORWARD) == 0 ||
           std::strcmp(text, CYCLE_TEXT_BACKWARD) == 0;
}

void logText(const char *text) {
    if (!logFile) return;
    if (loopRunning && isCycleText(text) && loopCycles++ > 0) return;
    if (!pendingCause.empty() && pendingCause != text) writeLine(pendingCause.c_str());
    pendingCause.clear();
    writeLine(text);
}

void logCause(const char *text) {
    if (logFile) pendingCause = text;
}

void logLoop(bool running) {
    if (loopRunning && !running && loopCycles > 0)
        writeLine(("Loop ended after " + std::to_string(loopCycles) + " cycles").c_str());
    loopRunning = running;
    loopCycles = 0;
}

void showStatus(unsigned fields, const char *text) {
    std::string noted;
    const char *shown = text;
    if (!statusNote.empty()) {
        noted = statusNote + text;
        shown = noted.c_str();
    }
    if (fields & ST_PA) SetCtrlVal(pPA, PANEL_STATUS, shown);
    if (fields & ST_CONN) SetCtrlVal(pConn, CONNECT_STATUS, shown);
    if (fields & ST_TSD) SetCtrlVal(pTSD, TSD_STATUS, shown);
    if (fields & ST_TCONN) SetCtrlVal(pTConn, TCONN_STATUS, shown);
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

void InstallLinkView(const char *path, long limit) {
    CloseLinkLog();
    logLimit = limit;
    if (path && *path) {
        logPath = path;
        logFile = std::fopen(path, "a");
        if (!logFile) std::fprintf(stderr, "cannot open the log file %s\n", path);
    }
    SetLinkView(
        {showStatus, showPortNumber, showBusy, logCause, logLoop, GuardExchange, SensorLost});
}

void SetStatusNote(const char *note) {
    statusNote = note ? note : "";
}

void CloseLinkLog() {
    if (logFile) std::fclose(logFile);
    logFile = nullptr;
    pendingCause.clear();
    loopRunning = false;
    loopCycles = 0;
}
