// The status text of the last sensor operation and the seam through which the link layer shows
// texts on the panels. Until a user interface installs its view, texts are printed.
#pragma once

constexpr int STATUS_SIZE = 72;
extern char szStatus[STATUS_SIZE];  // status text of the last operation, always terminated

void SetStatus(const char *text);     // replaces szStatus, cut to fit
void AppendStatus(const char *text);  // appends to szStatus, cut to fit

// Status fields of the four panels that show link texts.
enum StatusField : unsigned {
    ST_PA = 1,     // desktop main panel
    ST_CONN = 2,   // connection pop-up
    ST_TSD = 4,    // touch main panel
    ST_TCONN = 8,  // touch connection panel
    ST_ALL = ST_PA | ST_CONN | ST_TSD | ST_TCONN,
};

// What the link layer shows on the panels; installed by the user interface.
struct LinkView {
    void (*status)(unsigned fields, const char *text);  // write text to the status fields
    void (*portNumber)(int port);                       // the COM port indicators
    void (*busy)(bool on);                              // busy cursor while connecting
};
void SetLinkView(const LinkView &view);
const LinkView &CurrentLinkView();

void ShowStatus(unsigned fields);                  // shows szStatus on the given fields
void ShowText(unsigned fields, const char *text);  // shows a text, szStatus unchanged
