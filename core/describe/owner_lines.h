#pragma once

#include <string>

#include "core/owners/owner_index.h"
#include "core/table/tcp_row.h"

// Who holds the row's connection: the "Process:" lines (or why there is no process), the
// "Program:" lines and the "User:" line, as the index tells them; "Process: looking up..." while
// the look runs (`index` null).
std::string OwnerLines(const OwnerIndex* index, const TcpRow& row);
