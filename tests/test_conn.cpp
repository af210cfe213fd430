// The connection dialog on real widgets of both surfaces, with the simulator over TCP and over
// its pseudo-terminal: the outcomes of a connect, disconnect and discard, accept with the settings
// file, the recent-address list, the baud-rate change and a line that vanishes.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <filesystem>
#include <tuple>

#include "core/calib/identifypair.h"
#include "core/params/appsettings.h"
#include "core/state/programdir.h"
#include "core/system/serial.h"
#include "gui/app/conndialog.h"
#include "gui/app/reconnect.h"
#include "gui/app/shell.h"
#include "gui/runtime/popupscript.h"
#include "ktav_panels.h"
#include "support.h"

namespace {

constexpr int kSimPort = 7;  // COM port number mapped to the simulator's pseudo-terminal

// The controls of one surface's dialog and main panel, as the tests address them.
struct Dialog {
    const char *name;
    const int &panel, &mainPanel, &recorderPanel;
    int comType, comPort, baudRate, ipAddress, portNum, tryConnect, accept, discard, msgBox;
    int mainStatus, recorderStart, sensorControls[6];
    unsigned statusFields;
};

// clang-format off
const Dialog desktop{"desktop", pConn, pPA, pRec,
    CONNECT_COMTYPE, CONNECT_COMPORT, CONNECT_BAUDRATE, CONNECT_IPADDRESS, CONNECT_PORTNUM,
    CONNECT_TRYCONNECT, CONNECT_ACCEPT, CONNECT_DISCARD, CONNECT_MSGBOX, PANEL_STATUS, REC_START,
    {PANEL_RUN, PANEL_VIDEO, PANEL_TEACH, PANEL_RESET, PANEL_SEND, PANEL_GET}, ST_PA};
const Dialog touch{"touch", pTConn, pTSD, pTRec,
    TCONN_COMTYPE, TCONN_COMPORT, TCONN_BAUDRATE, TCONN_IPADDRESS, TCONN_PORTNUM,
    TCONN_TRYCONNECT, TCONN_ACCEPT, TCONN_DISCARD, TCONN_MSGBOX, TSD_STATUS, TREC_START,
    {TSD_RUN, TSD_VIDEO, TSD_TEACH, TSD_RESET, TSD_SEND, TSD_GET}, ST_TSD | ST_TCONN};
// clang-format on
const Dialog *const both[] = {&desktop, &touch};

enum class Line { Serial, Tcp };

// Descriptors of this process open on `path`: shows whether a port was really closed.
int descriptorsOpenOn(const std::string &path) {
    namespace fs = std::filesystem;
    std::error_code gone;  // a descriptor closed meanwhile is skipped
    int count = 0;
    for (const auto &fd : fs::directory_iterator("/proc/self/fd"))
        count += fs::read_symlink(fd.path(), gone) == fs::canonical(path);
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

// Checks the dimming of the sensor controls and the recorder's start on both surfaces.
void expectSensorControlsDimmed(int want) {
    for (const Dialog *d : both) {
        for (int control : d->sensorControls)
            EXPECT_EQ(dimmed(d->mainPanel, control), want) << d->name << " " << control;
        EXPECT_EQ(dimmed(d->recorderPanel, d->recorderStart), want) << d->name;
    }
}

// The newest line of a dialog's message box, without its line break.
std::string lastLine(const Dialog &d) {
    std::string log = text(d.panel, d.msgBox);
    if (!log.empty() && log.back() == '\n') log.pop_back();
    return log.substr(log.rfind('\n') + 1);
}

class ConnDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        qputenv("KTAV_COM1", "/nonexistent/ttyK1");  // no sensor at start-up
        qputenv("KTAV_COM9", "/nonexistent/ttyK9");
        ProgramOptions options;
        options.dir = dir.path().toStdString();
        ASSERT_EQ(StartProgram(options), 1);
        BindConnectionCallbacks();
        LinkView view = CurrentLinkView();
        status.clear();  // each text is recorded, then shown by the program as before
        status.onText = [show = view.status](unsigned f, auto &t) { show(f, t.c_str()); };
        view.status = recordStatus;
        SetLinkView(view);
        DisplayPanel(pConn);
    }

    void TearDown() override {
        ShutdownProgram();
        CloseRS232();
    }

    void startSim(const QStringList &options = {}) {
        ASSERT_TRUE(
            sim.start(QStringList{"--master-type", "610407", "--slave-type", "611589"} + options));
        qputenv("KTAV_COM7", QByteArray::fromStdString(sim.ptyPath()));
        qputenv("KTAV_COM8", QByteArray::fromStdString(sim.ptyPath()));
    }

    // Shows `d` and enters the simulator's transport settings into it.
    void enter(const Dialog &d, Line line, int port = kSimPort) {
        if (&d == &touch) DisplayPanel(pTSD);
        DisplayPanel(d.panel);
        SetCtrlVal(d.panel, d.comType, line == Line::Tcp ? 1 : 0);
        press(d.panel, d.comType);
        SetCtrlVal(d.panel, d.comPort, port);
        SetCtrlVal(d.panel, d.baudRate, 4);
        SetCtrlVal(d.panel, d.ipAddress, "127.0.0.1");
        SetCtrlVal(d.panel, d.portNum, std::to_string(sim.tcpPort()).c_str());
    }
    void connect(const Dialog &d, Line line) {
        enter(d, line);
        click(d.panel, d.tryConnect);
        ASSERT_EQ(line == Line::Tcp ? tcp_con : rs232_con, 1) << szStatus;
    }

    AppSettings saved() const {
        AppSettings settings;
        EXPECT_EQ(ReadAppSettings(settingsPath().toStdString().c_str(), settings), 1);
        return settings;
    }
    QString settingsPath() const { return dir.filePath("PX-MS-Vista.ini"); }

    QTemporaryDir dir;
    SimProcess sim;
};

}  // namespace

// Every outcome of a connect through either dialog: a sensor identified, no device, a bad entry,
// a device the program refuses. The other transport is closed first, and a port
// connected again or another one too: one descriptor at most is open on the line (COM 7 and 8
// lead to the same one). ACCEPT then stores the port and keeps what the connect enabled.
TEST_F(ConnDialog, ConnectOutcomesDecideTheSensorControlsAndAcceptStoresThePort) {
    constexpr Line S = Line::Serial, T = Line::Tcp;
    const struct {
        const Dialog &d;
        Line line;
        int port, linked, hwok;  // COM 7 and 8 lead to the simulator, 9 to no device
        const char *outcome;     // the message box's last line holds it; nullptr: the firmware text
        QStringList device = {};         // the simulator's options
        const char *host = "127.0.0.1";  // the address entered
        std::string portText = "";       // the TCP port entered; empty: the simulator's
    } cases[] = {
        {desktop, S, 7, 1, 1, nullptr},
        {desktop, T, 7, 1, 1, nullptr},
        {touch, S, 8, 1, 1, nullptr},
        {touch, T, 8, 0, 0, "The TCP port number is not a number", {}, "127.0.0.1", "abc"},
        {touch, S, 7, 1, 1, nullptr},
        {desktop, T, 7, 0, 0, "No IP address entered!", {}, ""},
        {desktop, S, 7, 1, 1, nullptr},
        {touch, T, 8, 1, 1, nullptr},
        {desktop, T, 7, 1, 0, "Please use K-TAV-QD-Vista", {"--fw-text", "K-TAV-QD.V1.00 2020"}},
        {touch, T, 7, 1, 0, "Please use K-TAV-WN-Vista", {"--fw-text", "K-TAV-WN.V2.10 2021"}},
        {desktop, T, 7, 1, 1, "V.4.0x", {"--fw-version", "405"}},
        {touch, T, 7, 1, 1, "newer than V4.2", {"--fw-version", "430"}},
        {desktop, S, 7, 1, 1, nullptr},
        {desktop, S, 7, 1, 1, nullptr},
        {touch, S, 9, 0, 0, "No serial port found"},
        {desktop, S, 9, 0, 0, "No serial port found"},
        {desktop, S, 8, 1, 1, nullptr},
    };
    QStringList running = {"none"};
    for (const auto &c : cases) {
        const Dialog &d = c.d, &other = &d == &desktop ? touch : desktop;
        const bool tcp = c.line == Line::Tcp, identified = c.linked && !c.outcome;
        SCOPED_TRACE(testing::Message() << "row " << &c - cases);
        if (c.device != running) startSim(running = c.device);
        for (const Dialog *any : both) {  // the opposite of what the connect is to leave
            for (int control : any->sensorControls)
                SetCtrlAttribute(any->mainPanel, control, ATTR_DIMMED, identified);
            SetCtrlAttribute(any->recorderPanel, any->recorderStart, ATTR_DIMMED, identified);
        }
        SetCtrlAttribute(d.panel, d.accept, ATTR_DIMMED, 1);
        status.shown.clear();
        stop_flag = STOP_RUNNING;
        enter(d, c.line, c.port);
        SetCtrlVal(d.panel, d.ipAddress, c.host);
        if (!c.portText.empty()) SetCtrlVal(d.panel, d.portNum, c.portText.c_str());
        click(d.panel, d.tryConnect);
        EXPECT_EQ(comtype, int(tcp)) << "the ring switches at once";
        EXPECT_EQ(value(other.panel, other.comType), int(tcp));
        EXPECT_EQ(stop_flag, STOP_IDLE);
        EXPECT_EQ(tcp ? tcp_con : rs232_con == 1, c.linked);
        EXPECT_EQ(tcp ? rs232_con == 1 : tcp_con, 0) << "the other transport closed";
        EXPECT_EQ(descriptorsOpenOn(sim.ptyPath()), tcp ? 0 : c.linked);
        EXPECT_TRUE(!c.linked || hwok_flag == c.hwok) << hwok_flag;
        EXPECT_TRUE(status.has("TRY TO CONNECT! ...", d.statusFields));
        EXPECT_NE(text(d.panel, d.msgBox).find("TRY TO CONNECT! ...\n"), std::string::npos);
        const std::string outcome = c.outcome ? c.outcome : szVersion;
        EXPECT_NE(lastLine(d).find(outcome), std::string::npos) << lastLine(d);
        if (identified) {
            EXPECT_EQ(std::string(szVersion).rfind("K-TAV-PX-MA", 0), 0u) << szVersion;
            EXPECT_EQ(text(d.mainPanel, d.mainStatus), szVersion);
        } else if (c.linked) {
            EXPECT_NE(LastPopupText().find(outcome), std::string::npos) << LastPopupText();
        }
        expectSensorControlsDimmed(!identified);
        EXPECT_TRUE((c.linked && !identified) || !dimmed(d.panel, d.accept)) << "ACCEPT dimmed";
        EXPECT_EQ(attribute(pPA, tcp ? PANEL_HOST : PANEL_COMPORT, ATTR_VISIBLE), 1);
        EXPECT_EQ(attribute(d.panel, d.ipAddress, ATTR_VISIBLE), int(tcp));
        press(d.panel, d.accept);
        const AppSettings s = saved();
        EXPECT_EQ(std::make_pair(s.comtype, s.rs232port), std::make_pair(int(tcp), c.port));
        expectSensorControlsDimmed(!identified);
    }
    for (const Dialog *d : both) {  // many lines: the message box keeps the newest in view
        const QScrollBar *bar =
            qobject_cast<QPlainTextEdit *>(FindCtrl(d->panel, d->msgBox)->widget)
                ->verticalScrollBar();
        EXPECT_GT(bar->maximum(), 0) << d->name;
        EXPECT_EQ(bar->value(), bar->maximum()) << d->name;
    }
    // ACCEPT of another port number closes the open port rather than leave it behind.
    DisplayPanel(pConn);
    SetCtrlVal(pConn, CONNECT_COMPORT, 9);
    click(pConn, CONNECT_ACCEPT);
    EXPECT_EQ(descriptorsOpenOn(sim.ptyPath()), 0);
}

// DISCONNECT and DISCARD close the link and dim the sensor controls of both surfaces; DISCARD
// also closes both dialogs and saves nothing.
TEST_F(ConnDialog, DisconnectAndDiscardCloseTheLineAndDimTheSensorControls) {
    startSim();
    for (auto [d, button] :
         {std::pair{&desktop, CONNECT_DISCONNECT}, std::pair{&desktop, CONNECT_DISCARD},
          std::pair{&touch, TCONN_DISCARD}}) {
        SCOPED_TRACE(std::string(d->name) + " " + std::to_string(button));
        connect(*d, Line::Serial);
        expectSensorControlsDimmed(0);
        QFile::remove(settingsPath());
        SetCtrlVal(pPA, PANEL_CONNECT, 1);
        SetCtrlVal(pTSD, TSD_TOG_CONNECT, 1);
        click(d->panel, button);
        EXPECT_EQ(descriptorsOpenOn(sim.ptyPath()), 0) << "the port is closed";
        EXPECT_LT(GetInQLen(kSimPort), 0);
        EXPECT_EQ(text(pPA, PANEL_STATUS), "SENSOR DISCONNECTED!");
        expectSensorControlsDimmed(1);
        EXPECT_FALSE(QFile::exists(settingsPath()));
        if (button != d->discard) {
            EXPECT_EQ(lastLine(*d), "SENSOR DISCONNECTED!");
            for (const Dialog *any : both) EXPECT_EQ(dimmed(any->panel, any->accept), 1);
            continue;
        }
        for (auto [panel, control] : {std::pair{pConn, CONNECT_STATUS}, std::pair{pTSD, TSD_STATUS},
                                      std::pair{pTConn, TCONN_STATUS}})
            EXPECT_EQ(text(panel, control), "SENSOR DISCONNECTED!");
        const int closed[] = {value(pPA, PANEL_CONNECT), value(pTSD, TSD_TOG_CONNECT), shown(pConn),
                              shown(pTConn)};
        for (int toggleOrPanel : closed) EXPECT_EQ(toggleOrPanel, 0);
    }
}

// An address entered goes to the top of both dialogs' lists, without duplicates and ten at
// most, and dims ACCEPT until a connect; ACCEPT writes the dialog's settings and the list.
TEST_F(ConnDialog, RecentAddressesAndAcceptWritingTheSettings) {
    startSim();
    connect(desktop, Line::Tcp);
    for (int i = 10; i >= 1; --i)
        for (const Dialog *d : both)
            InsertListItem(d->panel, d->ipAddress, 0, ("10.0.0." + std::to_string(i)).c_str(), 0);
    for (auto [entered, last] :
         {std::pair{"10.0.0.3", "10.0.0.10"}, std::pair{"10.0.0.11", "10.0.0.9"},
          std::pair{"10.0.0.11", "10.0.0.9"}}) {
        SCOPED_TRACE(entered);
        auto *edit =
            qobject_cast<QComboBox *>(FindCtrl(pConn, CONNECT_IPADDRESS)->widget)->lineEdit();
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, entered);
        QTest::keyClick(edit, Qt::Key_Return);
        for (const Dialog *d : both) {
            int count = 0;
            GetNumListItems(d->panel, d->ipAddress, &count);
            EXPECT_EQ(count, 10);
            char first[64] = "", end[64] = "";
            GetLabelFromIndex(d->panel, d->ipAddress, 0, first, sizeof first);
            GetLabelFromIndex(d->panel, d->ipAddress, count - 1, end, sizeof end);
            EXPECT_EQ(std::string(first) + " " + end, std::string(entered) + " " + last);
            EXPECT_EQ(text(d->panel, d->ipAddress), entered) << "the entry keeps the entered text";
        }
        EXPECT_STREQ(szIPaddress, entered);
    }
    EXPECT_EQ(dimmed(pConn, CONNECT_ACCEPT), 1) << "an edited address";
    SetCtrlVal(pConn, CONNECT_IPADDRESS, "127.0.0.1");
    click(pConn, CONNECT_TRYCONNECT);
    SetCtrlVal(pConn, CONNECT_COMPORT, 3);
    SetCtrlVal(pConn, CONNECT_BAUDRATE, 2);
    click(pConn, CONNECT_ACCEPT);
    const AppSettings s = saved();
    EXPECT_EQ(std::tie(s.comtype, s.rs232port, s.rs232baudrate, s.hostName, s.portText),
              std::make_tuple(1, 3, 2, "127.0.0.1", std::to_string(sim.tcpPort())));
    std::vector<std::string> recent = {"10.0.0.11", "10.0.0.3", "10.0.0.1", "10.0.0.2"};
    for (int i = 4; i <= 9; ++i) recent.push_back("10.0.0." + std::to_string(i));
    EXPECT_EQ(s.recentAddresses, recent);
    EXPECT_STREQ(szIPaddress, "127.0.0.1");
    EXPECT_EQ(szIPportnum, std::to_string(sim.tcpPort()));
    // The touch dialog's ACCEPT stores its own speed.
    DisplayPanel(pTConn);
    SetCtrlVal(pTConn, TCONN_BAUDRATE, 1);
    click(pTConn, TCONN_ACCEPT);
    EXPECT_EQ(saved().rs232baudrate, 1);
}

TEST_F(ConnDialog, BaudRateChangeFollowsTheSensorOrKeepsTheOldSpeed) {
    startSim();
    connect(desktop, Line::Serial);
    ASSERT_EQ(lineSpeed(sim.ptyPath()), B115200);
    SetCtrlVal(pConn, CONNECT_BAUDRATE, 2);
    click(pConn, CONNECT_CHANGEBAUD);
    EXPECT_TRUE(status.has("Try to change baudrate...", ST_PA));
    EXPECT_EQ(text(pPA, PANEL_STATUS), "Baudrate-change OK!");
    EXPECT_EQ(std::make_pair(lineSpeed(sim.ptyPath()), rs232baudrate),
              std::make_pair(speed_t(B38400), 2));
    EXPECT_EQ(CheckComLine(), 1) << "the next exchange works at the new speed";
    // The port set to a speed the sensor does not listen at: the order is not heard.
    rs232baudrate = 4;
    ASSERT_EQ(InitRS232(kSimPort, 4), 1);
    SetCtrlVal(pConn, CONNECT_BAUDRATE, 1);
    click(pConn, CONNECT_CHANGEBAUD);
    EXPECT_EQ(text(pPA, PANEL_STATUS), "Timeout: changing RS-232-baudrate...");
    EXPECT_EQ(lastLine(desktop), "Timeout: changing RS-232-baudrate...");
    EXPECT_EQ(std::make_pair(lineSpeed(sim.ptyPath()), rs232baudrate),
              std::make_pair(speed_t(B115200), 4));
    EXPECT_EQ(value(pConn, CONNECT_BAUDRATE), 4) << "the ring shows the speed the line runs at";
}

TEST_F(ConnDialog, ALineThatVanishesIsReportedAndTheDialogStaysUsable) {
    for (Line line : {Line::Serial, Line::Tcp}) {
        SCOPED_TRACE(line == Line::Tcp ? "TCP" : "RS-232");
        int &linked = line == Line::Tcp ? tcp_con : rs232_con;
        startSim();
        connect(desktop, line);
        sim.stop();
        EXPECT_TRUE(waitFor([&] { return linked != 1; }));
        // The vanished pseudo-terminal's number may go to another test's simulator at once:
        // the port must name a device that stays gone.
        qputenv("KTAV_COM7", "/nonexistent/ttyVanished");
        click(pConn, CONNECT_DISCONNECT);
        EXPECT_EQ(text(pPA, PANEL_STATUS), "SENSOR DISCONNECTED!");
        click(pConn, CONNECT_TRYCONNECT);
        EXPECT_EQ(tcp_con, 0);
        EXPECT_LT(rs232_con, 1);
        const std::string now = text(pConn, CONNECT_STATUS);
        EXPECT_TRUE(now == SerialErrorText(rs232_con) || now.rfind("TCP ", 0) == 0) << now;
        EXPECT_EQ(dimmed(pConn, CONNECT_ACCEPT), 0);
        expectSensorControlsDimmed(1);
    }
}

// A pair lost while it was measured (the simulator stopped) comes back by itself, tried at once
// and then on the schedule, each attempt told on the status lines and in both boxes; meanwhile
// the sensor controls stay dimmed (STOP does not enable them), the strip charts and the address
// grey. The same pair resumes what ran; not another pair, nor a recording; with the settings key
// off nothing is tried.
TEST_F(ConnDialog, ALostPairComesBackByItself) {
    // The dialog, line, what runs (0: a desktop recording), the simulator that answers again and
    // what the status then says (nullptr: another pair).
    const std::tuple<const Dialog &, Line, int, QStringList, const char *> cases[] = {
        {desktop, Line::Tcp, PANEL_RUN, {}, "same pair, RUN resumed"},
        {touch, Line::Tcp, TSD_VIDEO, {}, "same pair, VIDEO resumed"},
        {desktop, Line::Serial, PANEL_RUN, {}, "same pair, RUN resumed"},
        {desktop, Line::Tcp, PANEL_RUN, {"--serial", "2024"}, nullptr},
        {desktop, Line::Tcp, 0, {}, "same pair"},
        {desktop, Line::Tcp, PANEL_RUN, {}, "off"},
    };
    SetFrameTap(tapWire);
    for (const auto &c : cases) {
        const auto &[d, line, button, again, says] = c;
        SCOPED_TRACE(testing::Message() << "row " << &c - cases);
        status.shown.clear();
        reconnect_flag = std::string_view(says ? says : "") != "off";
        startSim();
        const QStringList address = {"--tcp", QString("127.0.0.1:%1").arg(sim.tcpPort())};
        connect(d, line);
        SwitchSurface(&d == &touch);
        const int order = button == TSD_VIDEO ? ORD_VIDEO : ORD_RAW;
        wire.clear();
        wire.during = [this, order](bool request, int o, int n) {
            if (!request || o != order) return;
            if (n == 3) {  // its pseudo-terminal's number may go to another test's simulator
                sim.stop();
                qputenv("KTAV_COM7", "/nonexistent/ttyVanished");
            }
            if (n == 6) stop_flag = STOP_IDLE;  // back for a few cycles
        };
        std::snprintf(rec_fname, sizeof rec_fname, "%s", qPrintable(dir.filePath("R.DAT")));
        QFile::remove(rec_fname);
        SetCtrlVal(pRec, REC_INCTIME, 0.0);
        button ? press(d.mainPanel, button) : deliver(pRec, REC_START, EVENT_COMMIT);
        ASSERT_EQ(Reconnecting(), reconnect_flag == 1);
        if (!reconnect_flag) continue;
        press(d.mainPanel, &d == &desktop ? PANEL_STOP : TSD_STOP);
        expectSensorControlsDimmed(1);
        for (auto [panel, control] :
             {std::pair{pPA, PANEL_STRIPCHART}, {pTGraph, TGRAPH_STRIPCHART}, {pPA, PANEL_HOST}})
            EXPECT_EQ(dimmed(panel, control), 1) << control;
        // The first attempt, at once, finds no pair; the next, a second later, finds it.
        EXPECT_TRUE(
            waitFor([] { return status.has("Sensor lost: reconnecting \u2026, attempt 1"); }));
        const int sent = wire.sent(order);
        startSim(again + address);
        ASSERT_TRUE(waitFor([] { return !Reconnecting(); }));
        ProcessSystemEvents();  // a resumed loop runs here until its sixth request
        for (const Dialog *any : both)
            EXPECT_NE(text(any->panel, any->msgBox).find(", attempt 2\n"), std::string::npos);
        EXPECT_EQ(std::tuple(DeviceAccepted(), dimmed(pPA, PANEL_SEND), dimmed(pPA, PANEL_HOST)),
                  std::tuple(1, 0, 0));
        EXPECT_EQ(wire.sent(order) > sent, says && button) << wire.sent(order);
        EXPECT_TRUE(says ? status.has(std::string("Sensor reconnected: ") + says)
                         : lastLine(desktop) ==
                               "Another sensor pair (serial 2024): nothing resumed");
    }
    SetFrameTap(nullptr);
    SwitchSurface(false);
    reconnect_flag = 1;
}
