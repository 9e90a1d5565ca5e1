#include "helptext.h"

QStringList helpTextLines()
{
    return {
        QStringLiteral("MIB Fix"),
        QString(),
        QStringLiteral("The purpose with MIB Fix is to prepare a LoadOrder.txt "),
        QStringLiteral("file."),
        QString(),
        QStringLiteral("Double-click on a file name opens the file in notepad."),
        QStringLiteral("Right-click on a file name opens a menu."),
        QString(),
        QStringLiteral("LoadOrder.txt could be created automatically (button"),
        QStringLiteral("'Create LoadOrder.txt') or manually (using the arrows)."),
        QString(),
        QStringLiteral("Before 'Create LoadOrder.txt' make sure to run 'Fix "),
        QStringLiteral("CRLF'."),
        QString(),
        QStringLiteral("The 'Create LoadOrder' button only checks "),
        QStringLiteral("dependencies among selected files."),
        QString(),
        QString(),
        QStringLiteral("SNMP Agent"),
        QStringLiteral("Simulates SNMP Agents."),
        QString(),
        QString(),
        QStringLiteral("TCP Services"),
        QStringLiteral("Simulates TCP Services."),
        QString(),
        QString(20, QLatin1Char('_')),
        QStringLiteral("Velmor, 2026"),
        QStringLiteral("https://velmor.example.org"),
    };
}
