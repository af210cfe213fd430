// TEACH: the sensors' current positions become the new teach values.
#pragma once

// Sends order 6 and takes the 12-byte teach record into `teach`: 0, or -1 on failure. Records
// the old and new teach values in the audit log, then shows the status on the main panels and,
// success or not, copies `teach` into the parameter block; the panels show the outcome
// (ShowTEACH). Nothing is sent and nothing copied when the audit log cannot be written.
int PushTEACH();
