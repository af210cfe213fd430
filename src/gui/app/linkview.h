// Shows the link layer's texts on the panels: the status fields of the main panels and of the
// connection panels, the COM port indicators and the busy cursor. With a log file every text
// shown is also written there with a time stamp, except a running loop's alternating cycle
// texts: the first is written when the loop starts and the number of cycles when it ends. The
// precise cause of a failed exchange is written just before the text that reports it. A log
// past its size limit moves aside to "<log>.1" and a new file starts.
#pragma once

constexpr long LINK_LOG_LIMIT = 4L * 1024 * 1024;  // bytes of one log file

// Installs the panel view of the link layer; `logPath` empty or nullptr: no log.
void InstallLinkView(const char *logPath, long logLimit = LINK_LOG_LIMIT);

// Closes the log file.
void CloseLinkLog();

// A note put before every text the status fields show from now on (not in the log), so that
// what it says stays in view across the texts that follow; nullptr or "" ends it. A close held
// for a table write says so this way.
void SetStatusNote(const char *note);
