#include "app/connection_model.h"

#include <array>

#include "app/list_cells.h"

namespace {
struct Column {
    const char* header;
    Qt::Alignment alignment;
};
constexpr std::array<Column, kListColumnCount> kColumns = {{
    {"Local IP", Qt::AlignLeft | Qt::AlignVCenter},
    {"Local Port", Qt::AlignCenter},
    {"Remote IP", Qt::AlignCenter},
    {"Remote Port", Qt::AlignCenter},
    {"Status", Qt::AlignCenter},
}};
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
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return QString::fromStdString(
                ListCellText(rows_[static_cast<std::size_t>(index.row())], index.column()));
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(kColumns[static_cast<std::size_t>(index.column())].alignment);
        default:
            return {};
    }
}

QVariant ConnectionModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kListColumnCount) return {};
    const Column& column = kColumns[static_cast<std::size_t>(section)];
    switch (role) {
        case Qt::DisplayRole: return QString::fromLatin1(column.header);
        case Qt::TextAlignmentRole: return QVariant::fromValue(column.alignment);
        default: return {};
    }
}
