#pragma once

#include <QString>

// Opens a file in the user's text editor without waiting for it.
class EditorLauncher
{
public:
    virtual ~EditorLauncher() = default;
    virtual void openInEditor(const QString &path) = 0;
};
