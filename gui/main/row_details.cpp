#include "gui/main/row_details.h"

#include "core/describe/row_description.h"
#include "kit/background_priority.h"

namespace {

// The figures of a socket are those of the moment asked: kept a second, enough for the tooltip
// that asked to show them. Two lookups at a time, each a few microseconds of the kernel's.
constexpr LookupLimits SocketLimits{2, 2, std::chrono::seconds(5), std::chrono::seconds(1), 256};

}  // namespace

RowDetails::Sources RowDetails::SystemSources() {
    return {SystemOwnerLookup(), SystemHostLookup(), SystemServiceLookup(), SystemSocketLookup()};
}

RowDetails::RowDetails(Sources sources, QObject* parent)
    : QObject(parent),
      ownerLookup_(std::move(sources.owners)),
      hostNames_(std::move(sources.hostNames), std::nullopt, HostNameLimits,
                 [this](const Ipv4Address&) { tell(); }),
      serviceNames_(std::move(sources.serviceNames), std::nullopt, ServiceNameLimits,
                    [this](std::uint16_t) { tell(); }),
      sockets_(std::move(sources.sockets), SocketNow{}, SocketLimits,
               [this](const TcpRow&) { tell(); }) {}

void RowDetails::tell() {
    QMetaObject::invokeMethod(
        this, [this] { emit answered(); }, Qt::QueuedConnection);
}

// A look that fails, or cannot start, answers for every row with why. A look that a newer one
// replaced is dropped.
void RowDetails::lookAt(ShownRows rows, std::vector<NetworkPort> listeningPorts) {
    forget();
    listeningPorts_ = std::move(listeningPorts);
    const std::stop_token stop = currentLook_.get_token();
    looks_.start(
        [lookup = ownerLookup_, rows = std::move(rows), stop] {
            RunBelowTheWindow();
            return IndexOrFailure([&] { return lookup(*rows, stop); });
        },
        [this, stop](std::shared_ptr<const OwnerIndex> owners) {
            if (!stop.stop_requested()) takeOwners(std::move(owners));
        },
        [this, stop](const std::string& why) {
            if (!stop.stop_requested()) takeOwners(FailedIndex(why));
        });
}

void RowDetails::forget() {
    currentLook_.request_stop();
    currentLook_ = {};
    owners_.reset();
}

void RowDetails::takeOwners(std::shared_ptr<const OwnerIndex> owners) {
    owners_ = std::move(owners);
    emit ownersKnown();
}

HostAnswer RowDetails::remoteHost(const TcpRow& row) const {
    if (!HasRemoteHost(row)) return {HostAnswer::Kind::NoRemoteHost, {}};
    return HostAnswerOf(hostNames_.answerFor(row.remoteAddress));
}

std::string RowDetails::describe(const TcpRow& row, bool isNew) const {
    const ServerPort server = ServerPortOf(row, listeningPorts_);
    return RowDescription(row, {isNew, owners_.get(), remoteHost(row), server,
                                serviceNames_.answerFor(server.port), sockets_.answerFor(row)});
}
