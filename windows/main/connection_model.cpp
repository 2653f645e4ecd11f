#include "connection_model.h"

#include "list_columns.h"

namespace {

const ListColumn* ColumnAt(int column) {
    if (column < 0 || column >= kListColumnCount) return nullptr;
    return &kListColumns[static_cast<std::size_t>(column)];
}

QVariant Alignment(const ListColumn& column) {
    return QVariant::fromValue(column.alignment == CellAlignment::Left
                                   ? Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter)
                                   : Qt::Alignment(Qt::AlignCenter));
}

}  // namespace

void ConnectionModel::clear() { setRows({}); }

void ConnectionModel::setRows(std::vector<TcpRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    rows_.shrink_to_fit();
    endResetModel();
}

int ConnectionModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ConnectionModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kListColumnCount;
}

QVariant ConnectionModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ListColumn& column = *ColumnAt(index.column());
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return QString::fromStdString(
                column.text(rows_[static_cast<std::size_t>(index.row())]));
        case Qt::TextAlignmentRole: return Alignment(column);
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
