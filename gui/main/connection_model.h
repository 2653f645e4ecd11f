#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

#include "core/list/refresh.h"
#include "core/names/host_names.h"
#include "core/owners/socket_owner.h"
#include "core/table/tcp_row.h"
#include "kit/background_work.h"

// The connection list's rows. Keeps the compact rows and formats a cell only when a view asks.
// A row's tooltip and accessible description tell who holds the connection, as the owner lookup
// it is given finds it, and the remote host's name, looked up when first asked for; rows new
// since the last snapshot have a background of their own.
class ConnectionModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The rows shown, shared with the look at their owners and with whoever copies them.
    using Rows = ShownRows;

    ConnectionModel(OwnerLookup ownerLookup, HostLookup hostLookup, QObject* parent = nullptr);

    // Soft enough for black text (contrast 17.9:1) and far from the selection's blue.
    static inline const QColor NewRowColour{255, 236, 179};

    void clear();
    // Shows the rows of a new snapshot (isNew holds one flag per row) and starts the look at who
    // holds them, on a thread of its own below the window's priority; a look still running is
    // discarded. Until the look is in, owners read as being looked up; no question waits for it.
    void setRows(Rows rows, std::vector<bool> isNew);
    const Rows& rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

signals:
    // The look is in: tooltips and descriptions now tell the owners.
    void ownersKnown();
    // Tooltips and descriptions tell more: the owners, or a remote host's name.
    void descriptionsChanged();

private:
    void lookUpOwners();
    void takeOwners(std::shared_ptr<const OwnerIndex> owners);
    void takeHostName(const Ipv4Address& address);

    Rows rows_ = std::make_shared<const std::vector<TcpRow>>();
    std::vector<bool> isNew_;
    OwnerLookup ownerLookup_;
    std::shared_ptr<const OwnerIndex> owners_;  // null while the look runs
    std::stop_source currentLook_;
    BackgroundWork looks_;
    HostNames hostNames_;
};
