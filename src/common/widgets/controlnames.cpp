#include "controlnames.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QToolButton>

namespace {

// Assistive technology reads these controls' own text, which changes as the program runs
// ("12 (3)", "Stop"); a fixed accessible name would hide it.
bool showsOwnText(const QWidget *control)
{
    const Qt::WindowType window = control->windowType(); // a pop-up menu has no title of its own
    if (window == Qt::Window || window == Qt::Dialog || qobject_cast<const QLabel *>(control) ||
        qobject_cast<const QGroupBox *>(control))
        return true;
    if (const auto *tool = qobject_cast<const QToolButton *>(control))
        return tool->toolButtonStyle() != Qt::ToolButtonIconOnly;
    return qobject_cast<const QAbstractButton *>(control) != nullptr;
}

} // namespace

void nameControl(QWidget *control, const QString &name, const QString &label)
{
    control->setObjectName(name);
    control->setAccessibleDescription(name);
    if (!showsOwnText(control))
        control->setAccessibleName(label.isEmpty() ? name : label);
}

QString arrayElementName(const QString &name, int index)
{
    return name + QLatin1Char('_') + QString::number(index);
}
