// --json: the results of identify, get, calib-read, run, video and record as JSON objects on
// standard output, one per line, so that scripts need not parse the texts. The objects are the
// core's (documents.h); time stamps are ISO 8601 in UTC with milliseconds.
#pragma once
#include <QJsonObject>

#include "core/json/documents.h"  // the objects printed

// Prints `object` as one compact line on standard output and flushes it, so that a reader of a
// running command sees each line as it comes.
void PrintJson(const QJsonObject &object);

// The time now as "2026-12-06T21:07:48.123Z".
QString JsonTimeStamp();
