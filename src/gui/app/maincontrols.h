// The controls of the desktop main panel and of the general parameter pop-up's drop-downs:
// acquisition and sensor-action buttons, parameter transfer with its target selectors,
// thresholds, teach entries, mode drop-downs, graph type and zoom, CONNECT, the pop-up tabs
// and the floating help boxes. The callbacks that the touch surface shares read the surface
// that tsd_flag marks as active and show the result on both.
#pragma once

// Acquisition and sensor actions (idle: at once; while a loop runs: a request flag).
int CC_BTNRun(int panel, int control, int event, void *callbackData, int eventData1,
              int eventData2);
int CC_BTNVideo(int panel, int control, int event, void *callbackData, int eventData1,
                int eventData2);
int CC_ButtonTeach(int panel, int control, int event, void *callbackData, int eventData1,
                   int eventData2);
int CC_ButtonReset(int panel, int control, int event, void *callbackData, int eventData1,
                   int eventData2);
int CC_BTNSend(int panel, int control, int event, void *callbackData, int eventData1,
               int eventData2);
int CC_BTNGet(int panel, int control, int event, void *callbackData, int eventData1,
              int eventData2);

// Transfer target selectors: one radio group over both surfaces; RAM cannot be switched off.
int CC_RBTRam(int panel, int control, int event, void *callbackData, int eventData1,
              int eventData2);
int CC_RBTEeprom(int panel, int control, int event, void *callbackData, int eventData1,
                 int eventData2);
int CC_RBTFile(int panel, int control, int event, void *callbackData, int eventData1,
               int eventData2);

// Video thresholds (redraw the threshold line) and teach entries (move the teach cursor).
int CC_SLIDEVideoTHD_A(int panel, int control, int event, void *callbackData, int eventData1,
                       int eventData2);
int CC_SLIDEVideoTHD_B(int panel, int control, int event, void *callbackData, int eventData1,
                       int eventData2);
int CC_NEDITeachA(int panel, int control, int event, void *callbackData, int eventData1,
                  int eventData2);
int CC_NEDITeachB(int panel, int control, int event, void *callbackData, int eventData1,
                  int eventData2);

// Mode drop-downs of the general parameters and the recorder's RS-232 output mode.
int CC_DropEvalMode(int panel, int control, int event, void *callbackData, int eventData1,
                    int eventData2);
int CC_DROPHardwareMode(int panel, int control, int event, void *callbackData, int eventData1,
                        int eventData2);
int CC_DROPtrigMode(int panel, int control, int event, void *callbackData, int eventData1,
                    int eventData2);
int CC_DROPpolarity(int panel, int control, int event, void *callbackData, int eventData1,
                    int eventData2);
int CC_DROPrs232mode(int panel, int control, int event, void *callbackData, int eventData1,
                     int eventData2);

// Graph type and zoom of the measured-value chart.
int CC_RINGgtype(int panel, int control, int event, void *callbackData, int eventData1,
                 int eventData2);
int CC_TOGGBTNZoom(int panel, int control, int event, void *callbackData, int eventData1,
                   int eventData2);

// CONNECT: stops a loop and opens the connection pop-up.
int CC_TOGGBTNConnect(int panel, int control, int event, void *callbackData, int eventData1,
                      int eventData2);

// The five pop-up tabs.
int CC_TOGGBTN_Para0(int panel, int control, int event, void *callbackData, int eventData1,
                     int eventData2);
int CC_TOGGBTN_Para1(int panel, int control, int event, void *callbackData, int eventData1,
                     int eventData2);
int CC_TOGGBTN_Para2(int panel, int control, int event, void *callbackData, int eventData1,
                     int eventData2);
int CC_TOGGBTN_Calib(int panel, int control, int event, void *callbackData, int eventData1,
                     int eventData2);
int CC_TOGGBTN_Recorder(int panel, int control, int event, void *callbackData, int eventData1,
                        int eventData2);

// Help boxes: the video graphs toggle theirs on a right click; a click on a box hides it.
int CC_GRAPHVideoMaster(int panel, int control, int event, void *callbackData, int eventData1,
                        int eventData2);
int CC_GRAPHVideoSlave(int panel, int control, int event, void *callbackData, int eventData1,
                       int eventData2);
int CC_HelpText1(int panel, int control, int event, void *callbackData, int eventData1,
                 int eventData2);
int CC_HelpText2(int panel, int control, int event, void *callbackData, int eventData1,
                 int eventData2);

// Toggles the button help box of the desktop main panel next to `control` with its help text;
// nothing for a control without one or on another panel.
void ToggleButtonHelp(int panel, int control);
