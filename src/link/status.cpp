#include "link/status.h"

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
LinkView view{printStatus, noPort, noBusy};
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
