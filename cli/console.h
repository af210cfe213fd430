// What the tool shows on standard error: the status texts the program would show on its panels,
// the texts of its pop-ups, the frames on the wire with --verbose, and its own one-line errors.
#pragma once

class QString;

// Drops Qt's debug, informational and warning messages, critical and fatal ones are printed:
// the panels are not loaded in the tool, so the run-time warns about every write to them.
void KeepSevereMessagesOnly();

// Routes status texts and pop-ups to standard error and with `verbose` prints every frame in
// hexadecimal.
void InstallConsole(bool verbose);

// Number of pop-ups the program code has shown since start.
int PopupsShown();
// Prints the title and text of the last pop-up shown, if any.
void PrintLastPopup();

// Prints "k-tav-cli: <problem>" on standard error and returns `status`.
int Fail(int status, const QString &problem);

// True when the current status text begins with `prefix`: how the tool learns the outcome of
// the program's operations that report it only through their status text.
bool StatusBeginsWith(const char *prefix);
