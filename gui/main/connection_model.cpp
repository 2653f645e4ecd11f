#include "gui/main/connection_model.h"

#include <QTextDocument>
#include <QThread>
#include <algorithm>

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

ConnectionModel::ConnectionModel(OwnerLookup ownerLookup, HostLookup hostLookup, QObject* parent)
    : QAbstractTableModel(parent),
      ownerLookup_(std::move(ownerLookup)),
      hostNames_(std::move(hostLookup), [this](const Ipv4Address& address) {
          QMetaObject::invokeMethod(
              this, [this, address] { TakeHostName(address); }, Qt::QueuedConnection);
      }) {
    connect(this, &ConnectionModel::OwnersKnown, this, &ConnectionModel::DescriptionsChanged);
}

// A look still running is stopped and waited for: it stops between two processes.
ConnectionModel::~ConnectionModel() {
    currentLook_.request_stop();
    for (QThread* look : findChildren<QThread*>(Qt::FindDirectChildrenOnly)) look->wait();
}

void ConnectionModel::LookUpOwners() {
    currentLook_.request_stop();
    currentLook_ = {};
    owners_.reset();
    QThread* look = QThread::create(
        [this, lookup = ownerLookup_, rows = rows_, stop = currentLook_.get_token()]() mutable {
            // The rows' copy goes as soon as the look is done, not with the thread.
            auto owners = lookup(std::exchange(rows, {}), stop);
            QMetaObject::invokeMethod(
                this,
                [this, owners, stop] {
                    if (!stop.stop_requested()) TakeOwners(owners);
                },
                Qt::QueuedConnection);
        });
    look->setParent(this);
    connect(look, &QThread::finished, look, &QObject::deleteLater);
    look->start(QThread::IdlePriority);
}

void ConnectionModel::TakeOwners(std::shared_ptr<const OwnerIndex> owners) {
    owners_ = std::move(owners);
    if (!rows_.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::ToolTipRole, Qt::AccessibleDescriptionRole});
    emit OwnersKnown();
}

// The answer was asked for by one of these rows; a refresh since may have moved or dropped it.
void ConnectionModel::TakeHostName(const Ipv4Address& address) {
    const auto named = [&](const TcpRow& row) { return row.remoteAddress == address; };
    const auto first = std::ranges::find_if(rows_, named);
    if (first == rows_.end()) return;
    const auto last = std::ranges::find_if(rows_.rbegin(), rows_.rend(), named).base() - 1;
    emit dataChanged(index(static_cast<int>(first - rows_.begin()), 0),
                     index(static_cast<int>(last - rows_.begin()), columnCount() - 1),
                     {Qt::ToolTipRole, Qt::AccessibleDescriptionRole});
    emit DescriptionsChanged();
}

void ConnectionModel::clear() { setRows({}, {}); }

void ConnectionModel::setRows(std::vector<TcpRow> rows, std::vector<bool> isNew) {
    beginResetModel();
    rows_ = std::move(rows);
    rows_.shrink_to_fit();
    isNew_ = std::move(isNew);
    isNew_.shrink_to_fit();
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
        case Qt::AccessibleTextRole:
            return QString::fromStdString(
                CellText(static_cast<std::size_t>(index.column()), rows_[row]));
        case Qt::TextAlignmentRole: return Alignment(column);
        case Qt::ToolTipRole:
        case Qt::AccessibleDescriptionRole: {
            const std::string host = RemoteHostLine(hostNames_.AnswerFor(rows_[row]));
            const QString text =
                QString::fromStdString(OwnerText(owners_.get(), rows_[row], isNew_[row]) +
                                       (host.empty() ? "" : "\n") + host);
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
