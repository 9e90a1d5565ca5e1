#pragma once

#include <QString>

class QObject;
class QWidget;

// Outside tools find controls by these names through the accessibility tree (object name and
// accessible description). The label becomes the accessible name only of controls without text
// of their own; labels, buttons, check boxes, frames and windows are read by their live text.
void nameControl(QWidget *control, const QString &name, const QString &label);
QString arrayElementName(const QString &name, int index);

// The control, named as nameControl names it.
template <typename Control>
Control *named(Control *control, const QString &name, const QString &label)
{
    nameControl(control, name, label);
    return control;
}
