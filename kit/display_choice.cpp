#include "kit/display_choice.h"

DisplayChoice ChooseDisplay(const OfferedDisplays& offered) {
    if (offered.platformSet) return DisplayChoice::AsGiven;
    if (offered.x11 && offered.wayland) return DisplayChoice::X11;
    if (offered.x11 || offered.wayland) return DisplayChoice::AsGiven;
    return DisplayChoice::None;
}
