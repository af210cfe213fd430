// Sensor operations on the panels: what identification, TEACH and RESET, GET and the hardware
// record show, the derived settings and the parameter block on the panels of both surfaces. The
// device side of these operations is tested through the core alone (test_core).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "app/identify.h"
#include "calib/calibfile.h"
#include "ktav_panels.h"
#include "link/commands.h"
#include "link/frame.h"
#include "link/status.h"
#include "link/transport.h"
#include "link/xflash.h"
#include "panel_probe.h"
#include "params/derived.h"
#include "params/panelmap.h"
#include "params/paramblock.h"
#include "params/profiles.h"
#include "params/settingsview.h"
#include "params/teach.h"
#include "params/transfer.h"
#include "platform/timing.h"
#include "platform/ui/popupscript.h"
#include "platform/ui/userint.h"
#include "scripted_peer.h"
#include "shared/panels.h"
#include "shared/state.h"
#include "sim_process.h"

namespace {

int popupsAsked(std::size_t queued) {
    return int(queued - PendingPopupAnswers());
}

class SensorOps : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_EQ(LoadAllPanels(), 1); }
    static void TearDownTestSuite() { DiscardAllPanels(); }

    void SetUp() override {
        ResetSharedState();
        ResetParaBlock();
        ResetCalibration();
        ResetHwInfo();
        ClearPopupAnswers();
    }
    void TearDown() override {
        ClearPopupAnswers();
        CloseTCP();
        sim_.stop();
    }

    // Starts the simulator with `options` and connects to it over TCP.
    void connect(const QStringList &options = {}) {
        ASSERT_TRUE(sim_.start(options));
        ASSERT_TRUE(sim_.openTcp());
    }

    SimProcess sim_;
};

// ---- Identification -------------------------------------------------------------------------

// Each side's calibration header lands on its own side of the calibration pop-up, and an
// accepted pair enables the sensor controls.
TEST_F(SensorOps, IdentificationShowsEachSideApart) {
    connect({"--master-type", "610407", "--slave-type", "611589"});
    CalibHeader headers[2]{};
    headers[0] = {610407, 1, 0, 2048, {}, 3000, 10000, 50000};
    headers[1] = {611589, 2, -1, 1024, {}, 7000, 24000, 30000};
    for (int sensor = 1; sensor <= 2; ++sensor)
        ASSERT_EQ(WriteCalibDataToXF(&headers[sensor - 1], sensor, sizeof(CalibHeader)), 1);

    ASSERT_EQ(InitDataExchange(), 1);
    for (int control : {PANEL_SEND, PANEL_GET, PANEL_VIDEO, PANEL_RUN, PANEL_TEACH})
        EXPECT_EQ(dimmed(pPA, control), 0) << control;
    EXPECT_EQ(dimmed(pTSD, TSD_RUN), 0);
    const struct {
        int range, offset, virtOffset, type;
    } popup[2] = {{CALIB_RANGE_A, CALIB_OFFSET_A, CALIB_VIRTOFF_A, CALIB_TYPE_A},
                  {CALIB_RANGE_B, CALIB_OFFSET_B, CALIB_VIRTOFF_B, CALIB_TYPE_B}};
    for (int side = 0; side < 2; ++side) {
        SCOPED_TRACE(side == 0 ? "MASTER" : "SLAVE");
        EXPECT_EQ(value(pCalib, popup[side].range), headers[side].range);
        EXPECT_EQ(value(pCalib, popup[side].offset), headers[side].offset);
        EXPECT_EQ(value(pCalib, popup[side].virtOffset), headers[side].virtOffset);
        EXPECT_EQ(text(pCalib, popup[side].type), std::to_string(headers[side].typeCode));
    }
}

// The pop-up of a refused device or firmware, and the sensor controls dimmed unless accepted.
TEST_F(SensorOps, IdentificationVerdictsShown) {
    struct Case {
        QStringList options;
        int popups;
        bool accepted;
    } cases[] = {
        {{"--fw-version", "399"}, 1, false},
        {{"--fw-version", "410"}, 0, true},
        {{"--fw-text", "K-TAV-QD.V1.10 2014 QD"}, 1, false},
        {{"--fw-text", "OTHER-DEVICE.V1.0 2013"}, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.options.join(' ').toStdString());
        connect(c.options);
        for (int i = 0; i < 3; ++i) QueuePopupAnswer(1);
        // The device side decides without a panel; the panels then show its outcome.
        const Identification identification = IdentifyPair(nullptr);
        EXPECT_EQ(popupsAsked(3), 0);
        ShowIdentification(identification);
        EXPECT_EQ(popupsAsked(3), c.popups);
        EXPECT_EQ(dimmed(pPA, PANEL_RUN), c.accepted ? 0 : 1);
        ClearPopupAnswers();
        CloseTCP();
        sim_.stop();
    }
}

TEST_F(SensorOps, UnusualRepliesChangeNothingTheyShouldNot) {
    ScriptedPeer peer;
    // A reply of another order is no answer: nothing is taken from it, nothing configured.
    HwInfo record{};
    record.linetype = 306159;
    record.subpixels = 1024;
    peer.answer(ORD_VIDEO, 0, &record, sizeof record);
    std::snprintf(szHwLine[0], HW_LINE_SIZE, "unchanged");
    EXPECT_EQ(GetHARDWAREInfo(), 0);
    EXPECT_EQ(std::string(szHwLine[0]), "unchanged");
    EXPECT_NE(hwinfo.linetype, 306159);

    // A record without subpixels or pixels breaks nothing.
    record = HwInfo{};
    record.subpixels = -5;
    peer.answer(ORD_HWINFO, 0, &record, sizeof record);
    EXPECT_EQ(GetHARDWAREInfo(), 1);
    EXPECT_EQ(std::string(szHwLine[0]), "CCD-SENSOR: No Info Avialable! ");
    EXPECT_EQ(hwinfo.subpixels, 256);  // raised to the smallest line
    EXPECT_EQ(xArray8[127], 254.0);
    SetPanelValues();  // range check and grey areas with a pixel count of 0
    EXPECT_EQ(para.ma.teachValue, 0);

    // A GET reply that does not carry one whole set is refused.
    const ParaBlock before = para;
    const uint8_t half[16] = {9, 9, 9, 9};
    peer.answer(ORD_GET_RAM, 1, half, sizeof half);
    PushGET(RAM, 1);
    EXPECT_EQ(std::memcmp(&para, &before, sizeof para), 0);
    EXPECT_STREQ(szStatus, "Timeout-RS-232...");
}

TEST_F(SensorOps, HardwareRecordConfiguresTheDisplays) {
    connect({"--subpixels", "1000"});
    ASSERT_EQ(GetHARDWAREInfo(), 1);
    EXPECT_EQ(hwinfo.subpixels, 2048);
    for (int i = 0; i < XBAR_COUNT; ++i) ASSERT_EQ(xArray8[i], 16.0 * i);
    EXPECT_EQ(pixE, 2048);
    EXPECT_EQ(YAXISMAX, 2048);
    CloseTCP();
    sim_.stop();

    connect({"--line-type", "306159", "--master-type", "611632", "--slave-type", "123456",
             "--adc-range", "1024"});
    ASSERT_EQ(GetHARDWAREInfo(), 1);
    applyHardwareInfo();
    EXPECT_EQ(HWTYPE, 0);
    EXPECT_EQ(std::string(szHwLine[1]), "MASTER: PX-M2-2X");
    EXPECT_EQ(std::string(szHwLine[2]), "SLAVE: No info avialable!");
    EXPECT_EQ(real(pCalib, CALIB_VIRTOFF_A), 30000);
    EXPECT_EQ(ADCMAX, 1024);
    EXPECT_EQ(MIN_ITIME, 3.0);
    EXPECT_EQ(dimmed(pPara1, PARA1_CCDMODE), 1);
    int items = 0;
    GetNumListItems(pPara0, PARA0_EVALMODE, &items);
    EXPECT_EQ(items, 6);  // the two-line model is not the final hardware type
    EXPECT_EQ(real(pCalib, CALIB_VIRTOFF_B), 0);
    CloseTCP();
    sim_.stop();

    // The two-line model as the SLAVE: its second line's offset is the slave's.
    ScriptedPeer peer;
    HwInfo record{};
    record.linetype = 306159;
    record.subpixels = 1024;
    record.mastertype = 123456;
    record.slavetype = 611632;
    peer.answer(ORD_HWINFO, 0, &record, sizeof record);
    ASSERT_EQ(GetHARDWAREInfo(), 1);
    applyHardwareInfo();
    EXPECT_EQ(real(pCalib, CALIB_VIRTOFF_A), 0);
    EXPECT_EQ(real(pCalib, CALIB_VIRTOFF_B), 30000);
}

// ---- Derived settings -----------------------------------------------------------------------

TEST_F(SensorOps, DerivedSettings) {
    // The two sides differ in everything: calibration, teach distances, and the tolerances.
    // MASTER: dUp 2000, dLo 8000; SLAVE: dUp 11000, dLo 13000.
    calib[0] = calib[1] = CalibHeader{};
    calib[0].offset = 50000;
    calib[0].range = 10000;
    calib[0].virtOffset = 3000;
    calib[1].offset = 30000;
    calib[1].range = 24000;
    calib[1].virtOffset = 7000;
    para.ma.umTeachValue = 52000;
    para.sl.umTeachValue = 41000;
    para.ge.umSetpoint = 20000;
    para.ge.umUpperTolerance = 1500;
    para.ge.umLowerTolerance = 700;
    struct Case {
        uint16_t mode, measurementMode, hardwareMode, hwTolerance;
        int umTeach, up, lo, yMax, yMin, range, rangeA, rangeB;  // -1: range A/B unchanged
        int virtOffset;
    } cases[] = {
        {0, 0, 0, 0, 41000, 42500, 40300, 55, 30, 24000, -1, -1, 7000},
        {0, 1, 0, 0, 20000, 21500, 19300, 32, 7, 24000, -1, -1, 7000},
        {1, 0, 0, 0, 52000, 53500, 51300, 61, 50, 10000, -1, -1, 3000},
        {1, 1, 0, 0, 20000, 21500, 19300, 23, 12, 10000, -1, -1, 3000},
        {6, 0, 0, 0, 52000, 53500, 51300, 61, 50, 10000, -1, -1, 3000},
        // WIDTH: the pair's virtual offsets less both teach distances.
        {2, 0, 0, 0, -83000, -81500, -83700, -69, 0, 34000, -1, -1, 10000},
        {2, 1, 0, 0, 20000, 21500, 19300, 34, 0, 34000, -1, -1, 10000},
        // CENTER: half the virtual offsets plus the master's teach less the slave's.
        {3, 0, 0, 0, 16000, 17500, 15300, 30, 0, 34000, 10000, 24000, 10000},
        {3, 0, 1, 1024, 16000, 33000, -1000, 30, 0, 34000, 10000, 24000, 10000},
        // DIFF: the master's virtual offset alone, the set-point as nominal value in both modes.
        {4, 0, 0, 0, 20000, 21500, 19300, 34, 0, 34000, 10000, 24000, 3000},
        {5, 1, 0, 0, 20000, 21500, 19300, 34, 0, 34000, 10000, 24000, 3000},
        {5, 0, 1, 1024, 20000, 37000, 3000, 34, 0, 34000, 10000, 24000, 3000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " set-point " << c.measurementMode
                                        << " hardware " << c.hardwareMode);
        para.ge.measurementMode = c.measurementMode;
        para.ge.hardwareMode = c.hardwareMode;
        raw.hwTolerance = c.hwTolerance;
        umRangeA = umRangeB = -1;
        ActivateSettings(c.mode);
        CalcUMThresholds(c.mode);
        EXPECT_EQ(umTeach, c.umTeach);
        EXPECT_EQ(umupTHD, c.up);
        EXPECT_EQ(umloTHD, c.lo);
        EXPECT_EQ(YAXISMAX, c.yMax);
        EXPECT_EQ(YAXISMIN, c.yMin);
        EXPECT_EQ(umRange, c.range);
        EXPECT_EQ(umRangeA, c.rangeA);
        EXPECT_EQ(umRangeB, c.rangeB);
        EXPECT_EQ(umVIRTOFFS, c.virtOffset);
        EXPECT_EQ(dimmed(pPA, PANEL_TOL_UP), c.hardwareMode == 1 ? 1 : 0);
    }
    EXPECT_EQ(text(pPA, PANEL_LBL_EVALMODE), "EM: DIFF");
    // The hardware tolerance counts in 1/2048 of the range: 34000 * 1000 / 2048 = 16601.56 um,
    // truncated.
    para.ge.measurementMode = 0;
    para.ge.hardwareMode = 1;
    raw.hwTolerance = 1000;
    umTeach = 30000;
    CalcUMThresholds(4);
    EXPECT_EQ(std::pair(umupTHD, umloTHD), std::pair(46601, 13399));

    // Run on its own in a display cycle, DIFF takes the thresholds from the nominal value as
    // it stands and only then, in set-point mode, puts the set-point in its place for the axis.
    para.ge.hardwareMode = 0;
    for (uint16_t setpoint : {1, 0}) {
        para.ge.measurementMode = setpoint;
        umTeach = 30000;
        CalcUMThresholds(4);
        EXPECT_EQ(umupTHD, 31500);
        EXPECT_EQ(umloTHD, 29300);
        EXPECT_EQ(umTeach, setpoint ? 20000 : 30000);
        EXPECT_EQ(YAXISMAX, setpoint ? 34 : 44);
    }

    // CENTER in distance mode shows half the pair's virtual offset.
    para.ge.measurementMode = 0;
    calib[0].virtOffset = calib[1].virtOffset = 100000;
    ActivateSettings(3);
    EXPECT_EQ(real(pCalib, CALIB_VIRTOFFS), 100.0);
    EXPECT_EQ(text(pCalib, CALIB_LBL_SETPOINT), "HALF-DISTANCE MA / SL");
    EXPECT_EQ(text(pTNum, TNUM_LBL_SETPOINT), "DIST/2 M<>S");
    for (int control : {PARA1_TEACH_PIX, PARA1_TEACH_UM}) EXPECT_EQ(dimmed(pPara1, control), 1);

    DimmButtons(2);
    EXPECT_EQ(dimmed(pPA, PANEL_SEND), 1);
    EXPECT_EQ(dimmed(pTSD, TSD_TEACH), 1);
    EXPECT_EQ(dimmed(pPA, PANEL_RESET), 0);
    DimmButtons(0);
    EXPECT_EQ(dimmed(pTSD, TSD_GET), 0);
}

// ---- Panel mapping --------------------------------------------------------------------------

TEST_F(SensorOps, UnitConversions) {
    EXPECT_EQ(UnsignedUmOfMm(12.5), 12500u);
    EXPECT_EQ(UnsignedUmOfMm(1.0009), 1000u);
    EXPECT_EQ(UnsignedUmOfMm(0.0004), 0u);
    EXPECT_EQ(UnsignedUmOfMm(1.001), 1001u);  // not lost to the binary form of 1.001
    EXPECT_EQ(UnsignedUmOfMm(2147483.648), 2147483648u);
    EXPECT_EQ(UnsignedUmOfMm(4294967.295), 4294967295u);
    EXPECT_EQ(UmOfMm(-1.0009), -1000);
    EXPECT_EQ(UmOfMm(-1.001), -1001);
    EXPECT_EQ(MmOfUm(-1), 4294967.295);
    EXPECT_EQ(IntTimeOfMs(1.26), 1300);
    EXPECT_EQ(MsOfIntTime(1300), 1.3);
    EXPECT_EQ(IntTimeOfMs(12.6), 12600);
    for (int um = 0; um < 100000; ++um) ASSERT_EQ(UnsignedUmOfMm(MmOfUm(um)), uint32_t(um));
}

TEST_F(SensorOps, BlockRoundTripsOnBothSurfaces) {
    for (int surface : {0, 1}) {
        SCOPED_TRACE(surface ? "touch" : "desktop");
        ParaBlock shown{};
        shown.ge = {3, 1, 2, 0, 2, 16, 0, 3, 5, 1, 2500, 12500, -2000};
        shown.ma = {700, 0, 12600, 60, 1000, 5, 900, 4, 3, 1, int32_t(4294967295u), {}};
        shown.sl = {300, 0, 20000, 40, 1, 2, 1024, 7, 1, 0, int32_t(2147483648u), {}};
        shown.ge.measurementMode = uint16_t(1 - surface);
        para = shown;
        SetPanelValues();
        ASSERT_EQ(std::memcmp(&para, &shown, sizeof para), 0);  // all in range
        tsd_flag = surface;
        para = ParaBlock{};
        para.sl.baudrateIndex = 7;  // carried, never read
        GetPanelValues();
        EXPECT_EQ(std::memcmp(&para, &shown, sizeof para), 0);
        EXPECT_EQ(uint32_t(para.ma.umTeachValue), 4294967295u);
        EXPECT_EQ(uint32_t(para.sl.umTeachValue), 2147483648u);
    }
    // Only the active surface is read.
    SetCtrlVal(pPara1, PARA1_POWER, 123);
    SetCtrlVal(pTPara1, TPARA1_POWER, 456);
    tsd_flag = 1;
    GetPanelValues();
    EXPECT_EQ(para.ma.power, 456);
    tsd_flag = 0;
    GetPanelValues();
    EXPECT_EQ(para.ma.power, 123);
}

TEST_F(SensorOps, ShowingTheBlockCorrectsAndDims) {
    para.sl.evalEnd = 1030;  // above the pixel count 1024
    para.ma.teachValue = 1025;
    para.ge.evalMode = 6;
    para.ge.polarity = 0;
    para.ge.rs232OutMode = 2;
    para.ge.hardwareMode = 3;
    para.ma.powerMode = 3;
    para.ma.videoThreshold = 255;
    para.sl.videoThreshold = 33;
    ADCMAX = 1024;
    SetPanelValues();
    EXPECT_EQ(thdArrayA[0], 2611);
    EXPECT_EQ(thdArrayB[MAXPOINT - 1], 337);
    EXPECT_EQ(para.sl.evalEnd, 1024);
    EXPECT_EQ(real(pPara2, PARA2_EVAL_END), 1024);
    EXPECT_EQ(para.ma.teachValue, 512);
    EXPECT_EQ(para.ma.powerMode, 0);
    EXPECT_EQ(text(pPA, PANEL_LBL_PMODE_MA), "PM: STA");
    EXPECT_EQ(text(pPA, PANEL_LBL_EVALMODE), "EM: MASTER");
    EXPECT_EQ(text(pTNum, TNUM_LBL_EVALMODE), "EVAL-MODE: WIDTH");
    EXPECT_EQ(dimmed(pTPara2, TPARA2_TEACH_UM), 1);
    EXPECT_EQ(dimmed(pTPara1, TPARA1_TEACH_UM), 0);
    EXPECT_EQ(text(pTGraph, TGRAPH_LBL_POLARITY), "POLARITY: INVERT");
    EXPECT_EQ(dimmed(pRec, REC_START), 1);
    EXPECT_EQ(dimmed(pTRec, TREC_INC_UP), 1);
    EXPECT_EQ(dimmed(pTPara0, TPARA0_TOL_LO), 1);
    EXPECT_EQ(dimmed(pTNum, TNUM_TOLPLUS), 1);

    // The two-line hardware: one integration time for both lines.
    struct Case {
        uint16_t hwtype, masterMode, slaveMode;
        int masterIntDimmed, slaveIntDimmed;
        const char *slaveLabel;
    } cases[] = {
        {22, 2, 0, 1, 1, "/ STA"}, {22, 1, 1, 0, 1, "/ DYN"}, {22, 0, 2, 1, 1, "/ EXP"},
        {20, 2, 1, 1, 0, "/ DYN"}, {20, 0, 0, 0, 0, "/ STA"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.hwtype * 100 + c.masterMode * 10 + c.slaveMode);
        HWTYPE = c.hwtype;
        para.ma.powerMode = c.masterMode;
        para.sl.powerMode = c.slaveMode;
        SetPanelValues();
        EXPECT_EQ(dimmed(pPara1, PARA1_INTTIME), c.masterIntDimmed);
        EXPECT_EQ(dimmed(pTPara1, TPARA1_INTTIME), c.masterIntDimmed);
        EXPECT_EQ(dimmed(pPara2, PARA2_INTTIME), c.slaveIntDimmed);
        EXPECT_EQ(dimmed(pTPara2, TPARA2_INTTIME), c.slaveIntDimmed);
        EXPECT_EQ(dimmed(pPara2, PARA2_POWER), c.slaveMode == 1 ? 1 : 0);
        EXPECT_EQ(text(pTNum, TNUM_LBL_PMODE_SL), c.slaveLabel);
    }
}

// ---- Parameter transfer ---------------------------------------------------------------------

// GET shows the block on the panels once set 2 is in, and only then.
TEST_F(SensorOps, GetShowsTheBlockAfterTheLastSet) {
    connect();
    SetCtrlVal(pPara1, PARA1_POWER, 500);
    para.ma.power = 654;
    ShowGET(PushGET(DATFILE, 0), 0);
    EXPECT_EQ(real(pPara1, PARA1_POWER), 500);
    ShowGET(PushGET(DATFILE, 2), 2);
    EXPECT_EQ(real(pPara1, PARA1_POWER), 654);

    para.ge.average = 999;
    SetCtrlVal(pPara0, PARA0_AVERAGE, 77);
    ShowGET(PushGET(RAM, 0), 0);
    EXPECT_NE(para.ge.average, 999);
    EXPECT_EQ(real(pPara0, PARA0_AVERAGE), 77);
}

// ---- TEACH and RESET ------------------------------------------------------------------------

TEST_F(SensorOps, TeachAndReset) {
    connect({"--error-reply", "6=25"});
    teach = {100, 200, 30000, 40000};
    para.ma.teachValue = 7;
    para.sl.umTeachValue = 8;
    EXPECT_EQ(PushTEACH(), -1);
    ShowTEACH(-1);
    EXPECT_STREQ(szStatus, "Teach-Error:Timeout TCP-Server-error!");
    EXPECT_EQ(std::tie(para.ma.teachValue, para.sl.teachValue, para.ma.umTeachValue,
                       para.sl.umTeachValue),
              std::make_tuple(100, 200, 30000, 40000));
    EXPECT_EQ(real(pPara2, PARA2_TEACH_UM), 40.0);

    EXPECT_EQ(PushRESET(), 0);
    EXPECT_STREQ(szStatus, "RESET analog/digital output ... -> Ok!");
    CloseTCP();
    sim_.stop();

    connect();
    EXPECT_EQ(PushTEACH(), 0);
    ShowTEACH(0);
    EXPECT_STREQ(szStatus, "TEACH new setpoint value ... -> Ok!");
    EXPECT_EQ(para.ma.teachValue, teach.posA);
    EXPECT_EQ(real(pPara1, PARA1_TEACH_PIX), teach.posA);
}

}  // namespace
