#pragma once

#include "common/core/editorlauncher.h"

class MessagePresenter;

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
