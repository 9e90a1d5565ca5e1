#include "dialogfilechooser.h"

#include <QFileDialog>

QString DialogFileChooser::chooseFileToOpen(const QString &caption)
{
    return QFileDialog::getOpenFileName(m_parent, caption);
}
