// k-tav-cli publish between the simulator and the real mosquitto broker, mosquitto_sub as the
// plant: what arrives against the tool's --verbose replies, identify/get --json and the audit
// log; a restarted broker or simulator must not end the run, nor make it publish a record twice
// or invent one.
#include <QJsonDocument>
#include <QJsonObject>

#include "core/audit/audittrail.h"
#include "mosquitto_process.h"
#include "support.h"

namespace {

const QString kPrefix = "plant/head-7";

// mosquitto_sub on every topic under the prefix: the messages that arrived, in their order.
struct Subscriber {
    explicit Subscriber(int port) {
        endWithTest(proc);
        QObject::connect(&proc, &QProcess::readyReadStandardOutput, [this] {
            while (proc.canReadLine()) {
                const QByteArray line = proc.readLine().trimmed();
                const qsizetype space = line.indexOf(' ');
                topics << QString::fromLatin1(line.left(space)).mid(kPrefix.size() + 1);
                payloads << line.mid(space + 1);
            }
        });
        proc.start("mosquitto_sub",
                   {"-h", "127.0.0.1", "-p", QString::number(port), "-t", kPrefix + "/#", "-v"});
    }
    ~Subscriber() { stopProcess(proc); }
    // Whether the subscription is in place: a probe sent to the broker comes back.
    bool ready(int port) {
        const auto back = [this] { return !on("probe").isEmpty(); };
        for (int i = 0; i < 60 && !back(); ++i) {
            QProcess::execute("mosquitto_pub", {"-h", "127.0.0.1", "-p", QString::number(port),
                                                "-t", kPrefix + "/probe", "-m", "1"});
            ::waitFor(back, 0.5);
        }
        return back();
    }
    // Lets messages arrive until `enough` holds or 30 s pass: whether it holds.
    bool waitFor(const std::function<bool()> &enough) { return ::waitFor(enough, 30); }
    // The messages that arrived on `topic`, from message `from` on.
    QList<QByteArray> on(const QString &topic, qsizetype from = 0) const {
        QList<QByteArray> found;
        for (qsizetype i = from; i < topics.size(); ++i)
            if (topics[i] == topic) found << payloads[i];
        return found;
    }

    QStringList topics;
    QList<QByteArray> payloads;
    QProcess proc;  // the last member: it ends first, before the lists its output goes to
};

const auto local = [](int port) { return QString("127.0.0.1:%1").arg(port); };

// The one line of `k-tav-cli <args>` against the simulator.
QByteArray cliLine(const SimProcess &sim, const QStringList &args) {
    QProcess cli;
    endWithTest(cli);
    cli.start(KTAV_CLI_PATH, QStringList{"--tcp", local(sim.tcpPort())} + args);
    cli.waitForFinished(30000);
    return cli.readAllStandardOutput().trimmed();
}

}  // namespace

// A lost sensor is tried again after 1 s, then 2 s; SIGTERM ends the run in order, the broker
// told offline, while it runs and while it waits for a lost sensor.
TEST(Publish, ResumesAfterALostBrokerOrSensorWithoutDuplicateOrInventedRecords) {
    // Whether the broker is lost (else the simulator is restarted; with `endLost` not before the
    // signal), the QoS, and whether over the simulator's pseudo-terminal, which goes with it.
    for (const auto &[brokerLost, qos, serial, endLost] : {std::tuple(true, "0", false, false),
                                                           {false, "1", false, false},
                                                           {false, "0", true, false},
                                                           {false, "0", false, true}}) {
        SCOPED_TRACE(std::string(brokerLost ? "broker" : "simulator") + " lost, qos " + qos +
                     (serial ? ", serial" : "") + (endLost ? ", ended lost" : ""));
        QTemporaryDir dir;
        // The serial device is a link the simulator makes again when it starts again.
        const QString device = dir.filePath("ttyPair");
        const QStringList simOptions = {"--master-type", "610409", "--slave-type",
                                        "610412",        "--pty",  device};
        SimProcess sim;
        ASSERT_TRUE(sim.start(simOptions));
        const QByteArray identity = cliLine(sim, {"identify", "--json"});
        const QByteArray parameters = cliLine(sim, {"get", "--json"});
        MosquittoProcess broker;
        ASSERT_TRUE(broker.start());
        Subscriber sub(broker.port());
        ASSERT_TRUE(sub.ready(broker.port()));
        QProcess cli;
        endWithTest(cli);
        cli.setStandardErrorFile(dir.filePath("frames.log"));
        cli.start(KTAV_CLI_PATH,
                  {serial ? "--com" : "--tcp", serial ? device : local(sim.tcpPort()), "--verbose",
                   "publish", "--mqtt", local(broker.port()), "--topic", kPrefix + "/", "--qos",
                   qos, "--rate", "200"});
        ASSERT_TRUE(sub.waitFor([&] {
            return sub.on("measurement").size() >= 20 && !sub.on("identity").isEmpty() &&
                   !sub.on("parameters").isEmpty();
        }));
        // The first word is the truth: the pair has not been lost yet.
        EXPECT_EQ(sub.on("status").value(0), "online");
        const qsizetype before = sub.topics.size();
        if (brokerLost) {
            broker.stop();
            ASSERT_TRUE(broker.start());
            // The new broker knows nothing: the tool gives it the retained topics again.
            ASSERT_TRUE(sub.waitFor([&] { return sub.on("identity", before).size() == 1; }));
        } else {
            const int port = sim.tcpPort();
            sim.stop();
            // Tried again at once, then after 1 s, then 2 s.
            ASSERT_TRUE(sub.waitFor([&] {
                const QByteArray log = fileBytes(dir.filePath("frames.log"));
                const qsizetype lost = log.indexOf("sensor lost: no correct measurement record; "
                                                   "trying again\n");
                const qsizetype second = log.indexOf("; trying again in 1 s", lost);
                return lost > 0 && second > lost &&
                       log.indexOf("; trying again in 2 s", second) > second;
            }));
            if (endLost) {
                ::kill(pid_t(cli.processId()), SIGTERM);
                ASSERT_TRUE(cli.waitForFinished(30000));
                EXPECT_EQ(cli.exitCode(), 0);
                ASSERT_TRUE(sub.waitFor([&] { return sub.payloads.last() == "offline"; }));
                EXPECT_EQ(sub.on("status", before).value(0), "sensor-lost");
                continue;
            }
            ASSERT_TRUE(sim.start(simOptions + QStringList{"--tcp", local(port)}));
            ASSERT_TRUE(sub.waitFor([&] { return sub.on("status", before).contains("online"); }));
            EXPECT_EQ(sub.on("status", before).value(0), "sensor-lost");
        }
        const qsizetype resumed = sub.topics.size();
        ASSERT_TRUE(sub.waitFor([&] { return sub.on("measurement", resumed).size() >= 20; }));
        // A change the tool makes meanwhile (to another pair, which keeps this one's pace): its
        // line of the audit log, as it stands there.
        SimProcess other;
        ASSERT_TRUE(other.start());
        cliLine(other, {"reset"});
        const QByteArray audited = fileLines(DefaultAuditLogPath()).last();
        ASSERT_TRUE(sub.waitFor([&] { return sub.on("audit").contains(audited); }));
        ::kill(pid_t(cli.processId()), SIGTERM);
        ASSERT_TRUE(cli.waitForFinished(30000));
        EXPECT_EQ(cli.exitCode(), 0);
        ASSERT_TRUE(sub.waitFor([&] { return sub.payloads.last() == "offline"; }));
        for (const QByteArray &payload : sub.on("identity")) EXPECT_EQ(payload, identity);
        for (const QByteArray &payload : sub.on("parameters")) EXPECT_EQ(payload, parameters);
        // Each published record is one the sensor sent, in its order, and none twice.
        const auto replies = WireLog::ofVerbose(fileBytes(dir.filePath("frames.log"))).records();
        size_t next = 0;
        QString lastTime;
        for (const QByteArray &payload : sub.on("measurement")) {
            const QJsonObject m = QJsonDocument::fromJson(payload).object();
            // Stamped to the millisecond: two records may share one, never go back.
            EXPECT_GE(m["time"].toString().toStdString(), lastTime.toStdString());
            lastTime = m["time"].toString();
            const auto same = [&](const RawRecord &r) {
                return m["masterUm"].toInt() == r.umA && m["slaveUm"].toInt() == r.umB &&
                       m["valueUm"].toInt() == r.umValue && m["masterPix"].toInt() == r.posA &&
                       m["slavePix"].toInt() == r.posB && m["valuePix"].toInt() == r.posCombined &&
                       m["masterEdge"].toInt() == r.edgeA && m["slaveEdge"].toInt() == r.edgeB;
            };
            while (next < replies.size() && !same(replies[next])) ++next;
            ASSERT_LT(next, replies.size()) << "not sent by the sensor: " << payload.data();
            ++next;
        }
    }
}
