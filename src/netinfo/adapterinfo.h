#pragma once

#include <QList>
#include <QString>

#include <functional>

// What the system knows of one network adapter; texts are shown as they stand.
struct AdapterRecord
{
    QString name;
    QString type; // "Ethernet" for Ethernet adapters
    QString physicalAddress;
    QString ipv4Address;
    QString otherAddresses;
    QString subnetMask;
    QString gateway;
    QString ipv6Address;
    QString dnsServer;
    bool dhcpEnabled = false;
    QString dhcpServer;
    QString leaseObtained;
    QString leaseExpires;
};

struct AdapterSnapshot
{
    QList<AdapterRecord> adapters;
    int currentIndex = -1; // the adapter whose address start-up uses; -1 when there is none
};

using AdapterReader = std::function<AdapterSnapshot()>;

// The adapter-information component: a list of adapters and a current-adapter index that
// every read refers to.
class AdapterInfo
{
public:
    explicit AdapterInfo(AdapterSnapshot snapshot);
    // Reads the adapters now and again on every refresh().
    explicit AdapterInfo(AdapterReader reader);

    // Reads the adapters afresh when built on a reader. The current adapter stays the same
    // adapter (found by name), or none when it is gone.
    void refresh();

    int adapterCount() const { return int(m_adapters.size()); }
    int currentAdapter() const { return m_current; }
    void setCurrentAdapter(int index);

    // Reads of the current adapter; empty text (or false) when there is no current adapter.
    QString adapterName() const { return current().name; }
    QString adapterType() const { return current().type; }
    QString physicalAddress() const { return current().physicalAddress; }
    QString otherAddresses() const { return current().otherAddresses; }
    QString subnetMask() const { return current().subnetMask; }
    QString gateway() const { return current().gateway; }
    QString ipv6Address() const { return current().ipv6Address; }
    QString dnsServer() const { return current().dnsServer; }
    bool dhcpEnabled() const { return current().dhcpEnabled; }
    QString dhcpServer() const { return current().dhcpServer; }
    QString leaseObtained() const { return current().leaseObtained; }
    QString leaseExpires() const { return current().leaseExpires; }
    // Loopback stands in when no adapter carries an address, so the rows still have one.
    QString ipv4Address() const;
    // The current adapter's own IPv4 address as delivered; empty when it has none.
    QString assignedIpv4Address() const { return current().ipv4Address; }

private:
    const AdapterRecord &current() const;

    AdapterReader m_reader;
    QList<AdapterRecord> m_adapters;
    int m_current = -1;
    AdapterRecord m_none;
};
