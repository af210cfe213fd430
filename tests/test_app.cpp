// The application shell on real widgets: start-up, the settings file through the panels,
// close and SIGTERM, the surface switch, the hardware selection, the run and screenshot options.
#include <QDir>
#include <QImage>
#include <QStandardPaths>
#include <array>
#include <csignal>
#include <tuple>

#include "core/link/transport.h"
#include "core/params/appsettings.h"
#include "core/state/programdir.h"
#include "gui/app/shell.h"
#include "gui/app/stopaction.h"
#include "gui/runtime/screen.h"
#include "gui/touch/navigation.h"
#include "ktav_panels.h"
#include "support.h"

namespace {

class Shell : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        qputenv("KTAV_COM1", "/nonexistent/ttyK1");  // no sensor on the default port
        options.dir = dir.path().toStdString();
        ini = dir.filePath("PX-MS-Vista.ini").toStdString();
    }

    static void closeMainPanel() { CC_PANEL(pPA, 0, EVENT_CLOSE, nullptr, 0, 0); }
    static int mainPanel(int attribute) {
        int v = -1;
        GetPanelAttribute(pPA, attribute, &v);
        return v;
    }
    void writeSettings(const AppSettings &v) { ASSERT_EQ(WriteAppSettings(ini.c_str(), v), 0); }
    AppSettings readSettings() const {
        AppSettings v;
        EXPECT_EQ(ReadAppSettings(ini.c_str(), v), 1);
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
    std::string ini;  // the settings file
    ProgramOptions options;
};

}  // namespace

// Temporary files that an earlier run left beside the settings file, cut short while writing it,
// are removed at the start; those of another file are not.
TEST_F(Shell, StartsUnconnectedOnTheDesktopAndWritesTheSettingsOnClose) {
    for (const char *name :
         {"PX-MS-Vista.ini.000.tmp", "PX-MS-Vista.ini.417.tmp", "K-TAV-PARA.ini.000.tmp"})
        QFile(dir.filePath(name)).open(QIODevice::WriteOnly);
    EXPECT_EQ(runProgram([] {
                  EXPECT_EQ(std::make_tuple(tsd_flag, shown(pPA), shown(pTSD)),
                            std::make_tuple(0, 1, 0));
                  EXPECT_LT(rs232_con, 0) << "no sensor: the port did not open";
                  closeMainPanel();
              }),
              0);
    EXPECT_TRUE(QFile::exists(ini.c_str()));
    EXPECT_EQ(pPA, 0) << "panels are discarded at shut-down";
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).join(' ').toStdString(),
              "K-TAV-PARA.ini.000.tmp PX-MS-Vista.ini");
}

TEST_F(Shell, AMissingPanelEndsTheProgramWithMinusOne) {
    options.panelResource = "missing.uir";
    EXPECT_EQ(WinMain(options), -1);
    DiscardAllPanels();
}

// A folder that cannot be the program's (a file, a path too long for its files) gives way to the
// user's configuration folder, where the settings are then written; the status line says so.
TEST_F(Shell, AFolderThatCannotBeTheProgramsGivesWayToTheConfigurationFolder) {
    const QString log = dir.filePath("status.log"),
                  config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    options.logFile = log.toStdString();
    EXPECT_EQ(ProgramDirectoryTooLong(""), nullptr) << "the program's own folder";
    for (const QString &folder :
         {writeFile(dir.filePath("file"), "x"), dir.filePath(QString(250, 'd'))}) {
        options.dir = folder.toStdString();
        EXPECT_EQ(runProgram(closeMainPanel), 0);
        EXPECT_TRUE(fileBytes(log).contains(("settings kept in " + config).toUtf8()));
        EXPECT_TRUE(QFile::remove(config + "/PX-MS-Vista.ini")) << folder.toStdString();
    }
}

// The stored settings reach the program and are stored again on close; a placement off the screen
// comes back wholly on it, as large as designed, and so does the panel on a right double click.
TEST_F(Shell, SettingsRoundTripThroughTheProgramWithThePanelOnTheScreen) {
    AppSettings v;
    v.comtype = 0;
    v.rs232port = 7;
    v.rs232baudrate = 2;
    v.hostName = "sensor-line-3";
    v.portText = "10002";
    v.recentAddresses = {"sensor-line-3", "127.0.0.1", "bench-pc"};
    v.panelMaximised = false;
    v.panelTop = -300;
    v.panelLeft = 5000;
    v.panelHeight = 100;
    v.panelWidth = 200;
    v.zoom = true;
    writeSettings(v);
    qputenv("KTAV_COM7", "/nonexistent/ttyK7");
    EXPECT_EQ(runProgram([] {
                  EXPECT_EQ(rs232port, 7);
                  EXPECT_EQ(tcp_portnum, 10002) << "the stored port is used at start-up too";
                  EXPECT_EQ(std::pair(zoom_flag, value(pTGraph, TGRAPH_ZOOM)), std::pair(1, 1));
                  int screenHeight = 0, screenWidth = 0;
                  ASSERT_EQ(GetScreenSize(&screenHeight, &screenWidth), 0);
                  EXPECT_EQ(std::make_tuple(mainPanel(ATTR_TOP), mainPanel(ATTR_LEFT),
                                            mainPanel(ATTR_HEIGHT), mainPanel(ATTR_WIDTH)),
                            std::make_tuple(0, screenWidth - 777, 534, 777));
                  SetPanelSize(pPA, 300, 400);
                  CC_PANEL(pPA, 0, EVENT_RIGHT_DOUBLE_CLICK, nullptr, 0, 0);
                  EXPECT_EQ(std::pair(mainPanel(ATTR_HEIGHT), mainPanel(ATTR_WIDTH)),
                            std::pair(534, 777));
                  closeMainPanel();
              }),
              0);
    const AppSettings back = readSettings();
    EXPECT_EQ(std::tie(back.comtype, back.rs232port, back.rs232baudrate, back.hostName,
                       back.portText, back.recentAddresses),
              std::tie(v.comtype, v.rs232port, v.rs232baudrate, v.hostName, v.portText,
                       v.recentAddresses));
    EXPECT_EQ(std::tie(back.panelHeight, back.panelWidth, back.zoom, back.touchSurface),
              std::make_tuple(534, 777, true, false));
}

// On the touch surface with the numeric view (and, no sensor, the connection panel); the
// desktop's surface toggle follows, and the setting is stored again.
TEST_F(Shell, TouchSettingOrOptionStartsOnTheTouchSurfaceWithTheNumericView) {
    for (const bool byOption : {false, true}) {
        SCOPED_TRACE(byOption ? "option" : "setting");
        AppSettings v;
        v.panelMaximised = false;
        v.touchSurface = !byOption;
        writeSettings(v);
        options.touch = byOption;
        EXPECT_EQ(runProgram([] {
                      EXPECT_EQ(std::make_tuple(tsd_flag, shown(pTSD), shown(pTNum),
                                                value(pTSD, TSD_TOG_NUM), value(pPA, PANEL_TOUCH),
                                                shown(pTConn)),
                                std::make_tuple(1, 1, 1, 1, 1, 1));
                      CC_TSDPANEL(pTSD, 0, EVENT_CLOSE, nullptr, 0, 0);
                  }),
                  0);
        EXPECT_EQ(readSettings().touchSurface, true);
    }
}

TEST_F(Shell, SigtermClosesInOrderAndWritesTheSettings) {
    EXPECT_EQ(runProgram([] { std::raise(SIGTERM); }), 0);
    EXPECT_TRUE(QFile::exists(ini.c_str()));
}

// A start-up whose TCP connection or hardware record failed leaves the sensor controls of both
// surfaces dimmed, after STOP too; an accepted pair enables them.
TEST_F(Shell, OnlyAPairAcceptedAtStartUpEnablesTheSensorControls) {
    SimProcess sim;
    for (const auto &[device, refused, dim] :  // refused: "TCP FailedToConnect"
         {std::tuple(QStringList{}, true, 1),
          {QStringList{"--error-reply", "10=0"}, false, 1},
          {QStringList{}, false, 0}}) {
        ASSERT_TRUE(sim.start(device));
        writeSettings(sim.tcpSettings());
        if (refused) sim.stop();
        ASSERT_EQ(StartProgram(options), 1);
        CC_BTNStop(pPA, PANEL_STOP, EVENT_COMMIT, nullptr, 0, 0);
        for (auto [panel, control] : {std::pair{pPA, PANEL_RUN},
                                      {pPA, PANEL_RESET},
                                      {pTSD, TSD_SEND},
                                      {pRec, REC_START},
                                      {pTRec, TREC_START}})
            EXPECT_EQ(dimmed(panel, control), dim) << device.join(' ').toStdString() << control;
        closeMainPanel();
        RunUserInterface();
        ShutdownProgram();
    }
}

TEST_F(Shell, SurfaceSwitchBothWaysStopsTheLoopAndRestoresTheDesktop) {
    SimProcess sim;
    ASSERT_TRUE(sim.start());
    writeSettings(sim.tcpSettings());
    EXPECT_EQ(runProgram([] {
                  stop_flag = STOP_RUNNING;  // as if VIDEO ran
                  SetCtrlAttribute(pPA, PANEL_RUN, ATTR_DIMMED, 1);
                  click(pPA, PANEL_TOUCH);
                  EXPECT_EQ(std::make_tuple(tsd_flag, int(stop_flag), shown(pTSD), shown(pTNum)),
                            std::make_tuple(1, int(STOP_IDLE), 1, 1));
                  CC_BTNexittouch(pTSD, TSD_EXIT, EVENT_COMMIT, nullptr, 0, 0);
                  EXPECT_EQ(std::make_tuple(tsd_flag, shown(pTSD), value(pPA, PANEL_TOUCH)),
                            std::make_tuple(0, 0, 0));
                  stop_flag = STOP_RUNNING;
                  click(pPA, PANEL_TOUCH);
                  click(pPA, PANEL_TOUCH);
                  EXPECT_EQ(tsd_flag, 0);
                  EXPECT_EQ(dimmed(pPA, PANEL_RUN), 0) << "the STOP action re-enables the desktop";
                  closeMainPanel();
              }),
              0);
}

// A type chosen in either drop-down, whose items carry their codes as values, fills its own
// side's fields with the type's defaults; only the MASTER's type sets the hardware type.
TEST_F(Shell, HardwareSelectionFillsTheCalibrationFieldsOfItsSide) {
    ASSERT_GE(StartProgram(options), 0);
    const std::tuple<int, std::array<int, 4>, int> sides[] = {
        {CALIB_TYPE_B, {CALIB_OFFSET_B, CALIB_RANGE_B, CALIB_VIRTOFF_B, CALIB_TABLEN_B}, 20},
        {CALIB_TYPE_A, {CALIB_OFFSET_A, CALIB_RANGE_A, CALIB_VIRTOFF_A, CALIB_TABLEN_A}, 22}};
    const int defaults[] = {25000, 10000, 30000, 1024};  // offset, range, virtual offset, length
    for (const auto &[list, fields, hwType] : sides) {
        HWTYPE = 20;
        enter(pCalib, list, 611632, EVENT_COMMIT);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(value(pCalib, fields[i]), defaults[i]) << list;
        EXPECT_EQ(HWTYPE, hwType) << list;
    }
    closeMainPanel();
    RunUserInterface();
    ShutdownProgram();
}

// With the run option the program measures from its start until the screenshot is taken, then
// closes in order; the picture is of the main panel.
TEST_F(Shell, RunAndScreenshotOptionsPictureTheMeasuringPanelAndCloseInOrder) {
    SimProcess sim;
    ASSERT_TRUE(sim.start());
    AppSettings settings = sim.tcpSettings();
    settings.panelMaximised = false;
    writeSettings(settings);
    options.run = true;
    options.screenshot = dir.filePath("run.png").toStdString();
    options.screenshotDelay = 0.5;
    EXPECT_EQ(WinMain(options), 0);
    EXPECT_EQ(stop_flag, STOP_IDLE);
    EXPECT_STREQ(szStatus, "Data-Transfer Stopped!");
    EXPECT_EQ(QImage(QString::fromStdString(options.screenshot)).size(), QSize(777, 534));
}
