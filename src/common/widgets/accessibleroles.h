#pragma once

#include <functional>

class QWidget;

// Where Qt's own accessible interfaces fall short, one factory of this program's steps in.
// Both are called before assistive technology first asks for the widget.

// Assistive technology lists the widget as a top-level window (frame), not a pane.
void presentAsWindow(QWidget *widget);
// The context menu of a button or line edit opens through a Show Menu action too, next to the
// button's Press or the line edit's focus.
void offerMenuAction(QWidget *control, std::function<void()> showMenu);
