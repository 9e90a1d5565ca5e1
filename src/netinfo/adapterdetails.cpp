#include "adapterdetails.h"

#include "adapterinfo.h"

namespace {

QString detailLine(const char *label, const QString &value)
{
    return QLatin1String(label) + QStringLiteral("\t\t") + value;
}

} // namespace

QStringList adapterDetailLines(const AdapterInfo &ipInfo)
{
    return {
        detailLine("Physical Address :", ipInfo.physicalAddress()),
        detailLine("IPv4 Address :", ipInfo.assignedIpv4Address()),
        detailLine("Other Addresses :", ipInfo.otherAddresses()),
        detailLine("Subnet Mask :", ipInfo.subnetMask()),
        detailLine("Gateway :", ipInfo.gateway()),
        detailLine("IPv6 Address :", ipInfo.ipv6Address()),
        detailLine("DNS Server :", ipInfo.dnsServer()),
        detailLine("DHCP Enabled :",
                   ipInfo.dhcpEnabled() ? QStringLiteral("True") : QStringLiteral("False")),
        detailLine("DHCP Server :", ipInfo.dhcpServer()),
        detailLine("Lease Obtained :", ipInfo.leaseObtained()),
        detailLine("Lease Expires :", ipInfo.leaseExpires()),
    };
}
