#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

#include "core/describe/remote_host_line.h"
#include "core/list/refresh.h"
#include "core/names/host_lookup.h"
#include "core/names/service_lookup.h"
#include "core/owners/socket_owner.h"
#include "core/table/socket_now.h"
#include "kit/background_work.h"

// What a row's tooltip and accessible description tell beyond its cells. Who holds the
// connection and with which program, as one look at the processes finds it for each snapshot, on
// a thread of its own below the window's priority. Who is at its other end, which service it is,
// and its traffic or a listener's queue at the moment asked, each looked up beside the window
// when a row's tooltip or description is first asked for. A question never waits: it is answered
// from what is known, and the signals tell when more is.
class RowDetails : public QObject {
    Q_OBJECT
public:
    // Where the details come from: the system in the program, stand-ins in a test.
    struct Sources {
        OwnerLookup owners;
        HostLookup hostNames;
        ServiceLookup serviceNames;
        SocketLookup sockets;
    };
    static Sources SystemSources();

    explicit RowDetails(Sources sources, QObject* parent = nullptr);

    // Starts the look at who holds the rows of a new snapshot, the very rows the list shows; a
    // look still running is discarded. Until the look is in, owners read as being looked up.
    // `listeningPorts` are the local ports this machine listens on in the snapshot, sorted.
    void lookAt(ShownRows rows, std::vector<NetworkPort> listeningPorts);
    // The rows are gone from the list: the look stops and what it found goes.
    void forget();

    // The tooltip and description of a row; a new row's starts with "New since the last
    // refresh". Starts the lookups that the row needs, and answers at once.
    std::string describe(const TcpRow& row, bool isNew) const;

signals:
    // The look is in: every row tells its owners.
    void ownersKnown();
    // An answer came in that some rows tell.
    void answered();

private:
    void takeOwners(std::shared_ptr<const OwnerIndex> owners);
    // Hands the news of a lookup's answer, told on its thread, to this object's thread.
    void tell();
    HostAnswer remoteHost(const TcpRow& row) const;

    OwnerLookup ownerLookup_;
    std::shared_ptr<const OwnerIndex> owners_;  // null while the look runs
    std::vector<NetworkPort> listeningPorts_;
    std::stop_source currentLook_;
    BackgroundWork looks_;
    HostNames hostNames_;
    ServiceNames serviceNames_;
    LookupsOnDemand<TcpRow, SocketNow> sockets_;
};
