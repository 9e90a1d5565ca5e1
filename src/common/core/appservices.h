#pragma once

#include <QString>

class EditorLauncher;
class FileChooser;
class MessagePresenter;

// What every subsystem of the window shares: the program folder and the user-facing services.
struct AppServices
{
    QString programFolder; // the folder that holds the executable
    MessagePresenter &messages;
    EditorLauncher &editor;
    FileChooser *files = nullptr; // none: nothing asks for files
};
