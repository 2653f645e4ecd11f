#include "gui/main/connection_list.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>

ConnectionList::ConnectionList(QWidget* parent) : FramedList(parent) {
    setShowGrid(false);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    fitRowHeight();
}

void ConnectionList::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange) fitRowHeight();
}

// A row is as high as a cell of one line of text in the list's font.
void ConnectionList::fitRowHeight() {
    QStyleOptionViewItem cell;
    initViewItemOption(&cell);
    cell.text = QStringLiteral("0");
    cell.features |= QStyleOptionViewItem::HasDisplay;
    verticalHeader()->setDefaultSectionSize(
        style()->sizeFromContents(QStyle::CT_ItemViewItem, &cell, {}, this).height());
}

QModelIndex ConnectionList::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    switch (action) {
        case MoveHome:
        case MoveEnd: return QTableView::moveCursor(action, modifiers | Qt::ControlModifier);
        case MoveLeft:
        case MoveRight:
            horizontalScrollBar()->triggerAction(action == MoveLeft
                                                     ? QAbstractSlider::SliderSingleStepSub
                                                     : QAbstractSlider::SliderSingleStepAdd);
            return currentIndex();
        default: return QTableView::moveCursor(action, modifiers);
    }
}
