#include "behaviourform.h"

#include "snmp/agent/formnumbers.h"
#include "snmp/codec/snmpmessage.h"

#include <QLocale>

#include <array>
#include <cmath>

namespace {

const std::array<const char *, SnmpError::Last + 1> StatusNames = {"noError",
                                                                   "tooBig",
                                                                   "noSuchName",
                                                                   "badValue",
                                                                   "readOnly",
                                                                   "genErr",
                                                                   "noAccess",
                                                                   "wrongType",
                                                                   "wrongLength",
                                                                   "wrongEncoding",
                                                                   "wrongValue",
                                                                   "noCreation",
                                                                   "inconsistentValue",
                                                                   "resourceUnavailable",
                                                                   "commitFailed",
                                                                   "undoFailed",
                                                                   "authorizationError",
                                                                   "notWritable",
                                                                   "inconsistentName"};

constexpr std::array<int, 4> SpeedFactors = {1, 10, 100, 1000};

Failure refused(const QString &field, const QString &takes)
{
    return Failure{0, QStringLiteral("%1: %2").arg(field, takes)};
}

Result<int> milliseconds(const QString &text, const QString &field)
{
    const std::optional<int> value = wholeNumber(text, 0, RowBehaviour::MaxDelayMs);
    if (!value) {
        return refused(field, QStringLiteral("a whole number of milliseconds from 0 to %1")
                                  .arg(RowBehaviour::MaxDelayMs));
    }
    return *value;
}

Result<double> share(const QString &text, const QString &field)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value) || value < 0 || value > 100)
        return refused(field, QStringLiteral("a percentage from 0 to 100"));
    return value;
}

Result<int> errorStatusOf(const QString &typed)
{
    QString text = typed.trimmed();
    // "genErr (5)" as the list offers it
    if (text.endsWith(QLatin1Char(')')) && text.contains(QLatin1Char('('))) {
        text = text.mid(text.lastIndexOf(QLatin1Char('(')) + 1);
        text.chop(1);
    }
    bool ok = false;
    const int number = text.toInt(&ok);
    if (ok && number >= 0 && number <= SnmpError::Last)
        return number;
    for (int status = 0; status <= SnmpError::Last; ++status) {
        if (text == QLatin1String(StatusNames[size_t(status)]))
            return status;
    }
    return refused(QStringLiteral("Error status"),
                   QStringLiteral("a status name or a number from 0 to %1").arg(SnmpError::Last));
}

} // namespace

QStringList speedFactorNames()
{
    QStringList names;
    for (const int factor : SpeedFactors)
        names.append(QStringLiteral("\u00d7%1").arg(factor));
    return names;
}

QString errorStatusText(int status)
{
    if (status < 0 || status > SnmpError::Last)
        return QString::number(status);
    return QStringLiteral("%1 (%2)").arg(QLatin1String(StatusNames[size_t(status)])).arg(status);
}

QStringList errorStatusChoices()
{
    QStringList choices;
    for (const int status : {SnmpError::GenErr, SnmpError::TooBig, SnmpError::NoAccess,
                             SnmpError::ResourceUnavailable, SnmpError::AuthorizationError})
        choices.append(errorStatusText(status));
    return choices;
}

BehaviourForm formOf(const RowBehaviour &b)
{
    const auto number = [](double value) { return QLocale::c().toString(value, 'g', 6); };
    return {b.countersAdvance,
            QStringLiteral("\u00d7%1").arg(b.speedFactor),
            b.acceptSet,
            QString::number(b.latencyMs),
            QString::number(b.jitterMs),
            number(b.lossPercent),
            b.mute,
            number(b.errorPercent),
            errorStatusText(b.errorStatus),
            number(b.malformedPercent),
            int(b.malformedKind),
            b.legacyV2c};
}

Result<RowBehaviour> behaviourOf(const BehaviourForm &form)
{
    RowBehaviour b;
    b.countersAdvance = form.countersAdvance;
    const qsizetype factor = speedFactorNames().indexOf(form.speedFactor);
    if (factor < 0)
        return refused(QStringLiteral("Speed factor"),
                       speedFactorNames().join(QStringLiteral(", ")));
    b.speedFactor = SpeedFactors[size_t(factor)];
    b.acceptSet = form.acceptSet;
    const Result<int> latency = milliseconds(form.latency, QStringLiteral("Latency"));
    if (!latency)
        return latency.failure();
    b.latencyMs = latency.value();
    const Result<int> jitter = milliseconds(form.jitter, QStringLiteral("Jitter"));
    if (!jitter)
        return jitter.failure();
    b.jitterMs = jitter.value();
    const Result<double> loss = share(form.loss, QStringLiteral("Loss"));
    if (!loss)
        return loss.failure();
    b.lossPercent = loss.value();
    b.mute = form.mute;
    const Result<double> errors = share(form.errorShare, QStringLiteral("Error share"));
    if (!errors)
        return errors.failure();
    b.errorPercent = errors.value();
    const Result<int> status = errorStatusOf(form.errorStatus);
    if (!status)
        return status.failure();
    b.errorStatus = status.value();
    const Result<double> malformed = share(form.malformedShare, QStringLiteral("Malformed share"));
    if (!malformed)
        return malformed.failure();
    b.malformedPercent = malformed.value();
    if (form.malformedKind < 0 || form.malformedKind >= MalformedKinds)
        return refused(QStringLiteral("Malformed kind"), QStringLiteral("one of the kinds listed"));
    b.malformedKind = MalformedKind(form.malformedKind);
    b.legacyV2c = form.legacyV2c;
    return b;
}
