#pragma once

#include <QString>

QString loadOrderFilePath(const QString &programFolder); // LoadOrder.txt beside the program
QString loadOrderTempPath(const QString &programFolder); // LoadOrder.tmp beside the program
