#include "rowcontrols.h"

#include "common/widgets/controlnames.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

QLineEdit *arrayTextBox(QWidget *parent, const QString &name, int index, const QString &text,
                        const QString &label)
{
    auto *box = new QLineEdit(text, parent);
    nameControl(box, arrayElementName(name, index),
                label + QStringLiteral(" (row ") + QString::number(index + 1) + QLatin1Char(')'));
    return box;
}

QPushButton *arrayButton(QWidget *parent, const QString &name, int index, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    nameControl(button, arrayElementName(name, index), caption);
    return button;
}

QLabel *rowLabel(QWidget *parent, const QString &caption, QWidget *buddy)
{
    auto *label = new QLabel(caption, parent);
    label->setBuddy(buddy);
    return label;
}
