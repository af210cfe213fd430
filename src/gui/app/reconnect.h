// The link comes back by itself. Once the sensor pair is lost (a loop or a recording ended
// because it did not answer, the server closed the connection, the serial device vanished), the
// program reopens the transport and identifies the pair between the operator's own actions: at
// once, then after 1 s, the wait doubling up to 30 s. Meanwhile every status line says "Sensor
// lost: reconnecting …, attempt n", the connection dialogs' boxes log each attempt, the sensor
// controls of both surfaces are dimmed and the displays and address fields greyed. The same pair
// (serial number) back resumes the RUN or VIDEO that the loss ended; another pair is identified
// as CONNECT identifies one and nothing resumes; a recording never resumes by itself. CONNECT,
// DISCONNECT and DISCARD take over from it.
#pragma once
#include "core/link/status.h"

// 1 (the default) when a lost pair is reconnected, 0 when the operator reconnects it; kept in
// the settings file.
extern int reconnect_flag;

// The link view's report of a lost pair: starts reconnecting a pair that was accepted, and
// notes a RUN or VIDEO to resume.
void SensorLost(LostDuring during);

// True from the loss until the pair is back or the operator takes over.
bool Reconnecting();

// Ends reconnecting: the operator connects, disconnects or discards, or the program closes.
void StopReconnecting();
