#include "gui/main/connection_model.h"

#include <QTextDocument>
#include <algorithm>

#include "kit/list_columns.h"

namespace {

const ListColumn* ColumnAt(int column) {
    if (column < 0 || column >= ListColumnCount) return nullptr;
    return &ListColumns[static_cast<std::size_t>(column)];
}

QVariant Alignment(const ListColumn& column) {
    return QVariant::fromValue(column.alignment == CellAlignment::Left
                                   ? Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter)
                                   : Qt::Alignment(Qt::AlignCenter));
}

// A process name is anybody's to choose: one that looks like markup is shown as typed.
QString PlainTooltip(const QString& text) {
    if (!Qt::mightBeRichText(text)) return text;
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}

}  // namespace

ConnectionModel::ConnectionModel(Describer describer, QObject* parent)
    : QAbstractTableModel(parent), describer_(std::move(describer)) {}

void ConnectionModel::clear() {
    beginResetModel();
    rows_ = std::make_shared<const std::vector<TcpRow>>();
    isNew_ = {};
    endResetModel();
}

void ConnectionModel::setRows(Rows rows, std::vector<bool> isNew) {
    beginResetModel();
    rows_ = std::move(rows);
    isNew_ = std::move(isNew);
    endResetModel();
}

void ConnectionModel::describedAgain() {
    if (!rows_->empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::ToolTipRole, Qt::AccessibleDescriptionRole});
    emit descriptionsChanged();
}

int ConnectionModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_->size());
}

int ConnectionModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ListColumnCount;
}

QVariant ConnectionModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ListColumn& column = *ColumnAt(index.column());
    const auto row = static_cast<std::size_t>(index.row());
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return QString::fromStdString(
                CellText(static_cast<std::size_t>(index.column()), (*rows_)[row]));
        case Qt::TextAlignmentRole: return Alignment(column);
        case Qt::ToolTipRole:
        case Qt::AccessibleDescriptionRole: {
            const QString text = QString::fromStdString(describer_((*rows_)[row], isNew_[row]));
            return role == Qt::ToolTipRole ? PlainTooltip(text) : text;
        }
        case Qt::BackgroundRole: return isNew_[row] ? QVariant(NewRowColour) : QVariant();
        default: return {};
    }
}

QVariant ConnectionModel::headerData(int section, Qt::Orientation orientation, int role) const {
    const ListColumn* column = ColumnAt(section);
    if (orientation != Qt::Horizontal || column == nullptr) return {};
    switch (role) {
        case Qt::DisplayRole: return QString::fromUtf8(column->header);
        case Qt::TextAlignmentRole: return Alignment(*column);
        default: return {};
    }
}
