#pragma once

#include "common/core/editorlauncher.h"
#include "common/core/filechooser.h"
#include "common/core/messagepresenter.h"

#include <QStringList>

// Captures the message boxes a window would show.
class RecordingMessages : public MessagePresenter
{
public:
    void showMessage(const QString &text) override { texts.append(text); }
    QString takeFirst() { return texts.isEmpty() ? QString() : texts.takeFirst(); }
    QStringList texts;
};

// Captures the paths a window would open in the text editor.
class RecordingEditor : public EditorLauncher
{
public:
    void openInEditor(const QString &path) override { paths.append(path); }
    QStringList paths;
};

// Answers file dialogs with a path the test sets; empty is a cancelled dialog.
class ChosenFile : public FileChooser
{
public:
    QString chooseFileToOpen(const QString &) override { return path; }
    QString path;
};
