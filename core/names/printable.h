#pragma once

#include <string>
#include <string_view>

// A name that is anybody's to choose (a process's, a host's) as it may be shown on a line: each
// control character (C0, DEL, C1) and Unicode line or paragraph separator, which breaks a line
// as well, shows as "?", so that no name can forge a line of its own.
std::string Printable(std::string_view name);
