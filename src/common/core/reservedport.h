#pragma once

#include <QString>

// The message for a listen the system refused for want of privilege. For a port below 1024 it
// says why and what the user can do; otherwise the system's own description stands.
QString accessRefusedMessage(int port, const QString &systemDescription);
