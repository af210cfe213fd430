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

// What ran when the sensor pair was lost, for a view that resumes it once the pair is back.
enum class LostDuring { Nothing, Run, Video, Recording };

// What the link layer shows on the panels; installed by the user interface.
struct LinkView {
    void (*status)(unsigned fields, const char *text) = nullptr;  // write text to the fields
    void (*portNumber)(int port) = nullptr;                       // the COM port indicators
    void (*busy)(bool on) = nullptr;                              // busy cursor while connecting
    void (*cause)(const char *text) = nullptr;  // cause of a failed exchange, for a log
    void (*loop)(bool running) = nullptr;       // a loop starts (true) or ends (false)
    void (*exchange)(bool waiting) = nullptr;   // an exchange lets events through, or ends
    void (*lost)(LostDuring during) = nullptr;  // the link to the pair is gone (ReportSensorLost)
};
void SetLinkView(const LinkView &view);
const LinkView &CurrentLinkView();

void ShowStatus(unsigned fields);                  // shows szStatus on the given fields
void ShowText(unsigned fields, const char *text);  // shows a text, szStatus unchanged

// The frame layer's own text of a failed exchange (time-out, header incorrect, too long,
// server closed, wrong answer). Callers show their generic failure texts on the panels; a
// view with a log writes this one there, just before the next text it shows.
void ReportFailureCause(const char *text);

// The alternating success texts of a running loop's cycles.
constexpr const char *CYCLE_TEXT_FORWARD = "Transmission successful  ---> Line Ok!";
constexpr const char *CYCLE_TEXT_BACKWARD = "Transmission successful <---  Line Ok!";

// A loop marks its start and its end, so that a log can write its cycle texts once and then
// the number of cycles rather than thousands of lines a second.
void ReportLoop(bool running);

// DataExchange marks when it first processes events while it waits (true) and, if it did, its
// end (false), so that the view can dim what would start another. Presses can reach the
// controls only while events are processed; a reply taken at once lets none through.
void ReportExchange(bool waiting);

// The link to the sensor pair is gone: the server closed the connection, the serial device
// vanished, or a loop or recording ended because the sensor did not answer (`during` says which).
void ReportSensorLost(LostDuring during);
