// What the tool shows on standard error: the status texts the program would show on its panels,
// what its pop-ups would tell, the frames on the wire with --verbose, and its own one-line errors.
#pragma once

class QString;

// Keeps standard error for the status texts: Qt's debug, informational and warning notes (such
// as a missing runtime directory of the offscreen platform) are dropped, critical and fatal
// messages printed.
void KeepSevereMessagesOnly();

// Routes status texts to standard error and with `verbose` prints every frame in hexadecimal.
void InstallConsole(bool verbose);

// Prints "<title>: <message>" on standard error: what the program would tell in a pop-up.
void PrintNotice(const char *title, const char *message);

// Prints "k-tav-cli: <problem>" on standard error and returns `status`.
int Fail(int status, const QString &problem);
