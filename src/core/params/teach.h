// TEACH: the sensors' current positions become the new teach values.
#pragma once

// Sends order 6 and takes the 12-byte teach record into `teach`: 0, or -1 on failure. Shows the
// status on the main panels and, success or not, copies `teach` into the parameter block; the
// panels show the outcome (ShowTEACH).
int PushTEACH();
