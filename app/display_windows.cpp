#include "app/display.h"

// Every Windows session has its desktop; no variable names it.
bool DisplayOffered() { return true; }
