#pragma once

#include "common/core/filechooser.h"

class QWidget;

// The platform's open-file dialog.
class DialogFileChooser : public FileChooser
{
public:
    explicit DialogFileChooser(QWidget *parentWindow = nullptr) : m_parent(parentWindow) {}
    QString chooseFileToOpen(const QString &caption) override;

private:
    QWidget *m_parent;
};
