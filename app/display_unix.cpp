#include <cstdlib>

#include "app/display.h"

namespace {
bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}
}  // namespace

DisplayChoice DisplayChoiceHere() {
    return ChooseDisplay({.platformSet = Set("QT_QPA_PLATFORM"),
                          .x11 = Set("DISPLAY"),
                          .wayland = Set("WAYLAND_DISPLAY")});
}
