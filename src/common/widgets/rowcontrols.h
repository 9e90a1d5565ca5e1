#pragma once

#include <QString>

class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// Building blocks for the rows of like controls on the agent and service tabs.
QLineEdit *arrayTextBox(QWidget *parent, const QString &name, int index, const QString &text,
                        const QString &label);
QPushButton *arrayButton(QWidget *parent, const QString &name, int index, const QString &caption);
QLabel *rowLabel(QWidget *parent, const QString &caption, QWidget *buddy);
