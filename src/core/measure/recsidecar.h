// The sidecar of a recording: NAME.json beside the recorder file NAME, written when the file is
// created, so that a measurement names the state it was made in. The recorder file itself stays
// byte for byte as the recorders write it. The sidecar holds the pair as identify --json prints
// it (firmware, serialNumber, models, both calibration headers) with each side's
// "tableSha256" when known (the last table write to that side of this pair in the audit log, if
// it succeeded; else null), "parameters": the three sets in RAM as get --json prints them (a set
// not known since the identification is null), "program" and "programVersion", "recording" (the
// file's name) and "auditLastHash": the hash of the audit log's last line at the start (null with
// the log off or empty).
#pragma once
#include <QJsonObject>
#include <QString>
#include <optional>

// The sidecar's path for the recorder file `recording`.
QString RecordingSidecarPath(const QString &recording);

// Writes the sidecar of `recording` for the pair and sets as they are now, whole or not at all:
// an empty text, or why it could not be written.
QString WriteRecordingSidecar(const QString &recording);

// The sidecar of `recording`, when there is one that reads as JSON.
std::optional<QJsonObject> ReadRecordingSidecar(const QString &recording);

// What a report says of a sidecar: "serial number 1001, MASTER PX-M4, SLAVE PX-M5", and per side
// "type 610409, offset 40000 um, range 12000 um, table 3f2a..." (the first 12 hexadecimal digits
// of its SHA-256, or "table unknown").
QString SidecarPairText(const QJsonObject &sidecar);
QString SidecarCalibrationText(const QJsonObject &sidecar);
