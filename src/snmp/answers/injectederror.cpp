#include "injectederror.h"

#include "snmp/codec/snmpmessage.h"

#include <QtGlobal>

int v1ErrorStatus(int status)
{
    switch (status) {
    case SnmpError::WrongValue:
    case SnmpError::WrongEncoding:
    case SnmpError::WrongType:
    case SnmpError::WrongLength:
    case SnmpError::InconsistentValue:
        return SnmpError::BadValue;
    case SnmpError::NoAccess:
    case SnmpError::NotWritable:
    case SnmpError::NoCreation:
    case SnmpError::InconsistentName:
    case SnmpError::AuthorizationError:
        return SnmpError::NoSuchName;
    case SnmpError::ResourceUnavailable:
    case SnmpError::CommitFailed:
    case SnmpError::UndoFailed:
        return SnmpError::GenErr;
    default:
        return status;
    }
}

bool statusNamesVariable(int status)
{
    switch (status) {
    case 0:
    case SnmpError::TooBig:
    case SnmpError::CommitFailed:
    case SnmpError::UndoFailed:
    case SnmpError::AuthorizationError:
        return false;
    default:
        return status > 0 && status <= SnmpError::Last;
    }
}

void injectError(SnmpMessage &request, int status)
{
    const bool v1 = request.version == SnmpVersion::V1;
    const int sent =
        v1 ? v1ErrorStatus(qBound(0, status, SnmpError::Last)) : qBound(0, status, SnmpError::Last);
    request.ErrorStatus = sent;
    if (sent == SnmpError::TooBig && !v1)
        request.Variables.clear();
    request.ErrorIndex = statusNamesVariable(sent) && !request.Variables.isEmpty() ? 1 : 0;
}
