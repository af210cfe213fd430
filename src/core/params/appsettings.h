// The application settings file "PX-MS-Vista.ini": the connection settings, the list of
// remembered host addresses, the placement of the main panel and whether a lost pair is
// reconnected, read and written as plain values. The shell puts them onto the connection
// pop-ups, the transport and the main panel.
#pragma once
#include <optional>
#include <string>
#include <vector>

constexpr int MAX_RECENT_ADDRESSES = 10;

struct AppSettings {
    // "CONNECTION"
    int comtype = 0;                 // 0 = RS-232, 1 = TCP/IP
    int rs232port = 1;               // COM port number 1..255
    int rs232baudrate = 4;           // baud-rate index 0..4
    std::string hostName;            // host text, at most 259 characters on reading
    std::string portText = "10001";  // TCP port number as entered

    // "IP ADDRESSES": remembered host addresses in list order, at most 10. Reading replaces the
    // list when the file has a "LIST ITEMS" count; a missing address key is skipped.
    std::vector<std::string> recentAddresses;

    // "APPLICATION": on reading, a value is set only when the file gives it. The position and
    // size are only taken when "Panel max" is present and not 1. On writing, unset values are 0.
    std::optional<bool> panelMaximised;
    std::optional<int> panelLeft, panelTop;
    std::optional<int> panelWidth, panelHeight;
    std::optional<bool> touchSurface;
    std::optional<bool> zoom;

    // "AUDIT": where the audit log is kept and whether it is. Written only when given, so that a
    // file without the section stays as it was.
    std::optional<std::string> auditLog;  // "LOG FILE": the log's path; empty: the default place
    std::optional<bool> auditOn;          // "LOG ON": 0 switches the log off deliberately
    // "RECONNECT": a lost sensor pair is reconnected by itself; off only when the file says 0.
    bool reconnect = true;
};

// Reads the file into `values`, which hold the current settings on entry. Accepted connection
// values replace them, others keep them. When the file cannot be read, the connection values
// become the start-up defaults. 1 when the file was read, else negative.
int ReadAppSettings(const char *path, AppSettings &values);

// Writes the settings in the file's order: 0, or negative with the old file unchanged and
// `whyNot`, when given, telling the cause.
int WriteAppSettings(const char *path, const AppSettings &values, std::string *whyNot = nullptr);

// Puts the audit log where the settings say (the default place when they do not) and switches it
// off when they say so.
void ApplyAuditSettings(const AppSettings &values);

// TCP port number of the stored port text (its leading digits; 0 when there are none).
int TcpPortOfSettings(const AppSettings &values);
