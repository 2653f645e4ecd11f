#include <cstdlib>

#include "app/display.h"

namespace {
bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}
}  // namespace

bool DisplayOffered() { return Set("QT_QPA_PLATFORM") || Set("WAYLAND_DISPLAY") || Set("DISPLAY"); }
