#pragma once

#include <QString>

class QObject;
class QWidget;

// Outside tools find controls by these names through the accessibility tree.
void nameControl(QWidget *control, const QString &name, const QString &label);
QString arrayElementName(const QString &name, int index);
