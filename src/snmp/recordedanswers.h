#pragma once

#include "agentanswers.h"
#include "common/core/result.h"

#include <QDateTime>

#include <functional>

class RecordedTree;
class ServedObjects;
class SystemAnswers;
struct AgentTableRow;
struct SnmpMessage;
class SnmpVariable;

// The objects row `index` serves for `message`: with `tree` null, its system objects alone.
// Rows 5 and 6 read their typed object through `readObjects`.
ServedObjects servedObjects(const SnmpMessage &message, int index, const RecordedTree *tree,
                            const AgentTableRow &row, SystemAnswers &answers,
                            const ControlledObjectsReader &readObjects, const QDateTime &now);

// Answers each variable from the served objects: with the identifier's own object (Get) or the
// one after it (GetNext). `missing` handles a variable without one, given its position from 1.
using MissingObject = std::function<void(SnmpVariable &variable, int position)>;
Status answerEachGet(SnmpMessage &message, const ServedObjects &objects,
                     const MissingObject &missing);
Status answerEachNext(SnmpMessage &message, const ServedObjects &objects,
                      const MissingObject &missing);
