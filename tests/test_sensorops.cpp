// What identification, GET and the hardware record show on the panels, and the parameter block on
// the panels of both surfaces; the device side of these is tested through the core alone.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstring>
#include <string>
#include <tuple>

#include "core/audit/audittrail.h"
#include "core/link/commands.h"
#include "core/link/transport.h"
#include "core/link/xflash.h"
#include "core/params/transfer.h"
#include "gui/app/identityview.h"
#include "gui/params/panelmap.h"
#include "ktav_panels.h"
#include "scripted_peer.h"
#include "support.h"

namespace {

class SensorOps : public ProgramTest {
  protected:
    void SetUp() override { ResetProgramState(); }
    void TearDown() override {
        CloseTCP();
        sim.stop();
    }
    SimProcess sim;
};

// An accepted pair shows each side's calibration header on its own side of the pop-up.
TEST_F(SensorOps, IdentificationShowsEachSideApart) {
    ASSERT_TRUE(sim.start());
    ASSERT_TRUE(sim.openTcp());
    const CalibHeader headers[2] = {{610407, 1, 0, 2048, {}, 3000, 10000, 50000},
                                    {611589, 2, -1, 1024, {}, 7000, 24000, 30000}};
    for (int sensor = 1; sensor <= 2; ++sensor)
        ASSERT_EQ(WriteCalibDataToXF(&headers[sensor - 1], sensor, sizeof(CalibHeader)), 1);
    ASSERT_EQ(InitDataExchange(), 1);
    EXPECT_EQ(std::tuple(value(pCalib, CALIB_RANGE_A), value(pCalib, CALIB_VIRTOFF_A),
                         value(pCalib, CALIB_RANGE_B), value(pCalib, CALIB_VIRTOFF_B)),
              std::tuple(10000, 3000, 24000, 7000));
    EXPECT_EQ(text(pCalib, CALIB_TYPE_B), "611589");
}

// The two-line model on the 4096-subpixel line gives its second line's virtual offset to the
// side it sits on and shows the controls of that hardware; a record without subpixels or pixels
// breaks nothing.
TEST_F(SensorOps, HardwareRecordConfiguresTheDisplays) {
    ScriptedPeer peer;
    HwInfo record{};
    std::tie(record.linetype, record.subpixels, record.adcrange) = std::tuple(306159, 4096, 1024);
    for (const bool twoLineMaster : {false, true}) {
        SCOPED_TRACE(twoLineMaster ? "two-line MASTER" : "two-line SLAVE");
        std::tie(record.mastertype, record.slavetype) =
            twoLineMaster ? std::tuple(611632, 123456) : std::tuple(123456, 611632);
        peer.answer(ORD_HWINFO, 0, &record, sizeof record);
        ASSERT_EQ(GetHARDWAREInfo(), 1);
        applyHardwareInfo();
        EXPECT_EQ(real(pCalib, CALIB_VIRTOFF_A), twoLineMaster ? 30000 : 0);
        EXPECT_EQ(real(pCalib, CALIB_VIRTOFF_B), twoLineMaster ? 0 : 30000);
    }
    EXPECT_EQ(std::string(szHwLine[1]), "MASTER: PX-M2-2X");
    EXPECT_EQ(std::tuple(HWTYPE, ADCMAX, MIN_ITIME), std::tuple(0, 1024, 3.0));
    EXPECT_EQ(dimmed(pPara1, PARA1_CCDMODE), 1);
    int items = 0;
    GetNumListItems(pPara0, PARA0_EVALMODE, &items);
    EXPECT_EQ(items, 6);  // the two-line model is not the final hardware type
    record = HwInfo{};
    record.subpixels = -5;
    peer.answer(ORD_HWINFO, 0, &record, sizeof record);
    ASSERT_EQ(GetHARDWAREInfo(), 1);
    EXPECT_EQ(std::tuple(hwinfo.subpixels, xArray8[127]), std::tuple(256, 254.0));
    SetPanelValues();  // range check and grey areas with a pixel count of 0
    EXPECT_EQ(para.ma.teachValue, 0);
}

// The SEND button sends the sets the panels show as one change: one line in the audit log with
// the field the operator changed, its value before and after.
TEST_F(SensorOps, SendButtonIsOneChangeInTheAuditLog) {
    DataHome home;
    ASSERT_TRUE(sim.start());
    ASSERT_TRUE(sim.openTcp());
    ASSERT_EQ(InitDataExchange(), 1);
    SetCtrlVal(pPara1, PARA1_POWER, 321);
    press(pPA, PANEL_SEND);
    const QList<QByteArray> lines = fileLines(DefaultAuditLogPath());
    ASSERT_EQ(lines.size(), 1);
    const QJsonObject line = QJsonDocument::fromJson(lines[0]).object();
    EXPECT_EQ(line["changes"].toArray(),
              QJsonArray({QJsonObject{
                  {"set", "master"}, {"field", "power"}, {"old", 500}, {"new", 321}}}));
    EXPECT_EQ(std::tuple(line["action"].toString(), line["surface"].toString()),
              std::tuple(QString("send"), QString("desktop")));
}

TEST_F(SensorOps, UnitConversions) {
    EXPECT_EQ(UnsignedUmOfMm(1.0009), 1000u);
    EXPECT_EQ(UnsignedUmOfMm(0.0004), 0u);
    EXPECT_EQ(UnsignedUmOfMm(1.001), 1001u);  // not lost to the binary form of 1.001
    EXPECT_EQ(UnsignedUmOfMm(2147483.648), 2147483648u);
    EXPECT_EQ(UnsignedUmOfMm(4294967.295), 4294967295u);
    EXPECT_EQ(UmOfMm(-1.0009), -1000);
    EXPECT_EQ(UmOfMm(-1.001), -1001);
    EXPECT_EQ(MmOfUm(-1), 4294967.295);
    EXPECT_EQ(MsOfIntTime(1260), 1.3);
    EXPECT_EQ(IntTimeOfMs(1.26), 1300u);  // the operator's entry, in steps of 100 us
    EXPECT_EQ(IntTimeOfMs(2.04), 2000u);
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
    }
    // Only the active surface is read.
    SetCtrlVal(pPara1, PARA1_POWER, 123);
    SetCtrlVal(pTPara1, TPARA1_POWER, 456);
    for (int surface : {1, 0}) {
        tsd_flag = surface;
        GetPanelValues();
        EXPECT_EQ(para.ma.power, surface ? 456 : 123);
    }
}

TEST_F(SensorOps, ShowingTheBlockCorrectsAndDims) {
    para.sl.evalEnd = 1030;  // above the pixel count 1024
    std::tie(para.ge.evalMode, para.ge.polarity, para.ge.rs232OutMode, para.ge.hardwareMode) =
        std::tuple(6, 0, 2, 3);
    SetPanelValues();
    EXPECT_EQ(real(pPara2, PARA2_EVAL_END), 1024);
    EXPECT_EQ(text(pPA, PANEL_LBL_EVALMODE), "EM: MASTER");
    EXPECT_EQ(text(pTNum, TNUM_LBL_EVALMODE), "EVAL-MODE: WIDTH");
    EXPECT_EQ(dimmed(pTPara1, TPARA1_TEACH_UM), 0);
    EXPECT_EQ(text(pTGraph, TGRAPH_LBL_POLARITY), "POLARITY: INVERT");
    for (const auto &[panel, control] :
         {std::pair{pTPara2, TPARA2_TEACH_UM}, std::pair{pRec, REC_START},
          std::pair{pTRec, TREC_INC_UP}, std::pair{pPA, PANEL_TOL_UP},
          std::pair{pTPara0, TPARA0_TOL_LO}, std::pair{pTNum, TNUM_TOLPLUS}})
        EXPECT_EQ(dimmed(panel, control), 1) << control;
    // CENTER in distance mode: half the pair's virtual offset.
    calib[0].virtOffset = calib[1].virtOffset = 100000;
    para.ge.evalMode = 3;
    SetPanelValues();
    EXPECT_EQ(real(pCalib, CALIB_VIRTOFFS), 100.0);
    EXPECT_EQ(text(pTNum, TNUM_LBL_SETPOINT), "DIST/2 M<>S");
    for (int control : {PARA1_TEACH_PIX, PARA1_TEACH_UM}) EXPECT_EQ(dimmed(pPara1, control), 1);

    // The power modes; the two-line hardware has one integration time for both lines.
    const std::tuple<uint16_t, uint16_t, uint16_t, int, int, const char *> cases[] = {
        {22, 2, 0, 1, 1, "/ STA"}, {22, 1, 1, 0, 1, "/ DYN"}, {22, 0, 2, 1, 1, "/ EXP"},
        {20, 2, 1, 1, 0, "/ DYN"}, {20, 0, 0, 0, 0, "/ STA"},
    };
    for (const auto &[hwtype, masterMode, slaveMode, masterIntDimmed, slaveIntDimmed, slaveLabel] :
         cases) {
        SCOPED_TRACE(hwtype * 100 + masterMode * 10 + slaveMode);
        HWTYPE = hwtype;
        para.ma.powerMode = masterMode;
        para.sl.powerMode = slaveMode;
        SetPanelValues();
        EXPECT_EQ(dimmed(pPara1, PARA1_INTTIME), masterIntDimmed);
        EXPECT_EQ(dimmed(pTPara1, TPARA1_INTTIME), masterIntDimmed);
        EXPECT_EQ(dimmed(pPara2, PARA2_INTTIME), slaveIntDimmed);
        EXPECT_EQ(dimmed(pTPara2, TPARA2_INTTIME), slaveIntDimmed);
        EXPECT_EQ(dimmed(pPara2, PARA2_POWER), slaveMode == 1 ? 1 : 0);
        EXPECT_EQ(text(pTNum, TNUM_LBL_PMODE_SL), slaveLabel);
    }
}

TEST_F(SensorOps, GetShowsTheBlockAfterTheLastSet) {
    SetCtrlVal(pPara1, PARA1_POWER, 500);
    para.ma.power = 654;
    const std::tuple<int, uint16_t, int> cases[] = {
        {1, 0, 500}, {1, 1, 500}, {0, 2, 500}, {1, 2, 654}};
    for (const auto &[received, set, shown] : cases) {
        ShowGET(received, set);
        EXPECT_EQ(real(pPara1, PARA1_POWER), shown) << received << set;
    }
}

}  // namespace
