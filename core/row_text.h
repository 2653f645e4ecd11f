#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/tcp_row.h"

// The texts of a row's fields, for display and for matching.

// Dotted-decimal text of four address bytes in storage order: 192.168.1.10.
std::string IpText(const RawField& address);

// The port held big-endian in the first two bytes; the last two bytes are ignored.
std::uint16_t PortNumber(const RawField& port);

// The name of a platform state code (TcpState); "UNDEFINED" for any other value.
std::string_view StateName(std::int32_t stateCode);
