// The program's life: start-up (panels, defaults, settings, connection, both surfaces), the
// event loop, the close of either main panel, the switch between desktop and touch surface,
// and the orderly shut-down.
#pragma once
#include <string>

struct ProgramOptions {
    std::string dir;                      // program directory (settings, recorder file); empty: the
                                          // executable's folder
    std::string logFile;                  // every status text shown, time-stamped; empty: none
    std::string screenshot;               // PNG of the active surface after start-up, then close
    double screenshotDelay = 0.0;         // seconds the program runs before the picture is taken
    bool run = false;                     // press RUN once started (unattended displays)
    bool video = false;                   // press VIDEO once started
    bool touch = false;                   // start on the touch surface, whatever the settings say
    bool record = false;                  // open the recorder pop-up and press its START
    const char *panelResource = nullptr;  // panel resource to load; nullptr: the program's own
};

// Exit status of a program that ended in order but could not write a file it had to: the
// settings file on close, or the picture of the screenshot option.
constexpr int EXIT_NOT_SAVED = 2;

// The whole program: 0 after an orderly shut-down, EXIT_NOT_SAVED when a file it had to write
// was not written, -1 when a panel cannot be loaded.
int WinMain(const ProgramOptions &options);

// Start-up up to the event loop: 1, or -1 when a panel cannot be loaded.
int StartProgram(const ProgramOptions &options);
// Shut-down after the event loop: closes the transports and discards the panels.
void ShutdownProgram();

// Every start-up default, the settings file, the graphs' initial state.
void InitVars();
// Brings both surfaces in line with the loaded settings.
void InitGUI();

// Shows the RS-232 or the TCP fields of both connection panels and the matching port or host
// indicator of both main panels (tcp: 0 RS-232, 1 TCP/IP).
void ShowTransportFields(int tcp);

// What closing a main panel does: stops loops, writes the settings file, flushes the serial
// queues and quits the event loop (touch: also stops the touch recorder's timer).
void CloseProgram(bool fromTouchPanel);

// Switches to the touch surface (on) or back to the desktop.
void SwitchSurface(bool touch);

// Presses RUN or VIDEO of the active surface as the operator would: left click, then commit.
// The acquisition loop runs inside the press until it is stopped.
void PressAcquisitionButton(bool video);

// Callbacks of the two main panels and the surface toggle.
int CC_PANEL(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_TSDPANEL(int panel, int control, int event, void *callbackData, int eventData1,
                int eventData2);
int CC_TOGGBTNtouchpanel(int panel, int control, int event, void *callbackData, int eventData1,
                         int eventData2);
