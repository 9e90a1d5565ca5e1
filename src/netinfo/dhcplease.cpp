#include "dhcplease.h"

#include <QTimeZone>

namespace {

// A dhclient statement inside a block, with the block nesting it was found at.
struct Statement
{
    int depth = 0;
    QByteArray text;
};

// Splits lease-file text into statements and block openings, honouring quotes and comments.
// A block opening is reported as a statement ending in "{", a block close as "}".
QList<Statement> statementsOf(const QByteArray &text)
{
    QList<Statement> statements;
    QByteArray current;
    int depth = 0;
    bool quoted = false;
    bool comment = false;
    for (const char c : text) {
        if (comment) {
            comment = c != '\n';
            continue;
        }
        if (quoted) {
            current.append(c);
            quoted = c != '"';
            continue;
        }
        switch (c) {
        case '"':
            quoted = true;
            current.append(c);
            break;
        case '#':
            comment = true;
            break;
        case ';':
            statements.append({depth, current.simplified()});
            current.clear();
            break;
        case '{':
            statements.append({depth, current.simplified() + " {"});
            current.clear();
            ++depth;
            break;
        case '}':
            depth = depth > 0 ? depth - 1 : 0;
            statements.append({depth, "}"});
            current.clear();
            break;
        default:
            current.append(c);
        }
    }
    return statements;
}

QString unquoted(const QByteArray &value)
{
    QByteArray text = value;
    if (text.size() >= 2 && text.startsWith('"') && text.endsWith('"'))
        text = text.mid(1, text.size() - 2);
    return QString::fromLatin1(text);
}

// "3 2026/12/02 01:00:00" (UTC), "epoch 1796173200" or "never".
QDateTime dhclientTime(const QList<QByteArray> &fields)
{
    if (fields.size() >= 2 && fields.at(0) == "epoch") {
        bool ok = false;
        const qint64 seconds = fields.at(1).toLongLong(&ok);
        return ok ? QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc()) : QDateTime();
    }
    if (fields.size() < 3)
        return {};
    const QDate date =
        QDate::fromString(QString::fromLatin1(fields.at(1)), QStringLiteral("yyyy/M/d"));
    const QTime time =
        QTime::fromString(QString::fromLatin1(fields.at(2)), QStringLiteral("H:m:s"));
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time, QTimeZone::utc());
}

struct DhclientBlock
{
    QString interfaceName;
    DhcpLease lease;
    qint64 leaseSeconds = -1;
};

void readLeaseStatement(const QByteArray &statement, DhclientBlock &block)
{
    QList<QByteArray> fields = statement.split(' ');
    if (fields.size() < 2)
        return;
    const QByteArray keyword = fields.takeFirst();
    if (keyword == "interface") {
        block.interfaceName = unquoted(fields.at(0));
    } else if (keyword == "fixed-address") {
        block.lease.address = QString::fromLatin1(fields.at(0));
    } else if (keyword == "expire") {
        block.lease.expires = dhclientTime(fields);
    } else if (keyword == "option" && fields.size() >= 2) {
        if (fields.at(0) == "dhcp-server-identifier") {
            block.lease.server = QString::fromLatin1(fields.at(1));
        } else if (fields.at(0) == "dhcp-lease-time") {
            bool ok = false;
            const qint64 seconds = fields.at(1).toLongLong(&ok);
            block.leaseSeconds = ok ? seconds : -1;
        }
    }
}

} // namespace

std::optional<DhcpLease> parseDhclientLease(const QByteArray &text, const QString &interfaceName)
{
    std::optional<DhcpLease> newest;
    std::optional<DhclientBlock> block;
    for (const Statement &statement : statementsOf(text)) {
        if (statement.depth == 0 && statement.text == "lease {") {
            block = DhclientBlock();
        } else if (statement.depth == 0 && statement.text == "}" && block) {
            if (block->interfaceName == interfaceName && !block->lease.address.isEmpty()) {
                if (block->lease.expires.isValid() && block->leaseSeconds >= 0)
                    block->lease.obtained = block->lease.expires.addSecs(-block->leaseSeconds);
                newest = block->lease;
            }
            block.reset();
        } else if (statement.depth == 1 && block) {
            readLeaseStatement(statement.text, *block);
        }
    }
    return newest;
}

std::optional<DhcpLease> parseKeyValueLease(const QByteArray &text, const QDateTime &written)
{
    DhcpLease lease;
    qint64 lifetime = -1;
    const QList<QByteArray> lines = text.split('\n');
    for (const QByteArray &line : lines) {
        const int equals = line.indexOf('=');
        if (line.startsWith('#') || equals < 1)
            continue;
        const QByteArray key = line.left(equals).trimmed();
        const QString value = QString::fromLatin1(line.mid(equals + 1).trimmed());
        if (key == "ADDRESS") {
            lease.address = value;
        } else if (key == "SERVER_ADDRESS") {
            lease.server = value;
        } else if (key == "LIFETIME") {
            bool ok = false;
            lifetime = value.toLongLong(&ok);
            if (!ok)
                lifetime = -1;
        }
    }
    if (lease.address.isEmpty())
        return std::nullopt;
    if (written.isValid() && lifetime >= 0) {
        lease.obtained = written;
        lease.expires = written.addSecs(lifetime);
    }
    return lease;
}

std::optional<DhcpLease> chooseLease(const QList<DhcpLease> &candidates,
                                     const QStringList &ipv4Addresses)
{
    std::optional<DhcpLease> chosen;
    for (const DhcpLease &lease : candidates) {
        if (!ipv4Addresses.contains(lease.address))
            continue;
        if (!chosen)
            chosen = lease;
        else if (lease.expires.isValid() &&
                 (!chosen->expires.isValid() || lease.expires > chosen->expires))
            chosen = lease;
    }
    return chosen;
}

QString leaseTimeText(const QDateTime &time)
{
    if (!time.isValid())
        return {};
    const QDateTime local = time.toLocalTime();
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}
