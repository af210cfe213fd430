// publish: the pair on the plant network. Identifies the pair, then runs RUN cycles and
// publishes under the topic prefix:
//   measurement  one JSON object per published record, as run --json prints it;
//   identity     the identification, as identify --json prints it (retained);
//   parameters   the three parameter sets, as get --json prints them (retained);
//   status       online, sensor-lost, reconnecting, offline (retained; the last will: offline).
// Identity and parameters go out when they change and on every connection to the broker. A
// lost sensor is tried again after 1 s, doubling up to 30 s, and identified again when it
// answers; the broker connection does the same by itself. SIGINT and SIGTERM end the run in
// order: the broker is told offline.
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLibrary>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>

#include "cliargs.h"
#include "commands.h"
#include "connection.h"
#include "console.h"
#include "core/link/commands.h"
#include "core/link/sensorwatch.h"
#include "core/link/transport.h"
#include "core/params/paramblock.h"
#include "core/state/flags.h"
#include "core/system/timing.h"
#include "json_output.h"
#include "mqtt_client.h"
#include "tool_module.h"

namespace {

volatile std::sig_atomic_t ending = 0;

void onEnd(int) {
    ending = 1;
}

constexpr double kPoll = 0.1;       // longest sleep between two looks at a signal [s]
constexpr double kOfflineWait = 2;  // [s] the broker has to take the last status
constexpr int kDefaultPort = 1883;
constexpr int kDefaultTlsPort = 8883;
constexpr qint64 kLongestPasswordFile = 4096;  // [bytes]

// What the status topic says, by the enum's order; None before the first word.
enum class Status { None, Online, SensorLost, Reconnecting, Offline };
constexpr const char *kStatusTexts[] = {"", "online", "sensor-lost", "reconnecting", "offline"};

QByteArray textOf(Status status) {
    return kStatusTexts[int(status)];
}

QByteArray compact(const QJsonObject &object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

void say(const QString &text) {
    std::fprintf(stderr, "k-tav-cli: %s\n", qPrintable(text));
}

// The broker side of a run: what the broker holds retained, kept so that a new connection gets
// it again.
class Publisher {
  public:
    Publisher(const QString &prefix, std::unique_ptr<MqttClient> client)
        : prefix_(prefix.toUtf8() + '/'), client_(std::move(client)) {}

    MqttClient &client() { return *client_; }

    // Sends the retained topics again when the client has connected since the last look.
    void refreshBroker() {
        if (client_->connections() == connections_) return;
        connections_ = client_->connections();
        publishRetained("identity", identity_);
        publishRetained("parameters", parameters_);
        publishRetained("status", textOf(status_));
    }

    // The status said last; None until the pair was first online.
    Status status() const { return status_; }

    void setStatus(Status status) {
        refreshBroker();
        if (status == status_) return;
        status_ = status;
        publishRetained("status", textOf(status));
    }

    void setIdentity(const QByteArray &identity, const QByteArray &parameters) {
        refreshBroker();
        if (identity != identity_) publishRetained("identity", identity_ = identity);
        if (parameters != parameters_) publishRetained("parameters", parameters_ = parameters);
    }

    void publishMeasurement(const QByteArray &record) {
        client_->publish(measurementTopic_, record, false);
    }

    // Tells the broker offline and leaves it.
    void finish() { client_->finish(prefix_ + "status", textOf(Status::Offline), kOfflineWait); }

  private:
    void publishRetained(const char *topic, const QByteArray &payload) {
        if (!payload.isEmpty()) client_->publish(prefix_ + topic, payload, true);
    }

    const QByteArray prefix_;  // with its slash
    const QByteArray measurementTopic_ = prefix_ + "measurement";
    std::unique_ptr<MqttClient> client_;
    int connections_ = 0;
    Status status_ = Status::None;
    QByteArray identity_, parameters_;
};

// Waits until `deadline` (a Timer() value) or a signal, keeping the broker's topics current.
void waitUntil(double deadline, Publisher &publisher) {
    for (double left = deadline - Timer(); left > 0 && !ending; left = deadline - Timer()) {
        publisher.refreshBroker();
        Delay(std::min(left, kPoll));
    }
}

// Opens the transport and identifies the pair, then reads its parameter sets. EXIT_OK, EXIT_LINK
// (try again later; `problem` says why) or the status that ends the run.
int identifyPair(const QCommandLineParser &args, Publisher &publisher, QString &problem) {
    if (const int status = ReopenAndIdentify(args, problem); status != EXIT_OK) return status;
    if (!GetAllSets(RAM)) {
        problem = "cannot read the parameter sets";
        return EXIT_LINK;
    }
    publisher.setIdentity(compact(IdentityJson()), compact(ParaBlockJson(para)));
    return EXIT_OK;
}

// When the sensor is tried again: 1 s after it was lost, the wait doubling up to 30 s while it
// does not answer. Returns the wait.
struct Retry {
    double at = 0;
    RetryWaits waits;
    double failed() {
        const double wait = waits.next();
        at = Timer() + wait;
        return wait;
    }
};

// Once the retry is due, identifies the pair again: true when it answers. `status` is EXIT_LINK
// when it did not, and a status that ends the run when the device is not one to publish. The
// status topic says reconnecting and sensor-lost only after the pair was online and then lost.
bool reconnectSensor(const QCommandLineParser &args, Publisher &publisher, Retry &retry,
                     int &status) {
    waitUntil(retry.at, publisher);
    if (ending) return false;
    const bool afterLoss = publisher.status() != Status::None;
    if (afterLoss) publisher.setStatus(Status::Reconnecting);
    QString problem;
    status = identifyPair(args, publisher, problem);
    if (status != EXIT_OK && status != EXIT_LINK) {
        Fail(status, problem);
        return false;
    }
    if (status == EXIT_OK || afterLoss)
        publisher.setStatus(status == EXIT_OK ? Status::Online : Status::SensorLost);
    if (status == EXIT_OK) {
        say("pair identified; publishing");
        retry.waits.reset();
        return true;
    }
    say(QString("%1; trying again in %2 s").arg(problem).arg(retry.failed()));
    return false;
}

// What is wrong with a file of the options, opened for reading when it is a regular file of at
// most `longest` bytes (0: any size): an empty text when nothing. Nothing else is opened: a FIFO
// would wait for a writer, and a device such as /dev/zero never ends.
QString fileProblem(const char *what, QFile &file, qint64 longest) {
    const QFileInfo info(file.fileName());
    if (!info.exists())
        return QString("cannot read the %1 %2: no such file").arg(what, file.fileName());
    if (!info.isFile())
        return QString("the %1 %2 is not a regular file").arg(what, file.fileName());
    if (longest > 0 && info.size() > longest)
        return QString("the %1 %2 is longer than %3 bytes").arg(what, file.fileName()).arg(longest);
    if (!file.open(QIODevice::ReadOnly))
        return QString("cannot read the %1 %2: %3").arg(what, file.fileName(), file.errorString());
    return {};
}

// The broker settings of the options; an empty text, else the problem and `status` set.
QString brokerSettings(const QCommandLineParser &args, MqttSettings &settings, int &status) {
    status = EXIT_USAGE;
    const QString mqtt = args.value("mqtt");
    settings.host = mqtt.section(':', 0, 0);
    settings.tlsCaFile = args.value("tls-ca");
    settings.port = settings.tlsCaFile.isEmpty() ? kDefaultPort : kDefaultTlsPort;
    bool portOk = true;
    if (mqtt.contains(':')) settings.port = mqtt.section(':', 1).toInt(&portOk);
    if (settings.host.isEmpty() || !portOk || settings.port < 1 || settings.port > 65535)
        return QString("--mqtt needs HOST[:PORT], not '%1'").arg(mqtt);
    settings.qos = args.value("qos").toInt();
    settings.user = args.value("user");
    status = EXIT_NO_INPUT;
    if (args.isSet("password-file")) {
        QFile file(args.value("password-file"));
        if (const QString problem = fileProblem("password file", file, kLongestPasswordFile);
            !problem.isEmpty())
            return problem;
        // The first line, without its line break.
        settings.password = file.read(kLongestPasswordFile).split('\n').value(0).trimmed();
    }
    if (!settings.tlsCaFile.isEmpty()) {
        QFile file(settings.tlsCaFile);
        if (const QString problem = fileProblem("CA certificates", file, 0); !problem.isEmpty())
            return problem;
    }
    status = EXIT_OK;
    return {};
}

}  // namespace

int CmdPublish(const QCommandLineParser &args) {
    QString prefix = args.value("topic");
    while (prefix.endsWith('/')) prefix.chop(1);
    MqttSettings settings;
    int status = EXIT_OK;
    if (const QString problem = brokerSettings(args, settings, status); !problem.isEmpty())
        return Fail(status, problem);
    settings.willTopic = prefix + "/status";
    settings.willPayload = textOf(Status::Offline);
    QLibrary module;
    LocateToolModule(module, kMqttModuleFile);
    const auto newClient =
        reinterpret_cast<MqttClient *(*)()>(module.resolve(kNewMqttClientSymbol));
    if (!newClient)
        return Fail(EXIT_UNAVAILABLE, "the MQTT module cannot be loaded: " + module.errorString());
    Publisher publisher(prefix, std::unique_ptr<MqttClient>(newClient()));
    // CA certificates that the TLS library would refuse on every connection end the run now.
    if (!settings.tlsCaFile.isEmpty())
        if (const QString problem = publisher.client().caFileProblem(settings.tlsCaFile);
            !problem.isEmpty())
            return Fail(EXIT_NO_INPUT, problem);
    if (const QString problem = publisher.client().start(settings); !problem.isEmpty())
        return Fail(EXIT_USAGE, problem);
    std::signal(SIGINT, onEnd);
    std::signal(SIGTERM, onEnd);

    const unsigned every = args.isSet("every") ? args.value("every").toUInt() : 1;
    const double interval = args.isSet("rate") ? 1.0 / args.value("rate").toDouble() : 0.0;
    bool sensorUp = false;
    Retry retry;
    SensorWatch watch;  // a failed exchange is tried again; the sensor is lost after three
    double next = Timer();
    unsigned records = 0;
    while (!ending) {
        publisher.refreshBroker();
        if (!sensorUp) {
            sensorUp = reconnectSensor(args, publisher, retry, status);
            if (status != EXIT_OK && status != EXIT_LINK) break;
            next = Timer();
            continue;
        }
        waitUntil(next, publisher);
        if (ending) break;
        next = Timer() + interval;
        const int taken = WatchedExchange(watch, GetRAW);
        if (taken == 1 && ++records % every == 0)
            publisher.publishMeasurement(compact(MeasurementJson(JsonTimeStamp(), raw)));
        if (taken == -1) {
            say(QString("sensor lost: no correct measurement record; trying again in %1 s")
                    .arg(retry.failed()));
            publisher.setStatus(Status::SensorLost);
            sensorUp = false;
            watch = {};
        }
    }
    publisher.finish();
    CloseConnection();
    return status == EXIT_LINK ? EXIT_OK : status;
}
