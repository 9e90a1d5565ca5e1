#include "mibfixpage.h"

#include "common/widgets/controlnames.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QPushButton *button(QWidget *parent, const QString &name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    nameControl(b, name, caption);
    return b;
}

QLabel *label(QWidget *parent, const QString &name, const QString &caption)
{
    auto *l = new QLabel(caption, parent);
    nameControl(l, name, caption);
    return l;
}

QListWidget *listBox(QWidget *parent, const QString &name, const QString &label)
{
    auto *l = new QListWidget(parent);
    nameControl(l, name, label);
    return l;
}

} // namespace

MibFixPage::MibFixPage(QWidget *parent) : QWidget(parent)
{
    // Pictures of the four toolbar buttons: right, left, up, down.
    for (QStyle::StandardPixmap pixmap :
         {QStyle::SP_ArrowRight, QStyle::SP_ArrowLeft, QStyle::SP_ArrowUp, QStyle::SP_ArrowDown})
        imgList16.append(style()->standardIcon(pixmap));

    auto *columns = new QHBoxLayout(this);
    columns->addWidget(buildBrowserColumn(), 3);
    columns->addWidget(buildSearchColumn(), 3);
    columns->addWidget(buildLoadOrderColumn(), 3);

    mnuView = new QMenu(QStringLiteral("View"), this);
    nameControl(mnuView, QStringLiteral("mnuView"), QStringLiteral("View"));
    mnuViewImports = mnuView->addAction(QStringLiteral("View IMPORTS"));
    mnuViewImports->setObjectName(QStringLiteral("mnuViewImports"));

    lbxFile->viewport()->installEventFilter(this);
    lbxLoadOrder->viewport()->installEventFilter(this);
}

QWidget *MibFixPage::buildBrowserColumn()
{
    auto *column = new QWidget(this);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);

    lbxDrive = new QComboBox(column);
    nameControl(lbxDrive, QStringLiteral("lbxDrive"), QStringLiteral("Drive"));
    lbxDir = listBox(column, QStringLiteral("lbxDir"), QStringLiteral("Directory"));
    lbxFile = listBox(column, QStringLiteral("lbxFile"), QStringLiteral("Files"));
    lbxFile->setSelectionMode(QAbstractItemView::ExtendedSelection);
    txtPattern = new QLineEdit(QStringLiteral("*.*"), column);
    nameControl(txtPattern, QStringLiteral("txtPattern"), QStringLiteral("Pattern"));
    cmdRefresh = button(column, QStringLiteral("cmdRefresh"), QStringLiteral("Refresh"));
    cmdSelectAll = button(column, QStringLiteral("cmdSelectAll"), QStringLiteral("Select All"));
    cmdUnSelectAll =
        button(column, QStringLiteral("cmdUnSelectAll"), QStringLiteral("UnSelect All"));
    lblFileCounter = label(column, QStringLiteral("lblFileCounter"), QString());

    layout->addWidget(lbxDrive);
    layout->addWidget(lbxDir, 2);
    layout->addWidget(lbxFile, 3);
    auto *patternRow = new QHBoxLayout;
    patternRow->addWidget(txtPattern, 1);
    patternRow->addWidget(cmdRefresh);
    layout->addLayout(patternRow);
    auto *selectRow = new QHBoxLayout;
    selectRow->addWidget(cmdSelectAll);
    selectRow->addWidget(cmdUnSelectAll);
    layout->addLayout(selectRow);
    layout->addWidget(lblFileCounter);
    return column;
}

QWidget *MibFixPage::buildSearchColumn()
{
    auto *column = new QWidget(this);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);

    lblFind = label(column, QStringLiteral("lblFind"), QStringLiteral("Find In Selected Files:"));
    txtFind = new QLineEdit(QStringLiteral("*quandix*"), column);
    nameControl(txtFind, QStringLiteral("txtFind"), QStringLiteral("Find In Selected Files:"));
    chkCaseSensitive = new QCheckBox(QStringLiteral("Case Sensitive"), column);
    nameControl(chkCaseSensitive, QStringLiteral("chkCaseSensitive"),
                QStringLiteral("Case Sensitive"));
    cmdSearch = button(column, QStringLiteral("cmdSearch"), QStringLiteral("Search"));
    lblResult = label(column, QStringLiteral("lblResult"), QStringLiteral("Result"));
    lbxResult = listBox(column, QStringLiteral("lbxResult"), QStringLiteral("Result"));
    lblSearchCounter = label(column, QStringLiteral("lblSearchCounter"), QString());

    fraSelection = new QGroupBox(QStringLiteral("With Selection Do"), column);
    nameControl(fraSelection, QStringLiteral("fraSelection"), QStringLiteral("With Selection Do"));
    cmdCreateLoadOrder = button(fraSelection, QStringLiteral("cmdCreateLoadOrder"),
                                QStringLiteral("Create LoadOrder.txt"));
    cmdDelete = button(fraSelection, QStringLiteral("cmdDelete"), QStringLiteral("Delete"));
    cmdFixCrLf = button(fraSelection, QStringLiteral("cmdFixCrLf"), QStringLiteral("Fix CRLF"));
    cmdRename = button(fraSelection, QStringLiteral("cmdRename"), QStringLiteral("Rename To .mib"));
    auto *frameLayout = new QVBoxLayout(fraSelection);
    frameLayout->addWidget(cmdCreateLoadOrder);
    frameLayout->addWidget(cmdDelete);
    frameLayout->addWidget(cmdFixCrLf);
    frameLayout->addWidget(cmdRename);

    layout->addWidget(lblFind);
    layout->addWidget(txtFind);
    auto *searchRow = new QHBoxLayout;
    searchRow->addWidget(chkCaseSensitive, 1);
    searchRow->addWidget(cmdSearch);
    layout->addLayout(searchRow);
    layout->addWidget(lblResult);
    layout->addWidget(lbxResult, 1);
    layout->addWidget(lblSearchCounter);
    layout->addWidget(fraSelection);
    return column;
}

QToolBar *MibFixPage::buildToolBar(const QString &name, QAction *&first, const QString &firstKey,
                                   const QString &firstTip, int firstIcon, QAction *&second,
                                   const QString &secondKey, const QString &secondTip,
                                   int secondIcon)
{
    auto *toolBar = new QToolBar(this);
    nameControl(toolBar, name, firstTip + QStringLiteral(", ") + secondTip);
    toolBar->setIconSize(QSize(16, 16));
    const auto add = [&](const QString &key, const QString &tip, int icon) {
        QAction *action = toolBar->addAction(imgList16.at(icon), key);
        action->setObjectName(key);
        action->setData(key);
        action->setToolTip(tip);
        QWidget *buttonWidget = toolBar->widgetForAction(action);
        nameControl(buttonWidget, name + QLatin1Char('_') + key, tip);
        return action;
    };
    first = add(firstKey, firstTip, firstIcon);
    second = add(secondKey, secondTip, secondIcon);
    return toolBar;
}

QWidget *MibFixPage::buildLoadOrderColumn()
{
    auto *column = new QWidget(this);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);

    lblLoadOrder = label(column, QStringLiteral("lblLoadOrder"), QStringLiteral("LoadOrder.txt"));
    lbxLoadOrder = listBox(column, QStringLiteral("lbxLoadOrder"), QStringLiteral("LoadOrder.txt"));
    lblLoadOrderCounter = label(column, QStringLiteral("lblLoadOrderCounter"), QString());
    tbrRightLeft = buildToolBar(QStringLiteral("tbrRightLeft"), tbrAdd, QStringLiteral("Add"),
                                QStringLiteral("Add"), 0, tbrRemove, QStringLiteral("Remove"),
                                QStringLiteral("Remove"), 1);
    tbrUpDown = buildToolBar(QStringLiteral("tbrUpDown"), tbrUp, QStringLiteral("Up"),
                             QStringLiteral("Move Up"), 2, tbrDown, QStringLiteral("Down"),
                             QStringLiteral("Move Down"), 3);
    cmdOpenLoadOrder = button(column, QStringLiteral("cmdOpenLoadOrder"), QStringLiteral("Open"));
    cmdDeleteLoadOrder =
        button(column, QStringLiteral("cmdDeleteLoadOrder"), QStringLiteral("Delete"));
    lblImports = label(column, QStringLiteral("lblImports"), QStringLiteral("IMPORTS section"));
    txtImports = new QPlainTextEdit(column);
    nameControl(txtImports, QStringLiteral("txtImports"), QStringLiteral("IMPORTS section"));
    txtImports->setReadOnly(true);
    txtImports->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtImports->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtImports->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    layout->addWidget(lblLoadOrder);
    auto *listRow = new QHBoxLayout;
    auto *tools = new QVBoxLayout;
    tools->addWidget(tbrRightLeft);
    tools->addWidget(tbrUpDown);
    tools->addStretch();
    listRow->addLayout(tools);
    listRow->addWidget(lbxLoadOrder, 1);
    layout->addLayout(listRow, 2);
    auto *counterRow = new QHBoxLayout;
    counterRow->addWidget(lblLoadOrderCounter, 1);
    counterRow->addWidget(cmdOpenLoadOrder);
    counterRow->addWidget(cmdDeleteLoadOrder);
    layout->addLayout(counterRow);
    layout->addWidget(lblImports);
    layout->addWidget(txtImports, 1);
    return column;
}

bool MibFixPage::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        const int button = mouse->button() == Qt::LeftButton    ? 1
                           : mouse->button() == Qt::RightButton ? 2
                                                                : 4;
        const QPoint position = mouse->globalPosition().toPoint();
        if (watched == lbxFile->viewport())
            emit lbxFile_MouseDown(button, mouse->modifiers(), position);
        else if (watched == lbxLoadOrder->viewport())
            emit lbxLoadOrder_MouseDown(button, mouse->modifiers(), position);
        // A right-click must not move the list's current entry.
        if (button == 2)
            return true;
    }
    return QWidget::eventFilter(watched, event);
}
