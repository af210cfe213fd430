// Numeric entry on the touch numeric panel: digit markers choose the step (mmDelta), up/down
// steppers change the measured value, set-point and tolerances by it and write the result to
// every panel showing the same parameter, so that the next SEND takes it from there.
#pragma once

// Digit markers (left click): the step 100 mm … 1 um.
int CC_DECO_100mm(int panel, int control, int event, void *callbackData, int eventData1,
                  int eventData2);
int CC_DECO_10mm(int panel, int control, int event, void *callbackData, int eventData1,
                 int eventData2);
int CC_DECO_1mm(int panel, int control, int event, void *callbackData, int eventData1,
                int eventData2);
int CC_DECO_100um(int panel, int control, int event, void *callbackData, int eventData1,
                  int eventData2);
int CC_DECO_10um(int panel, int control, int event, void *callbackData, int eventData1,
                 int eventData2);
int CC_DECO_1um(int panel, int control, int event, void *callbackData, int eventData1,
                int eventData2);

// Value displays (left click): the 1 um step and that value's markers and steppers shown;
// the measured-value display does nothing.
int CC_NDISPmmSetpoint(int panel, int control, int event, void *callbackData, int eventData1,
                       int eventData2);
int CC_NDISPmmTolPlus(int panel, int control, int event, void *callbackData, int eventData1,
                      int eventData2);
int CC_NDISPmmTolMinus(int panel, int control, int event, void *callbackData, int eventData1,
                       int eventData2);
int CC_TEXTmeasvalue(int panel, int control, int event, void *callbackData, int eventData1,
                     int eventData2);

// Steppers: left click ends a running loop, keeping the values shown; commit steps the value
// shown by mmDelta (tolerances not below 0).
int CC_PICBTNmvalueUP(int panel, int control, int event, void *callbackData, int eventData1,
                      int eventData2);
int CC_PICBTNmvalueDOWN(int panel, int control, int event, void *callbackData, int eventData1,
                        int eventData2);
int CC_PICBTNsetpUP(int panel, int control, int event, void *callbackData, int eventData1,
                    int eventData2);
int CC_PICBTNsetpDOWN(int panel, int control, int event, void *callbackData, int eventData1,
                      int eventData2);
int CC_PICBTNtolplusUP(int panel, int control, int event, void *callbackData, int eventData1,
                       int eventData2);
int CC_PICBTNtolplusDOWN(int panel, int control, int event, void *callbackData, int eventData1,
                         int eventData2);
int CC_PICBTNtolminusUP(int panel, int control, int event, void *callbackData, int eventData1,
                        int eventData2);
int CC_PICBTNtolminusDOWN(int panel, int control, int event, void *callbackData, int eventData1,
                          int eventData2);

// Show (0) or hide (1) a value's digit markers and steppers; hidden steppers are dimmed. The
// measured value's two digit captions go with its markers.
void DimmTSD_MVALDigits(int hide);
void DimmTSD_SETPTDigits(int hide);
void DimmTSD_TOLPLUSDigits(int hide);
void DimmTSD_TOLMINUSDigits(int hide);
