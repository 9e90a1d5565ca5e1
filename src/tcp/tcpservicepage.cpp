#include "tcpservicepage.h"

#include "common/widgets/controlnames.h"
#include "common/widgets/rowcontrols.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TcpServicePage::TcpServicePage(QWidget *parent) : QWidget(parent)
{
    static const char *const ports[RowCount] = {"80", "25", "21", "1433"};
    static const char *const replies[RowCount] = {"HTTP/1.1 200", "220", "230", ""};

    auto *layout = new QVBoxLayout(this);
    fraTcpService = new QGroupBox(QStringLiteral("TCP Services"), this);
    nameControl(fraTcpService, QStringLiteral("fraTcpService"), QStringLiteral("TCP Services"));
    auto *grid = new QGridLayout(fraTcpService);
    grid->setVerticalSpacing(2);
    QWidget *frame = fraTcpService;
    for (int i = 0; i < RowCount; ++i) {
        txtTcpIpAddr[i] =
            arrayTextBox(frame, QStringLiteral("txtTcpIpAddr"), i,
                         QStringLiteral("255.255.255.255"), QStringLiteral("IP Address:"));
        txtTcpPort[i] = arrayTextBox(frame, QStringLiteral("txtTcpPort"), i,
                                     QString::fromLatin1(ports[i]), QStringLiteral("Port:"));
        cmdTcpControl[i] =
            arrayButton(frame, QStringLiteral("cmdTcpControl"), i, QStringLiteral("Start"));
        txtTcpStatus[i] = arrayTextBox(frame, QStringLiteral("txtTcpStatus"), i,
                                       QStringLiteral("Stopped"), QStringLiteral("Status:"));
        txtTcpStatus[i]->setReadOnly(true);
        txtTcpReply[i] =
            arrayTextBox(frame, QStringLiteral("txtTcpReply"), i, QString::fromLatin1(replies[i]),
                         QStringLiteral("Send Reply String:"));

        const int row = i * 4;
        grid->addWidget(rowLabel(frame, QStringLiteral("IP Address:"), txtTcpIpAddr[i]), row, 0);
        grid->addWidget(txtTcpIpAddr[i], row, 1);
        grid->addWidget(rowLabel(frame, QStringLiteral("Port:"), txtTcpPort[i]), row, 2);
        grid->addWidget(txtTcpPort[i], row, 3);
        grid->addWidget(rowLabel(frame, QStringLiteral("Status:"), txtTcpStatus[i]), row + 1, 0);
        grid->addWidget(txtTcpStatus[i], row + 1, 1);
        grid->addWidget(cmdTcpControl[i], row + 1, 2, 1, 2);
        grid->addWidget(rowLabel(frame, QStringLiteral("Send Reply String:"), txtTcpReply[i]),
                        row + 2, 0, 1, 4);
        grid->addWidget(txtTcpReply[i], row + 3, 0, 1, 4);
    }
    layout->addWidget(fraTcpService);
    layout->addStretch();
}
