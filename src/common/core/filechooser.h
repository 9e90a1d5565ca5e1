#pragma once

#include <QString>

// Asks the user for a file to open; an empty text when they cancel.
class FileChooser
{
public:
    virtual ~FileChooser() = default;
    virtual QString chooseFileToOpen(const QString &caption) = 0;
};
