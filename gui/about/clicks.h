#pragma once

#include <functional>

class QWidget;

// Runs action when the widget is clicked: the left button pressed on it and released over it.
// The widget keeps the click, so it never reaches the window behind.
void OnClick(QWidget* widget, std::function<void()> action);

// The widget keeps its clicks and does nothing with them.
void SwallowClicks(QWidget* widget);
