// A TCP peer in place of the sensor that answers every request with prepared frames, and the
// open transport to it. The peer runs in the test's own event loop, which the frame layer's
// waits keep turning.
#pragma once
#include <QByteArray>
#include <QTcpServer>
#include <QTcpSocket>
#include <cstdio>

#include "core/link/frame.h"
#include "core/link/transport.h"

class ScriptedPeer {
  public:
    ScriptedPeer() {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            QTcpSocket *s = server_.nextPendingConnection();
            QObject::connect(s, &QTcpSocket::readyRead, [this, s] {
                s->readAll();
                s->write(reply_);
            });
        });
        comtype = 1;
        std::snprintf(szIPhostName, sizeof szIPhostName, "127.0.0.1");
        tcp_portnum = server_.serverPort();
        InitTCP_IP();
    }
    ~ScriptedPeer() { CloseTCP(); }

    // A frame as the sensor sends it: `order`, `param` and `len` data bytes.
    static QByteArray frame(uint8_t order, uint16_t param, const void *data, uint16_t len) {
        FillTxBuf(order, param, data, len);
        return QByteArray(reinterpret_cast<const char *>(szWriteBuf), FRAME_HEADER_SIZE + len);
    }

    // The reply to the following requests: a frame of `order` with `len` data bytes.
    void answer(uint8_t order, uint16_t param, const void *data, uint16_t len) {
        reply_ = frame(order, param, data, len);
    }
    // The bytes sent in reply to each following request, frames one after another.
    void answerWith(const QByteArray &bytes) { reply_ = bytes; }

  private:
    QTcpServer server_;
    QByteArray reply_;
};
