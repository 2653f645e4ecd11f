#pragma once

#include <QWidgetList>
#include <functional>

#include "single_window.h"

// Runs answer inside the modal loop that open starts, from a zero-delay timer. A modal window
// that answer leaves open is hidden afterwards, so that a failed check ends the test instead of
// leaving it waiting.
void AnswerModal(const std::function<void()>& open, const std::function<void()>& answer);

// The same for the single Window; without open, it is shown as its opening buttons show it.
template <class Window>
void AnswerWindow(const std::function<void()>& open, const std::function<void(Window&)>& answer) {
    AnswerModal(open, [answer] { answer(SingleInstance<Window>()); });
}
template <class Window>
void AnswerWindow(const std::function<void(Window&)>& answer) {
    AnswerWindow<Window>([] { SingleInstance<Window>().exec(); }, answer);
}

// The top-level windows shown now. Every test ends with none.
QWidgetList OpenWindows();
