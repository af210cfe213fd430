#include "mqtt_client.h"

#include <mosquitto.h>
#include <netdb.h>
#include <openssl/err.h>
#include <openssl/ssl.h>

#include <QFile>
#include <QtGlobal>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "core/link/sensorwatch.h"

namespace {

constexpr int kKeepAlive = 30;     // [s] between pings when nothing else is sent
constexpr int kLoopWaitMs = 1000;  // longest wait on the socket; a publish wakes it at once

QByteArray local(const QString &text) {
    return text.toLocal8Bit();
}

// libmosquitto's text of a result, for a failed system call the system's and for a failed name
// lookup the resolver's, without a full stop. `error` is errno after the call: libmosquitto
// leaves the resolver's code there too.
std::string resultText(int result, int error) {
    std::string text = result == MOSQ_ERR_ERRNO ? std::strerror(error)
                       : result == MOSQ_ERR_EAI ? gai_strerror(error)
                                                : mosquitto_strerror(result);
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

// The client through libmosquitto.
class MosquittoClient final : public MqttClient {
  public:
    MosquittoClient();
    ~MosquittoClient() override;
    MosquittoClient(const MosquittoClient &) = delete;
    MosquittoClient &operator=(const MosquittoClient &) = delete;

    QString caFileProblem(const QString &path) const override;
    QString start(const MqttSettings &settings) override;
    bool publish(const QByteArray &topic, const QByteArray &payload, bool retain) override;
    bool publishAtLeastOnce(const QByteArray &topic, const QByteArray &payload) override;
    int connections() const override { return connections_; }
    void finish(const QByteArray &topic, const QByteArray &payload, double seconds) override;

  private:
    void run();  // the network thread
    bool publishGetId(const QByteArray &topic, const QByteArray &payload, bool retain, int qos,
                      int *id);
    void sayRetry(int result, int error, bool wasConnected, double seconds);
    static void onConnect(mosquitto *, void *self, int result);
    static void onDisconnect(mosquitto *, void *self, int result);
    static void onPublish(mosquitto *, void *self, int id);

    mosquitto *mosq_ = nullptr;
    MqttSettings settings_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;  // stopping_ or lastPublished_ changed
    bool stopping_ = false;            // under mutex_
    int lastPublished_ = 0;            // under mutex_: id of the last message the broker took
    std::atomic<bool> connected_{false};
    std::atomic<int> connections_{0};
};

}  // namespace

extern "C" Q_DECL_EXPORT MqttClient *ktavNewMqttClient() {
    return new MosquittoClient;
}

MosquittoClient::MosquittoClient() {
    mosquitto_lib_init();
}

MosquittoClient::~MosquittoClient() {
    if (thread_.joinable()) finish({}, {}, 0);
    if (mosq_) mosquitto_destroy(mosq_);
    mosquitto_lib_cleanup();
}

QString MosquittoClient::caFileProblem(const QString &path) const {
    SSL_CTX *context = SSL_CTX_new(TLS_client_method());
    if (!context) return "cannot set up TLS";
    ERR_clear_error();
    const bool taken =
        SSL_CTX_load_verify_locations(context, QFile::encodeName(path).constData(), nullptr) == 1;
    // The first error with a text is the cause ("bad base64 decode"), the later ones its
    // consequences ("PEM lib").
    const char *reason = nullptr;
    while (const unsigned long error = ERR_get_error())
        if (!reason) reason = ERR_reason_error_string(error);
    SSL_CTX_free(context);
    if (taken) return {};
    return QString("cannot use %1 as the broker's CA certificates: %2")
        .arg(path, reason ? reason : "refused by the TLS library");
}

QString MosquittoClient::start(const MqttSettings &settings) {
    settings_ = settings;
    mosq_ = mosquitto_new(nullptr, true, this);
    if (!mosq_) return "cannot set up the MQTT client";
    mosquitto_threaded_set(mosq_, true);
    mosquitto_connect_callback_set(mosq_, onConnect);
    mosquitto_disconnect_callback_set(mosq_, onDisconnect);
    mosquitto_publish_callback_set(mosq_, onPublish);
    const QByteArray will = settings.willTopic.toUtf8();
    if (mosquitto_will_set(mosq_, will.constData(), int(settings.willPayload.size()),
                           settings.willPayload.constData(), settings.qos,
                           true) != MOSQ_ERR_SUCCESS)
        return QString("cannot use '%1' as an MQTT topic").arg(settings.willTopic);
    if (!settings.user.isEmpty() &&
        mosquitto_username_pw_set(mosq_, local(settings.user).constData(),
                                  settings.password.constData()) != MOSQ_ERR_SUCCESS)
        return "cannot use the MQTT user name and password";
    if (!settings.tlsCaFile.isEmpty() &&
        mosquitto_tls_set(mosq_, QFile::encodeName(settings.tlsCaFile).constData(), nullptr,
                          nullptr, nullptr, nullptr) != MOSQ_ERR_SUCCESS)
        return QString("cannot use %1 as the broker's CA certificates").arg(settings.tlsCaFile);
    thread_ = std::thread(&MosquittoClient::run, this);
    return {};
}

bool MosquittoClient::publishGetId(const QByteArray &topic, const QByteArray &payload, bool retain,
                                   int qos, int *id) {
    if (!connected_) return false;
    return mosquitto_publish(mosq_, id, topic.constData(), int(payload.size()), payload.constData(),
                             qos, retain) == MOSQ_ERR_SUCCESS;
}

bool MosquittoClient::publish(const QByteArray &topic, const QByteArray &payload, bool retain) {
    return publishGetId(topic, payload, retain, settings_.qos, nullptr);
}

bool MosquittoClient::publishAtLeastOnce(const QByteArray &topic, const QByteArray &payload) {
    return publishGetId(topic, payload, false, 1, nullptr);
}

void MosquittoClient::finish(const QByteArray &topic, const QByteArray &payload, double seconds) {
    int id = 0;
    if (!topic.isEmpty() && publishGetId(topic, payload, true, settings_.qos, &id)) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::duration<double>(seconds),
                          [&] { return lastPublished_ == id; });
    }
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    mosquitto_disconnect(mosq_);  // wakes the network thread when it waits on the socket
    changed_.notify_all();        // and when it waits to try again
    if (thread_.joinable()) thread_.join();
}

void MosquittoClient::run() {
    const QByteArray host = local(settings_.host);
    // The first connect is the try at once; a lost connection is tried again at once too.
    ReconnectSchedule schedule;
    NextReconnectWait(schedule);
    bool first = true;
    for (;;) {
        const int before = connections_;
        int result = first ? mosquitto_connect(mosq_, host.constData(), settings_.port, kKeepAlive)
                           : mosquitto_reconnect(mosq_);
        first = false;
        while (result == MOSQ_ERR_SUCCESS) result = mosquitto_loop(mosq_, kLoopWaitMs, 1);
        const int error = errno;
        connected_ = false;
        std::unique_lock lock(mutex_);
        if (stopping_) return;
        // A connection that was made starts the schedule afresh.
        if (connections_ != before) schedule = {};
        const double wait = NextReconnectWait(schedule);
        sayRetry(result, error, connections_ != before, wait);
        if (changed_.wait_for(lock, std::chrono::duration<double>(wait),
                              [this] { return stopping_; }))
            return;
    }
}

void MosquittoClient::sayRetry(int result, int error, bool wasConnected, double seconds) {
    std::fprintf(stderr, "k-tav-cli: MQTT broker %s:%d %s (%s); trying again in %g s\n",
                 local(settings_.host).constData(), settings_.port,
                 wasConnected ? "lost" : "not reached", resultText(result, error).c_str(), seconds);
}

void MosquittoClient::onConnect(mosquitto *, void *self, int result) {
    auto *client = static_cast<MosquittoClient *>(self);
    if (result != 0) {
        std::fprintf(stderr, "k-tav-cli: MQTT broker refused the connection: %s\n",
                     mosquitto_connack_string(result));
        return;
    }
    std::fprintf(stderr, "k-tav-cli: connected to the MQTT broker %s:%d\n",
                 local(client->settings_.host).constData(), client->settings_.port);
    client->connected_ = true;
    ++client->connections_;
}

void MosquittoClient::onDisconnect(mosquitto *, void *self, int) {
    static_cast<MosquittoClient *>(self)->connected_ = false;
}

void MosquittoClient::onPublish(mosquitto *, void *self, int id) {
    auto *client = static_cast<MosquittoClient *>(self);
    {
        std::lock_guard lock(client->mutex_);
        client->lastPublished_ = id;
    }
    client->changed_.notify_all();
}
