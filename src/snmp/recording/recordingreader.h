#pragma once

#include "common/core/result.h"
#include "snmp/recording/recordedtree.h"

#include <QString>

#include <functional>

// Told the bytes read so far and the file's size; returns false to stop the reading.
using RecordingProgress = std::function<bool(qint64 done, qint64 total)>;

// Reads a recording: numeric snmpwalk output or OID|TAG|VALUE lines, told apart by content. A
// failure's description names the file, the line and what is wrong; a cancelled reading fails
// with Cancelled as its number.
Result<RecordedTree> readRecording(const QString &path, const RecordingProgress &progress = {});

namespace RecordingFailure {
constexpr int Cancelled = 1;
}
