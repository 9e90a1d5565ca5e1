#include "helppage.h"

#include "common/widgets/controlnames.h"
#include "helptext.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

HelpPage::HelpPage(QWidget *parent) : QWidget(parent)
{
    fraHelp = new QGroupBox(QStringLiteral("Help"), this);
    nameControl(fraHelp, QStringLiteral("fraHelp"), QStringLiteral("Help"));
    txtHelp = new QPlainTextEdit(fraHelp);
    nameControl(txtHelp, QStringLiteral("txtHelp"), QStringLiteral("Help"));
    txtHelp->setReadOnly(true);
    txtHelp->setLineWrapMode(QPlainTextEdit::WidgetWidth); // the narrow tab cuts long lines
    txtHelp->setPlainText(helpTextLines().join(QLatin1Char('\n')) + QLatin1Char('\n'));
    auto *frameLayout = new QVBoxLayout(fraHelp);
    frameLayout->addWidget(txtHelp);

    chkDebugMode = new QCheckBox(QStringLiteral("Debug Mode"), this);
    nameControl(chkDebugMode, QStringLiteral("chkDebugMode"), QStringLiteral("Debug Mode"));
    cmdNetInfo = new QPushButton(QStringLiteral("NIC Info"), this);
    nameControl(cmdNetInfo, QStringLiteral("cmdNetInfo"), QStringLiteral("NIC Info"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(fraHelp, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(chkDebugMode);
    bottom->addStretch();
    bottom->addWidget(cmdNetInfo);
    layout->addLayout(bottom);
}

QString HelpPage::helpText() const
{
    QString text = txtHelp->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}
