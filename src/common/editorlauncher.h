#pragma once

#include <QString>

class MessagePresenter;

// Opens a file in the user's text editor without waiting for it.
class EditorLauncher
{
public:
    virtual ~EditorLauncher() = default;
    virtual void openInEditor(const QString &path) = 0;
};

// Windows: notepad.exe with the path; elsewhere the desktop's default application for the file.
// The path always travels as one argument, so blanks in it are safe.
class DesktopEditorLauncher : public EditorLauncher
{
public:
    explicit DesktopEditorLauncher(MessagePresenter &messages) : m_messages(messages) {}
    void openInEditor(const QString &path) override;

private:
    MessagePresenter &m_messages;
};
