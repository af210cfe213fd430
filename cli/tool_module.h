// The tool's plug-in modules: the code that needs libraries its other commands should not load
// (Qt Gui and what it pulls in for plot's picture, libmosquitto and the TLS libraries for
// publish). A module lies beside the tool (the build tree) or in the package's private library
// folder, found relative to the tool wherever the package is unpacked.
#pragma once

class QLibrary;

// Points `module` at the file `name` where it is found; resolve() then loads it, and a module
// that is missing or does not load leaves its reason in errorString().
void LocateToolModule(QLibrary &module, const char *name);
