// Handles of every panel of the program, loaded once at start-up from the panel resource and
// discarded at exit.
#pragma once

extern int pPA;                        // desktop main panel
extern int pPara0, pPara1, pPara2;     // general, master, slave parameter pop-ups
extern int pCalib, pRec, pConn;        // calibration, data-recorder, connection pop-ups
extern int pTSD;                       // touch main panel
extern int pTNum, pTMval, pTGraph;     // touch numeric, measured-value and graph sub-panels
extern int pTRec, pTVideo;             // touch recorder and video sub-panels
extern int pTPara0, pTPara1, pTPara2;  // touch parameter sub-panels
extern int pTConn;                     // touch connection sub-panel

// The panel resource the handles are loaded from.
extern const char *const PANEL_RESOURCE;

// Loads all panels from `resource` in start-up order: 1, or -1 at the first panel that cannot
// be loaded (panels loaded before it stay loaded).
int LoadAllPanels(const char *resource = PANEL_RESOURCE);

// The handle of the panel loaded from `resourceId`; 0 when it is not loaded.
int PanelHandle(int resourceId);

// Puts the pop-ups and touch sub-panels at their places inside their parents.
void PlacePanels();

// Discards every loaded panel in shut-down order; the handles become 0.
void DiscardAllPanels();
