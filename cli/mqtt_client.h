// The tool's connection to an MQTT broker through libmosquitto. The network work runs in a
// thread of its own that waits on the socket (no spinning) and, after a lost or unreachable
// broker, connects again after 1 s, doubling the wait up to 30 s, saying so on standard error
// with the resolver's or the socket's reason.
// The client only publishes: it subscribes to nothing, so nothing from the broker reaches the
// sensor.
#pragma once
#include <QByteArray>
#include <QString>

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

// The client, as the tool sees it. Its implementation lives in the MQTT module, which the tool
// loads only when publish runs, so that its other commands do not load libmosquitto and the TLS
// libraries it pulls in.
class MqttClient {
  public:
    virtual ~MqttClient() = default;

    // What the TLS library finds wrong with the CA certificates in `path` (PEM), loaded as
    // libmosquitto loads them on connecting: an empty text when it takes them, else its reason.
    virtual QString caFileProblem(const QString &path) const = 0;
    // Sets the client up and starts connecting in the background: an empty text, else what is
    // wrong with the settings.
    virtual QString start(const MqttSettings &settings) = 0;
    // Publishes `payload` on `topic` (UTF-8): true when handed to a connected broker; while the
    // broker is away the message is dropped (false), so that an outage cannot fill the memory.
    virtual bool publish(const QByteArray &topic, const QByteArray &payload, bool retain) = 0;
    // Publishes `payload` on `topic`, not retained, with QoS 1 whatever the settings say: the
    // broker acknowledges it, and the client sends it again after a lost connection until it
    // does. False, as publish, while the broker is away.
    virtual bool publishAtLeastOnce(const QByteArray &topic, const QByteArray &payload) = 0;
    // How often the client has connected since start; a change means that the broker needs the
    // retained topics again (a restarted broker may have forgotten them).
    virtual int connections() const = 0;
    // Publishes a last message, waits up to `seconds` until the broker has taken it, disconnects
    // and ends the network thread.
    virtual void finish(const QByteArray &topic, const QByteArray &payload, double seconds) = 0;
};

// The MQTT module (ktav-mqtt.so) and its entry point: a new client, owned by the caller.
inline constexpr char kMqttModuleFile[] = "ktav-mqtt.so";
inline constexpr char kNewMqttClientSymbol[] = "ktavNewMqttClient";
extern "C" MqttClient *ktavNewMqttClient();
