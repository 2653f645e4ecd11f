#include "kit/desktop.h"

#include <cstdlib>

namespace {
Desktop* installed = nullptr;
}

Desktop& TheDesktop() {
    if (installed == nullptr) std::abort();  // a programming error: main installs one first
    return *installed;
}

void InstallDesktop(Desktop& desktop) { installed = &desktop; }
