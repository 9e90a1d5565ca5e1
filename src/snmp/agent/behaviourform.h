#pragma once

#include "common/core/result.h"
#include "snmp/answers/rowbehaviour.h"

#include <QString>
#include <QStringList>

// What the behaviour dialog collects for one row, as typed.
struct BehaviourForm
{
    bool countersAdvance = false;
    QString speedFactor; // one of speedFactorNames()
    bool acceptSet = false;
    QString latency;
    QString jitter;
    QString loss;
    bool mute = false;
    QString errorShare;
    QString errorStatus; // one of errorStatusChoices(), a number or a status name
    QString malformedShare;
    int malformedKind = 0; // a MalformedKind
    bool legacyV2c = false;
};

QStringList speedFactorNames();
// The statuses managers meet most, each as "name (number)".
QStringList errorStatusChoices();
// "genErr (5)" for 5; the number alone past the last status.
QString errorStatusText(int status);

BehaviourForm formOf(const RowBehaviour &behaviour);
// The settings the form asks for. A failure names the field and what it takes, fit to show
// as it is.
Result<RowBehaviour> behaviourOf(const BehaviourForm &form);
