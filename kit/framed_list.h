#pragma once

#include <QAbstractItemView>

// Draws a list's frame on the system's colour rather than on its window's, which at some scales
// shows between the frame's line and the rows; and keeps the rows from drawing a focus marker of
// their own, which some styles fill like a pale selection, on a row that is not selected.
void SetUpFramedList(QAbstractItemView& list);

// Frames where the keyboard is in a list that has the focus: the whole current row, or the whole
// list when no row is current, so that the focus shows on an empty list too. A line, never a fill,
// which would look like a selection.
void DrawFocusFrame(QAbstractItemView& list);

// A list as every window shows it: set up by SetUpFramedList, its focus shown by DrawFocusFrame.
template <class View>
class FramedList : public View {
public:
    explicit FramedList(QWidget* parent) : View(parent) { SetUpFramedList(*this); }

protected:
    void paintEvent(QPaintEvent* event) override {
        View::paintEvent(event);
        DrawFocusFrame(*this);
    }
};
