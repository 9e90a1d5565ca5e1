#include "injectederror.h"

#include "snmp/codec/snmpmessage.h"

#include <QtGlobal>

namespace {

// Status numbers without a constant of their own.
constexpr int WrongEncoding = 9;
constexpr int WrongValue = 10;
constexpr int InconsistentValue = 12;
constexpr int CommitFailed = 14;
constexpr int UndoFailed = 15;
constexpr int InconsistentName = 18;

} // namespace

int v1ErrorStatus(int status)
{
    switch (status) {
    case WrongValue:
    case WrongEncoding:
    case SnmpError::WrongType:
    case SnmpError::WrongLength:
    case InconsistentValue:
        return SnmpError::BadValue;
    case SnmpError::NoAccess:
    case SnmpError::NotWritable:
    case SnmpError::NoCreation:
    case InconsistentName:
    case SnmpError::AuthorizationError:
        return SnmpError::NoSuchName;
    case SnmpError::ResourceUnavailable:
    case CommitFailed:
    case UndoFailed:
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
    case CommitFailed:
    case UndoFailed:
    case SnmpError::AuthorizationError:
        return false;
    default:
        return status > 0 && status <= InconsistentName;
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
