// The set-up controls of the master/slave pair: tolerance and teach entries, the laser
// power-mode drop-downs, the calibration pop-up's master/slave and set-point switches and its
// two service gestures. The controls with a touch twin read the surface that tsd_flag marks
// as active and show the value on both surfaces.
#pragma once

// Upper and lower tolerance entries: value changed mirrors the entry, right click toggles the
// main panel's help box beside it.
int CC_NUMToleranceUP(int panel, int control, int event, void *callbackData, int eventData1,
                      int eventData2);
int CC_NUMToleranceLO(int panel, int control, int event, void *callbackData, int eventData1,
                      int eventData2);

// Pixel teach-value entries of master and slave (commit): mirrored to both surfaces.
int CC_NUMTeachA(int panel, int control, int event, void *callbackData, int eventData1,
                 int eventData2);
int CC_NUMTeachB(int panel, int control, int event, void *callbackData, int eventData1,
                 int eventData2);

// Laser power-mode drop-downs (commit): mirrored, with labels and the enabling of the power
// entries and integration-time entries.
int CC_DROPpmodeA(int panel, int control, int event, void *callbackData, int eventData1,
                  int eventData2);
int CC_DROPpmodeB(int panel, int control, int event, void *callbackData, int eventData1,
                  int eventData2);

// Edge-detection search modes: no action; the value is taken when parameters are sent.
int CC_DROPedmodeA(int panel, int control, int event, void *callbackData, int eventData1,
                   int eventData2);
int CC_DROPedmodeB(int panel, int control, int event, void *callbackData, int eventData1,
                   int eventData2);

// Master/slave switch of the calibration pop-up (commit): which side's header fields are
// shown, and masl_flag.
int CC_BINSWmasterslave(int panel, int control, int event, void *callbackData, int eventData1,
                        int eventData2);

// Set-point/absolute switch (commit): set-point entries, or the pair's distance with the
// caption of the evaluation mode.
int CC_BINSWmMode(int panel, int control, int event, void *callbackData, int eventData1,
                  int eventData2);

// Service gestures (right double click), sharing dclick_flag: the title box toggles the
// editing mode, the info box the linearisation drop-down.
int CC_TBOXCalibration(int panel, int control, int event, void *callbackData, int eventData1,
                       int eventData2);
int CC_TBOXinfo(int panel, int control, int event, void *callbackData, int eventData1,
                int eventData2);
