#include "recordedanswers.h"

#include "servedobjects.h"
#include "snmpmessage.h"

ServedObjects servedObjects(const SnmpMessage &message, int index, const RecordedTree *tree,
                            const AgentTableRow &row, SystemAnswers &answers,
                            const ControlledObjectsReader &readObjects, const QDateTime &now)
{
    ServedObjects objects(tree, row, answers, now, message.version == SnmpVersion::V1);
    if (index == 5 || index == 6) {
        const ControlledObjects typed = readObjects();
        objects.setTypedObject(index == 5 ? typed.first : typed.second);
    }
    return objects;
}

Status answerEachGet(SnmpMessage &message, const ServedObjects &objects,
                     const MissingObject &missing)
{
    int position = 1;
    for (SnmpVariable &variable : message.Variables) {
        const QByteArrayView content = oidContentOf(variable);
        Status answered;
        if (objects.isTyped(content))
            answered = objects.answerTyped(variable);
        else if (const ServedObjects::Ref ref = objects.find(content); ref.isValid())
            answered = objects.fill(variable, ref);
        else
            missing(variable, position);
        if (!answered)
            return answered;
        ++position;
    }
    return {};
}

Status answerEachNext(SnmpMessage &message, const ServedObjects &objects,
                      const MissingObject &missing)
{
    int position = 1;
    for (SnmpVariable &variable : message.Variables) {
        if (const ServedObjects::Ref ref = objects.next(oidContentOf(variable)); ref.isValid()) {
            const Status answered = objects.fill(variable, ref);
            if (!answered)
                return answered;
        } else {
            missing(variable, position);
        }
        ++position;
    }
    return {};
}
