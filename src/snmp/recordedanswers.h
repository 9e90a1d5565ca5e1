#pragma once

#include "agentanswers.h"
#include "common/result.h"

#include <QDateTime>

class RecordedTree;
class ServedObjects;
class SystemAnswers;
struct AgentTableRow;
struct SnmpMessage;

// The objects row `index` serves for `message`: with `tree` null, its system objects alone.
// Rows 5 and 6 read their typed object through `readObjects`.
ServedObjects servedObjects(const SnmpMessage &message, int index, const RecordedTree *tree,
                            const AgentTableRow &row, SystemAnswers &answers,
                            const ControlledObjectsReader &readObjects, const QDateTime &now);

// Get and GetNext of a row that serves a recording; unknown identifiers and the end of the
// tree get noSuchName as the row's own objects do.
Status answerRecordedGet(SnmpMessage &message, const ServedObjects &objects);
Status answerRecordedGetNext(SnmpMessage &message, const ServedObjects &objects);
