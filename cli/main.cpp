// k-tav-cli: talks to the sensor pair through the program's own link, parameter and file code,
// without windows. Status texts go to standard error, data to standard output; exit status 0
// only on success.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <array>
#include <csignal>
#include <cstdio>
#include <memory>

#include "cliargs.h"
#include "commands.h"
#include "connection.h"
#include "console.h"
#include "core/system/timing.h"

namespace {

// How a command reaches what it works on.
enum class Needs {
    Link,    // the sensor pair: the transport opens first
    None,    // nothing: the system's ports
    File,    // a recorder file named after the command
    Own,     // the sensor pair, through a transport the command opens (and reopens) itself
    Change,  // the sensor pair, to change it: the audit log must take the change first, and the
             // pair is named (firmware text, hardware record) before the command runs
};

// A command, the options it accepts beyond the common ones, an optional check before the
// transport opens and the command itself.
struct Command {
    const char *name;
    QStringList options;
    int (*check)(const QCommandLineParser &);
    int (*run)(const QCommandLineParser &);
    Needs needs = Needs::Link;
    QStringList modes = {};  // the words one of which must follow the command's name, if any
};

const std::array<Command, 19> kCommands = {{
    {"identify", {"json"}, nullptr, CmdIdentify},
    {"get", {"target", "out", "force", "json"}, CheckGetOutput, CmdGet},
    {"send", {"target", "in"}, CheckSendInput, CmdSend, Needs::Change},
    {"run", {"count", "interval", "json"}, nullptr, CmdRun},
    {"video", {"json"}, nullptr, CmdVideo},
    {"record",
     {"out", "interval", "count", "trigger", "reconnect", "json"},
     CheckRecordOutput,
     CmdRecord,
     Needs::Own},
    {"teach", {}, nullptr, CmdTeach, Needs::Change},
    {"reset", {}, nullptr, CmdReset, Needs::Change},
    {"calib-read", {"json"}, nullptr, CmdCalibRead},
    {"calib-write",
     {"file", "sensor", "header", "table"},
     CheckCalibWrite,
     CmdCalibWrite,
     Needs::Change},
    {"linearize", {}, nullptr, CmdLinearize, Needs::Change, {"off", "master", "slave"}},
    {"line-test", {}, nullptr, CmdLineTest},
    {"ports", {}, nullptr, CmdPorts, Needs::None},
    {"audit", {"verify", "serial", "since", "json"}, nullptr, CmdAudit, Needs::None},
    {"publish",
     {"mqtt", "topic", "qos", "every", "rate", "user", "password-file", "tls-ca"},
     nullptr,
     CmdPublish,
     Needs::Own},
    {"stats", {"upper", "lower", "setpoint"}, nullptr, CmdStats, Needs::File},
    {"plot",
     {"upper", "lower", "setpoint", "out", "force", "width", "height", "chart", "subgroup",
      "column"},
     nullptr,
     CmdPlot,
     Needs::File},
    {"capability",
     {"lower", "upper", "setpoint", "tol-upper", "tol-lower", "column", "subgroup", "json", "pdf",
      "force"},
     nullptr,
     CmdCapability,
     Needs::File},
    {"gauge-study",
     {"reference", "tolerance", "count", "interval", "from", "column", "resolution", "json",
      "chart", "pdf", "force"},
     nullptr,
     CmdGaugeStudy,
     Needs::Own},
}};

const Command *commandNamed(const QString &name) {
    for (const Command &command : kCommands)
        if (name == QLatin1String(command.name)) return &command;
    return nullptr;
}

int runCommand(const Command &command, const QCommandLineParser &args) {
    if (command.check)
        if (const int status = command.check(args); status != EXIT_OK) return status;
    const bool changes = command.needs == Needs::Change;
    if (changes)
        if (const int status = CheckAuditLog(args); status != EXIT_OK) return status;
    if (command.needs != Needs::Link && !changes) return command.run(args);
    QString problem;
    if (const int status = OpenConnection(args, problem); status != EXIT_OK)
        return Fail(status, problem);
    int status = changes ? ReadPairIdentity() : EXIT_OK;
    if (status == EXIT_OK) status = command.run(args);
    CloseConnection();
    return status;
}

// The application object. plot, and capability and gauge-study with a picture or report, draw
// text, which takes Qt Gui's fonts: the plot module makes the application object. Every other
// command needs Qt Core only.
std::unique_ptr<QCoreApplication> makeApplication(int &argc, char **argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser peek;
    DeclareOptions(peek);
    const QString command = peek.parse(arguments) ? peek.positionalArguments().value(0) : "";
    const bool draws = command == "plot" || (command == "capability" && peek.isSet("pdf")) ||
                       (command == "gauge-study" && (peek.isSet("pdf") || peek.isSet("chart")));
    if (!draws) return std::make_unique<QCoreApplication>(argc, argv);
    return MakePlotApplication(argc, argv);
}

}  // namespace

int main(int argc, char **argv) {
    KeepSevereMessagesOnly();
    // A file size limit (ulimit -f) then fails the write that passes it with EFBIG, as a full
    // disk fails it, instead of killing the tool: the file ends in a whole line, the cause named.
    std::signal(SIGXFSZ, SIG_IGN);
    SelectEventDispatcher();
    const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv);
    QCoreApplication::setApplicationName("k-tav-cli");
    QCoreApplication::setApplicationVersion(KTAV_VERSION);

    QCommandLineParser args;
    DeclareOptions(args);
    if (!args.parse(QCoreApplication::arguments())) return Fail(EXIT_USAGE, args.errorText());
    if (args.isSet("help") || args.isSet("help-all")) {
        std::fputs(qPrintable(args.helpText()), stdout);
        return EXIT_OK;
    }
    if (args.isSet("version")) {
        std::printf("k-tav-cli %s\n", KTAV_VERSION);
        return EXIT_OK;
    }
    const QStringList words = args.positionalArguments();
    if (words.isEmpty()) return Fail(EXIT_USAGE, "no command given (see --help)");
    const Command *command = commandNamed(words[0]);
    if (!command) return Fail(EXIT_USAGE, "unknown command '" + words[0] + "' (see --help)");
    if (!command->modes.isEmpty() &&
        (words.size() != 2 || !command->modes.contains(words[1].toLower())))
        return Fail(EXIT_USAGE, words[0] + " needs one of: " + command->modes.join(", "));
    const qsizetype wordsWanted =
        command->needs == Needs::File || !command->modes.isEmpty() ? 2 : 1;
    if (words.size() < wordsWanted) return Fail(EXIT_USAGE, words[0] + " needs a FILE");
    if (words.size() > wordsWanted)
        return Fail(EXIT_USAGE, "one command only, not '" + words.join(' ') + "'");
    if (const QString problem = OptionProblem(args, words[0], command->options); !problem.isEmpty())
        return Fail(EXIT_USAGE, problem);
    InstallConsole(args.isSet("verbose"));
    ConfigureAuditLog(args);
    return runCommand(*command, args);
}
