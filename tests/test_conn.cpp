// The connection dialog on real widgets of both surfaces, with the simulator over TCP and over
// its pseudo-terminal: connect and identify, disconnect, discard, accept with the settings file,
// the recent-address list, the baud-rate change, bad entries and a line that vanishes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "app/conndialog.h"
#include "app/shell.h"
#include "ktav_panels.h"
#include "link/frame.h"
#include "link/identify.h"
#include "link/status.h"
#include "link/transport.h"
#include "panel_probe.h"
#include "params/appsettings.h"
#include "platform/serial.h"
#include "platform/timing.h"
#include "platform/ui/popupscript.h"
#include "platform/ui/runtime.h"
#include "platform/ui/userint.h"
#include "shared/panels.h"
#include "shared/state.h"
#include "sim_process.h"

namespace {

constexpr int kSimPort = 7;  // COM port number mapped to the simulator's pseudo-terminal

// The controls of one surface's dialog and main panel, as the tests address them.
struct Dialog {
    const char *name;
    const int &panel;
    int comType, comPort, baudRate, ipAddress, portNum, tryConnect, accept, msgBox;
    const int &mainPanel;
    int mainStatus;
    unsigned statusFields;
    int sensorControls[6];
    const int &recorderPanel;
    int recorderStart;
};

// clang-format off
const Dialog desktop{"desktop", pConn,
    CONNECT_COMTYPE, CONNECT_COMPORT, CONNECT_BAUDRATE, CONNECT_IPADDRESS, CONNECT_PORTNUM,
    CONNECT_TRYCONNECT, CONNECT_ACCEPT, CONNECT_MSGBOX, pPA, PANEL_STATUS, ST_PA,
    {PANEL_RUN, PANEL_VIDEO, PANEL_TEACH, PANEL_RESET, PANEL_SEND, PANEL_GET}, pRec, REC_START};
const Dialog touch{"touch", pTConn,
    TCONN_COMTYPE, TCONN_COMPORT, TCONN_BAUDRATE, TCONN_IPADDRESS, TCONN_PORTNUM,
    TCONN_TRYCONNECT, TCONN_ACCEPT, TCONN_MSGBOX, pTSD, TSD_STATUS, ST_TSD | ST_TCONN,
    {TSD_RUN, TSD_VIDEO, TSD_TEACH, TSD_RESET, TSD_SEND, TSD_GET}, pTRec, TREC_START};
// clang-format on

enum class Line { Serial, Tcp };

// Every text the link layer showed, with the status fields it went to.
struct Shown {
    unsigned fields;
    std::string text;
};
std::vector<Shown> shown;
LinkView programView;

void recordStatus(unsigned fields, const char *text) {
    shown.push_back({fields, text});
    programView.status(fields, text);
}

bool wasShown(unsigned fields, const std::string &text) {
    for (const Shown &s : shown)
        if (s.fields == fields && s.text == text) return true;
    return false;
}

void click(int panel, int control, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(FindCtrl(panel, control)->widget, button);
}

// Types `entry` into an editable combo box or text entry and ends it with Return.
void type(int panel, int control, const QString &entry) {
    QWidget *w = FindCtrl(panel, control)->widget;
    if (auto *combo = qobject_cast<QComboBox *>(w)) w = combo->lineEdit();
    w->setFocus();
    QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(w, entry);
    QTest::keyClick(w, Qt::Key_Return);
}

bool waitFor(const std::function<bool()> &condition, double seconds) {
    const double deadline = Timer() + seconds;
    while (!condition()) {
        if (Timer() > deadline) return false;
        WaitForSystemEvents(0.05);
    }
    return true;
}

// Descriptors of this process open on `path`: shows whether a port was really closed.
int descriptorsOpenOn(const std::string &path) {
    namespace fs = std::filesystem;
    const fs::path target = fs::canonical(path);
    int count = 0;
    for (const auto &entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (fs::read_symlink(entry.path(), error) == target) ++count;
    }
    return count;
}

// The speed the pseudo-terminal is set to, by whoever set it last (the program's port).
speed_t lineSpeed(const std::string &path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::close(fd);
    return ::cfgetospeed(&tio);
}

class ConnDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        qputenv("KTAV_COM1", "/nonexistent/ttyK1");  // no sensor at start-up
        ProgramOptions options;
        options.dir = dir.path().toStdString();
        ASSERT_EQ(StartProgram(options), 1);
        BindConnectionCallbacks();
        programView = CurrentLinkView();
        LinkView view = programView;
        view.status = recordStatus;
        SetLinkView(view);
        shown.clear();
        DisplayPanel(pConn);
    }

    void TearDown() override {
        ShutdownProgram();
        CloseRS232();
        sim.stop();
    }

    void startSim(const QStringList &options = {}) {
        ASSERT_TRUE(
            sim.start(QStringList{"--master-type", "610407", "--slave-type", "611589"} + options));
        qputenv("KTAV_COM7", QByteArray::fromStdString(sim.ptyPath()));
        qputenv("KTAV_COM8", QByteArray::fromStdString(sim.ptyPath()));
    }

    // Shows `d` and enters the simulator's transport settings into it.
    void enter(const Dialog &d, Line line) {
        if (&d == &touch) {
            DisplayPanel(pTSD);
            DisplayPanel(pTConn);
        }
        const int tcp = line == Line::Tcp ? 1 : 0;
        SetCtrlVal(d.panel, d.comType, tcp);
        (&d == &touch ? CC_TSD_DROPComType : CC_DROPComType)(d.panel, d.comType, EVENT_COMMIT,
                                                             nullptr, 0, 0);
        SetCtrlVal(d.panel, d.comPort, kSimPort);
        SetCtrlVal(d.panel, d.baudRate, 4);
        SetCtrlVal(d.panel, d.ipAddress, "127.0.0.1");
        SetCtrlVal(d.panel, d.portNum, std::to_string(sim.tcpPort()).c_str());
    }

    void connect(const Dialog &d, Line line) {
        enter(d, line);
        click(d.panel, d.tryConnect);
    }

    std::string settingsPath() const { return dir.filePath("PX-MS-Vista.ini").toStdString(); }

    QTemporaryDir dir;
    SimProcess sim;
};

void expectSensorControlsDimmed(const Dialog &d, int dimmed) {
    for (int control : d.sensorControls)
        EXPECT_EQ(attribute(d.mainPanel, control, ATTR_DIMMED), dimmed) << d.name << " " << control;
    EXPECT_EQ(attribute(d.recorderPanel, d.recorderStart, ATTR_DIMMED), dimmed) << d.name;
}

// The newest line of a dialog's message box, without its line break.
std::string lastLine(const Dialog &d) {
    std::string log = text(d.panel, d.msgBox);
    if (!log.empty() && log.back() == '\n') log.pop_back();
    return log.substr(log.rfind('\n') + 1);
}

// Dims, or enables, the sensor controls, the recorder's start and ACCEPT of `d`, so that a
// connect shows what it changes.
void dimSensorControls(const Dialog &d, int dimmed = 1) {
    for (int control : d.sensorControls)
        SetCtrlAttribute(d.mainPanel, control, ATTR_DIMMED, dimmed);
    SetCtrlAttribute(d.recorderPanel, d.recorderStart, ATTR_DIMMED, dimmed);
    SetCtrlAttribute(d.panel, d.accept, ATTR_DIMMED, dimmed);
}

}  // namespace

TEST_F(ConnDialog, ConnectIdentifiesAndEnablesTheSensorControlsOnEitherSurfaceAndLine) {
    startSim();
    const struct {
        const Dialog &dialog;
        Line line;
    } cases[] = {
        {desktop, Line::Serial},
        {desktop, Line::Tcp},
        {touch, Line::Serial},
        {touch, Line::Tcp},
    };
    for (const auto &c : cases) {
        const Dialog &d = c.dialog;
        SCOPED_TRACE(std::string(d.name) + (c.line == Line::Tcp ? " TCP" : " RS-232"));
        dimSensorControls(d);
        shown.clear();
        stop_flag = STOP_RUNNING;
        connect(d, c.line);
        EXPECT_EQ(stop_flag, STOP_IDLE);
        EXPECT_EQ(c.line == Line::Tcp ? tcp_con : rs232_con, 1);
        EXPECT_EQ(c.line == Line::Tcp ? rs232_con : tcp_con, 0) << "the other transport closed";
        EXPECT_EQ(hwok_flag, 1);
        EXPECT_EQ(std::string(szVersion).rfind("K-TAV-PX-MA", 0), 0u) << szVersion;
        EXPECT_TRUE(wasShown(d.statusFields, "TRY TO CONNECT! ..."));
        EXPECT_EQ(text(d.mainPanel, d.mainStatus), szVersion);
        EXPECT_NE(text(d.panel, d.msgBox).find("TRY TO CONNECT! ...\n"), std::string::npos);
        EXPECT_EQ(lastLine(d), szVersion) << "the box ends with the outcome";
        expectSensorControlsDimmed(d, 0);
        EXPECT_EQ(attribute(d.panel, d.accept, ATTR_DIMMED), 0);
        EXPECT_EQ(attribute(pPA, c.line == Line::Tcp ? PANEL_HOST : PANEL_COMPORT, ATTR_VISIBLE),
                  1);
        EXPECT_EQ(attribute(d.panel, d.ipAddress, ATTR_VISIBLE), c.line == Line::Tcp ? 1 : 0);
    }
}

TEST_F(ConnDialog, DisconnectDimsTheSensorControlsTheRecorderStartAndAccept) {
    startSim();
    connect(desktop, Line::Tcp);
    ASSERT_EQ(tcp_con, 1);
    click(pConn, CONNECT_DISCONNECT);
    EXPECT_EQ(tcp_con, 0);
    EXPECT_EQ(text(pPA, PANEL_STATUS), "SENSOR DISCONNECTED!");
    EXPECT_EQ(lastLine(desktop), "SENSOR DISCONNECTED!");
    for (const Dialog *d : {&desktop, &touch}) {
        expectSensorControlsDimmed(*d, 1);
        EXPECT_EQ(attribute(d->panel, d->accept, ATTR_DIMMED), 1);
    }
}

// DISCARD through either dialog: the link is closed, so the sensor controls of both surfaces
// are dimmed as after DISCONNECT.
TEST_F(ConnDialog, DiscardClosesTheConnectionShowsItEverywhereAndSavesNothing) {
    startSim();
    for (auto [d, discard] :
         {std::pair{&desktop, CONNECT_DISCARD}, std::pair{&touch, TCONN_DISCARD}}) {
        SCOPED_TRACE(d->name);
        connect(*d, Line::Serial);
        ASSERT_EQ(rs232_con, 1);
        expectSensorControlsDimmed(*d, 0);
        QFile::remove(QString::fromStdString(settingsPath()));
        SetCtrlVal(pPA, PANEL_CONNECT, 1);
        SetCtrlVal(pTSD, TSD_TOG_CONNECT, 1);
        click(d->panel, discard);
        EXPECT_EQ(descriptorsOpenOn(sim.ptyPath()), 0) << "the port is closed";
        EXPECT_LT(GetInQLen(kSimPort), 0);
        for (auto [panel, control] :
             {std::pair{pPA, PANEL_STATUS}, std::pair{pConn, CONNECT_STATUS},
              std::pair{pTSD, TSD_STATUS}, std::pair{pTConn, TCONN_STATUS}})
            EXPECT_EQ(text(panel, control), "SENSOR DISCONNECTED!");
        for (const Dialog *any : {&desktop, &touch}) expectSensorControlsDimmed(*any, 1);
        EXPECT_FALSE(QFile::exists(QString::fromStdString(settingsPath())));
        EXPECT_EQ(value(pPA, PANEL_CONNECT), 0);
        EXPECT_EQ(value(pTSD, TSD_TOG_CONNECT), 0);
        for (int panel : {pConn, pTConn}) {
            int visible = 1;
            GetPanelAttribute(panel, ATTR_VISIBLE, &visible);
            EXPECT_EQ(visible, 0);
        }
    }
}

TEST_F(ConnDialog, AcceptWritesTheDialogsSettingsAndTheAddressList) {
    startSim();
    connect(desktop, Line::Tcp);
    ASSERT_EQ(tcp_con, 1);
    for (const char *address : {"bench-pc", "sensor-line-3"})
        type(pConn, CONNECT_IPADDRESS, address);
    EXPECT_EQ(attribute(pConn, CONNECT_ACCEPT, ATTR_DIMMED), 1) << "an edited address";
    SetCtrlVal(pConn, CONNECT_IPADDRESS, "127.0.0.1");
    click(pConn, CONNECT_TRYCONNECT);
    SetCtrlVal(pConn, CONNECT_COMPORT, 3);
    SetCtrlVal(pConn, CONNECT_BAUDRATE, 2);
    click(pConn, CONNECT_ACCEPT);

    AppSettings saved;
    ASSERT_EQ(ReadAppSettings(settingsPath().c_str(), saved), 1);
    EXPECT_EQ(std::tie(saved.comtype, saved.rs232port, saved.rs232baudrate, saved.hostName,
                       saved.portText),
              std::make_tuple(1, 3, 2, "127.0.0.1", std::to_string(sim.tcpPort())));
    EXPECT_EQ(saved.recentAddresses, (std::vector<std::string>{"sensor-line-3", "bench-pc"}));
    EXPECT_STREQ(szIPaddress, "127.0.0.1");
    EXPECT_EQ(szIPportnum, std::to_string(sim.tcpPort()));

    // The touch dialog's ACCEPT stores its own port number and speed.
    DisplayPanel(pTConn);
    SetCtrlVal(pTConn, TCONN_COMPORT, 5);
    SetCtrlVal(pTConn, TCONN_BAUDRATE, 1);
    click(pTConn, TCONN_ACCEPT);
    ASSERT_EQ(ReadAppSettings(settingsPath().c_str(), saved), 1);
    EXPECT_EQ(std::tie(saved.comtype, saved.rs232port, saved.rs232baudrate),
              std::make_tuple(1, 5, 1));
}

TEST_F(ConnDialog, RecentAddressesMoveToTheTopWithoutDuplicatesAndAtMostTen) {
    for (int i = 10; i >= 1; --i) {
        const std::string address = "10.0.0." + std::to_string(i);
        InsertListItem(pConn, CONNECT_IPADDRESS, 0, address.c_str(), 0);
        InsertListItem(pTConn, TCONN_IPADDRESS, 0, address.c_str(), 0);
    }
    const struct {
        const char *entered;
        const char *top;
        const char *last;
    } cases[] = {
        {"10.0.0.3", "10.0.0.3", "10.0.0.10"},   // third moves to the top
        {"10.0.0.11", "10.0.0.11", "10.0.0.9"},  // a new one pushes the last out
        {"10.0.0.11", "10.0.0.11", "10.0.0.9"},  // the top stays the top
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.entered);
        type(pConn, CONNECT_IPADDRESS, c.entered);
        for (auto [panel, control] :
             {std::pair{pConn, CONNECT_IPADDRESS}, std::pair{pTConn, TCONN_IPADDRESS}}) {
            int count = 0;
            GetNumListItems(panel, control, &count);
            EXPECT_EQ(count, 10);
            char top[64] = "", last[64] = "";
            GetLabelFromIndex(panel, control, 0, top, sizeof top);
            GetLabelFromIndex(panel, control, count - 1, last, sizeof last);
            EXPECT_STREQ(top, c.top);
            EXPECT_STREQ(last, c.last);
            EXPECT_EQ(text(panel, control), c.entered) << "the entry keeps the entered text";
        }
        EXPECT_STREQ(szIPaddress, c.entered);
    }
}

TEST_F(ConnDialog, BaudRateChangeFollowsTheSensorOrKeepsTheOldSpeed) {
    startSim();
    connect(desktop, Line::Serial);
    ASSERT_EQ(rs232_con, 1);
    ASSERT_EQ(lineSpeed(sim.ptyPath()), B115200);

    SetCtrlVal(pConn, CONNECT_BAUDRATE, 2);
    click(pConn, CONNECT_CHANGEBAUD);
    EXPECT_TRUE(wasShown(ST_PA, "Try to change baudrate..."));
    EXPECT_EQ(text(pPA, PANEL_STATUS), "Baudrate-change OK!");
    EXPECT_EQ(lineSpeed(sim.ptyPath()), B38400);
    EXPECT_EQ(rs232baudrate, 2);
    EXPECT_EQ(CheckComLine(), 1) << "the next exchange works at the new speed";

    // The port set to a speed the sensor does not listen at: the order is not heard.
    rs232baudrate = 4;
    ASSERT_EQ(InitRS232(kSimPort, 4), 1);
    SetCtrlVal(pConn, CONNECT_BAUDRATE, 1);
    click(pConn, CONNECT_CHANGEBAUD);
    EXPECT_EQ(text(pPA, PANEL_STATUS), "Timeout: changing RS-232-baudrate...");
    EXPECT_NE(text(pConn, CONNECT_MSGBOX).find("Timeout: changing RS-232-baudrate...\n"),
              std::string::npos);
    EXPECT_EQ(lineSpeed(sim.ptyPath()), B115200);
    EXPECT_EQ(rs232baudrate, 4);
    EXPECT_EQ(value(pConn, CONNECT_BAUDRATE), 4) << "the ring shows the speed the line runs at";
}

TEST_F(ConnDialog, BadEntriesAndDeadHostsFailClearlyAndLeaveNoTransportOpen) {
    startSim();
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const std::string deadPort = std::to_string(probe.serverPort());
    probe.close();
    const struct {
        const char *host;
        std::string port;
        const char *status;
        const char *hint;
    } cases[] = {
        {"127.0.0.1", "abc", "TCP InvalidParameter", "The TCP port number is not a number"},
        {"", "10001", "TCP InvalidParameter", "No IP address entered!"},
        {"127.0.0.1", deadPort, "TCP", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string("host '") + c.host + "' port '" + c.port + "'");
        connect(desktop, Line::Serial);
        ASSERT_EQ(rs232_con, 1);
        dimSensorControls(desktop);
        SetCtrlVal(pConn, CONNECT_COMTYPE, 1);
        CC_DROPComType(pConn, CONNECT_COMTYPE, EVENT_COMMIT, nullptr, 0, 0);
        EXPECT_EQ(comtype, 1) << "the ring switches at once";
        EXPECT_EQ(value(pTConn, TCONN_COMTYPE), 1);
        SetCtrlVal(pConn, CONNECT_IPADDRESS, c.host);
        SetCtrlVal(pConn, CONNECT_PORTNUM, c.port.c_str());
        click(pConn, CONNECT_TRYCONNECT);
        EXPECT_EQ(tcp_con, 0);
        EXPECT_EQ(descriptorsOpenOn(sim.ptyPath()), 0) << "the serial line was closed first";
        EXPECT_EQ(text(pConn, CONNECT_STATUS).rfind(c.status, 0), 0u)
            << text(pConn, CONNECT_STATUS);
        if (c.hint) {
            EXPECT_NE(text(pConn, CONNECT_MSGBOX).find(c.hint), std::string::npos);
        }
        EXPECT_EQ(attribute(pConn, CONNECT_ACCEPT, ATTR_DIMMED), 0);
        expectSensorControlsDimmed(desktop, 1);
    }
}

TEST_F(ConnDialog, ALineThatVanishesIsReportedAndTheDialogStaysUsable) {
    for (Line line : {Line::Serial, Line::Tcp}) {
        SCOPED_TRACE(line == Line::Tcp ? "TCP" : "RS-232");
        startSim();
        connect(desktop, line);
        ASSERT_EQ(line == Line::Tcp ? tcp_con : rs232_con, 1);
        sim.stop();
        EXPECT_TRUE(waitFor([&] { return (line == Line::Tcp ? tcp_con : rs232_con) != 1; }, 10.0));
        // The vanished pseudo-terminal's number may go to another test's simulator at once:
        // the port must name a device that stays gone.
        qputenv(("KTAV_COM" + std::to_string(kSimPort)).c_str(), "/nonexistent/ttyVanished");

        click(pConn, CONNECT_DISCONNECT);
        EXPECT_EQ(text(pPA, PANEL_STATUS), "SENSOR DISCONNECTED!");
        click(pConn, CONNECT_TRYCONNECT);
        EXPECT_EQ(tcp_con, 0);
        EXPECT_LT(rs232_con, 1);
        const std::string status = text(pConn, CONNECT_STATUS);
        EXPECT_TRUE(status == SerialErrorText(rs232_con) || status.rfind("TCP ", 0) == 0) << status;
        EXPECT_EQ(attribute(pConn, CONNECT_ACCEPT, ATTR_DIMMED), 0);
        expectSensorControlsDimmed(desktop, 1);
    }
}

TEST_F(ConnDialog, RightClickTogglesTheHelpBoxAndAClickOnItHidesIt) {
    const struct {
        int control;
        const char *start;
    } cases[] = {
        {CONNECT_TRYCONNECT, "CONNECT BUTTON:\n"},
        {CONNECT_ACCEPT, "ACCEPT COM SETTINGS BUTTON:\n"},
        {CONNECT_COMTYPE, "COMUNICATION PROTOCOL:\n"},
    };
    for (const auto &c : cases) {
        click(pConn, c.control, Qt::RightButton);
        EXPECT_EQ(attribute(pConn, CONNECT_HELP, ATTR_VISIBLE), 1);
        EXPECT_EQ(text(pConn, CONNECT_HELP).rfind(c.start, 0), 0u);
        click(pConn, c.control, Qt::RightButton);
        EXPECT_EQ(attribute(pConn, CONNECT_HELP, ATTR_VISIBLE), 0);
    }
    click(pConn, CONNECT_TRYCONNECT, Qt::RightButton);
    click(pConn, CONNECT_HELP);
    EXPECT_EQ(attribute(pConn, CONNECT_HELP, ATTR_VISIBLE), 0);
}

// A device the program refuses (another series, firmware out of range) leaves the sensor
// controls of both surfaces dimmed, whichever dialog connected, also after ACCEPT.
TEST_F(ConnDialog, RefusedDevicesKeepTheSensorControlsDimmedOnBothSurfaces) {
    const struct {
        const Dialog &dialog;
        QStringList options;
        int hwok;
        const char *popup;
    } cases[] = {
        {desktop, {"--fw-text", "K-TAV-QD.V1.00 2020-01-01"}, 0, "Please use K-TAV-QD-Vista"},
        {touch, {"--fw-text", "K-TAV-WN.V2.10 2021-02-02"}, 0, "Please use K-TAV-WN-Vista"},
        {desktop, {"--fw-version", "405"}, 1, "V.4.0x"},
        {touch, {"--fw-version", "430"}, 1, "newer than V4.2"},
    };
    for (const auto &c : cases) {
        const Dialog &d = c.dialog;
        SCOPED_TRACE(std::string(d.name) + " " + c.options.join(' ').toStdString());
        startSim(c.options);
        for (const Dialog *any : {&desktop, &touch}) dimSensorControls(*any, 0);
        connect(d, Line::Tcp);
        EXPECT_EQ(tcp_con, 1);
        EXPECT_EQ(hwok_flag, c.hwok);
        EXPECT_NE(LastPopupText().find(c.popup), std::string::npos) << LastPopupText();
        EXPECT_NE(lastLine(d).find(c.popup), std::string::npos) << lastLine(d);
        for (const Dialog *any : {&desktop, &touch}) expectSensorControlsDimmed(*any, 1);
        CC_CBTNAcceptComSetting(d.panel, d.accept, EVENT_COMMIT, nullptr, 0, 0);
        for (const Dialog *any : {&desktop, &touch}) expectSensorControlsDimmed(*any, 1);
        sim.stop();
    }
}

// The outcomes of a connect through either dialog, and what ACCEPT then stores and enables. A
// port connected again, or another one, is closed first: one descriptor at most is open on the
// line (COM 7 and 8 lead to the same one).
TEST_F(ConnDialog, ConnectOutcomesDecideTheSensorControlsAndAcceptStoresThePort) {
    startSim();
    qputenv("KTAV_COM9", "/nonexistent/ttyK9");
    const struct {
        const Dialog &dialog;
        int port;    // COM 7 and 8 lead to the simulator, 9 to no device
        int dimmed;  // the sensor controls of both surfaces afterwards
        int stored;  // the port the settings file holds after ACCEPT
    } cases[] = {
        {desktop, 7, 0, 7}, {desktop, 7, 0, 7}, {touch, 8, 0, 8},
        {touch, 9, 1, 9},   {desktop, 9, 1, 9}, {desktop, 8, 0, 8},
    };
    for (const auto &c : cases) {
        const Dialog &d = c.dialog;
        SCOPED_TRACE(std::string(d.name) + " COM" + std::to_string(c.port));
        enter(d, Line::Serial);
        SetCtrlVal(d.panel, d.comPort, c.port);
        click(d.panel, d.tryConnect);
        EXPECT_EQ(rs232_con == 1, c.dimmed == 0);
        EXPECT_EQ(rs232port, c.port);
        EXPECT_EQ(descriptorsOpenOn(sim.ptyPath()), 1 - c.dimmed);
        for (const Dialog *any : {&desktop, &touch}) expectSensorControlsDimmed(*any, c.dimmed);
        EXPECT_EQ(attribute(d.panel, d.accept, ATTR_DIMMED), 0);
        click(d.panel, d.accept);
        AppSettings saved;
        ASSERT_EQ(ReadAppSettings(settingsPath().c_str(), saved), 1);
        EXPECT_EQ(saved.rs232port, c.stored);
        EXPECT_EQ(attribute(pPA, PANEL_RUN, ATTR_DIMMED), c.dimmed) << "after ACCEPT";
    }
    // ACCEPT of another port number closes the open port rather than leave it behind.
    DisplayPanel(pConn);
    SetCtrlVal(pConn, CONNECT_COMPORT, 9);
    click(pConn, CONNECT_ACCEPT);
    EXPECT_EQ(descriptorsOpenOn(sim.ptyPath()), 0);
}

TEST_F(ConnDialog, TheMessageBoxKeepsItsNewestLineInView) {
    startSim();
    for (const Dialog *d : {&desktop, &touch}) {
        SCOPED_TRACE(d->name);
        for (int i = 0; i < 4; ++i) connect(*d, Line::Tcp);
        auto *box = qobject_cast<QPlainTextEdit *>(FindCtrl(d->panel, d->msgBox)->widget);
        ASSERT_NE(box, nullptr);
        const QScrollBar *bar = box->verticalScrollBar();
        EXPECT_GT(bar->maximum(), 0) << "more lines than the box shows";
        EXPECT_EQ(bar->value(), bar->maximum());
    }
}
