#include "messageboxes.h"

#include "common/core/apptitle.h"

#include <QMessageBox>
#include <QTimer>

QueuedMessageBoxes::QueuedMessageBoxes(QWidget *parentWindow) : m_parentWindow(parentWindow) {}

QueuedMessageBoxes::~QueuedMessageBoxes()
{
    if (m_box)
        m_box->deleteLater();
}

void QueuedMessageBoxes::showMessage(const QString &text)
{
    if (m_box) {
        if (!m_waiting.contains(text))
            m_waiting.append(text);
        return;
    }
    m_waiting.append(text);
    showNext();
}

QString QueuedMessageBoxes::textOnScreen() const
{
    return m_box ? m_box->text() : QString();
}

void QueuedMessageBoxes::acceptCurrent()
{
    if (m_box)
        m_box->accept();
}

void QueuedMessageBoxes::showNext()
{
    if (m_box || m_waiting.isEmpty())
        return;
    auto *box = new QMessageBox(QMessageBox::NoIcon, applicationTitle(), m_waiting.takeFirst(),
                                QMessageBox::Ok, m_parentWindow);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(QStringLiteral("messageBox"));
    box->setWindowModality(Qt::ApplicationModal);
    connect(box, &QMessageBox::finished, this, [this] {
        m_box = nullptr;
        // Let the closed box go away before the next one comes up.
        QTimer::singleShot(0, this, &QueuedMessageBoxes::showNext);
    });
    m_box = box;
    box->show();
}
