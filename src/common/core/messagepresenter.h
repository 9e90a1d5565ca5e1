#pragma once

#include <QString>

// Shows a message to the user: OK only, no icon, the application's title.
class MessagePresenter
{
public:
    virtual ~MessagePresenter() = default;
    virtual void showMessage(const QString &text) = 0;
};
