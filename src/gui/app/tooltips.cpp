#include "gui/app/tooltips.h"

#include "gui/panels/handles.h"
#include "gui/runtime/userint.h"
#include "ktav_panels.h"

namespace {

struct Tip {
    int *panel;
    int control;
    const char *text;
};

const Tip kTips[] = {
    {&pPA, PANEL_RUN, "Start RS-232 meas.-value-transfer..."},
    {&pPA, PANEL_STOP, "Stop RS-232 transfer..."},
    {&pPA, PANEL_VIDEO, "Start RS-232 video-data-transfer..."},
    {&pPA, PANEL_SEND, "Save actual parameter to sensor ..."},
    {&pPA, PANEL_GET, "Read actual parameter from sensor ..."},
    {&pPA, PANEL_TEACH, "Activate teach-procedure at sensor ..."},
    {&pPA, PANEL_RESET, "Reset analog max/min values at sensor ..."},
    {&pPA, PANEL_TAB_GENERAL, "General parameter-set"},
    {&pPA, PANEL_TAB_MASTER, "Master parameter-set"},
    {&pPA, PANEL_TAB_SLAVE, "Slave parameter-set"},
    {&pPA, PANEL_TAB_RECORDER, "Data-recorder panel"},
    {&pPA, PANEL_TAB_CALIB, "Calibration panel"},
    {&pPA, PANEL_RAM, "Set source/target = RAM memory"},
    {&pPA, PANEL_EEPROM, "Set source/target = nonvolatile EEPROM memory"},
    {&pPA, PANEL_FILE, "Set source/target = DATA-FILE"},
    {&pPA, PANEL_CONNECT, "Connect panel for serial-data-transfer"},
    {&pPA, PANEL_TOL_UP, "Set upper tolerance-limit [mm]"},
    {&pPA, PANEL_TOL_LO, "Set lower tolerance-limit [mm]"},
    {&pPara0, PARA0_EVALMODE, "Select evaluation mode at sensor"},
    {&pPara0, PARA0_LASERMODE, "Set operation mode for laser at master/slave sensor"},
    {&pPara0, PARA0_HWMODE, "Select mode for poti/button at housing"},
    {&pPara0, PARA0_TRIGMODE, "Set working mode of ext.input IN0"},
    {&pPara0, PARA0_POLARITY, "Select output polarity of OUT0,OUT1 and OUT2"},
    {&pPara0, PARA0_AVERAGE, "Select size of average-ring-buffer"},
    {&pPara0, PARA0_ANAMODE, "Set analog-output mode"},
    {&pPara0, PARA0_ANAZOOM, "Set zoom mode for analog-output"},
    {&pPara1, PARA1_POWER, "Set the laser power at MASTER"},
    {&pPara1, PARA1_VTHD, "Set the video-threshold at MASTER"},
    {&pPara1, PARA1_PMODE, "Set laser power-mode at MASTER"},
    {&pPara1, PARA1_EDGEMODE, "Set search mode for edge-detection"},
    {&pPara1, PARA1_CCDMODE, "Set CCD-readout-mode at MASTER"},
    {&pPara1, PARA1_TEACH_UM, "Set teach-value at MASTER [\u00b5m]"},
    {&pPara1, PARA1_EVAL_BEGIN, "Set evaluation-begin at MASTER [pixel]"},
    {&pPara1, PARA1_EVAL_END, "Set evaluation-end at MASTER [pixel]"},
    {&pPara2, PARA2_POWER, "Set the laser power at SLAVE"},
    {&pPara2, PARA2_VTHD, "Set the video-threshold at SLAVE"},
    {&pPara2, PARA2_PMODE, "Set laser power-mode at SLAVE"},
    {&pPara2, PARA2_EDGEMODE, "Set seach mode for edge-detection"},
    {&pPara2, PARA2_CCDMODE, "Set CCD-readout-mode at SLAVE"},
    {&pPara2, PARA2_TEACH_UM, "Set teach-value at SLAVE [\u00b5m]"},
    {&pPara2, PARA2_EVAL_BEGIN, "Set evaluation-begin at SLAVE [pixel]"},
    {&pPara2, PARA2_EVAL_END, "Set evaluation-end at SLAVE [pixel]"},
    {&pRec, REC_RS232MODE, "Set working mode of RS232-output"},
    {&pRec, REC_INCTIME, "Set recorder storage time interval"},
    {&pRec, REC_SAMPLES, "Set max. number of recorder samples"},
    {&pRec, REC_START, "START data recorder ..."},
    {&pRec, REC_STOP, "STOP data recorder activity"},
    {&pRec, REC_FILEBTN, "Select recorder output-file"},
    {&pCalib, CALIB_SETPOINT, "Setpoint value [\u00b5m]"},
    {&pCalib, CALIB_MMODE, "ON:use setpoint-value,\nOFF:use absolute-value"},
    {&pCalib, CALIB_MASL, "Switch Master/Salve calib-values"},
};

}  // namespace

void AttachToolTips() {
    for (const Tip &tip : kTips)
        SetCtrlAttribute(*tip.panel, tip.control, ATTR_TOOLTIP_TEXT, tip.text);
}
