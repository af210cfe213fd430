#include "publish_figures.h"

#include <mosquitto.h>

#include <QJsonDocument>
#include <QProcess>
#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "core/link/commands.h"
#include "core/system/timing.h"
#include "json_output.h"
#include "mosquitto_process.h"
#include "mqtt_client.h"
#include "rounds.h"
#include "sim_process.h"
#include "tool_rounds.h"

namespace {

constexpr int kRecords = 150;         // records of one rate round
constexpr int kDelayRecords = 2000;   // records of one delay round
const QString kTopic = "bench/head";  // the topic prefix

}  // namespace

double PublishRound(const QStringList &connection, int brokerPort, const QStringList &options) {
    QProcess sub, publish;
    sub.start("mosquitto_sub", {"-h", "127.0.0.1", "-p", QString::number(brokerPort), "-t",
                                kTopic + "/measurement", "-C", QString::number(kRecords)});
    if (!sub.waitForStarted(10000)) return -1;
    publish.setStandardErrorFile(QProcess::nullDevice());
    publish.start(KTAV_CLI_PATH,
                  connection +
                      QStringList{"publish", "--mqtt", QString("127.0.0.1:%1").arg(brokerPort),
                                  "--topic", kTopic} +
                      options);
    const bool received = sub.waitForFinished(60000);
    stopProcess(publish);
    stopProcess(sub);
    return received ? RateOfStamps(sub.readAllStandardOutput(), "time") : -1;
}

namespace {

// The delivery times of a subscriber that runs in libmosquitto's own thread.
class TimedSubscriber {
  public:
    bool start(int port) {
        mosq_ = mosquitto_new(nullptr, true, this);
        mosquitto_message_callback_set(mosq_,
                                       [](mosquitto *, void *self, const mosquitto_message *) {
                                           auto *sub = static_cast<TimedSubscriber *>(self);
                                           const double now = Timer();
                                           std::lock_guard lock(sub->mutex_);
                                           sub->times_.push_back(now);
                                       });
        const QByteArray topic = (kTopic + "/measurement").toUtf8();
        return mosquitto_connect(mosq_, "127.0.0.1", port, 30) == MOSQ_ERR_SUCCESS &&
               mosquitto_subscribe(mosq_, nullptr, topic.constData(), 0) == MOSQ_ERR_SUCCESS &&
               mosquitto_loop_start(mosq_) == MOSQ_ERR_SUCCESS;
    }
    ~TimedSubscriber() {
        if (!mosq_) return;
        mosquitto_disconnect(mosq_);
        mosquitto_loop_stop(mosq_, false);
        mosquitto_destroy(mosq_);
    }
    size_t count() {
        std::lock_guard lock(mutex_);
        return times_.size();
    }
    std::vector<double> take() {
        std::lock_guard lock(mutex_);
        return std::exchange(times_, {});
    }

  private:
    mosquitto *mosq_ = nullptr;
    std::mutex mutex_;
    std::vector<double> times_;
};

struct Delays {
    double median, p99;  // [s]
};

// One round: records fetched and published as publish does, each delay from the moment its
// reply was taken to its delivery.
Delays delayRound(MqttClient &client, TimedSubscriber &sub) {
    const QByteArray topic = (kTopic + "/measurement").toUtf8();
    std::vector<double> sent;
    sent.reserve(kDelayRecords);
    sub.take();
    for (int i = 0; i < kDelayRecords; ++i) {
        if (GetRAW() != 1) return {-1, -1};
        sent.push_back(Timer());
        const QByteArray record =
            QJsonDocument(MeasurementJson(JsonTimeStamp(), raw)).toJson(QJsonDocument::Compact);
        if (!client.publish(topic, record, false)) return {-1, -1};
    }
    const double deadline = Timer() + 10;
    while (sub.count() < sent.size() && Timer() < deadline) Delay(0.01);
    const std::vector<double> received = sub.take();
    if (received.size() != sent.size()) return {-1, -1};
    std::vector<double> delays(sent.size());
    for (size_t i = 0; i < sent.size(); ++i) delays[i] = received[i] - sent[i];
    std::sort(delays.begin(), delays.end());
    return {delays[delays.size() / 2], delays[delays.size() * 99 / 100]};
}

}  // namespace

bool PublishWireFigure(int rounds) {
    MosquittoProcess broker;
    SimProcess wireSim;
    if (!broker.start() || !wireSim.start({"--wire-baud", "115200"})) return false;
    const QString device = QString::fromStdString(wireSim.ptyPath());
    const Comparison c = Alternate([&] { return PublishRound({"--com", device}, broker.port()); },
                                   [&] { return CliRunRate({"--com", device}, kRecords); },
                                   rounds);
    PrintRatio("publish every record / run --json at 115200 baud (pty)", c, {Goal::AtLeast, 0.95},
               "publish", "run", "records/s");
    return true;
}

bool PublishDelayFigure(int rounds) {
    MosquittoProcess broker;
    if (!broker.start()) return false;
    TimedSubscriber sub;
    // The module's client, built into this program: the figure is the client's own delay.
    const std::unique_ptr<MqttClient> owned(ktavNewMqttClient());
    MqttClient &client = *owned;
    MqttSettings settings;
    settings.host = "127.0.0.1";
    settings.port = broker.port();
    settings.willTopic = kTopic + "/status";
    settings.willPayload = "offline";
    if (!sub.start(broker.port()) || !client.start(settings).isEmpty()) return false;
    const double deadline = Timer() + 10;
    while (client.connections() == 0 && Timer() < deadline) Delay(0.01);
    std::vector<double> p99s;
    const Spread median = Repeat(
        [&] {
            const Delays d = delayRound(client, sub);
            p99s.push_back(d.p99);
            return d.median;
        },
        rounds);
    size_t next = 0;
    const Spread p99 = Repeat([&] { return p99s[next++]; }, rounds);
    client.finish({}, {}, 0);
    PrintFigure("publish: reply to subscriber, median (TCP, loopback)", median,
                {Goal::AtMost, 0.002}, "ms", 1000.0);
    PrintFigure("publish: reply to subscriber, 99th percentile", p99, {Goal::AtMost, 0.010}, "ms",
                1000.0);
    return true;
}
