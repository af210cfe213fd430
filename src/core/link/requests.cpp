#include "core/link/requests.h"

#include <cstdio>

#include "core/link/frame.h"
#include "core/link/status.h"

namespace {
LinkHolder holder = LinkHolder::None;
}  // namespace

void SetLinkHolder(LinkHolder h) {
    holder = h;
}

LinkHolder CurrentLinkHolder() {
    return holder;
}

RequestRoute RouteOfRequest(bool headerWrite) {
    switch (holder) {
        case LinkHolder::None:
            // An exchange outside the loops (an identification, a GET waiting for its reply)
            // has the link; it serves no request.
            return ExchangeActive() ? RequestRoute::Refused : RequestRoute::Now;
        case LinkHolder::DesktopLoop:
            return RequestRoute::Loop;
        case LinkHolder::TouchLoop:
            return headerWrite ? RequestRoute::Refused : RequestRoute::Loop;
        case LinkHolder::Recording:
            break;
    }
    return RequestRoute::Refused;
}

void ShowRequestRefused(const char *what) {
    const char *why = holder == LinkHolder::Recording   ? "Recorder running: STOP it first"
                      : holder == LinkHolder::TouchLoop ? "Touch RUN/VIDEO running: STOP it first"
                                                        : "Sensor busy: wait for its answer";
    char text[STATUS_SIZE];
    std::snprintf(text, sizeof text, "%s, then %s!", why, what);
    ShowText(ST_PA | ST_TSD, text);
}
