// The callback table of every panel: which callback serves which control.
#pragma once

// Binds the callbacks of all loaded panels and puts the table-write gate before them.
void BindAllCallbacks();
