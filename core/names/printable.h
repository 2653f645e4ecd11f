#pragma once

#include <string>
#include <string_view>

// A name that is anybody's to choose (a process's, a user's, a host's, a path, a service's) as it
// may be shown among other text: each control character (C0, DEL, C1), Unicode line or paragraph
// separator and format character (general category Cf: the bidirectional embeddings, overrides,
// isolates and marks, zero-width characters and joiners, the byte-order mark, soft hyphen, ...),
// and each byte that starts no valid UTF-8 sequence, shows as "?". So no name can forge a line of
// its own, reorder the text around it, or hide a part of itself; the text is valid UTF-8.
std::string Printable(std::string_view name);
