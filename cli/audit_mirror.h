// publish's mirror of the audit log: each line that the tool or the program on this host appends
// to the log while publish runs goes to PREFIX/audit (QoS 1, not retained), once and in its order,
// so that a plant can collect the lines centrally. A line the broker cannot take while it is away
// is sent when it is back.
#pragma once
#include <QByteArray>
#include <QString>

class MqttClient;

class AuditMirror {
  public:
    // Mirrors the lines appended to the tool's audit log from now on to `topic`.
    explicit AuditMirror(const QByteArray &topic);

    // Sends the lines appended since the last look through `client`; looks at most every 0.1 s.
    void poll(MqttClient &client);

  private:
    QString path_, host_;
    QByteArray topic_;
    qint64 offset_;      // where the lines not yet sent begin
    double next_ = 0.0;  // Timer() of the next look
};
