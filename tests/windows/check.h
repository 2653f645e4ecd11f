#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/table/ip_helper.h"

// Checks for test programs that run without Qt (under Wine, for instance): a failed check
// prints its line; Failed() gives the program's exit status. And a stand-in for the IP Helper
// calls' way of filling a table.
inline int failedChecks = 0;
#define CHECK(expression)                                             \
    do {                                                              \
        if (!(expression)) {                                          \
            ++failedChecks;                                           \
            std::printf("FAIL line %d: %s\n", __LINE__, #expression); \
        }                                                             \
    } while (false)
inline int Failed() { return failedChecks == 0 ? 0 : 1; }

// Fills an IP Helper table with rows when they fit in *size bytes, else names the size needed,
// as the IP Helper calls do.
template <class Table, class Row, class Size>
DWORD FillTable(Table* table, Size* size, const std::vector<Row>& rows) {
    const auto needed = static_cast<Size>(offsetof(Table, table) + rows.size() * sizeof(Row));
    if (*size < needed) return *size = needed, ERROR_INSUFFICIENT_BUFFER;
    table->dwNumEntries = static_cast<DWORD>(rows.size());
    std::memcpy(table->table, rows.data(), rows.size() * sizeof(Row));
    return NO_ERROR;
}
