// Systems without batched calls read and send one datagram at a time through Qt.
#include "snmp/agent/datagramsocket_p.h"

struct DatagramSocket::SystemCalls
{
};

DatagramSocket::SystemCallsPointer DatagramSocket::openSystemCalls(QUdpSocket &)
{
    return nullptr;
}

void DatagramSocket::CloseSystemCalls::operator()(SystemCalls *calls) const
{
    delete calls;
}

int DatagramSocket::descriptorOf(const SystemCalls &)
{
    return -1;
}

int DatagramSocket::receiveBySystem()
{
    return 0;
}

QList<Failure> DatagramSocket::flushBySystem(int)
{
    return {};
}

DatagramSocket::SystemReply DatagramSocket::heldBySystem(int, QByteArrayView, int) const
{
    return {};
}

QList<Failure> DatagramSocket::sendBySystem(std::span<const SystemReply>)
{
    return {};
}
