// Figures of the Python module ktav: Pair.run_array beside k-tav-cli run --json.
#pragma once

// run_array(n) / run --json, in alternating rounds of fresh processes, both rates taken from the
// records' own time stamps: over the simulator's pseudo-terminal paced at 115200 baud (`paced`),
// or over TCP as fast as the link allows. False when it could not run.
bool PythonFigure(int rounds, bool paced);
