// Navigation on the touch surface: the seven panel toggles behave as one radio group, each
// bringing its sub-panel(s) into view; RUN keeps running under the parameter, numeric and
// graph panels, VIDEO stops, the recorder and connection panels stop either. The exit button
// leaves the touch surface.
#pragma once

// Panel toggles (left click: the others off, and the loop handling; commit: show and hide).
int CC_TTOGG_Para0(int panel, int control, int event, void *callbackData, int eventData1,
                   int eventData2);
int CC_TTOGG_Para1(int panel, int control, int event, void *callbackData, int eventData1,
                   int eventData2);
int CC_TTOGG_Para2(int panel, int control, int event, void *callbackData, int eventData1,
                   int eventData2);
int CC_TTOGG_Num(int panel, int control, int event, void *callbackData, int eventData1,
                 int eventData2);
int CC_TTOGG_Graph(int panel, int control, int event, void *callbackData, int eventData1,
                   int eventData2);
int CC_TTOGG_Recorder(int panel, int control, int event, void *callbackData, int eventData1,
                      int eventData2);
int CC_TTOGG_Connect(int panel, int control, int event, void *callbackData, int eventData1,
                     int eventData2);

// Exit: back to the desktop with NUM preset for the next entry; the keyboard keeps running.
int CC_BTNexittouch(int panel, int control, int event, void *callbackData, int eventData1,
                    int eventData2);
