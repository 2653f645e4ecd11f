#include "connection_model.h"

#include <QTextDocument>

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

// A process name is anybody's to choose: one that looks like markup is shown as typed.
QString PlainTooltip(const QString& text) {
    if (!Qt::mightBeRichText(text)) return text;
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}

}  // namespace

void ConnectionModel::clear() { setRows({}, {}); }

void ConnectionModel::setRows(std::vector<TcpRow> rows, std::vector<bool> isNew) {
    beginResetModel();
    rows_ = std::move(rows);
    rows_.shrink_to_fit();
    isNew_ = std::move(isNew);
    isNew_.shrink_to_fit();
    look_.reset();
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
    const auto row = static_cast<std::size_t>(index.row());
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole: return QString::fromStdString(column.text(rows_[row]));
        case Qt::TextAlignmentRole: return Alignment(column);
        case Qt::ToolTipRole:
        case Qt::AccessibleDescriptionRole: {
            if (!look_) look_ = SystemOwnerLookup()(std::stop_token{});
            const QString text =
                QString::fromStdString(OwnerText(look_.get(), rows_[row], isNew_[row]));
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
