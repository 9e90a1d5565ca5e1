#pragma once

#include <QIcon>
#include <QList>
#include <QWidget>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QToolBar;
class QToolButton;

// The controls of the "MIB Fix" tab. Behaviour is attached by the controllers that use them.
class MibFixPage : public QWidget
{
    Q_OBJECT
public:
    explicit MibFixPage(QWidget *parent = nullptr);

    // File browser
    QComboBox *lbxDrive = nullptr;
    QListWidget *lbxDir = nullptr;
    QListWidget *lbxFile = nullptr;
    QLineEdit *txtPattern = nullptr;
    QPushButton *cmdRefresh = nullptr;
    QPushButton *cmdSelectAll = nullptr;
    QPushButton *cmdUnSelectAll = nullptr;
    QLabel *lblFileCounter = nullptr;

    // Search
    QLabel *lblFind = nullptr;
    QLineEdit *txtFind = nullptr;
    QCheckBox *chkCaseSensitive = nullptr;
    QPushButton *cmdSearch = nullptr;
    QLabel *lblResult = nullptr;
    QListWidget *lbxResult = nullptr;
    QLabel *lblSearchCounter = nullptr;

    // With Selection Do
    QGroupBox *fraSelection = nullptr;
    QPushButton *cmdCreateLoadOrder = nullptr;
    QPushButton *cmdDelete = nullptr;
    QPushButton *cmdFixCrLf = nullptr;
    QPushButton *cmdRename = nullptr;

    // Load order
    QLabel *lblLoadOrder = nullptr;
    QListWidget *lbxLoadOrder = nullptr;
    QLabel *lblLoadOrderCounter = nullptr;
    QToolBar *tbrRightLeft = nullptr;
    QToolBar *tbrUpDown = nullptr;
    QAction *tbrAdd = nullptr;    // key "Add", button 1 of tbrRightLeft
    QAction *tbrRemove = nullptr; // key "Remove", button 2 of tbrRightLeft
    QAction *tbrUp = nullptr;     // key "Up", button 1 of tbrUpDown
    QAction *tbrDown = nullptr;   // key "Down", button 2 of tbrUpDown
    QList<QIcon> imgList16;
    QPushButton *cmdOpenLoadOrder = nullptr;
    QPushButton *cmdDeleteLoadOrder = nullptr;

    // IMPORTS view
    QLabel *lblImports = nullptr;
    QPlainTextEdit *txtImports = nullptr;
    QMenu *mnuView = nullptr;
    QAction *mnuViewImports = nullptr;

signals:
    // A mouse button went down over a list: 1 left, 2 right (the list's own handling still runs).
    void lbxFile_MouseDown(int button, Qt::KeyboardModifiers shift, QPoint position);
    void lbxLoadOrder_MouseDown(int button, Qt::KeyboardModifiers shift, QPoint position);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildBrowserColumn();
    QWidget *buildSearchColumn();
    QWidget *buildLoadOrderColumn();
    QToolBar *buildToolBar(const QString &name, QAction *&first, const QString &firstKey,
                           const QString &firstTip, int firstIcon, QAction *&second,
                           const QString &secondKey, const QString &secondTip, int secondIcon);
};
