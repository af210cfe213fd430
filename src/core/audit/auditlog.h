// The audit log file: one JSON object a line. Each line carries "prev", the hash of the line
// before it (the first line: the SHA-256 of a fixed start text and its own time, when the log
// began), and ends with "hash", the SHA-256 of the line without it. A removed, inserted or edited
// line therefore breaks the chain at a known line. Lines are appended under an advisory lock, one
// write each, and are on the disk when the append returns, so that the program and the tool can
// write one log at once and nothing reported as done is missing after a power cut.
#pragma once
#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <functional>

// Appends `entry` (which holds "time") as the next line of the log at `path`, creating the log
// and its folder when missing. A line that a write cut short (a killed process, a power cut)
// is taken away first: its outcome was never shown. An empty text, or why it was not written.
QString AppendAuditLine(const QString &path, QJsonObject entry);

// Why a line could not be appended to `path` now (its folder or the file cannot be created or
// opened for writing); an empty text when it could.
QString AuditLogProblem(const QString &path);

// What a check of the chain found.
struct AuditCheck {
    QString error;          // the log cannot be read (then nothing else is set)
    qint64 lines = 0;       // whole lines
    qint64 broken = 0;      // the first line that breaks the chain; 0 when it is intact
    QString why;            // what is wrong with that line
    QByteArray lastHash;    // the hash of the last whole line; empty when there is none
    bool cutShort = false;  // the log ends in a line a write cut short (not part of the chain)
};
AuditCheck VerifyAuditLog(const QString &path);

// The hash of the last whole line of the log at `path`; empty when it has none or cannot be read.
QByteArray LastAuditHash(const QString &path);

// Calls `take` with each whole line of the log as an object (empty for a line that is no JSON),
// as it stands there (without its line end) and with its line number. False when the log cannot
// be read.
using AuditEntryTaker =
    std::function<void(const QJsonObject &entry, const QByteArray &text, qint64 line)>;
bool ForEachAuditEntry(const QString &path, const AuditEntryTaker &take);

// The whole lines that follow byte `offset` of the log, without their line ends; a line takes
// its length + 1 bytes. Empty when there are none or the log cannot be read.
QList<QByteArray> AuditLinesAfter(const QString &path, qint64 offset);
