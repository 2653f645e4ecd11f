#pragma once

#include <string>

// A host's name as shown. A reverse record is anybody's to write, so the name is shown in ASCII:
// first its control and format characters and invalid UTF-8 as "?" (Printable), then in its
// registered form, each internationalized label as "xn--" (no look-alike letter passes for
// another host), or with every character beyond ASCII as "?" where IDNA refuses it; a name
// longer than any real one (253 characters) is cut there, with "...".
std::string ShownHostName(const std::string& name);
