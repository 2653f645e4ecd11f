#pragma once

#include <functional>
#include <memory>
#include <stop_token>
#include <vector>

#include "core/owners/owner_index.h"
#include "core/table/tcp_row.h"

// Who holds the connections of one snapshot (the rows the list shows): one look at the
// processes, taken on the caller's thread, which should run below the window's priority (any
// helper threads inherit it); stops early and returns nullptr once `stop` is requested (a newer
// snapshot discards it). Never throws: a look that fails gives an index whose every answer is
// unknown, with the reason. User names are resolved inside.
using OwnerLookup = std::function<std::shared_ptr<const OwnerIndex>(const std::vector<TcpRow>& rows,
                                                                    std::stop_token stop)>;
OwnerLookup SystemOwnerLookup();
