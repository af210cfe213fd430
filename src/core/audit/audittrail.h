// The audit trail of this process: where its log is, whether it is kept, and who writes to it
// (login name, host, program or tool and its version, the surface). The operations that change a
// sensor write their lines through it.
#pragma once
#include <QJsonObject>
#include <QString>

// The log's place when nothing else is set: <GenericDataLocation>/K-TAV-PX-MS-Vista/audit.jsonl
// ($XDG_DATA_HOME, by default ~/.local/share).
QString DefaultAuditLogPath();

// Puts the log at `path` (empty: the default place); `on` false switches it off deliberately.
void SetAuditLog(const QString &path, bool on);
QString AuditLogPath();
bool AuditLogOn();

// Names the writer: `tool` with this build's version; `surfaces` true for the program, whose
// lines name the surface in use (desktop or touch), false for the tool (surface "tool"). Until
// then the writer is the program, "k-tav-px-ms-vista".
void SetAuditWriter(const char *tool, bool surfaces);
QString AuditWriterName();

// Why a change cannot be recorded now; an empty text when the log can be written or is off.
QString AuditTrailProblem();

// Writes `entry` with "time" (ISO 8601, milliseconds and the UTC offset), "user", "host",
// "tool", "version" and "surface" added. An empty text, or why it was not written.
QString WriteAuditEntry(QJsonObject entry);

// The time now as the log writes it: "2026-06-12T13:10:06.123+02:00".
QString AuditTimeNow();
