#pragma once

#include <QString>

// The answers that a manager must refuse, one kind per setting.
enum class MalformedKind {
    WrongRequestId,
    WrongValueType,
    CutShort,
    LengthPastEnd,
    MissingLastVariable,
    TwoAnswers,
};
constexpr int MalformedKinds = 6;
QString malformedKindName(MalformedKind kind);

// How a row behaves beyond answering what it serves: all off by default, so a row nobody set
// up answers as it always has. Changed while the row runs.
struct RowBehaviour
{
    // Every Counter32 and Counter64 served grows with the row's uptime, this many times faster.
    bool countersAdvance = false;
    int speedFactor = 1; // 1, 10, 100 or 1000

    // A Set of a served object with its type is kept and answered until the row stops.
    bool acceptSet = false;

    int latencyMs = 0; // 0 to MaxDelayMs, each answer on its own
    int jitterMs = 0;  // plus or minus, evenly spread
    double lossPercent = 0;
    bool mute = false; // nothing answered, everything counted
    double errorPercent = 0;
    int errorStatus = 5; // genErr
    double malformedPercent = 0;
    MalformedKind malformedKind = MalformedKind::WrongRequestId;
    // v2c answered as old devices do: noSuchName where exceptions belong.
    bool legacyV2c = false;

    static constexpr int MaxDelayMs = 10000;

    bool operator==(const RowBehaviour &) const = default;
    bool isDefault() const { return *this == RowBehaviour(); }
    // Whether any answer may be held, dropped or spoiled: the request path tests this alone
    // while nothing is set.
    bool hasFaults() const
    {
        return latencyMs > 0 || jitterMs > 0 || lossPercent > 0 || mute || errorPercent > 0 ||
               malformedPercent > 0;
    }
};

// What is on, for the row's tooltip: "Counters ×100, latency 200 ± 50 ms, loss 5 %". Empty
// while nothing is.
QString behaviourSummary(const RowBehaviour &behaviour);
