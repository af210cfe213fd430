// A calibration table write owns the sensor from its first erase to its last write: meanwhile
// the controls that would talk to the sensor, change the view or switch the surface (marked
// sensorControl or tableWriteHeld in the panel files) are dimmed on both surfaces, a press that
// still reaches one is refused with a status text saying why, and a close (either main panel,
// SIGINT, SIGTERM) is held and carried out once the write has ended.
#pragma once

// Puts the gate into the callback dispatch and lets the calibration transfer report to it.
void InstallTableWriteGate();

// A close asked for while a table write runs: held, to be carried out when the write has ended
// (true). False when no table write runs.
bool HoldCloseForTableWrite(bool fromTouchPanel);
