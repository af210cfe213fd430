// k-tav-cli end to end against the simulator over TCP and the pseudo-terminal: exit statuses,
// standard output, the frames on the wire, and bad input that reaches the sensor not at all.
#include <netdb.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTime>
#include <csignal>

#include "core/link/sensorwatch.h"
#include "core/audit/auditlog.h"
#include "core/audit/audittrail.h"
#include "core/params/appsettings.h"
#include "core/params/paramblock.h"
#include "core/params/transfer.h"
#include "gui/app/shell.h"
#include "plot_chart.h"
#include "recfile_bytes.h"
#include "sim_flash.h"
#include "spc_chart.h"
#include "support.h"

namespace {

enum class Line { Tcp, Serial, None };

// A run of the tool: exit status (-1: still running after 30 s, -2: crashed), output, error.
struct CliResult {
    int exitCode = -1;
    QByteArray out;
    QString err;

    QStringList outLines() const { return QString(out).split('\n', Qt::SkipEmptyParts); }
    // The tool's last line on standard error: a coverage build's runtime may add its own behind
    // it as the tool ends ("libgcov profiling error: ...", "profiling: ...").
    QString lastErrLine() const {
        QStringList lines = err.trimmed().split('\n');
        while (lines.size() > 1 &&
               lines.last().contains(QRegularExpression("^(libgcov )?profiling")))
            lines.removeLast();
        return lines.last();
    }
    // The objects of --json, one a line (an empty one for a line that is no JSON object).
    QList<QJsonObject> jsonLines() const {
        QList<QJsonObject> objects;
        for (const QByteArray &line : out.split('\n'))
            if (!line.isEmpty()) objects << QJsonDocument::fromJson(line).object();
        return objects;
    }
};

// The value at a path such as "master/calibration/rangeUm", as text.
QString jsonAt(QJsonObject object, const QString &path) {
    const QStringList keys = path.split('/');
    for (qsizetype i = 0; i + 1 < keys.size(); ++i) object = object.value(keys[i]).toObject();
    return object.value(keys.last()).toVariant().toString();
}

// The connection options for `sim` over `line`: TCP, or its pseudo-terminal as COM port 7.
QStringList over(const SimProcess &sim, Line line) {
    if (line == Line::None) return {};
    if (line == Line::Tcp) return {"--tcp", QString("127.0.0.1:%1").arg(sim.tcpPort())};
    qputenv("KTAV_COM7", QByteArray::fromStdString(sim.ptyPath()));
    return {"--com", "7"};
}

// Starts `program` with `args`, ending with the test; `more` runs in the child first.
void start(QProcess &proc, const QStringList &args, const QString &program = KTAV_CLI_PATH,
           const std::function<void()> &more = {}) {
    endWithTest(proc, more);
    proc.start(program, args);
}

CliResult finish(QProcess &proc) {
    if (!proc.waitForFinished(30000)) return {};  // killed when `proc` goes
    return {proc.exitStatus() == QProcess::NormalExit ? proc.exitCode() : -2,
            proc.readAllStandardOutput(), QString::fromLocal8Bit(proc.readAllStandardError())};
}

CliResult run(const QStringList &args, const QString &program = KTAV_CLI_PATH,
              const std::function<void()> &more = {}) {
    QProcess proc;
    start(proc, args, program, more);
    return finish(proc);
}

CliResult run(const SimProcess &sim, const QStringList &args, Line line = Line::Tcp) {
    return run(over(sim, line) + args);
}

// Runs the tool, reads its merged output by line until `enough` says so, it ends or 30 s pass
// (the serial line is slow), then sends it `signal`. What it printed after is all in `out`.
CliResult interrupted(const QStringList &args,
                      const std::function<bool(const QByteArray &line)> &enough,
                      int signal = SIGINT) {
    QProcess proc;
    proc.setProcessChannelMode(QProcess::MergedChannels);
    start(proc, args);
    bool met = false;
    const double deadline = Timer() + 30.0;
    while (!met && Timer() < deadline && proc.waitForStarted(10000) &&
           proc.state() == QProcess::Running) {
        proc.waitForReadyRead(200);
        while (!met && proc.canReadLine()) met = enough(proc.readLine());
    }
    signalChild(proc, signal);
    EXPECT_TRUE(met) << args.join(' ').toStdString();
    return finish(proc);
}

// Replaces the value of each key in its section of a parameter file text.
QByteArray withValues(QByteArray text,
                      std::initializer_list<std::tuple<const char *, const char *, int>> values) {
    for (const auto &[section, key, value] : values) {
        const qsizetype at = text.indexOf(QByteArray("[") + section + "]");
        const qsizetype keyAt = text.indexOf(QByteArray("\n") + key + " = ", at) + 1;
        const qsizetype end = text.indexOf('\r', keyAt);
        EXPECT_TRUE(at >= 0 && keyAt > at && end > keyAt) << section << " " << key;
        text.replace(keyAt, end - keyAt, QByteArray(key) + " = " + QByteArray::number(value));
    }
    return text;
}

// The data of the first frame `way` ('>' sent, '<' received) of `order` for parameter set `set`.
QByteArray frameData(const QString &err, char way, const char *order, int set) {
    const QString prefix = QString("%1 55 %2 0%3").arg(way).arg(order).arg(set);
    for (const QString &line : err.split('\n'))
        if (line.startsWith(prefix)) return QByteArray::fromHex(line.mid(2).toLatin1()).mid(8);
    return {};
}

// A calibration file for the MASTER whose values differ from the simulator's own table.
QString writeMasterCalibFile(const QTemporaryDir &dir) {
    return writeCalibFile(dir.filePath("master.dat"), 610409, 12000, 40000, masterValues);
}

// A simulator started without options (a test may start it again with its own), and a folder.
class CliOnSim : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(sim.start()); }
    SimProcess sim;
    QTemporaryDir dir;
};

}  // namespace

// Every exit status, what the tool prints with it, and what reaches the sensor: no row sends a
// parameter set; input refused (64 and up) prints no output and sends no frame at all.
TEST_F(CliOnSim, ExitStatusesTellWhatHappened) {
    QTemporaryDir settings, empty;
    const QString para = writeFile(dir.filePath("K-TAV-PARA.ini"), "[PARA1]\r\nPower = 300\r\n");
    const QString broken = writeFile(dir.filePath("broken.dat"), "[HEADER]\nTYPE 610409\n");
    const QString noParameter = writeFile(dir.filePath("other.ini"), "[PARA1]\r\nPower = x\r\n");
    const QStringList writeTable = {"calib-write", "--file", writeMasterCalibFile(dir),
                                    "--sensor",    "master", "--table"};
    const QByteArray recorded =
        RecFixtureBytes({.setpoint = 0, .samples = RecFixtureAcrossMidnight().samples});
    const QString recording = writeFile(dir.filePath("RECORD.DAT"), recorded);
    const QString damaged =
        writeFile(dir.filePath("DAMAGED.DAT"), QByteArray(recorded).replace("\t10180\t", "\t1O\t"));
    const QString cut = writeFile(dir.filePath("CUT.DAT"), recorded.chopped(5));  // a power cut
    const QString picture = writeFile(dir.filePath("old.png"), "old"), png = dir.filePath("p.png");
    RecFixture oneSample = RecFixtureAcrossMidnight();
    oneSample.samples.resize(1);
    const QString one = writeFile(dir.filePath("ONE.DAT"), RecFixtureBytes(oneSample));
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString alone = dir.filePath("k-tav-cli");  // a tool without its drawing module
    ASSERT_TRUE(QFile::copy(KTAV_CLI_PATH, alone));
    const QString fresh = dir.filePath("NEW.DAT"), noIni = empty.filePath("PX-MS-Vista.ini");
    const QString longDir = dir.path() + "/" + QString(247 - dir.path().size() - 1, 'd');
    const QStringList publish = {"publish", "--mqtt", "127.0.0.1", "--topic", "head"},
                      password = publish + QStringList{"--user", "u", "--password-file"},
                      page4 = {"--fail-flash-page", "4"};
    const QString longPassword = writeFile(dir.filePath("long.pw"), QByteArray(4097, 'p'));
    const QString garbageCa = writeFile(dir.filePath("ca.pem"), "no certificate\n");
    // A log whose folder is a file, and one whose line 3 was removed.
    const QString blocked = writeFile(dir.filePath("folder"), "") + "/audit.jsonl";
    const QString tampered = dir.filePath("tampered.jsonl");
    for (int n = 1; n <= 4; ++n) AppendAuditLine(tampered, {{"time", AuditTimeNow()}, {"n", n}});
    QList<QByteArray> kept = fileLines(tampered);
    kept.removeAt(2);
    writeFile(tampered, kept.join('\n') + '\n');
    const char *refusedFirmware = R"("firmwareNumber":409,"message":"Please use K-TAV-PX-MS-)"
                                  R"(Vista V.4.0x !","refused":"firmware number")";
    struct Case {
        QStringList simOptions, args;
        int exitCode;
        QString says;             // in what the tool printed
        Line line = Line::Tcp;    // None: the connection of the command line or settings file
        QStringList before = {};  // run first against the same simulator
        QString program = KTAV_CLI_PATH;
    };
    const Case cases[] = {
        {{}, {"identify"}, 0, "Serial number:\t1001\nFirmware number:\t421"},
        {{}, {"identify"}, 0, "Model:\tSLAVE: PX-M2", Line::Serial},
        {{}, {"--dir", settings.path(), "line-test"}, 0, "> 55 05 00 00 00 00 AA 3C", Line::None},
        {{}, {"linearize", "slave"}, 0, "> 55 13 02 00"},
        {{}, {"--no-audit", "reset"}, 0, "RESET analog/digital output ... -> Ok! [audit log off]"},
        {{}, {"--version"}, 0, "k-tav-cli " KTAV_VERSION "\n", Line::None},
        {{}, {"--tcp", "127.0.0.1:1", "identify"}, 1, "cannot connect", Line::None},
        {{}, {"--dir", settings.path(), "--tcp", "127.0.0.1:1", "line-test"}, 1, ":1", Line::None},
        {{}, {"--com", "/dev/ttyNONE9", "line-test"}, 1, "No serial port found", Line::None},
        {{"--error-reply", "2=0"}, {"send", "--in", para}, 1, "nothing sent"},  // no sets read
        {{"--drop-every", "1"}, {"send", "--in", para}, 1, "hardware record"},
        {page4, writeTable, 1, "page 3 of 8 failed at 0x1400"},
        {{"--fw-version", "430"}, {"identify"}, 2, "Incompatible or newer firmware detected!"},
        {{},
         {"--audit", tampered, "audit", "--verify"},
         6,
         tampered + ":3: chain broken: does not"},
        {{"--fw-version", "409"}, {"identify", "--json"}, 2, refusedFirmware},
        {{"--fw-text", "OTHER.V1"}, {"identify", "--json"}, 2, R"("refused":"other series")"},
        {page4, {"calib-read"}, 3, "MASTER calibration table incomplete", Line::Tcp, writeTable},
        {{"--error-reply", "184=0"}, writeTable, 4, "was written, but not verified"},
        {{"--corrupt-flash-page", "6"}, writeTable, 5, "reads back different"},
        {{}, {"fly"}, 64, "'fly'"},
        {{}, {"get", "--speed", "3"}, 64, "speed"},
        {{}, {"get", "--count", "3"}, 64, "--count"},  // an option of another command
        {{}, {"get", "--target", "flash"}, 64, "'flash'"},
        {{}, {"send"}, 64, "--in"},
        {{}, {"linearize", "sideways"}, 64, "off, master, slave"},
        {{},
         {"--dir", longDir, "line-test"},
         64,
         "--dir: a path too long for the program's "
         "files: " +
             longDir,
         Line::None},
        {{}, {"--audit", blocked, "--no-audit", "reset"}, 64, "--audit and --no-audit"},
        {{}, {"audit", "--since", "yesterday"}, 64, "'yesterday'"},
        {{}, {"audit", "--verify", "--serial", "1001"}, 64, "--verify checks the whole chain"},
        {{}, {"calib-write", "--file", broken, "--table"}, 64, "--sensor"},
        {{}, {"calib-write", "--file", broken, "--sensor", "slave"}, 64, "--header"},
        // What the reader of recordings would refuse in the header, or would never end.
        {{}, {"record", "--out", fresh, "--count", "32001"}, 64, "--count"},
        {{}, {"record", "--out", fresh, "--interval", "-1"}, 64, "'-1'"},
        {{}, {"record", "--out", fresh, "--interval", "inf"}, 64, "'inf'"},
        {{}, {"record", "--out", fresh, "--trigger", "--reconnect"}, 64, "--reconnect"},
        {{}, {"publish", "--topic", "head"}, 64, "--mqtt"},
        {{}, {"publish", "--mqtt", "127.0.0.1:0", "--topic", "head"}, 64, "'127.0.0.1:0'"},
        {{}, {"publish", "--mqtt", "127.0.0.1", "--topic", "head/#"}, 64, "'head/#'"},
        {{}, publish + QStringList{"--qos", "2"}, 64, "'2'"},
        {{}, publish + QStringList{"--every", "2", "--rate", "5"}, 64, "--every and --rate"},
        {{}, {"stats", recording, "--upper", "0.1"}, 64, "--setpoint"},
        {{}, {"plot", recording}, 64, "--out"},
        {{}, {"capability", recording, "--column", "XY"}, 64, "'XY'"},
        {{}, {"capability", recording, "--subgroup", "11"}, 64, "'11'"},
        {{}, {"capability", recording, "--lower", "1", "--tol-upper", "1"}, 64, "either"},
        {{}, {"capability", recording, "--lower", "2", "--upper", "1"}, 64, "below --upper"},
        {{}, {"capability", recording, "--tol-upper", "0.1"}, 64, "--setpoint"},
        {{}, {"plot", recording, "--out", png, "--chart", "pie"}, 64, "'pie'"},
        {{}, {"plot", recording, "--out", png, "--chart", "imr", "--subgroup", "3"}, 64, "imr"},
        {{}, {"gauge-study", "--tolerance", "0.1"}, 64, "--reference"},
        {{}, {"gauge-study", "--reference", "50", "--tolerance", "0"}, 64, "--tolerance"},
        {{}, {"gauge-study", "--reference", "50", "--tolerance", "1", "--count", "1"}, 64, "2"},
        {{}, {"send", "--in", noParameter}, 65, "holds no parameter"},
        {{}, {"stats", damaged}, 65, damaged + ":13:"},
        {{}, {"capability", damaged}, 65, damaged + ":13:"},
        {{}, {"plot", one, "--out", png, "--chart", "xbar-r"}, 65, "no complete subgroup"},
        {{}, {"send", "--in", "/nonexistent/K-TAV-PARA.ini"}, 66, "/nonexistent/K-TAV-PARA.ini"},
        {{}, {"send", "--in", dir.path()}, 66, "not a file"},
        {{}, {"calib-write", "--file", broken, "--sensor", "slave", "--table"}, 66, "no valid"},
        {{}, {"--dir", empty.path(), "line-test"}, 66, noIni, Line::None},
        {{}, password + QStringList{"/nonexistent/pw"}, 66, "/pw"},
        // Refused before anything else, never read without end, never waited for.
        {{}, password + QStringList{"/dev/zero"}, 66, "/dev/zero is not a regular file"},
        {{}, password + QStringList{fifo}, 66, "fifo is not a regular file"},
        {{}, password + QStringList{longPassword}, 66, "longer than 4096 bytes"},
        {{}, publish + QStringList{"--tls-ca", garbageCa}, 66, garbageCa + " as the broker's CA"},
        {{}, {"stats", cut}, 0, cut + ":14: the last line is cut off"},
        {{}, {"stats", dir.filePath("none.dat")}, 66, "none.dat"},
        {{}, {"--audit", dir.filePath("none.jsonl"), "audit"}, 66, "none.jsonl"},
        {{}, {"stats", dir.path()}, 66, dir.path()},
        {{}, {"plot", fifo, "--out", png}, 66, "fifo"},  // it would wait for a writer
        {{}, {"plot", recording, "--out", png}, 69, "plot", Line::Tcp, {}, alone},
        {{}, {"get", "--out", para}, 73, "--force"},
        {{}, {"--audit", blocked, "send", "--in", para}, 73, blocked + " cannot be written: Not a"},
        {{},
         {"--audit", blocked, "calib-write", "--file", writeTable[2], "--sensor", "master",
          "--table"},
         73,
         "nothing sent"},
        {{}, {"record", "--out", para, "--count", "3"}, 73, para},
        {{}, {"plot", recording, "--out", "/nonexistent/p.png"}, 73, "/nonexistent"},
        {{}, {"plot", recording, "--out", recording, "--force"}, 73, recording},
        {{}, {"plot", recording, "--out", picture}, 73, "--force"},
        {{}, {"capability", recording, "--pdf", picture}, 73, "--force"},
        {{},
         {"gauge-study", "--reference", "5", "--tolerance", "1", "--chart", picture},
         73,
         "--force"},
    };
    for (const Case &c : cases) {
        const std::string what = (c.simOptions + c.args).join(' ').toStdString();
        DataHome home;  // records of unfinished table writes, for this row alone
        ASSERT_TRUE(sim.start(c.simOptions)) << what;
        const QByteArray ini = QFile::encodeName(settings.filePath("PX-MS-Vista.ini"));
        ASSERT_EQ(WriteAppSettings(ini.constData(), sim.tcpSettings()), 0);
        if (!c.before.isEmpty()) run(sim, c.before);
        const CliResult r = run(over(sim, c.line) << "--verbose" << c.args, c.program);
        const QByteArray printed = r.out + r.err.toLocal8Bit();
        EXPECT_EQ(r.exitCode, c.exitCode) << what << "\n" << r.err.toStdString();
        EXPECT_TRUE(printed.contains(c.says.toLocal8Bit())) << what << "\n" << printed.data();
        EXPECT_FALSE(r.err.contains("> 55 01 ") || r.err.contains("> 55 03 ")) << what;
        if (c.exitCode == 0) continue;
        EXPECT_TRUE(r.lastErrLine().startsWith("k-tav-cli: ")) << what << r.err.toStdString();
        if (c.exitCode < 64) continue;
        EXPECT_TRUE(r.out.isEmpty()) << what;
        EXPECT_FALSE(r.err.contains("> 55 ")) << what << ": nothing sent";
    }
    EXPECT_EQ(fileBytes(recording), recorded);
    EXPECT_EQ(fileBytes(picture), "old");
    EXPECT_EQ(fileBytes(para), "[PARA1]\r\nPower = 300\r\n");
    EXPECT_FALSE(QFile::exists(fresh) || QFile::exists(png));
}

// Not a test of its own: the writer that WritersAtOnceAndAKilledOneLeaveTheChainValid starts as a
// process of its own, appending to the audit log KTAV_AUDIT_WRITER until it is killed.
TEST(AuditWriter, AppendsUntilKilled) {
    const QString log = qEnvironmentVariable("KTAV_AUDIT_WRITER");
    if (log.isEmpty()) GTEST_SKIP() << "a writer of WritersAtOnceAndAKilledOneLeaveTheChainValid";
    for (int n = 0;; ++n) ASSERT_EQ(AppendAuditLine(log, {{"time", AuditTimeNow()}, {"n", n}}), "");
}

// Two writers of the program's core, the tool and this process write one audit log at once:
// every line whole and in the chain, the tool's among them. Writers killed while they write
// leave the chain valid, and the next line follows it.
TEST_F(CliOnSim, WritersAtOnceAndAKilledOneLeaveTheChainValid) {
    const QString log = dir.filePath("audit.jsonl");
    QProcess writers[2];
    for (QProcess &writer : writers) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("KTAV_AUDIT_WRITER", log);
        writer.setProcessEnvironment(env);
        start(writer, {"--gtest_filter=AuditWriter.*"}, QCoreApplication::applicationFilePath());
    }
    ASSERT_TRUE(waitFor([&] { return fileLines(log).size() > 50; }));
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(run(sim, {"--audit", log, "reset"}).exitCode, 0);
        ASSERT_EQ(AppendAuditLine(log, {{"time", AuditTimeNow()}, {"program", n}}), "");
    }
    for (QProcess &writer : writers) {
        signalChild(writer, SIGKILL);
        writer.waitForFinished();
    }
    ASSERT_EQ(AppendAuditLine(log, {{"time", AuditTimeNow()}}), "");
    const AuditCheck check = VerifyAuditLog(log);
    EXPECT_EQ(std::tuple(check.broken, check.cutShort), std::tuple(0, false))
        << check.why.toStdString();
    EXPECT_EQ(fileBytes(log).count("\"tool\":\"k-tav-cli\""), 3);
}

// A log on a read-only folder stops a change before any frame reaches the sensor, naming the log
// and the cause; run as an unprivileged user, whom permissions bind, where the test runs as root.
TEST_F(CliOnSim, ALogOnAReadOnlyFolderStopsTheChangeBeforeAnyFrame) {
    ASSERT_TRUE(sim.start({"--verbose"}, true));
    QTemporaryDir shared("/tmp/ka-XXXXXX");
    const QString folder = shared.filePath("quality"), log = folder + "/audit.jsonl";
    ASSERT_TRUE(QDir().mkdir(folder));
    ASSERT_EQ(chmod(QFile::encodeName(shared.path()).constData(), 0755), 0);
    ASSERT_EQ(chmod(QFile::encodeName(folder).constData(), 0555), 0);
    const QString para = writeFile(shared.filePath("para.ini"), "[PARA1]\r\nPower = 300\r\n");
    QStringList command = {KTAV_CLI_PATH, "--verbose", "--audit", log, "send", "--in", para};
    if (geteuid() == 0)
        command =
            QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"} + command;
    QProcess proc;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", shared.path());
    proc.setProcessEnvironment(env);
    start(proc, command.mid(1) + over(sim, Line::Tcp), command[0]);
    const CliResult r = finish(proc);
    EXPECT_EQ(r.exitCode, 73);
    EXPECT_EQ(r.lastErrLine(), "k-tav-cli: the audit log " + log +
                                   " cannot be written: Permission denied; nothing sent");
    sim.stop();
    EXPECT_FALSE(sim.log().contains(" <- ")) << "no request reached the sensor";
    EXPECT_FALSE(QFile::exists(log));
}

// get, edit three fields, send, get again: exactly the edited fields changed, in the target
// memory that was named; the bytes a parameter file does not store go back as they came.
TEST_F(CliOnSim, GetEditSendChangesExactlyTheEditedFields) {
    // Bytes of each set that a parameter file does not store: {set, offset, length}.
    const int unstored[][3] = {{0, 2, 2},  {0, 18, 2}, {1, 4, 2},  {1, 14, 4},
                               {1, 24, 8}, {2, 4, 2},  {2, 14, 4}, {2, 24, 8}};
    // The line, the target and the other memory, the orders of GET and SEND of the target.
    for (const auto &[line, target, other, getOrder, sendOrder] :
         {std::tuple(Line::Tcp, "ram", "eeprom", "02", "01"),
          {Line::Serial, "eeprom", "ram", "04", "03"}}) {
        const QString path = dir.filePath(QString(target) + ".ini");
        const QJsonObject before =
            run(sim, {"get", "--target", target, "--json"}, line).jsonLines().value(0);
        ASSERT_EQ(run(sim, {"get", "--target", target, "--out", path}, line).exitCode, 0);
        const QByteArray otherSets = run(sim, {"get", "--target", other}, line).out;
        writeFile(path, withValues(fileBytes(path), {{"PARA0", "um-Setpoint", 12345},
                                                     {"PARA1", "Power", 321},
                                                     {"PARA2", "Video-Threshold", 77}}));
        const CliResult sent =
            run(sim, {"--verbose", "send", "--in", path, "--target", target}, line);
        EXPECT_EQ(sent.exitCode, 0) << sent.err.toStdString();
        for (const auto &[set, offset, length] : unstored) {
            const QByteArray got = frameData(sent.err, '<', getOrder, set);
            ASSERT_EQ(got.size(), 32) << set;
            EXPECT_EQ(frameData(sent.err, '>', sendOrder, set).mid(offset, length),
                      got.mid(offset, length))
                << set << "+" << offset;
        }
        // One line in the audit log: the three edited fields with the sensor's values before.
        const QJsonObject audited =
            QJsonDocument::fromJson(fileLines(DefaultAuditLogPath()).last()).object();
        EXPECT_EQ(jsonAt(audited, "target"), QString(target).toUpper());
        const QJsonArray changes = audited["changes"].toArray();
        ASSERT_EQ(changes.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const auto [key, value] =
                std::array{std::pair("general/setpointUm", 12345), std::pair("master/power", 321),
                           std::pair("slave/videoThreshold", 77)}[i];
            const QJsonObject change = changes[i].toObject();
            EXPECT_EQ(change["set"].toString() + "/" + change["field"].toString(), key);
            EXPECT_EQ(change["old"].toVariant().toString(), jsonAt(before, key)) << key;
            EXPECT_EQ(change["new"].toInt(), value) << key;
        }
        EXPECT_EQ(run(sim, {"get", "--target", target}, line).out, fileBytes(path));
        const QJsonObject sets =
            run(sim, {"get", "--target", target, "--json"}, line).jsonLines().value(0);
        for (const auto &[key, value] :
             {std::pair("general/setpointUm", "12345"), std::pair("master/power", "321"),
              std::pair("slave/videoThreshold", "77")})
            EXPECT_EQ(jsonAt(sets, key), value) << key;
        EXPECT_NE(jsonAt(sets, "slave/power"), "321");
        EXPECT_NE(jsonAt(sets, "master/videoThreshold"), "77");
        EXPECT_EQ(run(sim, {"get", "--target", other}, line).out, otherSets);
    }
}

// The data commands' lines and fields (tabbed, or --json's) over either line; run goes on until
// interrupted, and its --json tells the distances also in mm and where the value lies against the
// thresholds of the parameter sets in RAM (set-point mode, unequal tolerances).
TEST_F(CliOnSim, DataCommandsPrintTheirLines) {
    for (Line line : {Line::Tcp, Line::Serial}) {
        using Row = std::tuple<QStringList, int, int>;  // the command, its lines and fields
        for (const auto &[args, lines, fields] :
             {Row({"run", "--count", "5"}, 5, 9), Row({"video"}, 128, 3),
              Row({"calib-read"}, 13, 3), Row({"teach"}, 4, 2), Row({"reset"}, 0, 0),
              Row({"line-test"}, 0, 0), Row({"run", "--count", "5", "--json"}, 5, 13),
              Row({"video", "--json"}, 1, 4), Row({"calib-read", "--json"}, 1, 2)}) {
            const std::string what = args.join(' ').toStdString();
            const CliResult r = run(sim, args, line);
            EXPECT_EQ(r.exitCode, 0) << what << "\n" << r.err.toStdString();
            EXPECT_EQ(r.outLines().size(), lines) << what;
            for (const QString &l : r.outLines()) {
                const QJsonObject o = QJsonDocument::fromJson(l.toLatin1()).object();
                EXPECT_EQ(args.contains("--json") ? o.size() : l.split('\t').size(), fields)
                    << what;
            }
        }
    }
    EXPECT_EQ(run(sim, {"video"}).outLines().value(1).section('\t', 0, 0), "64");  // 8192 / 128
    const QJsonObject profiles = run(sim, {"video", "--json"}).jsonLines().value(0);
    EXPECT_EQ(profiles.value("x").toArray().at(1).toInt(), 64);
    EXPECT_EQ(profiles.value("master").toArray().size(), 128);
    EXPECT_NE(profiles.value("master"), profiles.value("slave"));
    const CliResult endless = interrupted(
        over(sim, Line::Tcp) + QStringList{"run", "--interval", "0.05"},
        [n = 0](const QByteArray &line) mutable { return (n += line.count('\t') == 8) == 2; });
    EXPECT_EQ(endless.exitCode, 0);
    // Two models of other ranges: each side's value is the one its sensor sent.
    ASSERT_TRUE(sim.start({"--master-type", "610409", "--slave-type", "610412"}));
    const QString path = dir.filePath("para.ini");
    ASSERT_EQ(run(sim, {"get", "--target", "ram", "--out", path}).exitCode, 0);
    const QByteArray text = withValues(fileBytes(path), {{"PARA0", "Hardware-Mode", 0},
                                                         {"PARA0", "Measurement-Mode", 1},
                                                         {"PARA0", "um-Upper-Tolerance", 800},
                                                         {"PARA0", "um-Lower-Tolerance", 200}});
    // The simulated value lies near 50.6 mm: the band is set-point - 0.2 mm to + 0.8 mm.
    for (const auto &[setpointUm, tolerance] :
         {std::pair(50300, "in"), {45000, "above"}, {56000, "below"}}) {
        writeFile(path, withValues(text, {{"PARA0", "um-Setpoint", setpointUm}}));
        ASSERT_EQ(run(sim, {"send", "--in", path, "--target", "ram"}).exitCode, 0);
        const CliResult r = run(sim, {"--verbose", "run", "--count", "1", "--json"});
        const QJsonObject record = r.jsonLines().value(0);
        EXPECT_EQ(record.value("tolerance").toString().toStdString(), tolerance) << setpointUm;
        for (const QString side : {"master", "slave", "value"})
            EXPECT_EQ(record.value(side + "Mm").toDouble(), record.value(side + "Um").toInt() / 1e3)
                << side.toStdString();
        const RawRecord sent = WireLog::ofVerbose(r.err.toLocal8Bit()).records().at(0);
        EXPECT_EQ(std::pair(record.value("masterUm").toInt(), record.value("slaveUm").toInt()),
                  std::pair(sent.umA, sent.umB));
    }
}

// KTAV_COM1 makes the simulator's pseudo-terminal port 1; --com takes a device, numbered or not.
// A device the user may not open names the device and the group to join, on the tool's standard
// error and in the program's status line; run as an unprivileged user.
TEST_F(CliOnSim, PortsByNumberOrDeviceAndWithoutPermission) {
    const QString pty = QString::fromStdString(sim.ptyPath());
    qputenv("KTAV_COM1", pty.toLocal8Bit());
    const CliResult ports = run({"ports"});
    EXPECT_EQ(ports.exitCode, 0);
    EXPECT_EQ(ports.outLines().value(1).split(' ', Qt::SkipEmptyParts).mid(0, 2),
              QStringList({"1", pty}));
    EXPECT_EQ(run({"--com", pty, "line-test"}).exitCode, 0);
    qunsetenv("KTAV_COM1");
    EXPECT_EQ(run({"--com", pty, "line-test"}).exitCode, 0);
    QTemporaryDir shared("/tmp/kp-XXXXXX");  // for the unprivileged user too
    ASSERT_EQ(chmod(QFile::encodeName(shared.path()).constData(), 0777), 0);
    const QString device = writeFile(shared.filePath("ttyK1"), {});
    const QByteArray path = QFile::encodeName(device);
    const bool root = geteuid() == 0;  // root reads every file: the tools then run as nobody
    ASSERT_EQ(chmod(path.constData(), root ? 0660 : 0), 0);
    QStringList asUser;
    QString expected = device + ": no permission; add user to group ";
    if (root) {
        ASSERT_EQ(chown(path.constData(), 0, 20), 0);  // group dialout
        asUser = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        expected += "dialout";
    }
    auto errorOf = [&](const QString &program, const QStringList &args) {
        QProcess proc;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"HOME", "XDG_RUNTIME_DIR"}) env.insert(name, shared.path());
        env.insert("KTAV_COM1", device);
        proc.setProcessEnvironment(env);
        const QStringList command = asUser + QStringList{program} + args;
        start(proc, command.mid(1), command[0]);
        return finish(proc).err;
    };
    const QString err = errorOf(KTAV_CLI_PATH, {"--com", "1", "line-test"});
    EXPECT_TRUE(err.contains(expected)) << err.toStdString();
    const QString log = shared.filePath("status.log");
    errorOf(KTAV_PROGRAM_PATH,
            {"--dir", shared.path(), "--log", log, "--screenshot", shared.filePath("shot.png")});
    EXPECT_TRUE(fileBytes(log).contains(expected.toLocal8Bit())) << fileBytes(log).toStdString();
}

// The program's help and version need no display: printed, exit status 0, where the windows
// could not start.
TEST(Cli, ProgramHelpAndVersionWithoutADisplay) {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) qunsetenv(name);
    for (const auto &[option, says] : {std::pair("--help", "--screenshot <FILE>"),
                                       {"--version", "K-TAV-PX-MS-Vista " KTAV_VERSION}}) {
        const CliResult r = run({option}, KTAV_PROGRAM_PATH);
        EXPECT_EQ(r.exitCode, 0) << option << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(says)) << r.out.toStdString();
    }
    qputenv("QT_QPA_PLATFORM", platform);
}

// The program refuses options it cannot carry out; a settings file it cannot write on close is
// told on standard error and in the status log, and by its exit status.
TEST(Cli, ProgramReportsWhatItCannotWrite) {
    QTemporaryDir dir;
    const QString log = dir.filePath("status.log");
    ASSERT_TRUE(QDir(dir.path()).mkdir("PX-MS-Vista.ini"));  // in the way of the settings file
    const QString notSaved = "Settings not saved: " + dir.filePath("PX-MS-Vista.ini");
    qputenv("KTAV_COM1", "/nonexistent/ttyK1");
    // Folders whose settings file name would not fit its 260 bytes: refused, never cut.
    const auto longDir = [&](int length) {
        return dir.path() + "/" + QString(length - dir.path().size() - 1, 'd');
    };
    const QString tooLong = "--dir: a path too long for the program's files: ";
    for (const auto &[args, exitCode, says] :
         {std::tuple(QStringList{"--screenshot-delay", "3601"}, 1,
                     QString("--screenshot-delay takes 0 to 3600 seconds")),
          {{"--dir", longDir(247)}, 1, tooLong + longDir(247)},
          {{"--dir", longDir(268)}, 1, tooLong + longDir(268)},
          {{"--screenshot-delay", "soon"}, 1, "--screenshot-delay takes 0 to 3600 seconds"},
          {{"--screenshot", dir.filePath("none/shot.png")}, 1, "--screenshot: no folder"},
          {{"--log", dir.filePath("none/status.log")}, 1, "--log: no folder"},
          {{"--log", log}, EXIT_NOT_SAVED, notSaved + ": Is a directory"}}) {
        const CliResult r =
            run(QStringList{"--dir", dir.path(), "--screenshot", dir.filePath("shot.png")} + args,
                KTAV_PROGRAM_PATH);
        EXPECT_EQ(r.exitCode, exitCode) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(says)) << r.err.toStdString();
    }
    qunsetenv("KTAV_COM1");
    EXPECT_TRUE(fileBytes(log).contains(notSaved.toLocal8Bit())) << fileBytes(log).toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).join(' '),
              "PX-MS-Vista.ini shot.png status.log")
        << "nothing made of a cut path";
}

// What stats prints: the header's mode and set-point, the intervals of whole-second time stamps,
// per column count, extremes, mean, sigma, share out of tolerance, Pp and Ppk.
TEST(Cli, StatsPrintTheFiguresOfARecording) {
    QTemporaryDir dir;
    const QString path = dir.filePath("RECORD.DAT");
    // The header's increment, sample count or none and set-point, stats' options, what it prints.
    using Row = std::tuple<const char *, bool, int, QStringList, QStringList>;
    for (const auto &[increment, withCount, setpoint, args, shown] :
         {Row("0.500000", true, 10000, {"--upper", "0.1", "--lower", "0.15"},
              {"outside[%] Pp Ppk",
               "Mode: polled every 0.5 s Set-point: 10.000 mm, upper tolerance 0.100 mm, lower "
               "tolerance 0.150 mm Samples: 4, first 23:59:58, last 00:00:02 Intervals: mean "
               "1.50 s (time stamps in whole seconds), largest gap 2 s, 1 longer than 1.5",
               "MA 4 50.270 50.350 50.3050 0.0342 100.00 1.220 -392.361",
               "SL 4 48.110 48.170 48.1400 0.0294 100.00 1.415 -430.718",
               "VAL 4 9.870 10.180 10.0075 0.1372 25.00 0.304 0.225"}),
          Row("0.500000", true, 0, {},
              {"Set-point: none (not recorded in set-point mode)",
               "VAL 4 9.870 10.180 10.0075 0.1372 - - -"}),
          Row("0", true, 0, {}, {"Mode: polled as fast as the link allowed"}),
          Row("0", false, 10000, {"--setpoint", "10.2", "--lower", "0.1"},
              {"Mode: external trigger Set-point: 10.200 mm (--setpoint), the recording's "
               "10.000 mm, lower tolerance 0.100",
               "VAL 4 9.870 10.180 10.0075 0.1372 75.00 - -0.225"})}) {
        const RecFixture f{.withSampleCount = withCount,
                           .increment = increment,
                           .setpoint = setpoint,
                           .samples = RecFixtureAcrossMidnight().samples};
        const CliResult r = run(QStringList{"stats", writeFile(path, RecFixtureBytes(f))} + args);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        for (const QString &text : shown)
            EXPECT_TRUE(QString(r.out).simplified().contains(text))
                << r.out.toStdString() << text.toStdString();
    }
    // Two samples a time stamp: the seconds between the stamps are shared by the samples in them.
    RecFixture twice;
    for (const RecFixtureSample &s : RecFixtureAcrossMidnight().samples)
        twice.samples.insert(twice.samples.end(), {s, s});
    EXPECT_TRUE(
        run({"stats", writeFile(path, RecFixtureBytes(twice))}).out.contains("mean 0.750 s"));
}

// plot draws at the size asked for, over an older picture with --force: the thick VAL trace
// spans the value axis under the thin MA trace; a set-point line only in set-point mode or with
// --setpoint.
TEST(Cli, PlotDrawsTheRecording) {
    QTemporaryDir dir;
    RecFixture f = RecFixtureAcrossMidnight();
    for (RecFixtureSample &sample : f.samples) {
        sample.ma = sample.val;
        sample.sl = sample.val - 45;
    }
    const QString out = writeFile(dir.filePath("old.png"), "old");
    // Set-point, options, picture size and black rows (frame top and bottom, set-point line).
    for (const auto &[setpoint, args, size, blackRows] :
         {std::tuple(10000, QStringList(), QSize(800, 500), 3),
          {0, {}, {800, 500}, 2},
          {0, {"--setpoint", "10", "--width", "1203", "--height", "401"}, {1203, 401}, 3}}) {
        const std::string what = std::to_string(setpoint) + args.join(' ').toStdString();
        f.setpoint = setpoint;
        const QString path = writeFile(dir.filePath("RECORD.DAT"), RecFixtureBytes(f));
        ASSERT_EQ(run(QStringList{"plot", path, "--out", out, "--force"} + args).exitCode, 0);
        const QImage image(out);
        ASSERT_EQ(image.size(), size) << what;
        int rows = 0, valPixels = 0, valTop = image.height(), valBottom = 0;
        for (int y = 0; y < image.height(); ++y) {
            int black = 0;
            for (int x = 0; x < image.width(); ++x) {
                black += image.pixel(x, y) == 0xFF000000;
                if (image.pixel(x, y) != 0xFF006400) continue;
                ++valPixels;
                if (x > image.width() / 4 && x < image.width() * 3 / 4) {  // the trace, no key
                    valTop = std::min(valTop, y);
                    valBottom = std::max(valBottom, y);
                }
            }
            rows += black > image.width() * 6 / 10;
        }
        EXPECT_EQ(rows, blackRows) << what;
        EXPECT_GT(valPixels, 200) << what;
        EXPECT_GT(valBottom - valTop, image.height() / 2) << what;
    }
}

// The text of a PDF report, laid out as on the page.
QString pdfText(const QString &pdf) {
    QProcess proc;
    proc.start("pdftotext", {"-layout", pdf, "-"});
    return proc.waitForFinished(30000) ? QString::fromUtf8(proc.readAllStandardOutput())
                                       : QString();
}

// Pixels of a picture in `rgb`.
int pixelsOf(const QImage &image, QRgb rgb) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == rgb;
    return n;
}

// capability prints, --json gives and the --pdf report shows the same figures; the rule break of
// a spike is named, and marked red in the control chart of plot --chart.
TEST(Cli, CapabilityFiguresJsonReportAndChartAgree) {
    QTemporaryDir dir;
    RecFixture f;
    std::vector<std::string> times;
    for (int i = 0; i < 30; ++i) times.push_back(QTime(10, 0).addSecs(i).toString().toStdString());
    for (int i = 0; i < 30; ++i) {
        const int32_t val = i == 20 ? 10100 : 10000 + 2 * (i % 5);
        f.samples.push_back({times[size_t(i)].c_str(), 50300 + i, 48100 - i, val, 0, 0, 0, 0, 0});
    }
    const QString path = writeFile(dir.filePath("RECORD.DAT"), RecFixtureBytes(f));
    const QStringList limits = {"--tol-upper", "0.2", "--tol-lower", "0.1"};
    const CliResult text = run(QStringList{"capability", path} + limits);
    ASSERT_EQ(text.exitCode, 0) << text.err.toStdString();
    const QString shown = QString(text.out).simplified();
    EXPECT_TRUE(QString(run(QStringList{"capability", path, "--setpoint", "10.1"} + limits).out)
                    .simplified()
                    .contains("Limits: lower 10.000 mm, upper 10.300 mm"));  // not the file's
    for (const char *part :
         {"Limits: lower 9.900 mm, upper 10.200 mm", "Sigma within [mm] 0.0082 MR-bar / 1.128",
          "rule 1: value beyond the control limits 1 at value 21",
          "rule 1: moving range beyond its control limits 2 at value 21 22"})
        EXPECT_TRUE(shown.contains(part)) << part << "\n" << text.out.toStdString();
    const QJsonObject json =
        run(QStringList{"capability", path, "--json"} + limits).jsonLines().value(0);
    for (const char *index : {"cp", "cpk", "pp", "ppk"}) {
        const QString row = QString("%1 %2 ")
                                .arg(QString(index).left(1).toUpper() + QString(index).mid(1))
                                .arg(json.value(index).toDouble(), 0, 'f', 3);
        EXPECT_TRUE(shown.contains(row)) << row.toStdString();
    }
    EXPECT_EQ(jsonAt(json, "rules/beyond/count"), "1");
    // Subgroups of 4 leave 2 of the 30 values out; without limits the indices are null and why.
    const CliResult grouped = run({"capability", path, "--subgroup", "4", "--json"});
    const QJsonObject g = grouped.jsonLines().value(0);
    EXPECT_EQ(
        std::tuple(g.value("leftOut").toInt(), g.value("cp").isNull(), jsonAt(g, "reasons/ppk")),
        std::tuple(2, true, QString("no tolerance limits")))
        << grouped.out.toStdString();
    const QString pdf = dir.filePath("report.pdf");
    ASSERT_EQ(run(QStringList{"capability", path, "--pdf", pdf} + limits).exitCode, 0);
    const QString report = pdfText(pdf).simplified();
    for (const QString &part : {QString("Process capability of VAL"), QString("File: ") + path,
                                "Ppk " + QString::number(json.value("ppk").toDouble(), 'f', 3),
                                QString("at value 21"), QString("Signature")})
        EXPECT_TRUE(report.contains(part)) << part.toStdString() << "\n" << report.toStdString();
    // The chart pair: the spike and its moving ranges in red, its subgroup too.
    const QString png = dir.filePath("chart.png");
    for (const auto &[args, size] :
         {std::pair(QStringList{"--chart", "imr"}, QSize(800, 600)),
          {{"--chart", "xbar-r", "--subgroup", "3", "--width", "640", "--height", "480"},
           {640, 480}}}) {
        ASSERT_EQ(run(QStringList{"plot", path, "--out", png, "--force", "--upper", "0.2"} + args)
                      .exitCode,
                  0);
        const QImage image(png);
        EXPECT_EQ(image.size(), size);
        EXPECT_GT(pixelsOf(image, 0xFFFF0000), 20) << args.join(' ').toStdString();
    }
}

// A chart of any length in a fixed number of bins: 1000 points in 8 bins of 128, each keeping its
// first, last and extreme values and ranges, and the last rule broken within it.
TEST(Cli, ChartBinsKeepExtremesAndBreaksOfAnyLength) {
    ChartBins bins;
    bins.bins.resize(8);
    for (uint64_t n = 1; n <= 1000; ++n)
        bins.add({n, double(n % 100), double(n % 7), n > 1}, n == 700 ? RULE_TREND : 0u);
    EXPECT_EQ(bins.per, 128u);
    EXPECT_EQ(bins.lastPoint(), 1000u);
    const PointBin &b = bins.bins[5];  // points 641..768
    EXPECT_EQ(std::tuple(b.first, b.last, b.vFirst, b.vLast, b.vMin, b.vMax),
              std::tuple(641u, 768u, 41.0, 68.0, 0.0, 99.0));
    EXPECT_EQ(std::tuple(b.rMin, b.rMax, b.broken, b.brokenValue), std::tuple(0.0, 6.0, 4u, 0.0));
    EXPECT_FALSE(bins.bins[0].broken);
    EXPECT_EQ(bins.bins[0].rFirst, 2.0) << "the first point has no moving range";
}

// A part held still under the simulated pair: capable at its own jitter, not when the jitter is
// raised; the report and the JSON name the pair; --from takes the values of a recording.
TEST_F(CliOnSim, GaugeStudyOfAPartHeldStill) {
    const QString pdf = dir.filePath("gauge.pdf"), png = dir.filePath("gauge.png");
    const QStringList study = {"gauge-study", "--reference", "50.625",  "--tolerance", "0.1",
                               "--interval",  "0.02",        "--count", "30"};
    for (const auto &[jitter, capable] : {std::pair("1.5", true), std::pair("40", false)}) {
        ASSERT_TRUE(sim.start({"--still", "--jitter", jitter, "--serial", "4711"}));
        const QJsonObject json = run(sim, study + QStringList{"--json"}).jsonLines().value(0);
        EXPECT_EQ(json.value("capable").toBool(), capable) << jitter;
        EXPECT_EQ(json.value("count").toInt(), 30);
        EXPECT_EQ(jsonAt(json, "identity/serialNumber"), "4711");
        EXPECT_EQ(json.value("verdict").toString(), capable ? "capable" : "not capable");
        EXPECT_EQ(json.value("why").toString().contains("Cg "), !capable);
    }
    const CliResult r = run(sim, study + QStringList{"--pdf", pdf, "--chart", png});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Verdict")) << r.out.toStdString();
    const QString report = pdfText(pdf).simplified();
    for (const char *part : {"Type-1 gauge study of VAL", "serial number 4711", "MASTER header",
                             "Cgk", "not capable", "Signature"})
        EXPECT_TRUE(report.contains(part)) << part << "\n" << report.toStdString();
    EXPECT_EQ(QImage(png).size(), QSize(800, 400));

    RecFixture f = RecFixtureAcrossMidnight();
    const QString recording = writeFile(dir.filePath("RECORD.DAT"), RecFixtureBytes(f));
    const CliResult from = run({"gauge-study", "--from", recording, "--reference", "10",
                                "--tolerance", "2", "--column", "val"});
    EXPECT_EQ(from.exitCode, 0) << from.err.toStdString();
    // VAL 10.050 9.930 10.180 9.870: mean 10.0075, s 0.1372; Cg = 0.4 / 0.8232 = 0.486.
    EXPECT_TRUE(QString(from.out).simplified().contains("Cg 0.486")) << from.out.toStdString();
}

// The samples sharing a whole-second stamp are drawn spread over it, in the bins: by their
// order, the header's increment apart where that fits into the second.
TEST(Cli, PlotSpreadsTheSamplesOfAStampOverItsSecond) {
    using Times = std::vector<double>;
    for (const auto &[increment, drawn] : {std::pair(0.0, Times{0, 0.25, 0.5, 0.75, 1, 1.5, 3}),
                                           {0.125, {0, 0.125, 0.25, 0.375, 1, 1.125, 3}},
                                           {0.5, {0, 0.25, 0.5, 0.75, 1, 1.5, 3}}}) {
        Bins bins{std::vector<Bin>(800)};
        const auto bin = [&bins](double t, const RecSample &s) { bins.add(t, s); };
        SecondSpreader spreader(increment);
        for (const int stamp : {0, 0, 0, 0, 1, 1, 3})
            spreader.add({.time = {}, .elapsed = stamp}, bin);
        spreader.finish(bin);
        Times at;
        for (const Bin &b : bins.bins)
            if (!b.empty) at.push_back(b.tFirst);
        EXPECT_EQ(at, drawn) << increment;
    }
}

// A polled recording over either line, one with damaged replies and one whose sensor answers
// every record with an error: the file's lines are exactly the undamaged records off the wire,
// --json's numbered samples as the file holds them and how it ended. A failed exchange is tried
// again at once; the third in a row ends the recording (and run), and --reconnect only then.
TEST_F(CliOnSim, RecordWritesTheRecorderFileAndReportsHowItEnded) {
    // Simulator and record options, exit status, samples after the header, how --json says it
    // ended.
    using Row = std::tuple<QStringList, Line, QStringList, int, int, const char *>;
    for (const auto &[simOptions, line, args, exitCode, samples, end] :
         {Row({}, Line::Tcp, {"--interval", "0.05", "--count", "5", "--json"}, 0, 5, "completed"),
          Row({}, Line::Serial, {"--count", "3"}, 0, 3, ""),
          Row({"--corrupt-header-every", "17", "--corrupt-data-every", "23"}, Line::Tcp,
              {"--reconnect", "--count", "60", "--json"}, 0, 60, "completed"),
          Row({"--error-reply", "8=0"}, Line::Tcp, {"--count", "100", "--json"}, 1, 0,
              "timeout")}) {
        const QString out = dir.filePath(QString("R%1.DAT").arg(samples));
        const std::string what = (simOptions + args).join(' ').toStdString();
        ASSERT_TRUE(sim.start(simOptions)) << what;
        const CliResult r = run(sim, QStringList{"--verbose", "record", "--out", out} + args, line);
        EXPECT_EQ(r.exitCode, exitCode) << what << "\n" << r.err.toStdString();
        EXPECT_FALSE(r.err.contains("sensor lost")) << what;
        const QList<QByteArray> lines = fileLines(out);
        ASSERT_EQ(lines.size(), 10 + samples) << what;
        const WireLog wire = WireLog::ofVerbose(r.err.toLocal8Bit());
        const std::vector<RawRecord> records = wire.records();
        ASSERT_EQ(records.size(), size_t(samples)) << what;
        for (int i = 0; i < samples; ++i)
            EXPECT_EQ(columnsOfLine(lines[10 + i]), columns(records[i])) << what << " " << i;
        // Lost after three failures; retries where replies were damaged, and only there.
        EXPECT_EQ(wire.sent(ORD_RAW) > samples, !simOptions.isEmpty()) << what;
        if (exitCode != 0) {
            EXPECT_EQ(wire.sent(ORD_RAW), SENSOR_LOST_FAILURES) << what;
        }
        if (*end) {  // a sample a line, numbered, then how it ended
            const QList<QJsonObject> json = r.jsonLines();
            ASSERT_EQ(json.size(), samples + 1) << what;
            for (qsizetype i = 0; i < samples; ++i) {
                const QList<QByteArray> fields = lines.value(10 + i).trimmed().split('\t');
                EXPECT_EQ(jsonAt(json[i], "sample"), QString::number(i + 1)) << what;
                EXPECT_EQ(jsonAt(json[i], "masterUm"), fields.value(1)) << what;
                EXPECT_EQ(jsonAt(json[i], "slaveUm"), fields.value(2)) << what;
            }
            EXPECT_EQ(jsonAt(json.last(), "end"), end) << what;
            EXPECT_EQ(jsonAt(json.last(), "samples"), QString::number(samples)) << what;
        }
        if (exitCode != 0) continue;
        EXPECT_TRUE(r.err.contains(QString("Data-Recorder active!   Sample: %1").arg(samples)));
        EXPECT_EQ(run({"stats", out}).exitCode, 0) << what << ": stats reads it";
    }
    EXPECT_TRUE(fileBytes(dir.filePath("R5.DAT"))
                    .contains("Time-Increment[s]:\t0.05\r\nNumber of Samples:\t5\r\n"));
    const CliResult lost = run(sim, {"--verbose", "run"});  // still answering with errors
    EXPECT_EQ(lost.exitCode, 1);
    EXPECT_EQ(WireLog::ofVerbose(lost.err.toLocal8Bit()).sent(ORD_RAW), SENSOR_LOST_FAILURES);
}

// record --reconnect started before its sensor waits for it; the simulator ends mid-run and
// starts again on the same port: the tool goes on in the same file, every line whole, and stats
// sees the gap in the time stamps.
TEST_F(CliOnSim, RecordReconnectWaitsForItsSensorAndGoesOnInTheSameFile) {
    const QString out = dir.filePath("R.DAT");
    const int port = sim.tcpPort();
    const QStringList again = {"--tcp", QString("127.0.0.1:%1").arg(port)};
    sim.stop();
    QProcess cli;
    start(cli, again + QStringList{"record", "--reconnect", "--out", out, "--interval", "0.05",
                                   "--count", "40"});
    const double deadline = Timer() + 30.0;
    // Starts the simulator once the tool's second try has failed: about 3 s late at the start,
    // and mid-run a gap of at least 3 s, which the time stamps' whole seconds cannot hide.
    QString err;
    const auto startAfterTwoTries = [&] {
        const qsizetype from = err.size();
        while (!err.mid(from).contains("trying again in 2 s") && Timer() < deadline &&
               !cli.waitForFinished(50))
            err += QString::fromLocal8Bit(cli.readAllStandardError());
        return err.mid(from).contains("trying again in 2 s") && sim.start(again);
    };
    ASSERT_TRUE(startAfterTwoTries()) << err.toStdString();
    EXPECT_TRUE(err.contains("waiting for the sensor pair")) << err.toStdString();
    while (fileLines(out).size() < 10 + 5 && Timer() < deadline) cli.waitForFinished(50);
    sim.stop();
    ASSERT_TRUE(startAfterTwoTries()) << err.toStdString();
    const CliResult r = finish(cli);
    err += r.err;
    EXPECT_EQ(r.exitCode, 0) << err.toStdString();
    EXPECT_TRUE(err.contains("sensor lost: ")) << err.toStdString();
    EXPECT_TRUE(err.contains("pair identified; recording goes on"));
    // The waits said: 1 s and 2 s at the start, and after the loss (tried at once) again.
    static const QRegularExpression wait("trying again in (\\d+) s");
    QStringList waits;
    for (auto m = wait.globalMatch(err); m.hasNext();) waits << m.next().captured(1);
    EXPECT_EQ(waits.join(' ').toStdString(), "1 2 1 2");
    // Every line whole: a CR LF each (stats then checks the fields).
    EXPECT_EQ(fileLines(out).size(), 10 + 40);
    EXPECT_EQ(fileBytes(out).count("\r\n"), 10 + 40);
    const CliResult stats = run({"stats", out});
    EXPECT_EQ(stats.exitCode, 0);
    EXPECT_FALSE(stats.out.contains(", 0 longer than 1.5 increments")) << stats.out.toStdString();
}

// SIGINT or SIGTERM ends record in order in each of its states, exit status 0: with --reconnect
// while it waits for its sensor at the start (nothing recorded, no file), while it records, and
// while it waits for a lost sensor; with --trigger while it takes trigger records, every second
// one damaged, which it tells dropped. The file ends in its last whole line.
TEST_F(CliOnSim, RecordEndsInOrderOnASignalInEachState) {
    const QStringList again = {"--tcp", QString("127.0.0.1:%1").arg(sim.tcpPort())},
                      reconnect = {"--reconnect", "--interval", "0.05"};
    const struct {
        int signal;
        bool up, lost;        // the sensor answers at the start; it is lost after sample 3
        QStringList options;  // of record
        const char *at, *says;
    } cases[] = {
        {SIGTERM, false, false, reconnect, "trying again in 1 s",
         "before the pair answered; nothing recorded"},
        {SIGINT, true, false, reconnect + QStringList{"--json"}, "Sample: 3",
         "pair identified; recording starts"},
        {SIGTERM, true, true, reconnect, "trying again in 1 s", "sensor lost: "},
        {SIGINT, true, false, {"--trigger"}, "Sample: 3", " damaged record"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.at);
        const QString out = dir.filePath(QString("R%1.DAT").arg(&c - cases));
        if (!c.up) sim.stop();
        if (c.options == QStringList{"--trigger"}) {  // the sensor sends trigger records
            ASSERT_TRUE(sim.start(
                again + QStringList{"--trigger-hz", "20", "--corrupt-trigger-every", "2"}));
            ASSERT_TRUE(sim.openTcp());
            ResetParaBlock();
            para.ge.rs232OutMode = 1;
            PushSEND(RAM, 0);
            CloseTCP();
        }
        ASSERT_TRUE(!c.up || sim.process().state() == QProcess::Running || sim.start(again));
        QByteArray said;
        const CliResult r = interrupted(
            again + QStringList{"record", "--out", out} + c.options,
            [&](const QByteArray &line) {
                if (c.lost && line.contains("Sample: 3")) sim.stop();
                return (said += line).contains(c.at);
            },
            c.signal);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_TRUE((said + r.out).contains(c.says)) << (said + r.out).data();
        EXPECT_EQ(QFile::exists(out), c.up);
        EXPECT_TRUE(!c.up || (fileLines(out).size() >= 12 && fileBytes(out).endsWith("\r\n")));
        EXPECT_EQ(run({"stats", out}).exitCode, c.up ? 0 : 66) << "stats reads it";
        if (c.options.contains("--json")) {  // the summary says how it ended, and what it holds
            const QString summary = QString(R"("end":"stopped","file":"%1","samples":%2})")
                                        .arg(out)
                                        .arg(fileLines(out).size() - 10);
            EXPECT_TRUE(r.out.contains(summary.toUtf8())) << r.out.data();
        }
    }
}

// A broker that cannot be resolved does not end publish: it is tried again after 1 s, 2 s, 4 s,
// each time with the resolver's reason, until a signal ends the run in order.
TEST_F(CliOnSim, PublishTriesAnUnresolvedBrokerAgainSayingWhy) {
    addrinfo *found = nullptr;
    const int lookup = ::getaddrinfo("broker..invalid", nullptr, nullptr, &found);
    ASSERT_NE(lookup, 0);
    const QByteArray said = QByteArray("(") + ::gai_strerror(lookup) + "); trying again in ";
    QByteArray waits;
    const CliResult r = interrupted(
        over(sim, Line::Tcp) + QStringList{"publish", "--mqtt", "broker..invalid", "--topic", "h"},
        [&](const QByteArray &line) {
            if (line.contains(said)) waits += line.mid(line.indexOf(said) + said.size()).trimmed();
            return waits.count(" s") == 3;
        });
    EXPECT_EQ(waits, "1 s2 s4 s");
    EXPECT_EQ(r.exitCode, 0);
}

// A disk that fills up inside a sample line ends the recording (the file's side is the core's
// suite): the cause named last, exit status 73. A file size limit stands for the full disk: it
// must not kill the tool (SIGXFSZ).
TEST_F(CliOnSim, RecordOntoAFullDiskEndsTheFileInAWholeLine) {
    const QString out = dir.filePath("R.DAT");
    // Its files may grow to 2000 bytes; a write beyond fails (EFBIG) and signals SIGXFSZ. A
    // coverage build's counts go elsewhere: cut at the limit, they would spoil the others'.
    qputenv("GCOV_PREFIX", QFile::encodeName(dir.filePath("counts")));
    const CliResult r =
        run(over(sim, Line::Tcp) + QStringList{"record", "--out", out, "--count", "1000"},
            KTAV_CLI_PATH, [] {
                const rlimit size{2000, 2000};
                ::setrlimit(RLIMIT_FSIZE, &size);
            });
    qunsetenv("GCOV_PREFIX");
    EXPECT_EQ(r.exitCode, 73);
    EXPECT_EQ(r.lastErrLine(), QString("k-tav-cli: cannot write %1: File too large").arg(out));
    const QByteArray bytes = fileBytes(out);
    EXPECT_TRUE(bytes.size() > 1000 && bytes.endsWith("\r\n")) << bytes.right(80).data();
    EXPECT_EQ(run({"stats", out}).exitCode, 0);
}

// calib-write identifies the pair, writes the header and the table and verifies it; identify
// --json and calib-read --json then show each side's model and header in its own object. The
// audit log holds the header's old and new values and the table's file and SHA-256, then TEACH's
// teach values; a recording's sidecar names the pair and its sets as identify --json and get
// --json print them, with the table's SHA-256 from the log, and stats and capability show it.
TEST_F(CliOnSim, CalibWriteIdentifiesWritesAndVerifies) {
    DataHome home;
    const QString file = writeMasterCalibFile(dir);
    const QString state = dir.filePath("state.bin");
    ASSERT_TRUE(sim.start({"--state", state, "--master-type", "610409", "--slave-type", "610412"}));
    ASSERT_TRUE(sim.openTcp());
    writeOwnHeaders();
    CloseTCP();
    CliResult r = run(sim, {"--verbose", "calib-write", "--file", file, "--sensor", "master",
                            "--header", "--table"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    // The header written: the file's six fields, everything else the MASTER's own.
    const Bytes written = bytesOf(withFileFields(1, 610409, 12000, 40000));
    EXPECT_EQ(
        frameData(r.err, '>', "17", 1),
        QByteArray(reinterpret_cast<const char *>(written.data()), qsizetype(written.size())));
    EXPECT_TRUE(r.err.contains("> 55 07 ")) << "identified first";
    EXPECT_TRUE(r.err.contains("MASTER table 8 of 32 (erase 8 of 8): Erase XFLASH-PAGE9 -> Ok!"));
    EXPECT_EQ(r.lastErrLine(), "MASTER table written and verified -> Ok!");
    EXPECT_TRUE(run(sim, {"calib-read"}).out.contains("Range [um]\t12000\t24000"));
    const QJsonObject identity = run(sim, {"identify", "--json"}).jsonLines().value(0);
    const QJsonObject headers = run(sim, {"calib-read", "--json"}).jsonLines().value(0);
    using Row = std::tuple<QJsonObject, const char *, const char *>;
    for (const auto &[object, path, value] :
         {Row(identity, "master/model", "PX-M4"), Row(identity, "slave/model", "PX-M5"),
          Row(identity, "master/calibration/rangeUm", "12000"),
          Row(identity, "slave/calibration/rangeUm", "24000"),
          Row(identity, "master/calibration/virtualOffsetUm", "30000"),
          Row(identity, "master/calibration/typeCode", "610409"),
          Row(identity, "slave/calibration/offsetUm", "30000"), Row(identity, "subpixels", "8192"),
          Row(identity, "serialNumber", "1001"), Row(headers, "master/param2", "7"),
          Row(headers, "slave/param2", "-1")})
        EXPECT_EQ(jsonAt(object, path), value) << path;
    const QString log = DefaultAuditLogPath();
    const auto entry = [&](qsizetype line) {
        return QJsonDocument::fromJson(fileLines(log).value(line)).object();
    };
    for (const auto &[line, path, value] : {std::tuple(0, "action", QString("calib-header")),
                                            {0, "old/rangeUm", "10000"},
                                            {0, "new/rangeUm", "12000"},
                                            {1, "new/tableLength", "0"},  // marked
                                            {2, "new/tableLength", "2048"},
                                            {3, "action", "calib-table"},
                                            {3, "side", "master"},
                                            {3, "file", file},
                                            {3, "sha256", tableSha256(1)},
                                            {3, "result", "verified"}})
        EXPECT_EQ(jsonAt(entry(line), path), value) << path;
    const QJsonObject before = run(sim, {"get", "--json"}).jsonLines().value(0);
    const QStringList taught = run(sim, {"teach"}).outLines();
    const QJsonArray teachValues = entry(4)["changes"].toArray();
    ASSERT_EQ(std::tuple(teachValues.size(), taught.size()), std::tuple(4, 4));
    for (int i : {0, 2}) {  // the pixel values of MASTER and SLAVE
        const QJsonObject change = teachValues[i].toObject();
        EXPECT_EQ(change["old"], before[i ? "slave" : "master"]["teachValuePix"]);
        EXPECT_EQ(change["new"].toVariant().toString(), taught[i].section('\t', 1));
    }
    // audit lists the entries of a pair from a time on, as rows or as the lines themselves.
    EXPECT_TRUE(
        run({"audit"}).outLines().value(4).contains("\tk-tav-cli\ttool\t1001\tcalib-table\t"));
    EXPECT_EQ(run({"audit", "--serial", "1002"}).outLines().size(), 1) << "the heading alone";
    const QString since = jsonAt(entry(1), "time");
    EXPECT_EQ(run({"audit", "--serial", "1001", "--since", since, "--json"}).out,
              fileLines(log).mid(1).join('\n') + '\n');
    const QJsonObject parameters = run(sim, {"get", "--json"}).jsonLines().value(0);
    const QString recording = dir.filePath("R.DAT");
    ASSERT_EQ(run(sim, {"record", "--out", recording, "--count", "2"}).exitCode, 0);
    const QJsonObject sidecar = QJsonDocument::fromJson(fileBytes(recording + ".json")).object();
    for (const char *key :
         {"firmware", "version", "serialNumber", "firmwareNumber", "lineType", "subpixels"})
        EXPECT_EQ(sidecar[key], identity[key]) << key;
    for (const char *side : {"master", "slave"})
        for (const char *key : {"modelCode", "model", "calibration"})
            EXPECT_EQ(sidecar[side][key], identity[side][key]) << side << key;
    EXPECT_EQ(std::tuple(jsonAt(sidecar, "master/tableSha256"), sidecar["slave"]["tableSha256"]),
              std::tuple(QString(tableSha256(1)), QJsonValue()));
    EXPECT_EQ(sidecar["parameters"].toObject(), parameters);
    EXPECT_EQ(jsonAt(sidecar, "auditLastHash"), QString(LastAuditHash(log)));
    EXPECT_EQ(fileLines(recording).size(), 10 + 2) << "the recorder file as ever";
    const QString pair = "serial number 1001, MASTER PX-M4, SLAVE PX-M5";
    const QString calibration = "MASTER type 610409, offset 40000 um, range 12000 um, table " +
                                tableSha256(1).left(12) + "; SLAVE type " +
                                jsonAt(identity, "slave/calibration/typeCode");
    EXPECT_TRUE(run({"stats", recording}).out.contains(("Pair:        " + pair).toLatin1()));
    const QString report = run({"capability", recording}).out;
    EXPECT_TRUE(report.contains(pair) && report.contains(calibration)) << report.toStdString();
    // plot names them above its chart, where a recording without a sidecar leaves white.
    const QString picture = dir.filePath("p.png");
    const auto namesThePair = [&] {
        EXPECT_EQ(run({"plot", recording, "--out", picture, "--force"}).exitCode, 0);
        const QImage image(picture);
        for (int y = 8; y < 20; ++y)
            for (int x = 8; x < 200; ++x)
                if (image.pixel(x, y) != qRgb(255, 255, 255)) return true;
        return false;
    };
    EXPECT_TRUE(namesThePair());
    QFile::remove(recording + ".json");
    EXPECT_FALSE(namesThePair());
    sim.stop();
    // The MASTER's table words as the simulator's state file holds them.
    QStringList values;
    for (uint16_t v : masterValues) values << QString::number(v);
    EXPECT_EQ(run({"--state", state, "--print-table", "master"}, KTAV_SIM_PATH).outLines(), values);
}

// A table write is never cut off by the tool: SIGINT waits for its end, says so, and the tool
// ends with the write's status. Killed half way, the SLAVE's own header tells any PC that its
// table is incomplete, from another data folder too; a write to the end makes it whole again.
TEST_F(CliOnSim, ATableWriteHoldsSigintAndAKilledOneIsToldByTheSensorItself) {
    const QString state = dir.filePath("state.bin");
    ASSERT_TRUE(sim.start({"--state", state}));
    const QStringList write =
        over(sim, Line::Tcp) +
        QStringList{"calib-write",
                    "--file",
                    writeCalibFile(dir.filePath("s.dat"), 610407, 10000, 50000, slaveValues),
                    "--sensor",
                    "slave",
                    "--table"};
    const auto block57 = [](const QByteArray &line) { return line.contains("block 57 of 256"); };
    const struct {
        int signal, exitCode;
        QString says;
        int identified;  // the exit status of identify with another data folder
    } cases[] = {
        {SIGKILL, -2, "", 3},
        {SIGINT, 4, "writing the calibration table: it is finished first", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.signal);
        {
            DataHome writer;
            const CliResult r = interrupted(write, block57, c.signal);
            EXPECT_EQ(r.exitCode, c.exitCode);
            EXPECT_TRUE(QString(r.out).contains(c.says)) << r.out.data();
        }
        DataHome another;
        const CliResult identified = run(sim, {"identify"});
        EXPECT_EQ(identified.exitCode, c.identified) << identified.err.toStdString();
        EXPECT_EQ(identified.err.contains("SLAVE calibration table incomplete"), c.identified == 3);
    }
    sim.stop();
    EXPECT_TRUE(tableInPlace(false, 2, state));
}
