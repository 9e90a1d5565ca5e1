#pragma once

#include "common/core/result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class SnmpAgents;
struct UsmUser;

// What the users dialog collects for one user, as typed.
struct V3UserForm
{
    enum Level { NoAuthNoPriv, AuthNoPriv, AuthPriv };
    QString name;
    Level level = NoAuthNoPriv;
    QString authProtocol; // one of authProtocolNames()
    QString authPassphrase;
    QString privProtocol; // one of privProtocolNames()
    QString privPassphrase;
    bool mayWrite = false;
};

QStringList authProtocolNames();
QStringList privProtocolNames();

// A user's name, level and protocols, to edit it; passphrases are not kept: they stay blank.
V3UserForm formOf(const UsmUser &user);

// Checks the form and adds the user to the row, replacing one of the same name; the
// passphrases the level does not use are ignored. The failure's text is fit to show as it is.
Status addV3UserFromForm(SnmpAgents &agents, int index, const V3UserForm &form);

// The tooltip line naming a row's users; empty without any.
QString v3UsersTip(const QList<QByteArray> &names);
