#include "gui/app/bindings.h"

#include "gui/app/conndialog.h"
#include "gui/app/hwselect.h"
#include "gui/app/maincontrols.h"
#include "gui/app/shell.h"
#include "gui/app/stopaction.h"
#include "gui/app/tablewritegate.h"
#include "gui/calib/calibpopup.h"
#include "gui/calib/pairsetup.h"
#include "gui/measure/recpopup.h"
#include "gui/panels/handles.h"
#include "gui/runtime/userint.h"
#include "gui/touch/keyboard.h"
#include "gui/touch/navigation.h"
#include "gui/touch/numentry.h"
#include "gui/touch/touchrecorder.h"
#include "ktav_panels.h"

namespace {

const CallbackBinding mainPanel[] = {
    {0, CC_PANEL},
    {PANEL_TOUCH, CC_TOGGBTNtouchpanel},
    {PANEL_RUN, CC_BTNRun},
    {PANEL_STOP, CC_BTNStop},
    {PANEL_VIDEO, CC_BTNVideo},
    {PANEL_TEACH, CC_ButtonTeach},
    {PANEL_RESET, CC_ButtonReset},
    {PANEL_SEND, CC_BTNSend},
    {PANEL_GET, CC_BTNGet},
    {PANEL_RAM, CC_RBTRam},
    {PANEL_EEPROM, CC_RBTEeprom},
    {PANEL_FILE, CC_RBTFile},
    {PANEL_GTYPE, CC_RINGgtype},
    {PANEL_ZOOM, CC_TOGGBTNZoom},
    {PANEL_CONNECT, CC_TOGGBTNConnect},
    {PANEL_TAB_GENERAL, CC_TOGGBTN_Para0},
    {PANEL_TAB_MASTER, CC_TOGGBTN_Para1},
    {PANEL_TAB_SLAVE, CC_TOGGBTN_Para2},
    {PANEL_TAB_CALIB, CC_TOGGBTN_Calib},
    {PANEL_TAB_RECORDER, CC_TOGGBTN_Recorder},
    {PANEL_VIDEO_MASTER, CC_GRAPHVideoMaster},
    {PANEL_VIDEO_SLAVE, CC_GRAPHVideoSlave},
    {PANEL_HELP_BTN, CC_HelpText1},
    {PANEL_HELP_GRAPH, CC_HelpText2},
    {PANEL_TOL_UP, CC_NUMToleranceUP},
    {PANEL_TOL_LO, CC_NUMToleranceLO},
};

const CallbackBinding generalPopup[] = {
    {PARA0_EVALMODE, CC_DropEvalMode},
    {PARA0_HWMODE, CC_DROPHardwareMode},
    {PARA0_TRIGMODE, CC_DROPtrigMode},
    {PARA0_POLARITY, CC_DROPpolarity},
};

const CallbackBinding masterPopup[] = {
    {PARA1_VTHD, CC_SLIDEVideoTHD_A},
    {PARA1_TEACH_PIX, CC_NEDITeachA},
    {PARA1_PMODE, CC_DROPpmodeA},
    {PARA1_EDGEMODE, CC_DROPedmodeA},
};

const CallbackBinding slavePopup[] = {
    {PARA2_VTHD, CC_SLIDEVideoTHD_B},
    {PARA2_TEACH_PIX, CC_NEDITeachB},
    {PARA2_PMODE, CC_DROPpmodeB},
    {PARA2_EDGEMODE, CC_DROPedmodeB},
};

const CallbackBinding recorderPopup[] = {
    {REC_RS232MODE, CC_DROPrs232mode}, {REC_FILEBTN, CC_PICBTNrecfile},
    {REC_INCTIME, CC_NEDITRecTime},    {REC_SAMPLES, CC_NEDITRecSamples},
    {REC_START, CC_CBTNStartRecord},   {REC_STOP, CC_PICBTNStopRecord},
};

const CallbackBinding touchRecorder[] = {
    {TREC_RS232MODE, CC_TSD_DROPrs232mode}, {TREC_INC_UP, CC_PICBTNinctimeUP},
    {TREC_INC_DOWN, CC_PICBTNinctimeDOWN},  {TREC_OUTFILE, CC_RBToutfile},
    {TREC_FILEBTN, CC_TSD_PICBTNrecfile},   {TREC_START, CC_TBTN_TSDStartRecord},
    {TREC_STOP, CC_PICBTN_TSDStopRecord},   {TREC_TIMER, CC_TIMER1interrupt},
};

const CallbackBinding touchPanel[] = {
    {0, CC_TSDPANEL},
    {TSD_RUN, CC_BTNRun},
    {TSD_STOP, CC_BTNStop},
    {TSD_VIDEO, CC_BTNVideo},
    {TSD_TEACH, CC_ButtonTeach},
    {TSD_RESET, CC_ButtonReset},
    {TSD_SEND, CC_BTNSend},
    {TSD_GET, CC_BTNGet},
    {TSD_RAM, CC_RBTRam},
    {TSD_EEPROM, CC_RBTEeprom},
    {TSD_EXIT, CC_BTNexittouch},
    {TSD_TOG_PARA0, CC_TTOGG_Para0},
    {TSD_TOG_PARA1, CC_TTOGG_Para1},
    {TSD_TOG_PARA2, CC_TTOGG_Para2},
    {TSD_TOG_NUM, CC_TTOGG_Num},
    {TSD_TOG_GRAPH, CC_TTOGG_Graph},
    {TSD_TOG_RECORDER, CC_TTOGG_Recorder},
    {TSD_TOG_CONNECT, CC_TTOGG_Connect},
    {TSD_TOG_KEYBOARD, CC_TTOGG_Keyboard},
};

// The touch twins of the general parameter drop-downs, thresholds, set-up controls and the
// graph's ring and zoom: the desktop's callbacks, which read the active surface and show both.
const CallbackBinding touchGeneral[] = {
    {TPARA0_EVALMODE, CC_DropEvalMode}, {TPARA0_HWMODE, CC_DROPHardwareMode},
    {TPARA0_TRIGMODE, CC_DROPtrigMode}, {TPARA0_POLARITY, CC_DROPpolarity},
    {TPARA0_TOL_UP, CC_NUMToleranceUP}, {TPARA0_TOL_LO, CC_NUMToleranceLO},
    {TPARA0_MMODE, CC_BINSWmMode},
};

const CallbackBinding touchMaster[] = {
    {TPARA1_VTHD, CC_SLIDEVideoTHD_A},
    {TPARA1_PMODE, CC_DROPpmodeA},
    {TPARA1_TEACH_PIX, CC_NUMTeachA},
    {TPARA1_EDGEMODE, CC_DROPedmodeA},
};

const CallbackBinding touchSlave[] = {
    {TPARA2_VTHD, CC_SLIDEVideoTHD_B},
    {TPARA2_PMODE, CC_DROPpmodeB},
    {TPARA2_TEACH_PIX, CC_NUMTeachB},
    {TPARA2_EDGEMODE, CC_DROPedmodeB},
};

const CallbackBinding touchGraph[] = {
    {TGRAPH_GTYPE, CC_RINGgtype},
    {TGRAPH_ZOOM, CC_TOGGBTNZoom},
};

const CallbackBinding touchNumeric[] = {
    {TNUM_MEASVALUE, CC_TEXTmeasvalue},      {TNUM_SETPOINT, CC_NDISPmmSetpoint},
    {TNUM_TOLPLUS, CC_NDISPmmTolPlus},       {TNUM_TOLMINUS, CC_NDISPmmTolMinus},
    {TNUM_MVAL_UP, CC_PICBTNmvalueUP},       {TNUM_MVAL_DOWN, CC_PICBTNmvalueDOWN},
    {TNUM_SETP_UP, CC_PICBTNsetpUP},         {TNUM_SETP_DOWN, CC_PICBTNsetpDOWN},
    {TNUM_TOLPLUS_UP, CC_PICBTNtolplusUP},   {TNUM_TOLPLUS_DOWN, CC_PICBTNtolplusDOWN},
    {TNUM_TOLMINUS_UP, CC_PICBTNtolminusUP}, {TNUM_TOLMINUS_DOWN, CC_PICBTNtolminusDOWN},
    {TNUM_MVAL_D100MM, CC_DECO_100mm},       {TNUM_MVAL_D10MM, CC_DECO_10mm},
    {TNUM_MVAL_D1MM, CC_DECO_1mm},           {TNUM_MVAL_D100UM, CC_DECO_100um},
    {TNUM_MVAL_D10UM, CC_DECO_10um},         {TNUM_MVAL_D1UM, CC_DECO_1um},
    {TNUM_SETP_D100MM, CC_DECO_100mm},       {TNUM_SETP_D10MM, CC_DECO_10mm},
    {TNUM_SETP_D1MM, CC_DECO_1mm},           {TNUM_SETP_D100UM, CC_DECO_100um},
    {TNUM_SETP_D10UM, CC_DECO_10um},         {TNUM_SETP_D1UM, CC_DECO_1um},
    {TNUM_TOLPLUS_D100MM, CC_DECO_100mm},    {TNUM_TOLPLUS_D10MM, CC_DECO_10mm},
    {TNUM_TOLPLUS_D1MM, CC_DECO_1mm},        {TNUM_TOLPLUS_D100UM, CC_DECO_100um},
    {TNUM_TOLPLUS_D10UM, CC_DECO_10um},      {TNUM_TOLPLUS_D1UM, CC_DECO_1um},
    {TNUM_TOLMINUS_D100MM, CC_DECO_100mm},   {TNUM_TOLMINUS_D10MM, CC_DECO_10mm},
    {TNUM_TOLMINUS_D1MM, CC_DECO_1mm},       {TNUM_TOLMINUS_D100UM, CC_DECO_100um},
    {TNUM_TOLMINUS_D10UM, CC_DECO_10um},     {TNUM_TOLMINUS_D1UM, CC_DECO_1um},
};

const CallbackBinding calibPanel[] = {
    {CALIB_TITLE, CC_TBOXCalibration},
    {CALIB_INFO, CC_TBOXinfo},
    {CALIB_MASL, CC_BINSWmasterslave},
    {CALIB_LOADFILE, CC_PICBTNSelectCalibFile},
    {CALIB_TYPE_A, CC_DROPhwtypeA},
    {CALIB_TYPE_B, CC_DROPhwtypeB},
    {CALIB_WR_VIRTOFF, CC_BTNWriteVirtOffsetToEE},
    {CALIB_RD_VIRTOFF, CC_BTNReadVirtOffsetFromEE},
    {CALIB_MMODE, CC_BINSWmMode},
    {CALIB_LINMODE, CC_DROPlinearization},
    {CALIB_WRITE, CC_BTNWriteCalibXF},
    {CALIB_READ, CC_BTNReadCalibXF},
};

}  // namespace

void BindAllCallbacks() {
    BindCallbacks(pPA, mainPanel);
    BindCallbacks(pPara0, generalPopup);
    BindCallbacks(pPara1, masterPopup);
    BindCallbacks(pPara2, slavePopup);
    BindCallbacks(pRec, recorderPopup);
    BindCallbacks(pTSD, touchPanel);
    BindCallbacks(pTRec, touchRecorder);
    BindCallbacks(pTPara0, touchGeneral);
    BindCallbacks(pTPara1, touchMaster);
    BindCallbacks(pTPara2, touchSlave);
    BindCallbacks(pTGraph, touchGraph);
    BindCallbacks(pTNum, touchNumeric);
    BindCallbacks(pCalib, calibPanel);
    BindConnectionCallbacks();
    InstallTableWriteGate();
}
