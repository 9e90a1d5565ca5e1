#include "controlnames.h"

#include <QWidget>

void nameControl(QWidget *control, const QString &name, const QString &label)
{
    control->setObjectName(name);
    control->setAccessibleDescription(name);
    control->setAccessibleName(label.isEmpty() ? name : label);
}

QString arrayElementName(const QString &name, int index)
{
    return name + QLatin1Char('_') + QString::number(index);
}
