// A round of a tool in its own process, measured by the time stamps of what it gives.
#pragma once
#include <QByteArray>
#include <QStringList>

// Records per second from the time stamps of the JSON objects in `lines` (one a line, the field
// "time") that contain `marker`; negative when fewer than two arrived.
double RateOfStamps(const QByteArray &lines, const char *marker);

// One round of k-tav-cli run --json of `records` records on `connection` (--tcp or --com and
// its value): its records per second; negative when it failed.
double CliRunRate(const QStringList &connection, int records);
