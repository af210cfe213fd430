// The application settings file on the panels: the connection pop-ups, the transport settings
// and the main panel's placement.
#pragma once

// The main panel as designed; it is never stored or shown smaller, except on a smaller screen,
// where it fills the screen and shows itself whole, scaled down to fit.
constexpr int MAIN_PANEL_HEIGHT = 534, MAIN_PANEL_WIDTH = 777;

// Gives the main panel its designed size, centred on the screen; on a smaller screen the panel
// fills it (maximised, within the window manager's frame and panels) instead.
void RestoreMainPanel();

// Reads the settings file into the transport settings, the recent-address lists, the main
// panel's placement, the surface and zoom flags, and shows the connection values on the
// connection pop-ups, and puts the audit log where its section says. A missing or unreadable
// file leaves the start-up defaults. Temporary
// files that an earlier run left beside it, cut short while writing, are removed first.
void ReadIniFile(const char *path);

// Takes the connection values from the desktop connection pop-up (they become the current
// settings) and writes them, the recent addresses and the main panel's placement to the file.
// 0; or negative when the file could not be written, which is then shown in the status lines
// of both main panels (and so in the status log) and on standard error.
int WriteIniFile(const char *path);
