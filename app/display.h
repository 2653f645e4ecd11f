#pragma once

#include "kit/display_choice.h"

// The window system to ask for on this platform, decided before the application object exists.
DisplayChoice DisplayChoiceHere();
