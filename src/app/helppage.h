#pragma once

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QPlainTextEdit;
class QPushButton;

// The controls of the "Help" tab.
class HelpPage : public QWidget
{
    Q_OBJECT
public:
    explicit HelpPage(QWidget *parent = nullptr);

    // The text as the box holds it: every line ended by CR LF.
    QString helpText() const;

    QGroupBox *fraHelp = nullptr;
    QPlainTextEdit *txtHelp = nullptr;
    QCheckBox *chkDebugMode = nullptr;
    QPushButton *cmdNetInfo = nullptr;
};
