#include "gui/main/connection_list.h"

#include <QEvent>
#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace {

// A cell draws no focus frame of its own: the list frames the whole row.
class CellWithoutFocus : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->state &= ~QStyle::State_HasFocus;
    }
};

}  // namespace

ConnectionList::ConnectionList(QWidget* parent) : QTableView(parent) {
    setItemDelegate(new CellWithoutFocus(this));
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

void ConnectionList::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !hasFocus()) return;
    QStyleOptionFocusRect frame;
    frame.initFrom(this);
    frame.state |= QStyle::State_KeyboardFocusChange;
    frame.backgroundColor = palette().color(
        selectionModel()->isSelected(current) ? QPalette::Highlight : QPalette::Base);
    frame.rect = visualRect(current.siblingAtColumn(0))
                     .united(visualRect(current.siblingAtColumn(model()->columnCount() - 1)));
    QPainter painter(viewport());
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &painter, this);
}
