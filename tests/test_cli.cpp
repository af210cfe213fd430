// k-tav-cli end to end: the real executable against the simulator over TCP and the
// pseudo-terminal. Exit statuses, what reaches standard output, the frames on the wire and that
// bad input reaches the sensor not at all.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>
#include <csignal>
#include <functional>

#include "app/shell.h"
#include "axis.h"
#include "data_home.h"
#include "link/transport.h"
#include "params/appsettings.h"
#include "params/paramblock.h"
#include "params/transfer.h"
#include "recfile_bytes.h"
#include "shared/state.h"
#include "sim_process.h"

namespace {

enum class Line { Tcp, Serial };

constexpr int kSimCom = 7;  // COM port number mapped to the simulator's pseudo-terminal

struct CliResult {
    int exitCode = -1;
    QByteArray out;
    QString err;

    QStringList outLines() const {
        return QString::fromLatin1(out).split('\n', Qt::SkipEmptyParts);
    }
    QStringList errLines() const { return err.split('\n', Qt::SkipEmptyParts); }

    // The objects of --json, one a line; a line that is no JSON object fails the test.
    QList<QJsonObject> jsonLines() const {
        QList<QJsonObject> objects;
        for (const QByteArray &line : out.split('\n')) {
            if (line.isEmpty()) continue;
            QJsonParseError error;
            const QJsonDocument document = QJsonDocument::fromJson(line, &error);
            EXPECT_TRUE(document.isObject())
                << error.errorString().toStdString() << ": " << line.data();
            objects << document.object();
        }
        return objects;
    }
};

// The value at a path such as "master/calibration/rangeUm", as text.
QString jsonAt(QJsonObject object, const QString &path) {
    const QStringList keys = path.split('/');
    for (qsizetype i = 0; i + 1 < keys.size(); ++i) object = object.value(keys[i]).toObject();
    return object.value(keys.last()).toVariant().toString();
}

// The tool's process, connected to `sim` over `line` (no connection options without a sim).
class Cli {
  public:
    explicit Cli(const SimProcess *sim = nullptr, Line line = Line::Tcp) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (sim && line == Line::Serial) {
            env.insert(QString("KTAV_COM%1").arg(kSimCom), QString::fromStdString(sim->ptyPath()));
            connection_ = {"--com", QString::number(kSimCom)};
        } else if (sim) {
            connection_ = {"--tcp", QString("127.0.0.1:%1").arg(sim->tcpPort())};
        }
        proc_.setProcessEnvironment(env);
        proc_.setProgram(KTAV_CLI_PATH);
        endWithTest(proc_);
    }

    void setEnv(const QString &name, const QString &value) {
        QProcessEnvironment env = proc_.processEnvironment();
        env.insert(name, value);
        proc_.setProcessEnvironment(env);
    }

    void start(const QStringList &args) {
        proc_.setArguments(connection_ + args);
        proc_.start();
    }

    CliResult finish() {
        CliResult r;
        if (!proc_.waitForFinished(30000)) {
            proc_.kill();
            proc_.waitForFinished(5000);
            return r;
        }
        r.exitCode = proc_.exitStatus() == QProcess::NormalExit ? proc_.exitCode() : -2;
        r.out = proc_.readAllStandardOutput();
        r.err = QString::fromLocal8Bit(proc_.readAllStandardError());
        return r;
    }

    CliResult run(const QStringList &args) {
        start(args);
        return finish();
    }

    QProcess &process() { return proc_; }

    // The files the tool writes may grow to `bytes` at most; a write beyond fails (EFBIG)
    // instead of ending the tool by SIGXFSZ.
    void limitFileSize(rlim_t bytes) {
        endWithTest(proc_, [bytes] {
            const rlimit limit{bytes, bytes};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            std::signal(SIGXFSZ, SIG_IGN);
        });
    }

  private:
    QProcess proc_;
    QStringList connection_;
};

QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
    return path;
}

// Reads a running tool's output (its process's read channel) line by line until `enough` says
// so, the tool ends or 30 s pass (the serial line carries bytes at its real pace), then sends it
// SIGINT; whether `enough` was met.
bool interruptWhen(Cli &cli, const std::function<bool(const QByteArray &line)> &enough) {
    QProcess &proc = cli.process();
    if (!proc.waitForStarted(10000)) return false;
    bool met = false;
    const double deadline = Timer() + 30.0;
    while (!met && Timer() < deadline && proc.state() == QProcess::Running) {
        proc.waitForReadyRead(200);
        while (!met && proc.canReadLine()) met = enough(proc.readLine());
    }
    signalChild(proc, SIGINT);
    return met;
}

// Replaces the value of `key` in `section` of a parameter file text.
QByteArray withValue(QByteArray text, const char *section, const char *key, int value) {
    const qsizetype at = text.indexOf(QByteArray("[") + section + "]");
    const qsizetype keyAt = text.indexOf(QByteArray("\n") + key + " = ", at) + 1;
    const qsizetype end = text.indexOf('\r', keyAt);
    EXPECT_TRUE(at >= 0 && keyAt > at && end > keyAt) << section << " " << key;
    return text.replace(keyAt, end - keyAt, QByteArray(key) + " = " + QByteArray::number(value));
}

// The data bytes of the first frame of a --verbose log whose line begins with `prefix`.
QByteArray frameData(const QString &err, const QString &prefix) {
    for (const QString &line : err.split('\n'))
        if (line.startsWith(prefix)) return QByteArray::fromHex(line.mid(2).toLatin1()).mid(8);
    return {};
}

bool hasRequestWithOrder(const QString &err, const char *orderHex) {
    return err.contains(QRegularExpression(QString("^> 55 %1 ").arg(orderHex),
                                           QRegularExpression::MultilineOption));
}

}  // namespace

TEST(Cli, IdentifyExitStatus) {
    struct Case {
        QStringList simOptions;
        Line line;
        int exitCode;
        const char *out;  // expected in standard output
        const char *err;  // expected in standard error
        bool json = false;
    };
    const char *const qd =
        "Attention !!!: Incompatible hardware detected!\nPlease use K-TAV-QD-Vista software!";
    const Case cases[] = {
        {{}, Line::Tcp, 0, "Serial number:\t1001\nFirmware number:\t421", "K-TAV-PX-MA.V4"},
        {{}, Line::Serial, 0, "Model:\tSLAVE: PX-M2", ""},
        {{"--fw-version", "409"}, Line::Tcp, 2, "", "Please use K-TAV-PX-MS-Vista V.4.0x !"},
        {{"--fw-version", "430"}, Line::Serial, 2, "", "Incompatible or newer firmware detected!"},
        {{"--fw-text", "K-TAV-QD.V1.0 2015 FW1"}, Line::Tcp, 2, "", qd},
        {{"--fw-text", "OTHER.V1 2015 FW1"}, Line::Tcp, 2, "", ""},
        // The refusal, not the pop-up, gives the status, and --json says why.
        {{"--fw-version", "409"},
         Line::Tcp,
         2,
         R"("firmwareNumber":409,"message":"Please use K-TAV-PX-MS-Vista V.4.0x !",)"
         R"("refused":"firmware number")",
         "",
         true},
        {{"--fw-text", "OTHER.V1 2015 FW1"}, Line::Tcp, 2, R"("refused":"other series")", "", true},
    };
    for (const Case &c : cases) {
        const std::string what = c.simOptions.join(' ').toStdString();
        SimProcess sim;
        ASSERT_TRUE(sim.start(c.simOptions)) << what;
        const CliResult r =
            Cli(&sim, c.line)
                .run(c.json ? QStringList{"identify", "--json"} : QStringList{"identify"});
        EXPECT_EQ(r.exitCode, c.exitCode) << what << "\n" << r.err.toStdString();
        if (c.json) {
            EXPECT_EQ(r.jsonLines().size(), 1) << what;
        }
        EXPECT_TRUE(r.out.contains(c.out)) << what << "\n" << r.out.toStdString();
        EXPECT_TRUE(r.err.contains(c.err)) << what << "\n" << r.err.toStdString();
        if (c.exitCode == 0) {
            EXPECT_TRUE(r.out.contains("Calibration header\tMASTER\tSLAVE"));
        }
    }
}

TEST(Cli, NoDeviceIsALinkFailure) {
    SimProcess sim;
    ASSERT_TRUE(sim.start());
    Cli cli(&sim);  // takes the port, then nobody listens there any more
    sim.stop();
    for (const char *command : {"identify", "get", "line-test"}) {
        const CliResult r = cli.run({command});
        EXPECT_EQ(r.exitCode, 1) << command;
        ASSERT_FALSE(r.errLines().isEmpty()) << command;
        EXPECT_TRUE(r.errLines().last().startsWith("k-tav-cli: cannot connect")) << command;
        EXPECT_TRUE(r.out.isEmpty()) << command;
    }
}

TEST(Cli, ConnectionFromTheSettingsFileAndTheFramesShown) {
    SimProcess sim;
    ASSERT_TRUE(sim.start());
    QTemporaryDir dir;
    AppSettings settings = sim.tcpSettings();
    const QString path = dir.filePath("PX-MS-Vista.ini");
    ASSERT_EQ(WriteAppSettings(QFile::encodeName(path).constData(), settings), 0);

    // --verbose shows the frames in hexadecimal, the request byte for byte.
    const CliResult r = Cli().run({"--dir", dir.path(), "--verbose", "line-test"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.errLines().contains("> 55 05 00 00 00 00 AA 3C")) << r.err.toStdString();
    EXPECT_TRUE(
        r.err.contains(QRegularExpression("^< 55 05 ", QRegularExpression::MultilineOption)));
    EXPECT_TRUE(r.err.contains("Echo Check - Line Ok!"));

    QFile::remove(path);
    const CliResult missing = Cli().run({"--dir", dir.path(), "line-test"});
    EXPECT_EQ(missing.exitCode, 66);
    EXPECT_EQ(missing.errLines().size(), 1);
    EXPECT_TRUE(missing.err.contains(path)) << missing.err.toStdString();
}

// get, edit three fields, send, get again: exactly the edited fields changed, in the target
// memory that was named.
TEST(Cli, GetEditSendChangesExactlyTheEditedFields) {
    struct Case {
        Line line;
        const char *target;
        const char *otherTarget;
        const char *getOrder, *sendOrder;  // hexadecimal
    };
    // Bytes of each set that a parameter file does not store: {set, offset, length}.
    const int unstored[][3] = {{0, 2, 2},  {0, 18, 2}, {1, 4, 2},  {1, 14, 4},
                               {1, 24, 8}, {2, 4, 2},  {2, 14, 4}, {2, 24, 8}};
    for (const Case &c : {Case{Line::Tcp, "ram", "eeprom", "02", "01"},
                          Case{Line::Serial, "eeprom", "ram", "04", "03"}}) {
        SimProcess sim;
        ASSERT_TRUE(sim.start());
        QTemporaryDir dir;
        const QString before = dir.filePath("before.ini"), edited = dir.filePath("edited.ini");
        Cli cli(&sim, c.line);
        ASSERT_EQ(cli.run({"get", "--target", c.target, "--out", before}).exitCode, 0);
        const QByteArray original = readFile(before);
        ASSERT_TRUE(original.startsWith("[PARA0]\r\n")) << original.toStdString();
        const CliResult other = cli.run({"get", "--target", c.otherTarget});

        QByteArray text = withValue(original, "PARA0", "um-Setpoint", 12345);
        text = withValue(text, "PARA1", "Power", 321);
        text = withValue(text, "PARA2", "Video-Threshold", 77);
        ASSERT_NE(text, original);
        QFile file(edited);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();

        const CliResult sent = cli.run({"--verbose", "send", "--in", edited, "--target", c.target});
        EXPECT_EQ(sent.exitCode, 0) << sent.err.toStdString();
        for (const char *status :
             {"Transmission successful GE - Line Ok!", "Transmission successful MA - Line Ok!",
              "Transmission successful SL - Line Ok!"})
            EXPECT_TRUE(sent.err.contains(status)) << status;

        for (const auto &[set, offset, length] : unstored) {
            const QByteArray got =
                frameData(sent.err, QString("< 55 %1 0%2").arg(c.getOrder).arg(set));
            const QByteArray sentData =
                frameData(sent.err, QString("> 55 %1 0%2").arg(c.sendOrder).arg(set));
            ASSERT_EQ(got.size(), 32) << set;
            EXPECT_EQ(sentData.mid(offset, length), got.mid(offset, length))
                << set << "+" << offset;
        }

        const CliResult after = cli.run({"get", "--target", c.target});
        EXPECT_EQ(after.exitCode, 0);
        EXPECT_EQ(after.out, text);
        const QJsonObject sets =
            cli.run({"get", "--target", c.target, "--json"}).jsonLines().value(0);
        EXPECT_EQ(jsonAt(sets, "general/setpointUm"), "12345");
        EXPECT_EQ(jsonAt(sets, "master/power"), "321");
        EXPECT_NE(jsonAt(sets, "slave/power"), "321");
        EXPECT_EQ(jsonAt(sets, "slave/videoThreshold"), "77");
        EXPECT_NE(jsonAt(sets, "master/videoThreshold"), "77");
        EXPECT_EQ(cli.run({"get", "--target", c.otherTarget}).out, other.out) << c.otherTarget;
    }
}

TEST(Cli, DataCommandsPrintTheirLines) {
    struct Case {
        QStringList args;
        int lines;
        int fields;  // tab-separated fields per line
    };
    const Case cases[] = {
        {{"run", "--count", "5"}, 5, 9},
        {{"video"}, 128, 3},
        {{"calib-read"}, 13, 3},
        {{"teach"}, 4, 2},
        {{"reset"}, 0, 0},
        {{"line-test"}, 0, 0},
        // --json: one object a line, with this many fields.
        {{"run", "--count", "5", "--json"}, 5, 13},
        {{"video", "--json"}, 1, 4},
        {{"calib-read", "--json"}, 1, 2},
    };
    SimProcess sim;
    ASSERT_TRUE(sim.start());
    for (Line line : {Line::Tcp, Line::Serial}) {
        for (const Case &c : cases) {
            const std::string what = c.args.join(' ').toStdString();
            const CliResult r = Cli(&sim, line).run(c.args);
            EXPECT_EQ(r.exitCode, 0) << what << "\n" << r.err.toStdString();
            const QStringList lines = r.outLines();
            EXPECT_EQ(lines.size(), c.lines) << what;
            if (c.args.contains("--json")) {
                for (const QJsonObject &o : r.jsonLines()) EXPECT_EQ(o.size(), c.fields) << what;
                continue;
            }
            for (const QString &l : lines) EXPECT_EQ(l.split('\t').size(), c.fields) << what;
        }
    }
    const QStringList video = Cli(&sim).run({"video"}).outLines();
    ASSERT_EQ(video.size(), 128);
    EXPECT_EQ(video[1].section('\t', 0, 0), "64");  // 8192 subpixels over 128 points
    const QJsonObject profiles = Cli(&sim).run({"video", "--json"}).jsonLines().value(0);
    EXPECT_EQ(profiles.value("x").toArray().at(1).toInt(), 64);
    EXPECT_EQ(profiles.value("master").toArray().size(), 128);
    EXPECT_NE(profiles.value("master"), profiles.value("slave"));
}

// run --json: the distances also in mm, and where the value lies against the thresholds of the
// parameter sets the sensor holds in RAM (set-point mode, unequal tolerances).
TEST(Cli, RunJsonSaysWhereTheValueLies) {
    struct Case {
        int setpointUm;
        const char *tolerance;
    };
    SimProcess sim;
    ASSERT_TRUE(sim.start());
    Cli cli(&sim);
    QTemporaryDir dir;
    const QString path = dir.filePath("para.ini");
    ASSERT_EQ(cli.run({"get", "--target", "ram", "--out", path}).exitCode, 0);
    QByteArray text = withValue(readFile(path), "PARA0", "Hardware-Mode", 0);
    text = withValue(text, "PARA0", "Measurement-Mode", 1);
    text = withValue(text, "PARA0", "um-Upper-Tolerance", 800);
    text = withValue(text, "PARA0", "um-Lower-Tolerance", 200);
    // The simulated value lies near 50.6 mm: the band is set-point - 0.2 mm to + 0.8 mm.
    for (const Case &c : {Case{50300, "in"}, Case{45000, "above"}, Case{56000, "below"}}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(withValue(text, "PARA0", "um-Setpoint", c.setpointUm));
        file.close();
        ASSERT_EQ(cli.run({"send", "--in", path, "--target", "ram"}).exitCode, 0);
        const QJsonObject record = cli.run({"run", "--count", "1", "--json"}).jsonLines().value(0);
        EXPECT_EQ(record.value("tolerance").toString().toStdString(), c.tolerance) << c.setpointUm;
        EXPECT_EQ(record.value("masterMm").toDouble(), record.value("masterUm").toInt() / 1000.0);
        EXPECT_EQ(record.value("slaveMm").toDouble(), record.value("slaveUm").toInt() / 1000.0);
        EXPECT_EQ(record.value("valueMm").toDouble(), record.value("valueUm").toInt() / 1000.0);
        EXPECT_NE(record.value("masterMm"), record.value("slaveMm"));
    }
}

TEST(Cli, InterruptEndsRunCleanly) {
    SimProcess sim;
    ASSERT_TRUE(sim.start());
    Cli cli(&sim);
    cli.start({"run", "--interval", "0.05"});
    int samples = 0;
    EXPECT_TRUE(interruptWhen(cli, [&](const QByteArray &line) {
        samples += line.count('\t') == 8;
        return samples == 2;
    }));
    EXPECT_EQ(cli.finish().exitCode, 0);
}

// Bad input: a one-line error naming the problem, a non-zero status, and no parameter frame on
// the wire; input refused before the link is used sends no frame at all.
TEST(Cli, BadInputSendsNothing) {
    QTemporaryDir dir;
    const QString paraFile =
        writeFile(dir.filePath("K-TAV-PARA.ini"), "[PARA1]\r\nPower = 300\r\n");
    const QString broken = writeFile(dir.filePath("broken.dat"), "[HEADER]\nTYPE 610409\n");
    const QString noParameter = writeFile(dir.filePath("other.ini"), "[PARA1]\r\nPower = x\r\n");
    const QString recording = dir.filePath("RECORD.DAT");
    struct Case {
        QStringList simOptions;
        QStringList args;
        int exitCode;
        const char *problem;  // in the last line of standard error
    };
    const Case cases[] = {
        {{}, {"send", "--in", "/nonexistent/K-TAV-PARA.ini"}, 66, "/nonexistent/K-TAV-PARA.ini"},
        {{}, {"send", "--in", noParameter}, 65, "holds no parameter"},
        {{}, {"send", "--in", dir.path()}, 66, "not a file"},
        {{}, {"get", "--out", paraFile}, 73, "--force"},
        {{"--error-reply", "2=0"}, {"send", "--in", paraFile}, 1, "nothing sent"},  // no sets read
        {{"--drop-every", "1"}, {"send", "--in", paraFile}, 1, "hardware record"},
        {{}, {"fly"}, 64, "'fly'"},
        {{}, {"get", "--speed", "3"}, 64, "speed"},
        {{}, {"get", "--count", "3"}, 64, "--count"},  // an option of another command
        {{}, {"get", "--target", "flash"}, 64, "'flash'"},
        {{}, {"send"}, 64, "--in"},
        {{}, {"linearize", "sideways"}, 64, "off, master, slave"},
        {{}, {"calib-write", "--file", broken, "--table"}, 64, "--sensor"},
        {{}, {"calib-write", "--file", broken, "--sensor", "slave"}, 64, "--header"},
        {{}, {"calib-write", "--file", broken, "--sensor", "slave", "--table"}, 66, "no valid"},
        // What the reader of recordings would refuse in the header, or would never end.
        {{}, {"record", "--out", recording, "--count", "32001"}, 64, "--count"},
        {{}, {"record", "--out", recording, "--interval", "-1"}, 64, "'-1'"},
        {{}, {"record", "--out", recording, "--interval", "nan"}, 64, "'nan'"},
        {{}, {"record", "--out", recording, "--interval", "inf"}, 64, "'inf'"},
        {{}, {"record", "--out", recording, "--trigger", "--reconnect"}, 64, "--reconnect"},
        {{}, {"publish", "--topic", "head"}, 64, "--mqtt"},
        {{}, {"publish", "--mqtt", "127.0.0.1:0", "--topic", "head"}, 64, "'127.0.0.1:0'"},
        {{}, {"publish", "--mqtt", "127.0.0.1", "--topic", "head/#"}, 64, "'head/#'"},
        {{}, {"publish", "--mqtt", "127.0.0.1", "--topic", "head", "--qos", "2"}, 64, "'2'"},
        {{},
         {"publish", "--mqtt", "127.0.0.1", "--topic", "head", "--every", "2", "--rate", "5"},
         64,
         "--every and --rate"},
        {{},
         {"publish", "--mqtt", "127.0.0.1", "--topic", "head", "--user", "u", "--password-file",
          "/nonexistent/secret"},
         66,
         "/nonexistent/secret"},
    };
    for (const Case &c : cases) {
        const std::string what = (c.simOptions + c.args).join(' ').toStdString();
        SimProcess sim;
        ASSERT_TRUE(sim.start(c.simOptions)) << what;
        const CliResult r = Cli(&sim).run(QStringList{"--verbose"} + c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << what << "\n" << r.err.toStdString();
        ASSERT_FALSE(r.errLines().isEmpty()) << what;
        EXPECT_TRUE(r.errLines().last().startsWith("k-tav-cli: ")) << what;
        EXPECT_TRUE(r.errLines().last().contains(c.problem)) << what << "\n" << r.err.toStdString();
        EXPECT_FALSE(hasRequestWithOrder(r.err, "01")) << what;
        EXPECT_FALSE(hasRequestWithOrder(r.err, "03")) << what;
        EXPECT_TRUE(r.out.isEmpty()) << what;
        if (c.exitCode != 1) {
            EXPECT_FALSE(r.err.contains("> 55 ")) << what << ": nothing sent";
        }
    }
    EXPECT_FALSE(QFile::exists(recording));
}

TEST(Cli, HelpNamesEveryCommandAndOptionAndVersionIsTheProgramsVersion) {
    const CliResult r = Cli().run({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char *word :
         {"identify",   "get",       "send",     "run",        "video",     "teach", "reset",
          "calib-read", "line-test", "--tcp",    "--com",      "--baud",    "--dir", "--target",
          "--out",      "--in",      "--count",  "--interval", "--verbose", "ports", "calib-write",
          "linearize",  "--file",    "--sensor", "--header",   "--table",   "stats", "plot",
          "--upper",    "--lower",   "--width",  "--height",   "--version", "--json"})
        EXPECT_TRUE(r.out.contains(word)) << word;
    const CliResult version = Cli().run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QByteArray("k-tav-cli " KTAV_VERSION "\n"));
}

// The simulator's pseudo-terminal named by KTAV_COM1 is port 1, also when --com names the
// device itself, and a device without a number of its own works as well.
TEST(Cli, PortsAndComByDevice) {
    SimProcess sim;
    ASSERT_TRUE(sim.start());
    const QString pty = QString::fromStdString(sim.ptyPath());
    Cli lister;
    lister.setEnv("KTAV_COM1", pty);
    const CliResult ports = lister.run({"ports"});
    EXPECT_EQ(ports.exitCode, 0);
    const QStringList lines = ports.outLines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("PORT")) << lines[0].toStdString();
    const QStringList first = lines[1].split(' ', Qt::SkipEmptyParts);
    ASSERT_GE(first.size(), 2);
    EXPECT_EQ(first[0], "1");
    EXPECT_EQ(first[1], pty);

    for (const bool mapped : {true, false}) {
        Cli cli;
        if (mapped) cli.setEnv("KTAV_COM1", pty);
        const CliResult r = cli.run({"--com", pty, "line-test"});
        EXPECT_EQ(r.exitCode, 0) << mapped << r.err.toStdString();
    }
    const CliResult missing = Cli().run({"--com", "/dev/ttyNONE9", "line-test"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("No serial port found")) << missing.err.toStdString();
    EXPECT_TRUE(missing.err.contains("/dev/ttyNONE9")) << missing.err.toStdString();
}

// A device the user may not open names the device and the group to join, on the tool's
// standard error and in the program's status line; run as an unprivileged user.
TEST(Cli, PortWithoutPermissionNamesTheGroup) {
    QTemporaryDir dir("/tmp/kp-XXXXXX");
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                      QFile::ExeOwner | QFile::ReadOther |
                                                      QFile::ExeOther | QFile::WriteOther));
    const QString device = dir.filePath("ttyK1");
    QFile(device).open(QIODevice::WriteOnly);
    QStringList asUser;  // root reads every file: the tools then run as nobody
    QString group;
    if (geteuid() == 0) {
        ASSERT_EQ(chown(QFile::encodeName(device).constData(), 0, 20), 0);  // group dialout
        ASSERT_EQ(chmod(QFile::encodeName(device).constData(), 0660), 0);
        asUser = {"--reuid=65534", "--regid=65534", "--clear-groups"};
        group = "dialout";
    } else {
        ASSERT_EQ(chmod(QFile::encodeName(device).constData(), 0), 0);
        group = QString::fromLocal8Bit(qgetenv("USER"));
    }
    const QString expected = device + ": no permission; add user to group ";
    auto run = [&](const QString &program, const QStringList &args) {
        QProcess proc;
        endWithTest(proc);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("KTAV_COM1", device);
        env.insert("HOME", dir.path());
        env.insert("XDG_RUNTIME_DIR", dir.path());
        proc.setProcessEnvironment(env);
        if (asUser.isEmpty()) {
            proc.start(program, args);
        } else {
            proc.start("setpriv", asUser + QStringList{program} + args);
        }
        EXPECT_TRUE(proc.waitForFinished(60000)) << program.toStdString();
        return QString::fromLocal8Bit(proc.readAllStandardError());
    };
    const QString err = run(KTAV_CLI_PATH, {"--com", "1", "line-test"});
    EXPECT_TRUE(err.contains(expected)) << err.toStdString();
    if (!asUser.isEmpty()) {
        EXPECT_TRUE(err.contains(expected + group)) << err.toStdString();
    }

    const QString log = dir.filePath("status.log");
    run(KTAV_PROGRAM_PATH,
        {"--dir", dir.path(), "--log", log, "--screenshot", dir.filePath("shot.png")});
    EXPECT_TRUE(readFile(log).contains(expected.toLocal8Bit())) << readFile(log).toStdString();
}

// The program refuses options it cannot carry out; a settings file it cannot write on close is
// told on standard error and in the status log, and by its exit status.
TEST(Cli, ProgramReportsWhatItCannotWrite) {
    QTemporaryDir dir;
    const QString log = dir.filePath("status.log");
    ASSERT_TRUE(QDir(dir.path()).mkdir("PX-MS-Vista.ini"));  // in the way of the settings file
    const QString notSaved = "Settings not saved: " + dir.filePath("PX-MS-Vista.ini");
    struct Case {
        QStringList args;
        int exitCode;
        QString says;
    };
    const Case cases[] = {
        {{"--screenshot-delay", "3601"}, 1, "--screenshot-delay takes 0 to 3600 seconds"},
        {{"--screenshot-delay", "-1"}, 1, "--screenshot-delay takes 0 to 3600 seconds"},
        {{"--screenshot-delay", "soon"}, 1, "--screenshot-delay takes 0 to 3600 seconds"},
        {{"--screenshot", dir.filePath("none/shot.png")}, 1, "--screenshot: no folder"},
        {{"--log", dir.filePath("none/status.log")}, 1, "--log: no folder"},
        {{"--log", log}, EXIT_NOT_SAVED, notSaved + ": Is a directory"},
    };
    for (const Case &c : cases) {
        Cli program;
        program.process().setProgram(KTAV_PROGRAM_PATH);
        program.setEnv("KTAV_COM1", "/nonexistent/ttyK1");
        const CliResult r = program.run(QStringList{"--dir", dir.path(), "--screenshot",
                                                    dir.filePath("shot.png")} +
                                        c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.says)) << r.err.toStdString();
    }
    EXPECT_TRUE(readFile(log).contains(notSaved.toLocal8Bit())) << readFile(log).toStdString();
}

namespace {

// Fifty samples around the set-point of 10 mm, MASTER and SLAVE apart, one a second from
// 10:00:00, with a gap of three seconds before the last.
RecFixture statsFixture() {
    RecFixture f;
    f.sampleCount = 50;
    f.increment = "1.000000";
    for (int i = 0; i < 50; ++i) {
        static char times[50][9];
        const int t = 36000 + i + (i == 49 ? 3 : 0);
        std::snprintf(times[i], sizeof times[i], "%02d:%02d:%02d", t / 3600, t / 60 % 60, t % 60);
        const int32_t val = 10000 + static_cast<int32_t>(std::lround(140 * std::sin(i * 0.7)));
        f.samples.push_back({times[i], 50000 + 7 * i, 48000 - 3 * i + (i % 5) * 11, val,
                             static_cast<uint16_t>(800 + i), static_cast<uint16_t>(600 - i), 1000,
                             2000, 3000});
    }
    return f;
}

QString writeRecording(const QTemporaryDir &dir, const QByteArray &bytes) {
    return writeFile(dir.filePath("RECORD.DAT"), bytes);
}

// The numbers of the row of `column` in the stats table.
QStringList statsRow(const CliResult &r, const char *column) {
    for (const QString &line : r.outLines()) {
        const QStringList words = line.split(' ', Qt::SkipEmptyParts);
        if (!words.isEmpty() && words[0] == column) return words.mid(1);
    }
    return {};
}

}  // namespace

TEST(Cli, StatsGiveTheFiguresOfTheSamples) {
    QTemporaryDir dir;
    const RecFixture f = statsFixture();
    const QString path = writeRecording(dir, RecFixtureBytes(f));
    const double upper = 100.0, lower = 150.0;  // µm
    const CliResult r = Cli().run({"stats", path, "--upper", "0.1", "--lower", "0.15"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(
        r.out.contains("first 10:00:00, last 10:00:52\nIntervals:   mean 1.06 s (time "
                       "stamps in whole seconds), largest gap 4 s, 1 longer than 1.5 "
                       "increments"))
        << r.out.toStdString();

    struct Column {
        const char *name;
        int32_t RecFixtureSample::*value;
    };
    for (const Column c : {Column{"MA", &RecFixtureSample::ma}, Column{"SL", &RecFixtureSample::sl},
                           Column{"VAL", &RecFixtureSample::val}}) {
        std::vector<double> v;
        for (const RecFixtureSample &s : f.samples) v.push_back(s.*c.value);
        double mean = 0, var = 0;
        for (double x : v) mean += x / v.size();
        for (double x : v) var += (x - mean) * (x - mean) / (v.size() - 1);
        const double sigma = std::sqrt(var);
        const double usl = f.setpoint + upper, lsl = f.setpoint - lower;
        const double outside =
            100.0 *
            std::count_if(v.begin(), v.end(), [&](double x) { return x > usl || x < lsl; }) /
            v.size();
        const double expected[] = {double(v.size()),
                                   *std::min_element(v.begin(), v.end()) / 1000,
                                   *std::max_element(v.begin(), v.end()) / 1000,
                                   mean / 1000,
                                   sigma / 1000,
                                   outside,
                                   (usl - lsl) / (6 * sigma),
                                   std::min(usl - mean, mean - lsl) / (3 * sigma)};
        const double precision[] = {0, 0.0005, 0.0005, 0.00005, 0.00005, 0.005, 0.0005, 0.0005};
        const QStringList row = statsRow(r, c.name);
        ASSERT_EQ(row.size(), 8) << c.name << r.out.toStdString();
        for (int i = 0; i < 8; ++i)
            EXPECT_NEAR(row[i].toDouble(), expected[i], precision[i] + 1e-9)
                << c.name << " figure " << i;
    }
    EXPECT_GT(statsRow(r, "VAL")[5].toDouble(), 0.0) << "the fixture has samples outside";

    const CliResult plain = Cli().run({"stats", path});
    EXPECT_EQ(statsRow(plain, "VAL").mid(5), QStringList({"-", "-", "-"}))
        << "no tolerances: no share outside, no Cp, no Cpk";
}

// What the header and the stamps tell: the mode, the set-point the tolerances are taken around
// (a header set-point of 0 is no set-point mode) and intervals from whole-second stamps.
TEST(Cli, StatsTellTheModeTheSetpointAndTheIntervals) {
    QTemporaryDir dir;
    RecFixture f = statsFixture();
    f.samples.resize(10);  // 0.5 s apart: VAL from 10.000 mm up 50 µm a sample
    for (int i = 0; i < 10; ++i) {
        static char times[10][9];
        std::snprintf(times[i], sizeof times[i], "10:00:%02d", 1 + i / 2);
        f.samples[i].time = times[i];
        f.samples[i].val = 10000 + 50 * i;
    }
    struct Case {
        const char *increment;
        bool withCount;
        int32_t setpoint;
        QStringList args;
        int exitCode;
        const char *shown;
        const char *valOutside;  // the share in the VAL row, if any
    };
    const Case cases[] = {
        {"0.500000",
         true,
         0,
         {},
         0,
         "Mode:        polled every 0.5 s\nSet-point:   none (not recorded in set-point mode)\n"
         "Samples:     10, first 10:00:01, last 10:00:05\nIntervals:   mean 0.500 s (time stamps "
         "in whole seconds), largest gap 1 s, 0 longer than 1.5 increments\n",
         "-"},
        {"0", true, 0, {}, 0, "Mode:        polled as fast as the link allowed\n", nullptr},
        {"0", false, 0, {}, 0, "Mode:        external trigger\n", nullptr},
        {"0.500000", true, 0, {"--upper", "0.1"}, 64, "--setpoint", nullptr},
        {"0.500000",
         true,
         0,
         {"--setpoint", "10.2", "--lower", "0.1"},
         0,
         "Set-point:   10.200 mm (--setpoint), lower tolerance 0.100 mm\n",
         "20.00"},
        {"0.500000",
         true,
         10100,
         {"--upper", "0.1"},
         0,
         "Set-point:   10.100 mm, upper tolerance 0.100 mm\n",
         "50.00"},
    };
    for (const Case &c : cases) {
        f.increment = c.increment;
        f.withSampleCount = c.withCount;
        f.setpoint = c.setpoint;
        const QString path = writeRecording(dir, RecFixtureBytes(f));
        const CliResult r = Cli().run(QStringList{"stats", path} + c.args);
        const std::string what = c.args.join(' ').toStdString() + " " + c.increment;
        EXPECT_EQ(r.exitCode, c.exitCode) << what << r.err.toStdString();
        EXPECT_TRUE((r.out + r.err.toUtf8()).contains(c.shown)) << what << r.out.toStdString();
        if (c.valOutside) {
            EXPECT_EQ(statsRow(r, "VAL").value(5), c.valOutside) << what;
        }
    }
}

// Peak resident memory [kB] of a run of the tool, as the kernel accounts the ended child; -1
// when it did not end with status 0 within 60 s.
long peakKilobytes(const QStringList &args) {
    std::vector<QByteArray> words{KTAV_CLI_PATH};
    for (const QString &a : args) words.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    const pid_t test = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        endWithTest(test);
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0) ::dup2(null, 1);
        ::execv(KTAV_CLI_PATH, argv.data());
        ::_exit(127);
    }
    if (pid < 0) return -1;
    int status = 0;
    rusage usage{};
    const double deadline = Timer() + 60.0;
    pid_t ended = 0;
    while ((ended = ::wait4(pid, &status, WNOHANG, &usage)) == 0 && Timer() < deadline)
        ::usleep(20000);
    if (ended == 0) {
        ADD_FAILURE() << "k-tav-cli " << args.join(' ').toStdString() << " ran past 60 s";
        ::kill(pid, SIGKILL);
        ::wait4(pid, &status, 0, &usage);
        return -1;
    }
    return ended == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? usage.ru_maxrss : -1;
}

// A recording 400 times longer (20 MB) needs no more memory to be read and plotted.
TEST(Cli, StatsAndPlotReadAnyLengthInBoundedMemory) {
    QTemporaryDir dir;
    auto recording = [&](const char *name, int samples) {
        QByteArray b = RecFixtureHeader(statsFixture());
        char line[80];
        for (int i = 0; i < samples; ++i) {
            const int t = 36000 + i / 4;  // four samples a second
            b.append(line,
                     std::snprintf(line, sizeof line,
                                   "%02d:%02d:%02d\t%d\t%d\t%d\t812\t640\t1021\t2011\t3300\r\n",
                                   t / 3600 % 24, t / 60 % 60, t % 60, 50000 + i % 97,
                                   48000 - i % 89, 10000 + i % 101));
        }
        return writeFile(dir.filePath(name), b);
    };
    const QString small = recording("small.dat", 1000), large = recording("large.dat", 400000);
    for (const QStringList &extra :
         {QStringList{"stats"}, QStringList{"plot", "--force", "--out", dir.filePath("p.png")}}) {
        const long smallPeak = peakKilobytes(extra + QStringList{small});
        const long largePeak = peakKilobytes(extra + QStringList{large});
        ASSERT_GT(smallPeak, 0) << extra[0].toStdString();
        ASSERT_GT(largePeak, 0) << extra[0].toStdString();
        EXPECT_LT(largePeak - smallPeak, 8 * 1024) << extra[0].toStdString();
    }
}

TEST(Cli, StatsAndPlotRejectAFileThatIsNoRecording) {
    QTemporaryDir dir;
    QByteArray bytes = RecFixtureBytes(statsFixture());
    bytes.replace("10:00:07\t", "10:00:07 ");
    const QString path = writeRecording(dir, bytes);
    for (const QStringList &args :
         {QStringList{"stats", path}, QStringList{"plot", path, "--out", dir.filePath("p.png")}}) {
        const CliResult r = Cli().run(args);
        EXPECT_EQ(r.exitCode, 65) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(path + ":18:")) << r.err.toStdString();  // header 10 lines
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("p.png")));
    // Only regular files: a FIFO would wait for a writer; nothing is opened.
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString &input : {dir.filePath("none.dat"), dir.path(), fifo}) {
        for (const QStringList &args : {QStringList{"stats", input},
                                        QStringList{"plot", input, "--out", dir.filePath("p.png")}})
            EXPECT_EQ(Cli().run(args).exitCode, 66) << args.join(' ').toStdString();
    }
}

TEST(Cli, PlotWritesAPictureOfTheRequestedSize) {
    QTemporaryDir dir;
    RecFixture trigger = statsFixture();
    trigger.withSampleCount = false;
    trigger.increment = "0";
    const QString path = writeRecording(dir, RecFixtureBytes(trigger));
    struct Case {
        QStringList size;
        int width, height;
    };
    for (const Case &c :
         {Case{{}, 800, 500}, Case{{"--width", "1203", "--height", "97"}, 1203, 97}}) {
        const QString out = dir.filePath(QString("plot-%1.png").arg(c.width));
        const CliResult r = Cli().run(
            QStringList{"plot", path, "--out", out, "--upper", "0.1", "--lower", "0.15"} + c.size);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QImage image(out);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.width(), c.width);
        EXPECT_EQ(image.height(), c.height);
        EXPECT_TRUE(image.allGray() == false) << "the traces are drawn in colour";
    }
    // The thick VAL trace stays visible where the thin MA trace runs on it.
    RecFixture same = statsFixture();
    for (RecFixtureSample &sample : same.samples) sample.ma = sample.val;
    const QString samePath = writeFile(dir.filePath("same.dat"), RecFixtureBytes(same));
    const QString sameOut = dir.filePath("same.png");
    ASSERT_EQ(Cli().run({"plot", samePath, "--out", sameOut}).exitCode, 0);
    const QImage image(sameOut);
    int valPixels = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) valPixels += image.pixel(x, y) == 0xFF006400;
    EXPECT_GT(valPixels, 200);
    EXPECT_EQ(Cli().run({"plot", path}).exitCode, 64) << "no --out";
    EXPECT_EQ(Cli().run({"plot", path, "--out", "/nonexistent/dir/p.png"}).exitCode, 73);
    // Never over the recording; over another file only with --force.
    const QByteArray recording = readFile(path);
    EXPECT_EQ(Cli().run({"plot", path, "--out", path, "--force"}).exitCode, 73);
    EXPECT_EQ(readFile(path), recording);
    const QString existing = writeFile(dir.filePath("old.png"), "old");
    EXPECT_EQ(Cli().run({"plot", path, "--out", existing}).exitCode, 73);
    EXPECT_EQ(readFile(existing), "old");
    EXPECT_EQ(Cli().run({"plot", path, "--out", existing, "--force"}).exitCode, 0);
    EXPECT_FALSE(QImage(existing).isNull());
    // A tool without its drawing module says so and writes nothing.
    const QString alone = dir.filePath("k-tav-cli");
    ASSERT_TRUE(QFile::copy(KTAV_CLI_PATH, alone));
    Cli lone;
    lone.process().setProgram(alone);
    EXPECT_EQ(lone.run({"plot", path, "--out", dir.filePath("lone.png")}).exitCode, 69);
    EXPECT_FALSE(QFile::exists(dir.filePath("lone.png")));
}

// The value axis covers the data, not 0 to the set-point; the set-point line is drawn only where
// the recording was made in set-point mode or --setpoint gives one.
TEST(Cli, PlotShowsTheDataAndASetpointOnlyWhereThereIsOne) {
    QTemporaryDir dir;
    RecFixture f = statsFixture();  // VAL 10 mm +- 0.14 mm; MA and SL near it, apart
    for (RecFixtureSample &sample : f.samples) {
        sample.ma = sample.val + 30;
        sample.sl = sample.val - 45;
    }
    struct Case {
        int32_t setpoint;
        QStringList args;
        int blackRows;  // the frame's top and bottom, and the set-point line
    };
    for (const Case &c : {Case{10000, {}, 3}, Case{0, {}, 2}, Case{0, {"--setpoint", "10"}, 3}}) {
        f.setpoint = c.setpoint;
        const QString path = writeRecording(dir, RecFixtureBytes(f));
        const QString out = dir.filePath(QString("p%1%2.png").arg(c.setpoint).arg(c.args.size()));
        ASSERT_EQ(Cli().run(QStringList{"plot", path, "--out", out} + c.args).exitCode, 0);
        const QImage image(out);
        int rows = 0, valTop = image.height(), valBottom = 0;
        for (int y = 0; y < image.height(); ++y) {
            int black = 0;
            for (int x = 0; x < image.width(); ++x) {
                black += image.pixel(x, y) == 0xFF000000;
                const bool traceColumn = x > image.width() / 4 && x < image.width() / 2;
                if (traceColumn && image.pixel(x, y) == 0xFF006400) {
                    valTop = std::min(valTop, y);
                    valBottom = std::max(valBottom, y);
                }
            }
            rows += black > image.width() * 6 / 10;
        }
        EXPECT_EQ(rows, c.blackRows) << c.setpoint << c.args.join(' ').toStdString();
        EXPECT_GT(valBottom - valTop, image.height() / 2) << c.setpoint;
    }
}

// Ticks at 1, 2 or 5 x 10^n enclosing the range, each label a short number of its own; the time
// axis in the unit its length asks for.
TEST(Cli, PlotAxesTickAtRoundStepsWithLabelsOfTheirOwn) {
    struct Case {
        double low, high;
        int maxTicks;
        double minStep;
        const char *labels;
    };
    const Case cases[] = {
        {0.0, 4.2, 6, 1.0, "0 1 2 3 4 5"},
        {0.0, 4.2, 3, 1.0, "0 5"},
        {53.4776, 53.4784, 8, 0.001, "53.477 53.478 53.479"},
        {9.86, 10.14, 8, 0.001, "9.85 9.90 9.95 10.00 10.05 10.10 10.15"},
        {-0.003, 0.002, 6, 0.001, "-0.003 -0.002 -0.001 0.000 0.001 0.002"},
        {5.0, 5.0, 6, 0.001, "4.999 5.000 5.001"},
        {0.0, 120.0, 8, 1.0 / 60, "0 20 40 60 80 100 120"},
    };
    for (const Case &c : cases) {
        const AxisTicks t = RoundTicks(c.low, c.high, c.maxTicks, c.minStep);
        QStringList labels;
        for (int i = 0; i < t.count; ++i) labels << t.label(i);
        EXPECT_EQ(labels.join(' ').toStdString(), c.labels) << c.low << " " << c.high;
    }
    for (const auto &[seconds, unit] : {std::pair(120.0, "s"), std::pair(121.0, "min"),
                                        std::pair(7200.0, "min"), std::pair(7201.0, "h")})
        EXPECT_STREQ(TimeUnitFor(seconds).name, unit) << seconds;
}

// ---- record ----------------------------------------------------------------------------------

QList<QByteArray> recordLines(const QString &path) {
    QList<QByteArray> lines = readFile(path).split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.pop_back();
    return lines;
}

TEST(Cli, RecordWritesTheRecorderFileAndReportsHowItEnded) {
    QTemporaryDir dir;
    const QString existing = writeFile(dir.filePath("EXISTING.DAT"), "keep\r\n");
    struct Case {
        QStringList simOptions;
        Line line;
        QString out;
        QStringList args;
        int exitCode;
        int lines;                  // lines in the file afterwards
        const char *end = nullptr;  // with --json: how the last line says it ended
    };
    const Case cases[] = {
        {{},
         Line::Tcp,
         dir.filePath("A.DAT"),
         {"--interval", "0.05", "--count", "5", "--json"},
         0,
         10 + 5,
         "completed"},
        {{}, Line::Serial, dir.filePath("B.DAT"), {"--count", "3"}, 0, 10 + 3},
        // Two calibration headers and the three parameter sets come first; replies 6 and 7 are
        // samples: the time-out keeps the lines.
        {{"--drop-every", "8"},
         Line::Tcp,
         dir.filePath("C.DAT"),
         {"--count", "100", "--json"},
         1,
         10 + 2,
         "timeout"},
        {{}, Line::Tcp, existing, {"--count", "3"}, 73, 1},  // left alone
        {{}, Line::Tcp, dir.filePath("no/such/dir.dat"), {"--count", "3"}, 73, 0},
    };
    for (const Case &c : cases) {
        const std::string what = c.out.toStdString();
        SimProcess sim;
        ASSERT_TRUE(sim.start(c.simOptions)) << what;
        const CliResult r = Cli(&sim, c.line).run(QStringList{"record", "--out", c.out} + c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << what << "\n" << r.err.toStdString();
        EXPECT_EQ(recordLines(c.out).size(), c.lines) << what;
        if (c.end) {  // a sample a line, numbered, then how it ended
            const QList<QJsonObject> json = r.jsonLines();
            ASSERT_EQ(json.size(), c.lines - 10 + 1) << what;
            const QList<QByteArray> lines = recordLines(c.out);
            for (qsizetype i = 0; i + 1 < json.size(); ++i) {  // the sample's line of the file
                const QList<QByteArray> columns = lines.value(10 + i).trimmed().split('\t');
                EXPECT_EQ(jsonAt(json[i], "sample"), QString::number(i + 1)) << what;
                EXPECT_EQ(jsonAt(json[i], "masterUm"), columns.value(1)) << what;
                EXPECT_EQ(jsonAt(json[i], "slaveUm"), columns.value(2)) << what;
            }
            EXPECT_EQ(jsonAt(json.last(), "end"), c.end) << what;
            EXPECT_EQ(jsonAt(json.last(), "samples"), QString::number(c.lines - 10)) << what;
        }
        if (c.exitCode == 0) {
            EXPECT_TRUE(
                r.err.contains(QString("Data-Recorder active!   Sample: %1").arg(c.lines - 10)))
                << what;
            EXPECT_EQ(Cli().run({"stats", c.out}).exitCode, 0) << what << ": stats reads it";
        }
    }
    EXPECT_EQ(readFile(existing), QByteArray("keep\r\n"));
    EXPECT_TRUE(readFile(dir.filePath("A.DAT"))
                    .contains("Time-Increment[s]:\t0.05\r\nNumber of Samples:\t5\r\n"));
}

// record --reconnect: the simulator ends mid-run and starts again on the same port; the tool
// identifies the pair again and goes on in the same file, every line whole, and stats sees the
// gap in the time stamps.
TEST(Cli, RecordReconnectGoesOnInTheSameFile) {
    QTemporaryDir dir;
    const QString out = dir.filePath("R.DAT");
    SimProcess sim;
    ASSERT_TRUE(sim.start());
    const int port = sim.tcpPort();
    Cli cli(&sim);
    cli.start({"record", "--reconnect", "--out", out, "--interval", "0.05", "--count", "40"});
    const double deadline = Timer() + 20.0;
    while (recordLines(out).size() < 10 + 5 && Timer() < deadline)
        cli.process().waitForFinished(50);
    sim.stop();
    // Started again once the first retry has failed: the gap is then at least 3 s, which the
    // time stamps' whole seconds cannot hide.
    QString err;
    while (!err.contains("trying again in 2 s") && Timer() < deadline &&
           !cli.process().waitForFinished(50))
        err += QString::fromLocal8Bit(cli.process().readAllStandardError());
    ASSERT_TRUE(sim.start({"--tcp", QString("127.0.0.1:%1").arg(port)}));
    const CliResult r = cli.finish();
    err += r.err;
    EXPECT_EQ(r.exitCode, 0) << err.toStdString();
    EXPECT_TRUE(err.contains("sensor lost: ")) << err.toStdString();
    EXPECT_TRUE(err.contains("pair identified; recording goes on"));
    const QList<QByteArray> lines = recordLines(out);
    ASSERT_EQ(lines.size(), 10 + 40);
    for (qsizetype i = 10; i < lines.size(); ++i) {
        EXPECT_TRUE(lines[i].endsWith('\r')) << i;
        EXPECT_EQ(lines[i].trimmed().split('\t').size(), 9) << i;
    }
    const CliResult stats = Cli().run({"stats", out});
    EXPECT_EQ(stats.exitCode, 0);
    EXPECT_FALSE(stats.out.contains(", 0 longer than 1.5 increments")) << stats.out.toStdString();
}

// A disk that fills up, inside the header or inside a sample line: the header leaves no file,
// a sample line is taken back so that the file ends in a whole line, and the cause is named.
TEST(Cli, RecordOntoAFullDiskEndsTheFileInAWholeLine) {
    QTemporaryDir dir;
    SimProcess sim;
    ASSERT_TRUE(sim.start());
    for (const rlim_t limit : {100, 2000}) {
        const QString out = dir.filePath(QString("R%1.DAT").arg(limit));
        Cli cli(&sim);
        cli.limitFileSize(limit);
        const CliResult r = cli.run({"record", "--out", out, "--count", "1000"});
        EXPECT_EQ(r.exitCode, 73) << limit;
        EXPECT_EQ(r.errLines().last(),
                  QString("k-tav-cli: cannot write %1: File too large").arg(out))
            << limit;
        if (limit == 100) {
            EXPECT_FALSE(QFile::exists(out)) << "no empty file blocks the next try";
            continue;
        }
        const QByteArray bytes = readFile(out);
        EXPECT_GT(bytes.size(), 1000);
        EXPECT_TRUE(bytes.endsWith("\r\n"));
        EXPECT_EQ(Cli().run({"stats", out}).exitCode, 0);
    }
}

// The sensor already sends trigger records, every second one with damaged data; record
// --trigger takes the undamaged ones until Ctrl-C, keeps every one taken and tells how many it
// dropped.
TEST(Cli, RecordTriggerUntilInterrupt) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--trigger-hz", "20", "--corrupt-trigger-every", "2"}));
    ASSERT_TRUE(sim.openTcp());
    ResetParaBlock();
    para.ge.rs232OutMode = 1;
    PushSEND(RAM, 0);
    CloseTCP();

    QTemporaryDir dir;
    const QString out = dir.filePath("TRIGGER.DAT");
    Cli cli(&sim, Line::Serial);
    cli.start({"record", "--trigger", "--out", out});
    cli.process().setReadChannel(QProcess::StandardError);
    QByteArray seen;
    EXPECT_TRUE(interruptWhen(cli, [&](const QByteArray &line) {
        seen += line;
        return line.startsWith("Data-Recorder active!   Sample: 3");
    })) << seen.constData();
    const CliResult r = cli.finish();
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains(QRegularExpression("Data-Recorder: \\d+ damaged records? dropped")))
        << r.err.toStdString();
    const QByteArray bytes = readFile(out);
    EXPECT_TRUE(bytes.contains("Time-Increment[s]:\t0\r\nSetpoint-Value"));
    const QList<QByteArray> lines = recordLines(out);
    EXPECT_GE(lines.size(), 9 + 3);
    for (qsizetype i = 9; i < lines.size(); ++i)  // a damaged MASTER value is kilometres off
        EXPECT_LT(std::abs(lines[i].split('\t')[1].toLongLong()), 10000000) << lines[i].data();
}

// A calibration file for the MASTER whose values differ from the simulator's own table.
QString writeMasterCalibFile(const QTemporaryDir &dir, QStringList &values) {
    for (int k = 0; k < 2048; ++k) values << QString::number(3 + 5 * k);
    return writeFile(dir.filePath("master.dat"),
                     "[HEADER]\nTYPE\t610409\nPARAM1\t3\nRANGE\t12000\nOFFSET\t40000\nPARAM2\t7\n"
                     "LENGTH\t2048\n[XFLASH]\n" +
                         values.join('\n').toLatin1() + "\n");
}

// The MASTER's table words as the simulator's state file holds them.
QStringList tableInState(const QString &state) {
    QProcess print;
    endWithTest(print);
    print.start(KTAV_SIM_PATH, {"--state", state, "--print-table", "master"});
    EXPECT_TRUE(print.waitForFinished(10000));
    return QString::fromLatin1(print.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

TEST(Cli, CalibWriteIdentifiesWritesAndVerifiesOrSaysWhatItLeft) {
    DataHome home;
    QTemporaryDir dir;
    QStringList values;
    const QString file = writeMasterCalibFile(dir, values);
    const QString state = dir.filePath("state.bin");

    SimProcess sim;
    ASSERT_TRUE(sim.start({"--state", state, "--master-type", "610409", "--slave-type", "610412"}));
    CliResult r = Cli(&sim).run(
        {"--verbose", "calib-write", "--file", file, "--sensor", "master", "--header", "--table"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(hasRequestWithOrder(r.err, "07")) << "identified first";
    EXPECT_TRUE(r.err.contains("MASTER table erase 8 of 8: Erase XFLASH-PAGE9 -> Ok!"));
    EXPECT_EQ(r.errLines().last(), "MASTER table written and verified -> Ok!");
    r = Cli(&sim).run({"calib-read"});
    EXPECT_TRUE(r.out.contains("Range [um]\t12000\t10000")) << r.out.toStdString();
    // --json: each side's model and header in its own object.
    const QJsonObject identity = Cli(&sim).run({"identify", "--json"}).jsonLines().value(0);
    const QJsonObject headers = Cli(&sim).run({"calib-read", "--json"}).jsonLines().value(0);
    for (const auto &[object, path, value] : {std::tuple(identity, "master/model", "PX-M4"),
                                              {identity, "slave/model", "PX-M5"},
                                              {identity, "master/calibration/rangeUm", "12000"},
                                              {identity, "slave/calibration/rangeUm", "10000"},
                                              {identity, "master/calibration/typeCode", "610409"},
                                              {identity, "slave/calibration/offsetUm", "50000"},
                                              {identity, "subpixels", "8192"},
                                              {identity, "serialNumber", "1001"},
                                              {headers, "master/param2", "7"},
                                              {headers, "slave/param2", "0"}})
        EXPECT_EQ(jsonAt(object, path), value) << path;
    sim.stop();
    EXPECT_EQ(tableInState(state), values);

    struct Case {
        QStringList simOptions;
        int exitCode;
        const char *text;  // in standard error
    };
    const Case cases[] = {
        // A page that cannot be written: nothing after it reports success.
        {{"--fail-flash-page", "4"},
         1,
         "MASTER table page 3 of 8 failed at 0x1400: table incomplete!"},
        {{"--error-reply", "184=0"}, 4, "the linearisation table was written, but not verified"},
        {{"--corrupt-flash-page", "6"},
         5,
         "MASTER table read-back differs at 0x1600: table corrupt!"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        ASSERT_TRUE(sim.start(c.simOptions));
        r = Cli(&sim).run({"calib-write", "--file", file, "--sensor", "master", "--table"});
        EXPECT_EQ(r.exitCode, c.exitCode);
        const qsizetype at = r.err.indexOf(c.text);
        ASSERT_GE(at, 0) << r.err.toStdString();
        EXPECT_FALSE(r.err.mid(at).contains("Ok")) << r.err.toStdString();
        sim.stop();
    }
}

TEST(Cli, AKilledTableWriteIsReportedByIdentifyAndCalibRead) {
    DataHome home;
    QTemporaryDir dir;
    const QString file = writeFile(dir.filePath("slave.dat"), [] {
        QByteArray text =
            "[HEADER]\nTYPE\t610412\nPARAM1\t4\nRANGE\t25000\nOFFSET\t60000\nPARAM2\t9\n"
            "LENGTH\t2048\n[XFLASH]\n";
        for (int k = 0; k < 2048; ++k) text += QByteArray::number(20000 + 7 * k) + "\n";
        return text;
    }());
    SimProcess sim;
    ASSERT_TRUE(sim.start());
    Cli writer(&sim);
    writer.process().setReadChannel(QProcess::StandardError);
    writer.start({"calib-write", "--file", file, "--sensor", "slave", "--table"});
    // Interrupted as a killed program or a power cut would leave it.
    EXPECT_TRUE(interruptWhen(writer, [](const QByteArray &line) {
        return line.startsWith("SLAVE table block 5 of 256");
    }));
    EXPECT_NE(writer.finish().exitCode, 0);
    for (const char *command : {"identify", "calib-read"}) {
        const CliResult r = Cli(&sim).run({command});
        EXPECT_EQ(r.exitCode, 3) << command;
        EXPECT_EQ(r.errLines().value(r.errLines().size() - 1),
                  "k-tav-cli: SLAVE calibration table incomplete: write it again!")
            << command << r.err.toStdString();
        EXPECT_TRUE(r.out.contains("Calibration header\tMASTER\tSLAVE"))
            << "identified all the same";
        const CliResult json = Cli(&sim).run({command, "--json"});
        EXPECT_EQ(json.exitCode, 3) << command;
        EXPECT_EQ(jsonAt(json.jsonLines().value(0), "warning"),
                  "SLAVE calibration table incomplete: write it again!")
            << command;
    }
}

TEST(Cli, LinearizeSendsTheMode) {
    SimProcess sim;
    ASSERT_TRUE(sim.start());
    const CliResult r = Cli(&sim).run({"--verbose", "linearize", "slave"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(hasRequestWithOrder(r.err, "13 02 00")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("Activate spi-slave-linearisation -> Ok!"));
}
