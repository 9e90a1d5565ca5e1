#include "reservedport.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {
constexpr int FirstFreePort = 1024;

// Quoted only where a shell would split or expand it, so the command can be pasted.
QString shellWord(const QString &text)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9/._+-]+$"));
    if (plain.match(text).hasMatch())
        return text;
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QStringLiteral("'\\''")) +
           QLatin1Char('\'');
}
} // namespace

QString accessRefusedMessage(int port, const QString &systemDescription)
{
    if (port >= FirstFreePort)
        return systemDescription;
    QString message = QStringLiteral("Port %1 was refused: the system reserves ports below %2 "
                                     "for privileged programs. Choose a port from %2 up")
                          .arg(port)
                          .arg(FirstFreePort);
#ifdef Q_OS_LINUX
    message += QStringLiteral(", or allow this program those ports with:\nsudo setcap "
                              "cap_net_bind_service=+ep ") +
               shellWord(QCoreApplication::applicationFilePath());
#else
    message += QLatin1Char('.');
#endif
    return message;
}
