#include "kit/framed_list.h"

#include <QPainter>
#include <QStyledItemDelegate>

namespace {

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

void SetUpFramedList(QAbstractItemView& list) {
    list.setAutoFillBackground(true);
    list.setItemDelegate(new CellWithoutFocus(&list));
}

void DrawFocusFrame(QAbstractItemView& list) {
    if (!list.hasFocus()) return;
    const QModelIndex current = list.currentIndex();
    const QRect frame =
        current.isValid()
            ? list.visualRect(current.siblingAtColumn(0))
                  .united(list.visualRect(current.siblingAtColumn(list.model()->columnCount() - 1)))
            : list.viewport()->rect();
    QPainter painter(list.viewport());
    painter.setPen(list.palette().color(
        current.isValid() && list.selectionModel()->isSelected(current) ? QPalette::HighlightedText
                                                                        : QPalette::Highlight));
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
}
