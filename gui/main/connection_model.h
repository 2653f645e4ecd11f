#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <memory>
#include <stop_token>
#include <vector>

#include "core/host_names.h"
#include "core/socket_owner.h"
#include "core/tcp_row.h"

// The connection list's rows. Keeps the compact rows and formats a cell only when a view asks.
// A row's tooltip and accessible description tell who holds the connection, as the owner lookup
// it is given finds it, and the remote host's name, looked up when first asked for; rows new
// since the last snapshot have a background of their own.
class ConnectionModel : public QAbstractTableModel {
    Q_OBJECT
public:
    ConnectionModel(OwnerLookup ownerLookup, HostLookup hostLookup, QObject* parent = nullptr);
    ~ConnectionModel() override;

    // Soft enough for black text (contrast 17.9:1) and far from the selection's blue.
    static inline const QColor NewRowColour{255, 236, 179};

    void clear();
    // isNew holds one flag per row.
    void setRows(std::vector<TcpRow> rows, std::vector<bool> isNew);
    const std::vector<TcpRow>& rows() const { return rows_; }

    // Starts a look at who holds the connections of the rows just set, on a thread of its own
    // below the window's priority, and discards a look still running. Until it is in, owners read
    // as being looked up; no question waits for it.
    void LookUpOwners();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

signals:
    // The look is in: tooltips and descriptions now tell the owners.
    void OwnersKnown();
    // Tooltips and descriptions tell more: the owners, or a remote host's name.
    void DescriptionsChanged();

private:
    void TakeOwners(std::shared_ptr<const OwnerIndex> owners);
    void TakeHostName(const Ipv4Address& address);

    std::vector<TcpRow> rows_;
    std::vector<bool> isNew_;
    OwnerLookup ownerLookup_;
    std::shared_ptr<const OwnerIndex> owners_;  // null while the look runs
    std::stop_source currentLook_;
    HostNames hostNames_;
};
