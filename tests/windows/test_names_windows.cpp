// The names Windows gives: an international host name in its registered form however it is
// written (IdnToAscii), the name of this machine's loopback address (GetNameInfoW) and of a
// service's port (getservbyport), as the tooltip shows them.
#include "core/names/host_lookup.h"
#include "core/names/idna.h"
#include "core/names/service_lookup.h"
#include "tests/windows/check.h"

int main() {
    for (const char* bucher :
         {"b\u00fccher.example", "bu\u0308cher.example", "B\u00dcCHER.example"})
        CHECK(RegisteredAsciiName(bucher) == "xn--bcher-kva.example");
    CHECK(SystemHostLookup()({127, 0, 0, 1}) == "localhost");
    CHECK(SystemServiceLookup()(80) == "http");
    return Failed();
}
