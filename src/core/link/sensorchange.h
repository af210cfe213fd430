// Every change the program or the tool makes to the sensor pair goes to the audit log before its
// outcome is shown: parameter sets, TEACH, RESET, video thresholds, the linearisation, the
// calibration header and table, the baud rate. A change that the log cannot take does not reach
// the sensor.
#pragma once
#include <QJsonObject>

// True when a change may go to the sensor: the audit log can be written, or it is off. Otherwise
// the status text names the log and the cause, is shown on `fields`, and nothing may be sent.
bool SensorChangeAllowed(unsigned fields);

// Records a change that went to the sensor: "action" and `details`, the pair it went to
// ("device": serial number, firmware text, models) and the outcome ("outcome" done or failed,
// "status" the status text it ended with). With the log off the status text says so at its end,
// and so it does when the line could not be written.
void RecordSensorChange(const char *action, QJsonObject details, bool ok);

// "master" for sensor 1, "slave" for 2.
const char *SideName(int sensor);
