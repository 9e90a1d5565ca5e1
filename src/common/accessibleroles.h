#pragma once

#include <functional>

class QAbstractButton;
class QWidget;

// Where Qt's own accessible interfaces fall short, one factory of this program's steps in.
// Both are called before assistive technology first asks for the widget.

// Assistive technology lists the widget as a top-level window (frame), not a pane.
void presentAsWindow(QWidget *widget);
// The button's context menu opens through its Show Menu action too, next to Press.
void offerMenuAction(QAbstractButton *button, std::function<void()> showMenu);
