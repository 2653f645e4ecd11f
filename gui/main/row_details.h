#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>

#include "core/list/refresh.h"
#include "core/names/host_lookup.h"
#include "core/names/remote_host.h"
#include "core/owners/socket_owner.h"
#include "kit/background_work.h"

// What a row's tooltip and accessible description tell beyond its cells: who holds the
// connection, as one look at the processes finds it for each snapshot, on a thread of its own
// below the window's priority; and who is at its other end, looked up when first asked for. A
// question never waits: it is answered from what is known, and the signals tell when more is.
class RowDetails : public QObject {
    Q_OBJECT
public:
    // Picks the rows that an answer concerns.
    using RowsConcerned = std::function<bool(const TcpRow&)>;

    RowDetails(OwnerLookup ownerLookup, HostLookup hostLookup, QObject* parent = nullptr);

    // Starts the look at who holds the rows of a new snapshot, the very rows the list shows; a
    // look still running is discarded. Until the look is in, owners read as being looked up.
    void lookAt(ShownRows rows);
    // The rows are gone from the list: the look stops and what it found goes.
    void forget();

    // The tooltip and description of a row; a new row's starts with "New since the last
    // refresh". Starts the lookups that the row needs, and answers at once.
    std::string describe(const TcpRow& row, bool isNew) const;

signals:
    // The look is in: every row tells its owners.
    void ownersKnown();
    // An answer came in that the rows picked by `concerned` tell.
    void answered(const RowDetails::RowsConcerned& concerned);

private:
    void takeOwners(std::shared_ptr<const OwnerIndex> owners);
    HostAnswer remoteHost(const TcpRow& row) const;

    OwnerLookup ownerLookup_;
    std::shared_ptr<const OwnerIndex> owners_;  // null while the look runs
    std::stop_source currentLook_;
    BackgroundWork looks_;
    HostNames hostNames_;
};
