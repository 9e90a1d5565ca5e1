#pragma once

#include "common/core/messagepresenter.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class QMessageBox;
class QWidget;

// Never blocks the caller, so network events keep flowing while a box is up. One box is on
// screen at a time; later texts wait in order, and a text already waiting is not queued twice.
class QueuedMessageBoxes : public QObject, public MessagePresenter
{
    Q_OBJECT
public:
    explicit QueuedMessageBoxes(QWidget *parentWindow = nullptr);
    ~QueuedMessageBoxes() override;

    void showMessage(const QString &text) override;

    QString textOnScreen() const;
    QStringList waitingTexts() const { return m_waiting; }
    // Closes the box on screen as OK would; the next waiting text comes up.
    void acceptCurrent();

private:
    void showNext();

    QPointer<QWidget> m_parentWindow;
    QPointer<QMessageBox> m_box;
    QStringList m_waiting;
};
