#pragma once

#include <QString>

class QWidget;

// Asks the user for a file to open; an empty text when they cancel.
class FileChooser
{
public:
    virtual ~FileChooser() = default;
    virtual QString chooseFileToOpen(const QString &caption) = 0;
};

// The platform's open-file dialog.
class DialogFileChooser : public FileChooser
{
public:
    explicit DialogFileChooser(QWidget *parentWindow = nullptr) : m_parent(parentWindow) {}
    QString chooseFileToOpen(const QString &caption) override;

private:
    QWidget *m_parent;
};
