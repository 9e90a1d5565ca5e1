#pragma once

#include "common/core/editorlauncher.h"
#include "common/core/messagepresenter.h"

#include <cstdio>

// A benchmark has nobody to click message boxes away: it prints them instead.
class PrintedMessages : public MessagePresenter
{
public:
    void showMessage(const QString &text) override
    {
        std::fprintf(stderr, "message box: %s\n", qPrintable(text));
    }
};

class NoEditor : public EditorLauncher
{
public:
    void openInEditor(const QString &) override {}
};
