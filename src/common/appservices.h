#pragma once

#include <QString>

class EditorLauncher;
class MessagePresenter;

// What every subsystem of the window shares: the program folder and the user-facing services.
struct AppServices
{
    QString programFolder; // the folder that holds the executable
    MessagePresenter &messages;
    EditorLauncher &editor;
};
