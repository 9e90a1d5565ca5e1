#include "v3userform.h"

#include "snmp/agent/snmpagents.h"
#include "snmp/usm/usmengine.h"
#include "snmp/usm/usmkeys.h"

namespace {

constexpr int MinPassphrase = 8;

// In the order of the protocol enums, None left out.
constexpr const char *AuthNames[] = {"MD5", "SHA", "SHA-224", "SHA-256", "SHA-384", "SHA-512"};
constexpr const char *PrivNames[] = {"DES", "AES", "AES-192", "AES-256"};

template <typename Names> int indexOf(const Names &names, const QString &name)
{
    for (int i = 0; i < int(std::size(names)); ++i) {
        if (name == QLatin1String(names[i]))
            return i;
    }
    return -1;
}

template <typename Names> QStringList listOf(const Names &names)
{
    QStringList list;
    for (const char *name : names)
        list.append(QLatin1String(name));
    return list;
}

} // namespace

QStringList authProtocolNames()
{
    return listOf(AuthNames);
}

QStringList privProtocolNames()
{
    return listOf(PrivNames);
}

V3UserForm formOf(const UsmUser &user)
{
    V3UserForm form;
    form.name = QString::fromUtf8(user.name);
    form.mayWrite = user.mayWrite;
    if (user.auth != usm::Auth::None) {
        form.level = V3UserForm::AuthNoPriv;
        form.authProtocol = QLatin1String(AuthNames[int(user.auth) - 1]);
    }
    if (user.priv != usm::Priv::None) {
        form.level = V3UserForm::AuthPriv;
        form.privProtocol = QLatin1String(PrivNames[int(user.priv) - 1]);
    }
    return form;
}

Status addV3UserFromForm(SnmpAgents &agents, int index, const V3UserForm &form)
{
    const QByteArray name = form.name.trimmed().toUtf8();
    if (name.isEmpty() || name.size() > 32)
        return failure(QStringLiteral("The user name must have 1 to 32 characters."));
    usm::Auth auth = usm::Auth::None;
    usm::Priv priv = usm::Priv::None;
    if (form.level != V3UserForm::NoAuthNoPriv) {
        const int at = indexOf(AuthNames, form.authProtocol);
        if (at < 0)
            return failure(QStringLiteral("Choose an authentication protocol."));
        if (form.authPassphrase.size() < MinPassphrase)
            return failure(QStringLiteral("The authentication passphrase must have at least "
                                          "8 characters."));
        auth = usm::Auth(at + 1);
    }
    if (form.level == V3UserForm::AuthPriv) {
        const int at = indexOf(PrivNames, form.privProtocol);
        if (at < 0)
            return failure(QStringLiteral("Choose a privacy protocol."));
        if (form.privPassphrase.size() < MinPassphrase)
            return failure(QStringLiteral("The privacy passphrase must have at least "
                                          "8 characters."));
        priv = usm::Priv(at + 1);
    }
    QByteArray authPassphrase = form.authPassphrase.toUtf8();
    QByteArray privPassphrase = form.privPassphrase.toUtf8();
    const Status added =
        agents.addV3User(index, name, auth, authPassphrase, priv, privPassphrase, form.mayWrite);
    usm::wipe(authPassphrase);
    usm::wipe(privPassphrase);
    if (!added)
        return failure(QStringLiteral("The user was not added: ") + added.failure().description);
    return {};
}

QString v3UsersTip(const QList<QByteArray> &names)
{
    if (names.isEmpty())
        return {};
    QStringList list;
    for (const QByteArray &name : names)
        list.append(QString::fromUtf8(name));
    return QStringLiteral("SNMPv3 users: ") + list.join(QStringLiteral(", "));
}
