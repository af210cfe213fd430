#include "app/identify.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>

#include "calib/calibtransfer.h"
#include "ktav_panels.h"
#include "link/calibheader.h"
#include "link/frame.h"
#include "link/status.h"
#include "link/xflash.h"
#include "params/derived.h"
#include "params/panelmap.h"
#include "params/transfer.h"
#include "platform/timing.h"
#include "platform/ui/userint.h"
#include "shared/panels.h"
#include "shared/state.h"

namespace {

constexpr int32_t LINE_8192 = 306158;
constexpr int32_t LINE_4096 = 306159;
constexpr int32_t TWO_LINE_MODEL = 611632;
constexpr char kBlankLine[] = "                               ";  // 31 blanks

// A sensor model and the display settings its MASTER code selects (0: left as it is).
struct Model {
    int32_t code;
    const char *name;
    double toleranceStep;  // step of the tolerance entries [mm]
    int yPrecision;        // decimals of the measured-value axis
    int valueDecimals;     // decimals of the measured-value displays
};

constexpr Model kModels8192[] = {
    {611513, "PX-M1", 0.1, 3, 0}, {610407, "PX-M2", 0.1, 3, 0}, {611589, "PX-M3", 0.2, 2, 0},
    {610409, "PX-M4", 0, 2, 2},   {610412, "PX-M5", 0, 2, 2},   {610426, "PX-M6", 0, 2, 2},
    {610413, "PX-M7", 0, 2, 2},   {610414, "PX-M8", 0, 2, 2},   {610416, "PX-M9", 0, 2, 2},
    {610417, "PX-M10", 0, 0, 2},
};

constexpr Model kModels4096[] = {
    {511513, "PX-M1-HS", 0, 0, 0},         {510407, "PX-M2-HS", 0, 0, 0},
    {511589, "PX-M3-HS", 0, 0, 0},         {510409, "PX-M4-HS", 0, 0, 0},
    {510412, "PX-M5-HS", 0, 0, 0},         {510426, "PX-M6-HS", 0, 0, 0},
    {510413, "PX-M7-HS", 0, 0, 0},         {510414, "PX-M8-HS", 0, 0, 0},
    {510416, "PX-M9-HS", 0, 0, 0},         {510417, "PX-M10-HS", 0, 0, 0},
    {TWO_LINE_MODEL, "PX-M2-2X", 0, 0, 0},
};

// SLAVE models of the 8192 line whose micrometre values are shown with 2 decimals.
constexpr int32_t kFineSlaves[] = {610409, 610412, 610413, 610414, 610416, 610417, 610426};

// Subpixel counts whose bars spread evenly over the line.
constexpr int16_t kBarCounts[] = {256,  512,  768,  1024, 1280,  1536, 2048,
                                  3072, 4096, 6144, 8192, 12288, 16384};

// Messages of a device that this program does not serve.
struct Refusal {
    const char *popup;
    const char *status;
};
struct Sibling {
    std::string_view prefix;
    Refusal message;
};
constexpr Sibling kSiblings[] = {
    {"K-TAV-QD",
     {"Incompatible hardware detected!\nPlease use K-TAV-QD-Vista software!",
      "Please use K-TAV-QD-Vista software!"}},
    {"K-TAV-WN",
     {"Incompatible hardware detected!\nPlease use K-TAV-WN-Vista software!",
      "Please use K-TAV-WN-Vista software!"}},
    {"CHROMIX",
     {"Incompatible hardware detected!\nPlease use CHROMIX-Vista software version!",
      "Please use CHROMIX-Vista software version!"}},
};
constexpr Refusal kFirmwareBelow400{
    "Incompatible firmware detected!\nPlease use K-TAV-PX-MS-Vista software V.3.xx !",
    "Please use K-TAV-PX-MS-Vista V.3.xx !"};
constexpr Refusal kFirmware40x{
    "Incompatible firmware detected!\nPlease use K-TAV-PX-MS-Vista software V.4.0x !",
    "Please use K-TAV-PX-MS-Vista V.4.0x !"};
constexpr Refusal kFirmwareNewer{
    "Incompatible or newer firmware detected!\nPlease use K-TAV-PX-MS-Vista software newer "
    "than V4.2 !",
    "Please use K-TAV-PX-MS-Vista software newer than V4.2 !"};

// Appends `text` to a terminated buffer of `size` bytes, cut to fit.
void appendCut(char *buffer, std::size_t size, const char *text) {
    const std::size_t used = std::strlen(buffer);
    std::snprintf(buffer + used, size - used, "%s", text);
}

// The next token of `rest`: leading delimiters skipped, then up to the next delimiter, which is
// consumed. Tokenises like the C library's strtok with a changing delimiter set.
std::string_view nextToken(std::string_view &rest, std::string_view delimiters) {
    const std::size_t begin = rest.find_first_not_of(delimiters);
    if (begin == std::string_view::npos) {
        rest = {};
        return {};
    }
    rest.remove_prefix(begin);
    const std::size_t end = rest.find_first_of(delimiters);
    const std::string_view token = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    return token;
}

// Copies the reply's text into szFirmwareVersion: at most 72 characters up to the first zero
// byte, control bytes shown as blanks.
void takeFirmwareText(const uint8_t *data, std::size_t length) {
    std::memset(szFirmwareVersion, 0, sizeof szFirmwareVersion);
    for (std::size_t i = 0; i < length && i < VERSION_TEXT_SIZE && data[i] != 0; ++i)
        szFirmwareVersion[i] = (data[i] < 0x20 || data[i] == 0x7F) ? ' ' : char(data[i]);
}

// szVersion = first token "." second token, three blanks, fourth token.
void buildVersionText() {
    std::string_view rest = szFirmwareVersion;
    const std::string_view t1 = nextToken(rest, ".");
    const std::string_view t2 = nextToken(rest, ".");
    nextToken(rest, " ");
    const std::string_view t4 = nextToken(rest, " ");
    std::snprintf(szVersion, sizeof szVersion, "%.*s.%.*s   %.*s", int(t1.size()), t1.data(),
                  int(t2.size()), t2.data(), int(t4.size()), t4.data());
}

// Pop-up, status text and a line break after szVersion for a refused device or firmware.
void refuse(const Refusal &message) {
    MessagePopup("Attention !!!", message.popup);
    SetStatus(message.status);
    appendCut(szVersion, sizeof szVersion, "\n");
}

// The identification's lines go to the message boxes of both connection dialogs, whichever
// of them connected.
void appendToConnectionLog(const char *text) {
    SetCtrlVal(pConn, CONNECT_MSGBOX, text);
    SetCtrlVal(pTConn, TCONN_MSGBOX, text);
}

// The last line of the identification in the message boxes: its outcome as the status shows it,
// so that a box never ends with a step that was waiting.
void logOutcome() {
    std::string line = szStatus;
    if (line.empty() || line.back() != '\n') line += '\n';
    appendToConnectionLog(line.c_str());
}

bool startsWith(const char *text, std::string_view prefix) {
    return std::string_view(text).starts_with(prefix);
}

const Model *findModel(int32_t linetype, int32_t code) {
    const auto search = [code](const auto &table) -> const Model * {
        for (const Model &m : table)
            if (m.code == code) return &m;
        return nullptr;
    };
    if (linetype == LINE_8192) return search(kModels8192);
    if (linetype == LINE_4096) return search(kModels4096);
    return nullptr;
}

void setHwLine(int line, const char *text) {
    std::snprintf(szHwLine[line], HW_LINE_SIZE, "%s", text);
    ReplaceTextBoxLine(pCalib, CALIB_INFO, line, szHwLine[line]);
}

// Line 1 (MASTER) or 2 (SLAVE) of the hardware box and HWTYPE from the model; the model found.
const Model *showModel(int line, int32_t code) {
    const Model *model = findModel(hwinfo.linetype, code);
    const char *side = line == 1 ? "MASTER" : "SLAVE";
    char text[HW_LINE_SIZE];
    if (model)
        std::snprintf(text, sizeof text, "%s: %s", side, model->name);
    else
        std::snprintf(text, sizeof text, "%s: No info avialable!", side);
    setHwLine(line, text);
    HWTYPE = !model ? 0 : model->code == TWO_LINE_MODEL ? 22 : 20;
    return model;
}

using PanelControl = std::pair<int, int>;  // panel handle, control id

template <typename Value>
void setAttribute(std::initializer_list<PanelControl> controls, int attribute, Value value) {
    for (const auto &[panel, control] : controls)
        SetCtrlAttribute(panel, control, attribute, value);
}

// The display settings a MASTER model of the 8192 line selects.
void applyMasterSettings(const Model &model) {
    if (model.toleranceStep > 0)
        setAttribute({{pPA, PANEL_TOL_UP},
                      {pPA, PANEL_TOL_LO},
                      {pTPara0, TPARA0_TOL_UP},
                      {pTPara0, TPARA0_TOL_LO}},
                     ATTR_INCR_VALUE, model.toleranceStep);
    if (model.valueDecimals > 0)
        setAttribute({{pPA, PANEL_MEASVALUE}, {pTNum, TNUM_MEASVALUE}}, ATTR_PRECISION,
                     model.valueDecimals);
    if (model.yPrecision > 0) YPRECISION = model.yPrecision;
}

// Micrometre-valued entries and displays with 2 decimals, for the fine SLAVE models.
void showMicrometresWith2Decimals() {
    setAttribute({{pPA, PANEL_TOL_UP},
                  {pPA, PANEL_TOL_LO},
                  {pTPara0, TPARA0_TOL_UP},
                  {pTPara0, TPARA0_TOL_LO},
                  {pPara1, PARA1_TEACH_UM},
                  {pPara2, PARA2_TEACH_UM},
                  {pTPara1, TPARA1_TEACH_UM},
                  {pTPara2, TPARA2_TEACH_UM},
                  {pPA, PANEL_MEASVALUE},
                  {pTNum, TNUM_MEASVALUE},
                  {pTMval, TMVAL_MEASVALUE}},
                 ATTR_PRECISION, 2);
}

struct Item {
    const char *label;
    int value;
};

void fillRing(int panel, int control, std::initializer_list<Item> items) {
    ClearListCtrl(panel, control);
    for (const Item &item : items) InsertListItem(panel, control, -1, item.label, item.value);
}

void fillEvalModeRings(bool pairModes) {
    for (const auto &[panel, control] :
         {PanelControl{pPara0, PARA0_EVALMODE}, PanelControl{pTPara0, TPARA0_EVALMODE}}) {
        if (pairModes)
            fillRing(panel, control,
                     {{"SLAVE", 0},
                      {"MASTER", 1},
                      {"WIDTH", 2},
                      {"CENTER", 3},
                      {"DIFF MA-SL", 4},
                      {"DIFF SL-MA", 5}});
        else
            fillRing(panel, control, {{"SLAVE", 0}, {"MASTER", 1}, {"WIDTH", 2}, {"CENTER", 3}});
    }
}

// CCD read-out rings and edge-search selectors of both sensors on both surfaces.
void configureSensorPanels(const char *mode0, const char *mode1, bool dimCcdMode) {
    for (const auto &[panel, control] :
         {PanelControl{pPara1, PARA1_CCDMODE}, PanelControl{pPara2, PARA2_CCDMODE},
          PanelControl{pTPara1, TPARA1_CCDMODE}, PanelControl{pTPara2, TPARA2_CCDMODE}}) {
        fillRing(panel, control, {{mode0, 0}, {mode1, 1}});
        if (dimCcdMode) SetCtrlAttribute(panel, control, ATTR_DIMMED, 1);
    }
    setAttribute({{pPara1, PARA1_EDGEMODE},
                  {pPara2, PARA2_EDGEMODE},
                  {pTPara1, TPARA1_EDGEMODE},
                  {pTPara2, TPARA2_EDGEMODE}},
                 ATTR_DIMMED, 1);
}

void setIntegrationTimeLimits(double minimum, double maximum) {
    MIN_ITIME = minimum;
    MAX_ITIME = maximum;
    for (const auto &[panel, control] :
         {PanelControl{pPara1, PARA1_INTTIME}, PanelControl{pPara2, PARA2_INTTIME},
          PanelControl{pTPara1, TPARA1_INTTIME}, PanelControl{pTPara2, TPARA2_INTTIME}}) {
        SetCtrlAttribute(panel, control, ATTR_MIN_VALUE, minimum);
        SetCtrlAttribute(panel, control, ATTR_MAX_VALUE, maximum);
    }
}

void configureLine8192() {
    setHwLine(0, "LINE-SENSOR: ---  8192 subpixel");
    configureSensorPanels("LOW GAIN", "HIGH GAIN", false);
    fillEvalModeRings(true);
    if (const Model *master = showModel(1, hwinfo.mastertype)) applyMasterSettings(*master);
    if (std::ranges::find(kFineSlaves, hwinfo.slavetype) != std::end(kFineSlaves)) {
        showMicrometresWith2Decimals();
        HWTYPE = 20;
    }
    showModel(2, hwinfo.slavetype);
    setIntegrationTimeLimits(5.0, 50.0);
}

void configureLine4096() {
    HWTYPE = 8;
    SetCtrlVal(pCalib, CALIB_VIRTOFF_A, 0);
    SetCtrlVal(pCalib, CALIB_VIRTOFF_B, 0);
    setHwLine(0, "LINE-SENSOR: ---  4096 subpixel");
    configureSensorPanels("NORM-SPEED", "HIGH-SPEED", true);
    fillEvalModeRings(true);
    // The two-line model carries its second line at a fixed virtual offset.
    if (hwinfo.mastertype == TWO_LINE_MODEL) SetCtrlVal(pCalib, CALIB_VIRTOFF_A, 30000);
    showModel(1, hwinfo.mastertype);
    if (hwinfo.slavetype == TWO_LINE_MODEL) SetCtrlVal(pCalib, CALIB_VIRTOFF_B, 30000);
    showModel(2, hwinfo.slavetype);
    if (HWTYPE == 22) fillEvalModeRings(false);
    setIntegrationTimeLimits(3.0, 25.0);
}

void fillBarPositions() {
    const bool even = std::ranges::find(kBarCounts, hwinfo.subpixels) != std::end(kBarCounts);
    if (!even) hwinfo.subpixels = 2048;
    for (int i = 0; i < XBAR_COUNT; ++i)
        xArray8[i] = even ? double(i * hwinfo.subpixels / XBAR_COUNT) : double(i * 16);
}

// Lines, axes, rings and limits from the hardware record.
void applyHardwareInfo() {
    for (int graph : {PANEL_VIDEO_MASTER, PANEL_VIDEO_SLAVE})
        SetAxisScalingMode(pPA, graph, VAL_XAXIS, VAL_MANUAL, 1.0, hwinfo.subpixels);
    fillBarPositions();
    if (hwinfo.linetype == LINE_8192) {
        configureLine8192();
    } else if (hwinfo.linetype == LINE_4096) {
        configureLine4096();
    } else {
        setHwLine(0, "CCD-SENSOR: No Info Avialable! ");
        setHwLine(1, kBlankLine);
        setHwLine(2, kBlankLine);
        pixB = 1;
        pixE = 2048;
        ADCMAX = 1024;
        YAXISMAX = 4096;
        return;
    }
    ADCMAX = hwinfo.adcrange == 1024 ? 1024 : 256;
    pixB = 1;
    pixE = hwinfo.subpixels;
    YAXISMAX = hwinfo.subpixels;
}

// Reads one sensor's calibration header (1 MASTER, 2 SLAVE) into `calib` and shows it.
void readCalibHeader(int sensor, const char *errorText) {
    uint8_t buffer[64] = {};
    if (ReadCalibDataFromXF(buffer, sensor, sizeof buffer) <= 0) {
        SetStatus(errorText);
        return;
    }
    std::memcpy(&calib[sensor - 1], buffer, sizeof(CalibHeader));
    ShowCalibHeader(sensor - 1, calib[sensor - 1]);
}

int deviceAccepted = 0;    // the last identification's verdict, see DeviceAccepted()
int incompleteTables = 0;  // see IncompleteTables()

// Steps after the version text: series, hardware record, firmware range, calibration headers
// and parameter sets. The result of the identification.
int identify() {
    hwok_flag = startsWith(szVersion, "K-TAV-PX-MA") || startsWith(szVersion, "K-TAV-PX-2X");
    DimmButtons(!hwok_flag);
    if (!hwok_flag) {
        for (const Sibling &sibling : kSiblings) {
            if (!startsWith(szVersion, sibling.prefix)) continue;
            refuse(sibling.message);
            AppendStatus("\n");
        }
        return 1;
    }
    if (GetHARDWAREInfo() == 0) {
        SetStatus("Error reading HARDWARE-info!");
        return 0;
    }
    const int fw = hwinfo.fwversion;
    if (fw < 410 || fw > 429) {
        refuse(fw < 400 ? kFirmwareBelow400 : fw <= 409 ? kFirmware40x : kFirmwareNewer);
        DimmButtons(1);
        return 0;
    }
    readCalibHeader(1, "Error reading MASTER Xflash-Data");
    readCalibHeader(2, "Error reading SLAVE Xflash-Data");
    incompleteTables = IncompleteCalibTables();
    PushGET(RAM, 0);
    Delay(0.05);
    PushGET(RAM, 1);
    Delay(0.05);
    ShowGET(PushGET(RAM, 2), 2);
    SetStatus(szVersion);
    if (incompleteTables != 0) {
        // A table that would make the sensor measure wrong is said before anything else.
        SetStatus(IncompleteTablesText(incompleteTables));
        appendToConnectionLog(szStatus);
        appendToConnectionLog("\n");
    }
    deviceAccepted = 1;
    return 1;
}

}  // namespace

int DeviceAccepted() {
    return deviceAccepted;
}

void ForgetDevice() {
    deviceAccepted = 0;
}

int IncompleteTables() {
    return incompleteTables;
}

int InitDataExchange() {
    int result = 0;
    deviceAccepted = 0;
    incompleteTables = 0;
    if (CheckComLine() != 1) {
        if (tsd_flag == 0) {
            DisplayPanel(pConn);
            SetCtrlAttribute(pConn, CONNECT_ACCEPT, ATTR_DIMMED, 0);
        }
        DimmButtons(1);
    } else {
        Delay(0.05);
        if (GetVERSIONInfo() < VERSION_TEXT_SIZE)
            SetStatus("Timeout/Error reading firmware-info!");
        else
            result = identify();
    }
    ShowStatus(ST_ALL);
    logOutcome();
    return result;
}

int GetVERSIONInfo() {
    FillTxBuf(ORD_VERSION, 0, nullptr, 0);
    ShowText(ST_PA, "Waiting for firmware info ...");
    appendToConnectionLog("Waiting for firmware info ...\n");
    if (DataExchange(FRAME_HEADER_SIZE) != 1) {
        SetStatus("Timeout - reading firmware info!");
        return -1;
    }
    takeFirmwareText(szReadBuf + FRAME_HEADER_SIZE, head.len);
    hwinfo.serialno = static_cast<int16_t>(head.param);
    buildVersionText();
    SetStatus(szVersion);
    for (const auto &[panel, control] :
         {PanelControl{pPA, PANEL_STATUS}, PanelControl{pTSD, TSD_STATUS}, {pTConn, TCONN_STATUS}})
        SetCtrlAttribute(panel, control, ATTR_TOOLTIP_TEXT, szFirmwareVersion);
    return head.len;
}

int GetHARDWAREInfo() {
    FillTxBuf(ORD_HWINFO, 0, nullptr, 0);
    const int result =
        DataExchange(FRAME_HEADER_SIZE) == 1 && TakeReplyData(&hwinfo, sizeof hwinfo) ? 1 : 0;
    if (result != 1) SetStatus("Timeout-RS-232...");
    if (hwinfo.subpixels < 256) hwinfo.subpixels = 256;
    if (result == 1 && head.order == ORD_HWINFO) applyHardwareInfo();
    return result;
}

const char *SensorModelName(int32_t linetype, int32_t code) {
    const Model *model = findModel(linetype, code);
    return model ? model->name : nullptr;
}
