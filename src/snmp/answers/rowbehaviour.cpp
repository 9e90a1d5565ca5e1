#include "rowbehaviour.h"

#include <QStringList>

QString malformedKindName(MalformedKind kind)
{
    switch (kind) {
    case MalformedKind::WrongRequestId:
        return QStringLiteral("wrong request-id");
    case MalformedKind::WrongValueType:
        return QStringLiteral("value of the wrong type");
    case MalformedKind::CutShort:
        return QStringLiteral("datagram cut short");
    case MalformedKind::LengthPastEnd:
        return QStringLiteral("length past the end");
    case MalformedKind::MissingLastVariable:
        return QStringLiteral("last variable missing");
    case MalformedKind::TwoAnswers:
        return QStringLiteral("two answers");
    }
    return {};
}

namespace {

QString percent(double share)
{
    return QString::number(share, 'g', 6) + QStringLiteral(" %");
}

} // namespace

QString behaviourSummary(const RowBehaviour &b)
{
    QStringList parts;
    if (b.countersAdvance)
        parts.append(QStringLiteral("Counters \u00d7%1").arg(b.speedFactor));
    if (b.acceptSet)
        parts.append(QStringLiteral("Set accepted"));
    if (b.latencyMs > 0 || b.jitterMs > 0)
        parts.append(QStringLiteral("latency %1 \u00b1 %2 ms").arg(b.latencyMs).arg(b.jitterMs));
    if (b.lossPercent > 0)
        parts.append(QStringLiteral("loss ") + percent(b.lossPercent));
    if (b.mute)
        parts.append(QStringLiteral("mute"));
    if (b.errorPercent > 0) {
        parts.append(QStringLiteral("error %1 at ").arg(b.errorStatus) + percent(b.errorPercent));
    }
    if (b.malformedPercent > 0) {
        parts.append(malformedKindName(b.malformedKind) + QStringLiteral(" at ") +
                     percent(b.malformedPercent));
    }
    if (b.legacyV2c)
        parts.append(QStringLiteral("legacy v2c"));
    QString summary = parts.join(QStringLiteral(", "));
    if (!summary.isEmpty())
        summary[0] = summary[0].toUpper();
    return summary;
}
