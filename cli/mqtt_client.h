// The tool's connection to an MQTT broker through libmosquitto. The network work runs in a
// thread of its own that waits on the socket (no spinning) and, after a lost or unreachable
// broker, connects again after 1 s, doubling the wait up to 30 s, saying so on standard error.
// The client only publishes: it subscribes to nothing, so nothing from the broker reaches the
// sensor.
#pragma once
#include <QByteArray>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

struct mosquitto;

// Where and how to connect.
struct MqttSettings {
    QString host;
    int port = 1883;
    int qos = 0;             // of every message published
    QString user;            // empty: no user name
    QByteArray password;     // with user
    QString tlsCaFile;       // empty: no TLS; else the CA certificates the broker is checked with
    QString willTopic;       // the last will, retained: what the broker publishes when the
    QByteArray willPayload;  // tool goes without saying so
};

class MqttClient {
  public:
    MqttClient();
    ~MqttClient();
    MqttClient(const MqttClient &) = delete;
    MqttClient &operator=(const MqttClient &) = delete;

    // Sets the client up and starts connecting in the background: an empty text, else what is
    // wrong with the settings.
    QString start(const MqttSettings &settings);
    // Publishes `payload` on `topic` (UTF-8): true when handed to a connected broker; while the
    // broker is away the message is dropped (false), so that an outage cannot fill the memory.
    bool publish(const QByteArray &topic, const QByteArray &payload, bool retain);
    // How often the client has connected since start; a change means that the broker needs the
    // retained topics again (a restarted broker may have forgotten them).
    int connections() const { return connections_; }
    // Publishes a last message, waits up to `seconds` until the broker has taken it, disconnects
    // and ends the network thread.
    void finish(const QByteArray &topic, const QByteArray &payload, double seconds);

  private:
    void run();  // the network thread
    bool publishGetId(const QByteArray &topic, const QByteArray &payload, bool retain, int *id);
    void sayRetry(int result, bool wasConnected, int seconds);
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
