// Shows the link layer's texts on the panels: the status fields of the main panels and of the
// connection panels, the COM port indicators and the busy cursor. With a log file every text
// shown is also written there with a time stamp.
#pragma once

// Installs the panel view of the link layer; `logPath` empty or nullptr: no log.
void InstallLinkView(const char *logPath);

// Closes the log file.
void CloseLinkLog();
