#include "gui/main/connection_model.h"

#include <QTextDocument>
#include <algorithm>
#include <system_error>

#include "kit/background_priority.h"
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

ConnectionModel::ConnectionModel(OwnerLookup ownerLookup, HostLookup hostLookup, QObject* parent)
    : QAbstractTableModel(parent),
      ownerLookup_(std::move(ownerLookup)),
      hostNames_(std::move(hostLookup), [this](const Ipv4Address& address) {
          QMetaObject::invokeMethod(
              this, [this, address] { takeHostName(address); }, Qt::QueuedConnection);
      }) {
    connect(this, &ConnectionModel::ownersKnown, this, &ConnectionModel::descriptionsChanged);
}

// A look that fails, or cannot start, answers for every row with why.
void ConnectionModel::lookUpOwners() {
    currentLook_.request_stop();
    currentLook_ = {};
    owners_.reset();
    const std::stop_token stop = currentLook_.get_token();
    try {
        looks_.start(
            [lookup = ownerLookup_, rows = rows_, stop] {
                RunBelowTheWindow();
                return IndexOrFailure([&] { return lookup(*rows, stop); });
            },
            [this, stop](std::shared_ptr<const OwnerIndex> owners) {
                if (!stop.stop_requested()) takeOwners(std::move(owners));
            });
    } catch (const std::system_error& error) {
        ProcessTable failed;
        failed.failure = error.what();
        takeOwners(std::make_shared<const OwnerIndex>(failed, std::vector<TcpRow>{}));
    }
}

void ConnectionModel::takeOwners(std::shared_ptr<const OwnerIndex> owners) {
    owners_ = std::move(owners);
    if (!rows_->empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::ToolTipRole, Qt::AccessibleDescriptionRole});
    emit ownersKnown();
}

// The answer was asked for by one of these rows; a refresh since may have moved or dropped it.
void ConnectionModel::takeHostName(const Ipv4Address& address) {
    const std::vector<TcpRow>& rows = *rows_;
    const auto named = [&](const TcpRow& row) { return row.remoteAddress == address; };
    const auto first = std::ranges::find_if(rows, named);
    if (first == rows.end()) return;
    const auto last = std::ranges::find_if(rows.rbegin(), rows.rend(), named).base() - 1;
    emit dataChanged(index(static_cast<int>(first - rows.begin()), 0),
                     index(static_cast<int>(last - rows.begin()), columnCount() - 1),
                     {Qt::ToolTipRole, Qt::AccessibleDescriptionRole});
    emit descriptionsChanged();
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
    lookUpOwners();
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
            const TcpRow& shown = (*rows_)[row];
            const std::string host = RemoteHostLine(hostNames_.answerFor(shown));
            const QString text = QString::fromStdString(
                OwnerText(owners_.get(), shown, isNew_[row]) + (host.empty() ? "" : "\n") + host);
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
