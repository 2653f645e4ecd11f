#include "gui/main/row_details.h"

#include "kit/background_priority.h"

RowDetails::RowDetails(OwnerLookup ownerLookup, HostLookup hostLookup, QObject* parent)
    : QObject(parent),
      ownerLookup_(std::move(ownerLookup)),
      hostNames_(
          std::move(hostLookup), std::nullopt, HostNameLimits, [this](const Ipv4Address& address) {
              QMetaObject::invokeMethod(
                  this,
                  [this, address] {
                      emit answered(
                          [address](const TcpRow& row) { return row.remoteAddress == address; });
                  },
                  Qt::QueuedConnection);
          }) {}

// A look that fails, or cannot start, answers for every row with why. A look that a newer one
// replaced is dropped.
void RowDetails::lookAt(ShownRows rows) {
    forget();
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
    const std::string host = RemoteHostLine(remoteHost(row));
    return OwnerText(owners_.get(), row, isNew) + (host.empty() ? "" : "\n") + host;
}
