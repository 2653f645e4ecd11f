#pragma once

#include <QWidgetList>
#include <functional>

// Runs answer inside the modal loop that open starts, from a zero-delay timer. A modal window
// that answer leaves open is hidden afterwards, so that a failed check ends the test instead of
// leaving it waiting.
void AnswerModal(const std::function<void()>& open, const std::function<void()>& answer);

// The top-level windows shown now. Every test ends with none.
QWidgetList OpenWindows();
