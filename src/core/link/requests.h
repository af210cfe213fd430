// Requests of the operator that talk to the sensor (SEND, GET, TEACH, RESET, a calibration
// header write) while something else may hold the link: carried out by the callback at once,
// left in its request flag for the running loop, or refused with a text that says why. A request
// never waits for a loop that will not serve it.
#pragma once

// What holds the link between its own exchanges; told by the loops and recorders as they start
// and end.
enum class LinkHolder {
    None,
    DesktopLoop,  // desktop RUN or VIDEO: serves every request
    TouchLoop,    // touch RUN or VIDEO: serves all but the calibration header write
    Recording,    // a recorder's loop or its wait for trigger records: serves none
};
void SetLinkHolder(LinkHolder holder);
LinkHolder CurrentLinkHolder();

enum class RequestRoute {
    Now,      // nothing holds the link: the callback carries the request out at once
    Loop,     // the running loop serves it: the callback sets the request flag
    Refused,  // nobody would serve it; ShowRequestRefused tells the operator why
};
// The route of a request made now; `headerWrite` for the calibration header write.
RequestRoute RouteOfRequest(bool headerWrite = false);
// Shows on both surfaces' status lines why `what` ("SEND", "TEACH", ...) cannot be done now.
void ShowRequestRefused(const char *what);
