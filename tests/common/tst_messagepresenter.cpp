#include "common/core/apptitle.h"
#include "common/widgets/messageboxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QtTest>

class TstMessagePresenter : public QObject
{
    Q_OBJECT
private slots:
    void oneBoxAtATimeInOrder();
    void boxHasOkOnlyNoIconAndTheTitle();
};

void TstMessagePresenter::oneBoxAtATimeInOrder()
{
    QueuedMessageBoxes boxes;
    boxes.showMessage("first");
    boxes.showMessage("second");
    boxes.showMessage("second"); // already waiting: not queued again
    boxes.showMessage("first");  // on screen, not waiting: queued
    QCOMPARE(boxes.textOnScreen(), QStringLiteral("first"));
    QCOMPARE(boxes.waitingTexts(), (QStringList{"second", "first"}));

    boxes.acceptCurrent();
    QTRY_COMPARE(boxes.textOnScreen(), QStringLiteral("second"));
    boxes.acceptCurrent();
    QTRY_COMPARE(boxes.textOnScreen(), QStringLiteral("first"));
    boxes.acceptCurrent();
    QTRY_VERIFY(boxes.waitingTexts().isEmpty());
    QTRY_COMPARE(boxes.textOnScreen(), QString());
}

void TstMessagePresenter::boxHasOkOnlyNoIconAndTheTitle()
{
    QueuedMessageBoxes boxes;
    boxes.showMessage("hello");
    // showMessage returned at once although the box is up: the event loop keeps running.
    QMessageBox *box = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *candidate = qobject_cast<QMessageBox *>(widget);
            candidate && candidate->isVisible())
            box = candidate;
    }
    QVERIFY(box);
    QCOMPARE(box->windowTitle(), applicationTitle());
    QCOMPARE(box->icon(), QMessageBox::NoIcon);
    QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
    boxes.acceptCurrent();
}

QTEST_MAIN(TstMessagePresenter)
#include "tst_messagepresenter.moc"
