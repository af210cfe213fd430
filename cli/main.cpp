// k-tav-cli: talks to the sensor pair through the program's own link layer, without windows.
// Status texts go to standard error, data to standard output; exit status 0 only on success.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

#include "link/frame.h"
#include "link/status.h"
#include "link/transport.h"

namespace {

void printStatus(unsigned, const char *text) { std::fprintf(stderr, "%s\n", text); }

// Opens the transport named on the command line; false (with the reason shown) on failure.
bool openTransport(const QCommandLineParser &args)
{
    if (args.isSet("tcp")) {
        const QString spec = args.value("tcp");
        const QString host = spec.section(':', 0, 0);
        const QString port = spec.contains(':') ? spec.section(':', 1) : QString("10001");
        comtype = 1;
        std::snprintf(szIPhostName, sizeof szIPhostName, "%s", host.toUtf8().constData());
        std::snprintf(szPortNum, sizeof szPortNum, "%s", port.toUtf8().constData());
        tcp_portnum = PortNumberOfText(szPortNum);
        return InitTCP_IP() == 1;
    }
    comtype = 0;
    rs232port = args.value("com").toInt();
    rs232baudrate = args.isSet("baud") ? args.value("baud").toInt() : 4;
    rs232_con = InitRS232(rs232port, rs232baudrate);
    return rs232_con == 1;
}

void closeTransport()
{
    if (tcp_con > 0) CloseTCP();
    if (comtype == 0) CloseRS232();
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("k-tav-cli");
    SetLinkView({printStatus, nullptr, nullptr});

    QCommandLineParser args;
    args.setApplicationDescription(
        "Talks to the K-TAV-PX master/slave sensor pair without windows.\n\n"
        "Commands:\n"
        "  line-test   sends the echo request and reports whether the line works");
    args.addHelpOption();
    args.addOptions({
        {"tcp", "Connect over TCP to HOST[:PORT] (port 10001 when omitted).", "HOST[:PORT]"},
        {"com", "Connect over RS-232 port number N (device: $KTAV_COM<N>, else /dev/ttyS<N-1>).",
         "N"},
        {"baud", "Baud-rate index 0..4 of the RS-232 line (9600..115200; default 4).", "INDEX"},
    });
    args.addPositionalArgument("command", "line-test");
    args.process(app);

    const QStringList commands = args.positionalArguments();
    if (commands.size() != 1 || commands[0] != "line-test") {
        std::fprintf(stderr, "k-tav-cli: unknown or missing command (see --help)\n");
        return 64;
    }
    if (args.isSet("tcp") == args.isSet("com")) {
        std::fprintf(stderr, "k-tav-cli: give exactly one of --tcp and --com\n");
        return 64;
    }
    if (!openTransport(args)) return 1;
    const int ok = CheckComLine();
    closeTransport();
    return ok == 1 ? 0 : 1;
}
