#include "listenaddress.h"

#include <QNetworkInterface>

namespace {
bool namesInterface(const QString &scope, const QNetworkInterface &interface)
{
    bool numeric = false;
    const int index = scope.toInt(&numeric);
    return numeric ? index == interface.index() : scope == interface.name();
}

bool isOwnAddress(const QHostAddress &address)
{
    // Address equality ignores the scope, bind does not: an IPv6 link-local address names
    // this machine only together with the interface it belongs to.
    const bool needsScope =
        address.protocol() == QAbstractSocket::IPv6Protocol && address.isLinkLocal();
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces) {
        const QList<QNetworkAddressEntry> entries = interface.addressEntries();
        for (const QNetworkAddressEntry &entry : entries) {
            if (entry.ip() == address &&
                (!needsScope || namesInterface(address.scopeId(), interface)))
                return true;
        }
    }
    return false;
}
} // namespace

Result<QHostAddress> listenAddress(const QString &text)
{
    QHostAddress address;
    if (address.setAddress(text) && (address == QHostAddress::AnyIPv4 ||
                                     address == QHostAddress::AnyIPv6 || isOwnAddress(address)))
        return address;
    return failure(QStringLiteral("The address is not valid: ") + text, AddressNotValidError);
}
