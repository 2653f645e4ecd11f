#pragma once

#include <QTableView>

#include "kit/framed_list.h"

// The connection list: a table view, which keeps only its row header's few bytes per row where a
// tree view keeps an item, that looks and moves as a list does. One row is selected at a time,
// the focus frames the whole current row (the whole list when none is current), there is no grid
// and no row header, every row is one text line high, Home and End go to the first and last row,
// and Left and Right scroll.
class ConnectionList : public FramedList<QTableView> {
public:
    explicit ConnectionList(QWidget* parent);

protected:
    void changeEvent(QEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

private:
    void fitRowHeight();
};
