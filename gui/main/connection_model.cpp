#include "gui/main/connection_model.h"

#include <QTextDocument>
#include <QThread>
#include <system_error>

#include "kit/list_columns.h"

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

ConnectionModel::ConnectionModel(OwnerLookup ownerLookup, QObject* parent)
    : QAbstractTableModel(parent), ownerLookup_(std::move(ownerLookup)) {}

// A look that fails, or cannot start, answers for every row with why.
void ConnectionModel::LookUpOwners() {
    currentLook_.request_stop();
    currentLook_ = {};
    look_ = {};
    const std::stop_token stop = currentLook_.get_token();
    try {
        looks_.start(
            [lookup = ownerLookup_, rows = rows_, stop]() -> Look {
                QThread::currentThread()->setPriority(QThread::IdlePriority);
                try {
                    return {lookup(*rows, stop), {}};
                } catch (const std::exception& error) {
                    return {nullptr, error.what()};
                }
            },
            [this, stop](Look look) {
                if (!stop.stop_requested()) TakeOwners(std::move(look));
            });
    } catch (const std::system_error& error) {
        TakeOwners({nullptr, error.what()});
    }
}

void ConnectionModel::TakeOwners(Look look) {
    look_ = std::move(look);
    if (!rows_->empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::ToolTipRole, Qt::AccessibleDescriptionRole});
    emit OwnersKnown();
}

QString ConnectionModel::ownerTextOf(std::size_t row) const {
    if (look_.failure.empty())
        return QString::fromStdString(OwnerText(look_.owners.get(), (*rows_)[row], isNew_[row]));
    return (isNew_[row] ? QStringLiteral("New since the last refresh\n") : QString()) +
           QStringLiteral("Process: unknown (%1)").arg(QString::fromStdString(look_.failure));
}

void ConnectionModel::clear() {
    currentLook_.request_stop();
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
    LookUpOwners();
}

int ConnectionModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_->size());
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
        case Qt::AccessibleTextRole:
            return QString::fromStdString(
                CellText(static_cast<std::size_t>(index.column()), (*rows_)[row]));
        case Qt::TextAlignmentRole: return Alignment(column);
        case Qt::ToolTipRole:
        case Qt::AccessibleDescriptionRole:
            return role == Qt::ToolTipRole ? PlainTooltip(ownerTextOf(row)) : ownerTextOf(row);
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
