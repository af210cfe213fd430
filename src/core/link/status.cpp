#include "core/link/status.h"

#include <cstdio>
#include <cstring>

char szStatus[STATUS_SIZE];

namespace {
void printStatus(unsigned, const char *text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
}
void noPort(int) {}
void noBusy(bool) {}
void noCause(const char *) {}
void noLoop(bool) {}
void noExchange(bool) {}
void noLoss(LostDuring) {}
LinkView view{printStatus, noPort, noBusy, noCause, noLoop, noExchange, noLoss};
}  // namespace

void SetStatus(const char *text) {
    if (text == szStatus) return;
    std::snprintf(szStatus, sizeof szStatus, "%s", text ? text : "");
}

void AppendStatus(const char *text) {
    const size_t used = std::strlen(szStatus);
    std::snprintf(szStatus + used, sizeof szStatus - used, "%s", text ? text : "");
}

void SetLinkView(const LinkView &v) {
    view.status = v.status ? v.status : printStatus;
    view.portNumber = v.portNumber ? v.portNumber : noPort;
    view.busy = v.busy ? v.busy : noBusy;
    view.cause = v.cause ? v.cause : noCause;
    view.loop = v.loop ? v.loop : noLoop;
    view.exchange = v.exchange ? v.exchange : noExchange;
    view.lost = v.lost ? v.lost : noLoss;
}

const LinkView &CurrentLinkView() {
    return view;
}

void ShowStatus(unsigned fields) {
    view.status(fields, szStatus);
}

void ShowText(unsigned fields, const char *text) {
    view.status(fields, text);
}

void ReportFailureCause(const char *text) {
    view.cause(text);
}

void ReportLoop(bool running) {
    view.loop(running);
}

void ReportExchange(bool waiting) {
    view.exchange(waiting);
}

void ReportSensorLost(LostDuring during) {
    view.lost(during);
}
