// The application shell on real widgets: start-up, the settings file through the panels,
// close and SIGTERM, the surface switch, the hardware selection, the screenshot option.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <csignal>
#include <tuple>

#include "app/hwselect.h"
#include "app/shell.h"
#include "ktav_panels.h"
#include "link/transport.h"
#include "panel_probe.h"
#include "params/appsettings.h"
#include "platform/timing.h"
#include "platform/ui/runtime.h"
#include "platform/ui/screen.h"
#include "platform/ui/userint.h"
#include "shared/files.h"
#include "shared/panels.h"
#include "shared/state.h"
#include "touch/navigation.h"

namespace {

class Shell : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        qputenv("KTAV_COM1", "/nonexistent/ttyK1");  // no sensor on the default port
        options.dir = dir.path().toStdString();
    }

    std::string settingsPath() const { return dir.filePath("PX-MS-Vista.ini").toStdString(); }

    void writeSettings(const AppSettings &v) {
        ASSERT_EQ(WriteAppSettings(settingsPath().c_str(), v), 0);
    }

    AppSettings readSettings() const {
        AppSettings v;
        EXPECT_EQ(ReadAppSettings(settingsPath().c_str(), v), 1);
        return v;
    }

    // Runs the whole program as WinMain does; `whileRunning` runs once the start-up is done and
    // must end the program (a close, or a signal that the event loop then serves).
    int runProgram(void (*whileRunning)()) {
        if (StartProgram(options) < 0) return -1;
        whileRunning();
        RunUserInterface();
        ShutdownProgram();
        return 0;
    }

    QTemporaryDir dir;
    ProgramOptions options;
};

void closeMainPanel() {
    CC_PANEL(pPA, 0, EVENT_CLOSE, nullptr, 0, 0);
}

int visible(int panel) {
    int v = 0;
    GetPanelAttribute(panel, ATTR_VISIBLE, &v);
    return v;
}

}  // namespace

// Temporary files that an earlier run left beside the settings file, cut short while writing it,
// are removed at the start; those of another file are not.
TEST_F(Shell, StartsUnconnectedOnTheDesktopAndWritesTheSettingsOnClose) {
    for (const char *name :
         {"PX-MS-Vista.ini.000.tmp", "PX-MS-Vista.ini.417.tmp", "K-TAV-PARA.ini.000.tmp"})
        QFile(dir.filePath(name)).open(QIODevice::WriteOnly);
    EXPECT_EQ(runProgram([] {
                  EXPECT_EQ(tsd_flag, 0);
                  EXPECT_EQ(visible(pPA), 1);
                  EXPECT_EQ(visible(pTSD), 0);
                  EXPECT_LT(rs232_con, 0) << "no sensor: the port did not open";
                  closeMainPanel();
              }),
              0);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(settingsPath())));
    EXPECT_EQ(pPA, 0) << "panels are discarded at shut-down";
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).join(' ').toStdString(),
              "K-TAV-PARA.ini.000.tmp PX-MS-Vista.ini");
}

TEST_F(Shell, AMissingPanelEndsTheProgramWithMinusOne) {
    options.panelResource = "missing.uir";
    EXPECT_EQ(WinMain(options), -1);
    DiscardAllPanels();
}

TEST_F(Shell, SettingsRoundTripThroughThePanels) {
    AppSettings v;
    v.comtype = 0;
    v.rs232port = 7;
    v.rs232baudrate = 2;
    v.hostName = "sensor-line-3";
    v.portText = "10002";
    v.recentAddresses = {"sensor-line-3", "127.0.0.1", "bench-pc"};
    v.panelMaximised = false;
    v.panelLeft = 20;
    v.panelTop = 30;
    v.panelWidth = 780;
    v.panelHeight = 560;
    v.touchSurface = false;
    v.zoom = true;
    writeSettings(v);
    qputenv("KTAV_COM7", "/nonexistent/ttyK7");
    EXPECT_EQ(runProgram([] {
                  EXPECT_EQ(rs232port, 7);
                  EXPECT_EQ(tcp_portnum, 10002) << "the stored port is used at start-up too";
                  EXPECT_EQ(zoom_flag, 1);
                  EXPECT_EQ(value(pTGraph, TGRAPH_ZOOM), 1);
                  int count = 0;
                  GetNumListItems(pConn, CONNECT_IPADDRESS, &count);
                  EXPECT_EQ(count, 3);
                  closeMainPanel();
              }),
              0);
    const AppSettings back = readSettings();
    EXPECT_EQ(std::tie(back.comtype, back.rs232port, back.rs232baudrate, back.hostName,
                       back.portText, back.recentAddresses),
              std::tie(v.comtype, v.rs232port, v.rs232baudrate, v.hostName, v.portText,
                       v.recentAddresses));
    EXPECT_EQ(
        std::tie(back.panelLeft, back.panelTop, back.panelWidth, back.panelHeight, back.zoom,
                 back.touchSurface),
        std::tie(v.panelLeft, v.panelTop, v.panelWidth, v.panelHeight, v.zoom, v.touchSurface));
}

// The stored setting or the --touch option starts the program on the touch surface with the
// numeric view; the desktop's surface toggle follows, and the setting is stored again.
TEST_F(Shell, TouchSettingOrOptionStartsOnTheTouchSurfaceWithTheNumericView) {
    for (const bool byOption : {false, true}) {
        SCOPED_TRACE(byOption ? "option" : "setting");
        AppSettings v;
        v.panelMaximised = false;
        v.touchSurface = !byOption;
        writeSettings(v);
        options.touch = byOption;
        EXPECT_EQ(runProgram([] {
                      EXPECT_EQ(tsd_flag, 1);
                      EXPECT_EQ(visible(pTSD), 1);
                      EXPECT_EQ(visible(pTNum), 1);
                      EXPECT_EQ(value(pTSD, TSD_TOG_NUM), 1);
                      EXPECT_EQ(value(pPA, PANEL_TOUCH), 1) << "the desktop's toggle follows";
                      EXPECT_EQ(visible(pTConn), 1) << "no sensor: the touch connection panel";
                      CC_TSDPANEL(pTSD, 0, EVENT_CLOSE, nullptr, 0, 0);
                  }),
                  0);
        EXPECT_EQ(readSettings().touchSurface, true);
    }
}

TEST_F(Shell, SigtermClosesInOrderAndWritesTheSettings) {
    EXPECT_EQ(runProgram([] { std::raise(SIGTERM); }), 0);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(settingsPath())));
}

TEST_F(Shell, SurfaceSwitchBothWaysStopsTheLoopAndRestoresTheDesktop) {
    EXPECT_EQ(runProgram([] {
                  stop_flag = STOP_RUNNING;  // as if VIDEO ran
                  SetCtrlAttribute(pPA, PANEL_RUN, ATTR_DIMMED, 1);
                  SetCtrlVal(pPA, PANEL_TOUCH, 1);
                  CC_TOGGBTNtouchpanel(pPA, PANEL_TOUCH, EVENT_VAL_CHANGED, nullptr, 0, 0);
                  EXPECT_EQ(tsd_flag, 1);
                  EXPECT_EQ(stop_flag, STOP_IDLE);
                  EXPECT_EQ(visible(pTSD), 1);
                  EXPECT_EQ(visible(pTNum), 1);

                  CC_BTNexittouch(pTSD, TSD_EXIT, EVENT_COMMIT, nullptr, 0, 0);
                  EXPECT_EQ(tsd_flag, 0);
                  EXPECT_EQ(visible(pTSD), 0);
                  EXPECT_EQ(value(pPA, PANEL_TOUCH), 0);

                  stop_flag = STOP_RUNNING;
                  SetCtrlVal(pPA, PANEL_TOUCH, 1);
                  CC_TOGGBTNtouchpanel(pPA, PANEL_TOUCH, EVENT_VAL_CHANGED, nullptr, 0, 0);
                  SetCtrlVal(pPA, PANEL_TOUCH, 0);
                  CC_TOGGBTNtouchpanel(pPA, PANEL_TOUCH, EVENT_VAL_CHANGED, nullptr, 0, 0);
                  EXPECT_EQ(tsd_flag, 0);
                  EXPECT_EQ(dimmed(pPA, PANEL_RUN), 0) << "the STOP action re-enables the desktop";
                  closeMainPanel();
              }),
              0);
}

TEST_F(Shell, RightDoubleClickRestoresTheMainPanelSize) {
    EXPECT_EQ(runProgram([] {
                  SetPanelSize(pPA, 300, 400);
                  CC_PANEL(pPA, 0, EVENT_RIGHT_DOUBLE_CLICK, nullptr, 0, 0);
                  int height = 0, width = 0;
                  GetPanelAttribute(pPA, ATTR_HEIGHT, &height);
                  GetPanelAttribute(pPA, ATTR_WIDTH, &width);
                  EXPECT_EQ(height, 534);
                  EXPECT_EQ(width, 777);
                  closeMainPanel();
              }),
              0);
}

// A stored placement comes back wholly on the screen and never smaller than the panel, and is
// stored again as it is shown.
TEST_F(Shell, MainPanelPlacementStaysOnTheScreen) {
    AppSettings v;
    v.panelMaximised = false;
    v.panelTop = -300;
    v.panelLeft = 5000;
    v.panelHeight = 100;
    v.panelWidth = 200;
    writeSettings(v);
    EXPECT_EQ(runProgram([] {
                  int screenHeight = 0, screenWidth = 0, top = -1, left = -1, height = 0, width = 0;
                  ASSERT_EQ(GetScreenSize(&screenHeight, &screenWidth), 0);
                  GetPanelAttribute(pPA, ATTR_TOP, &top);
                  GetPanelAttribute(pPA, ATTR_LEFT, &left);
                  GetPanelAttribute(pPA, ATTR_HEIGHT, &height);
                  GetPanelAttribute(pPA, ATTR_WIDTH, &width);
                  EXPECT_EQ(height, 534);
                  EXPECT_EQ(width, 777);
                  EXPECT_EQ(top, 0);
                  EXPECT_EQ(left, screenWidth - width);
                  closeMainPanel();
              }),
              0);
    const AppSettings back = readSettings();
    EXPECT_EQ(back.panelHeight, 534);
    EXPECT_EQ(back.panelWidth, 777);
    EXPECT_GE(*back.panelTop, 0);
    EXPECT_GE(*back.panelLeft, 0);
}

TEST_F(Shell, HardwareSelectionFillsTheCalibrationFields) {
    EXPECT_EQ(runProgram([] {
                  struct Case {
                      bool master;
                      int code;
                      int offset, range, virtOffset, tableLength, hwType;
                  } cases[] = {
                      {true, 611632, 25000, 10000, 30000, 1024, 22},
                      {true, 610409, 90000, 45000, 0, 2048, 20},
                      {true, 123456, 35000, 4000, 0, 2048, 0},
                      {false, 611632, 25000, 10000, 30000, 1024, -1},  // HWTYPE unchanged
                  };
                  for (const Case &c : cases) {
                      HWTYPE = 20;
                      if (c.master)
                          selectHARDWARE_A(c.code);
                      else
                          selectHARDWARE_B(c.code);
                      const auto shown = [&](int a, int b) {
                          return value(pCalib, c.master ? a : b);
                      };
                      EXPECT_EQ(std::make_tuple(shown(CALIB_OFFSET_A, CALIB_OFFSET_B),
                                                shown(CALIB_RANGE_A, CALIB_RANGE_B),
                                                shown(CALIB_VIRTOFF_A, CALIB_VIRTOFF_B),
                                                shown(CALIB_TABLEN_A, CALIB_TABLEN_B)),
                                std::make_tuple(c.offset, c.range, c.virtOffset, c.tableLength))
                          << c.code;
                      EXPECT_EQ(HWTYPE, c.hwType < 0 ? 20 : c.hwType) << c.code;
                  }
                  // Through the drop-down: its items carry their codes as values.
                  int index = -1;
                  GetIndexFromValue(pCalib, CALIB_TYPE_A, &index, 611632);
                  ASSERT_GE(index, 0);
                  SetCtrlVal(pCalib, CALIB_TYPE_A, 611632);
                  CC_DROPhwtypeA(pCalib, CALIB_TYPE_A, EVENT_COMMIT, nullptr, 0, 0);
                  EXPECT_EQ(HWTYPE, 22);
                  closeMainPanel();
              }),
              0);
}

TEST_F(Shell, ScreenshotOptionWritesAPictureOfThePanel) {
    options.screenshot = dir.filePath("shot.png").toStdString();
    EXPECT_EQ(WinMain(options), 0);
    const QImage picture(QString::fromStdString(options.screenshot));
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.width(), 777);
    EXPECT_EQ(picture.height(), 534);
}
