#pragma once

#include "common/core/result.h"
#include "common/net/listenaddress.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <vector>

class QSocketNotifier;
class QTcpServer;
class QTimer;
class TcpConnection;
struct sockaddr_storage;

// One listener row's networking: listens on an address and port, hands out a connection id per
// accepted connection and raises an event per connection, per piece of received data and per
// closed connection. Everything runs on the thread's event loop.
class TcpServer : public QObject
{
    Q_OBJECT
public:
    static constexpr int AddressNotAvailable = AddressNotValidError;
    static constexpr int AddressInUse = 10048;
    static constexpr int InvalidArgument = 10022;
    static constexpr int NotConnected = 10057;
    // Connection ids are positive 16-bit values.
    static constexpr int MaxConnectionId = 32767;

    explicit TcpServer(int index, QObject *parent = nullptr, int maxConnectionId = MaxConnectionId);
    ~TcpServer() override;

    bool listening() const;
    // False stops listening only: open connections stay and keep raising events.
    // True (re)starts listening on the local address and port last written.
    Status setListening(bool on);

    QString localAddress() const { return m_localAddress; }
    void setLocalAddress(const QString &address) { m_localAddress = address; }
    int localPort() const { return m_localPort; }
    void setLocalPort(int port) { m_localPort = port; }

    Result<QString> peerAddress(int id) const;
    Result<int> peerPort(int id) const;
    // The text goes out as wireBytes gives it, nothing added.
    Status sendText(int id, const QString &text);
    static QByteArray wireBytes(const QString &text) { return text.toUtf8(); }

    int openConnections() const { return m_openConnections; }
    // Reply bytes accepted by sendText but not yet handed to the network.
    qint64 pendingBytes(int id) const;

signals:
    void Connected(int index, qint16 id, const QString &peerAddress, int peerPort);
    // One byte of the network is one character of the text.
    void DataIn(int index, qint16 id, const QString &text, int byteCount);
    void Disconnected(int index, qint16 id, const QString &peerAddress, int peerPort);

private:
    struct Connection
    {
        TcpConnection *connection = nullptr;
        QString peerAddress;
        int peerPort = 0;
        // Tells a late end-of-connection notice of an earlier holder of the same id apart.
        quint64 serial = 0;
    };

    void acceptByItself();
    void acceptWaiting();
    void adopt(int descriptor, const sockaddr_storage &peer);
    int takeFreeId();
    const Connection *connection(int id) const;
    void connectionEnded(int id, quint64 serial);
    void finishConnection(int id, quint64 serial);

    int m_index;
    int m_maxConnectionId;
    QTcpServer *m_server;
    QTimer *m_acceptRetry;
    QSocketNotifier *m_acceptNotifier = nullptr;
    QString m_localAddress;
    int m_localPort = 0;
    // Indexed by connection id; a null connection marks a free id.
    std::vector<Connection> m_connections;
    int m_lastId = 0;
    int m_openConnections = 0;
    quint64 m_lastSerial = 0;
};
