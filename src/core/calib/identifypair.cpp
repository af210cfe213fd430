#include "core/calib/identifypair.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string_view>

#include "core/calib/calibfile.h"
#include "core/calib/calibtransfer.h"
#include "core/link/calibheader.h"
#include "core/link/frame.h"
#include "core/link/identity.h"
#include "core/link/status.h"
#include "core/link/xflash.h"
#include "core/params/transfer.h"
#include "core/state/flags.h"
#include "core/system/timing.h"

namespace {

constexpr char kBlankLine[] = "                               ";  // 31 blanks

constexpr SensorModel kModels8192[] = {
    {611513, "PX-M1", 0.1, 3, 0}, {610407, "PX-M2", 0.1, 3, 0}, {611589, "PX-M3", 0.2, 2, 0},
    {610409, "PX-M4", 0, 2, 2},   {610412, "PX-M5", 0, 2, 2},   {610426, "PX-M6", 0, 2, 2},
    {610413, "PX-M7", 0, 2, 2},   {610414, "PX-M8", 0, 2, 2},   {610416, "PX-M9", 0, 2, 2},
    {610417, "PX-M10", 0, 0, 2},
};

constexpr SensorModel kModels4096[] = {
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

// Status text and a line break after szVersion for a refused device or firmware; the pop-up
// text for the panels.
const char *refuse(const Refusal &message) {
    SetStatus(message.status);
    appendCut(szVersion, sizeof szVersion, "\n");
    return message.popup;
}

bool startsWith(const char *text, std::string_view prefix) {
    return std::string_view(text).starts_with(prefix);
}

void setHwLine(int line, const char *text) {
    std::snprintf(szHwLine[line], HW_LINE_SIZE, "%s", text);
}

// Line 1 (MASTER) or 2 (SLAVE) of the hardware text and HWTYPE from the model; the model found.
const SensorModel *takeModel(int line, int32_t code) {
    const SensorModel *model = FindSensorModel(hwinfo.linetype, code);
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

void takeLine8192() {
    setHwLine(0, "LINE-SENSOR: ---  8192 subpixel");
    if (const SensorModel *master = takeModel(1, hwinfo.mastertype))
        if (master->yPrecision > 0) YPRECISION = master->yPrecision;
    if (FineSlaveModel(hwinfo.slavetype)) HWTYPE = 20;
    takeModel(2, hwinfo.slavetype);
    MIN_ITIME = 5.0;
    MAX_ITIME = 50.0;
}

void takeLine4096() {
    HWTYPE = 8;
    setHwLine(0, "LINE-SENSOR: ---  4096 subpixel");
    takeModel(1, hwinfo.mastertype);
    takeModel(2, hwinfo.slavetype);
    MIN_ITIME = 3.0;
    MAX_ITIME = 25.0;
}

void fillBarPositions() {
    const bool even = std::ranges::find(kBarCounts, hwinfo.subpixels) != std::end(kBarCounts);
    if (!even) hwinfo.subpixels = 2048;
    for (int i = 0; i < XBAR_COUNT; ++i)
        xArray8[i] = even ? double(i * hwinfo.subpixels / XBAR_COUNT) : double(i * 16);
}

// Line, models, limits and bar positions from the hardware record.
void takeHardwareInfo() {
    fillBarPositions();
    if (hwinfo.linetype == LINE_8192) {
        takeLine8192();
    } else if (hwinfo.linetype == LINE_4096) {
        takeLine4096();
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

// Reads one sensor's calibration header (1 MASTER, 2 SLAVE) into `calib`: true when read.
bool readCalibHeader(int sensor, const char *errorText) {
    uint8_t buffer[64] = {};
    if (ReadCalibDataFromXF(buffer, sensor, sizeof buffer) <= 0) {
        SetStatus(errorText);
        return false;
    }
    std::memcpy(&calib[sensor - 1], buffer, sizeof(CalibHeader));
    return true;
}

constexpr char kFilesDropped[] = "Other sensor pair: calibration file dropped, load it again!";

int deviceAccepted = 0;    // the last identification's verdict, see DeviceAccepted()
int incompleteTables = 0;  // see IncompleteTables()
int firmwareRefused = 0;   // see FirmwareRefused()

// Steps after the version text: series, hardware record, firmware range, calibration headers
// and parameter sets.
void identify(Identification &result, IdentifyLog log) {
    hwok_flag = startsWith(szVersion, "K-TAV-PX-MA") || startsWith(szVersion, "K-TAV-PX-2X");
    if (!hwok_flag) {
        result.verdict = Identified::OtherSeries;
        for (const Sibling &sibling : kSiblings) {
            if (!startsWith(szVersion, sibling.prefix)) continue;
            result.refusal = refuse(sibling.message);
            AppendStatus("\n");
        }
        return;
    }
    if (GetHARDWAREInfo() == 0) {
        SetStatus("Error reading HARDWARE-info!");
        result.verdict = Identified::NoHardwareRecord;
        return;
    }
    const int fw = hwinfo.fwversion;
    if (fw < 410 || fw > 429) {
        result.refusal = refuse(fw < 400    ? kFirmwareBelow400
                                : fw <= 409 ? kFirmware40x
                                            : kFirmwareNewer);
        result.verdict = Identified::FirmwareOutOfRange;
        firmwareRefused = 1;
        return;
    }
    if (readCalibHeader(1, "Error reading MASTER Xflash-Data")) result.headersRead |= 1;
    if (readCalibHeader(2, "Error reading SLAVE Xflash-Data")) result.headersRead |= 2;
    incompleteTables = IncompleteCalibTables(calib);
    result.filesDropped = KeepCalibFilesOfPair(hwinfo.serialno);
    PushGET(RAM, 0);
    Delay(0.05);
    PushGET(RAM, 1);
    Delay(0.05);
    result.paraReceived = PushGET(RAM, 2);
    SetStatus(result.filesDropped ? kFilesDropped : szVersion);
    if (incompleteTables != 0) {
        // A table that would make the sensor measure wrong is said before anything else.
        SetStatus(IncompleteTablesText(incompleteTables));
        if (log) {
            log(szStatus);
            log("\n");
        }
    }
    deviceAccepted = 1;
    result.verdict = Identified::Accepted;
}

}  // namespace

Identification IdentifyPair(IdentifyLog log) {
    Identification result;
    ForgetSensorSets();  // another pair may answer now
    deviceAccepted = 0;
    incompleteTables = 0;
    firmwareRefused = 0;
    if (CheckComLine() == 1) {
        result.verdict = Identified::NoFirmwareText;
        Delay(0.05);
        const int length = GetVERSIONInfo(log);
        result.firmwareRead = length >= 0;
        if (length < VERSION_TEXT_SIZE)
            SetStatus("Timeout/Error reading firmware-info!");
        else
            identify(result, log);
    }
    ShowStatus(ST_ALL);
    return result;
}

int DeviceAccepted() {
    return deviceAccepted;
}

int FirmwareRefused() {
    return firmwareRefused;
}

void ForgetDevice() {
    deviceAccepted = 0;
}

int IncompleteTables() {
    return incompleteTables;
}

int GetVERSIONInfo(IdentifyLog log) {
    FillTxBuf(ORD_VERSION, 0, nullptr, 0);
    ShowText(ST_PA, "Waiting for firmware info ...");
    if (log) log("Waiting for firmware info ...\n");
    if (DataExchange(FRAME_HEADER_SIZE) != 1) {
        SetStatus("Timeout - reading firmware info!");
        return -1;
    }
    takeFirmwareText(szReadBuf + FRAME_HEADER_SIZE, head.len);
    hwinfo.serialno = static_cast<int16_t>(head.param);
    buildVersionText();
    SetStatus(szVersion);
    return head.len;
}

int GetHARDWAREInfo() {
    FillTxBuf(ORD_HWINFO, 0, nullptr, 0);
    const int result =
        DataExchange(FRAME_HEADER_SIZE) == 1 && TakeReplyData(&hwinfo, sizeof hwinfo) ? 1 : 0;
    if (result != 1) SetStatus("Timeout-RS-232...");
    if (hwinfo.subpixels < 256) hwinfo.subpixels = 256;
    if (result == 1) takeHardwareInfo();
    return result;
}

const SensorModel *FindSensorModel(int32_t linetype, int32_t code) {
    const auto search = [code](const auto &table) -> const SensorModel * {
        for (const SensorModel &m : table)
            if (m.code == code) return &m;
        return nullptr;
    };
    if (linetype == LINE_8192) return search(kModels8192);
    if (linetype == LINE_4096) return search(kModels4096);
    return nullptr;
}

const char *SensorModelName(int32_t linetype, int32_t code) {
    const SensorModel *model = FindSensorModel(linetype, code);
    return model ? model->name : nullptr;
}

bool FineSlaveModel(int32_t code) {
    return std::ranges::find(kFineSlaves, code) != std::end(kFineSlaves);
}
