#include "gui/main/row_details.h"

#include <system_error>

#include "kit/background_priority.h"

RowDetails::RowDetails(OwnerLookup ownerLookup, HostLookup hostLookup, QObject* parent)
    : QObject(parent),
      ownerLookup_(std::move(ownerLookup)),
      hostNames_(std::move(hostLookup), [this](const Ipv4Address& address) {
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
    try {
        looks_.start(
            [lookup = ownerLookup_, rows = std::move(rows), stop] {
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

void RowDetails::forget() {
    currentLook_.request_stop();
    currentLook_ = {};
    owners_.reset();
}

void RowDetails::takeOwners(std::shared_ptr<const OwnerIndex> owners) {
    owners_ = std::move(owners);
    emit ownersKnown();
}

std::string RowDetails::describe(const TcpRow& row, bool isNew) const {
    const std::string host = RemoteHostLine(hostNames_.answerFor(row));
    return OwnerText(owners_.get(), row, isNew) + (host.empty() ? "" : "\n") + host;
}
