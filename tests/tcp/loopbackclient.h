#pragma once

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

// A port on 127.0.0.1 that was free a moment ago.
inline int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Connects a client on this thread while the event loop keeps the listener going.
inline bool connectClient(QTcpSocket &client, int port)
{
    client.connectToHost(QHostAddress::LocalHost, quint16(port));
    QElapsedTimer timer;
    timer.start();
    while (client.state() != QAbstractSocket::ConnectedState && timer.elapsed() < 3000) {
        if (client.state() == QAbstractSocket::UnconnectedState)
            return false;
        QTest::qWait(2);
    }
    return client.state() == QAbstractSocket::ConnectedState;
}

// Reads until size bytes came or the time is up; what came is returned either way.
inline QByteArray readBytes(QTcpSocket &client, qsizetype size, int timeoutMs = 3000)
{
    QByteArray bytes;
    QElapsedTimer timer;
    timer.start();
    while (bytes.size() < size && timer.elapsed() < timeoutMs) {
        QTest::qWait(2);
        bytes += client.readAll();
    }
    return bytes;
}

// Everything that arrives within the given time.
inline QByteArray readFor(QTcpSocket &client, int ms)
{
    QTest::qWait(ms);
    return client.readAll();
}
