// Posts a message to Korvane Sockview's main window alone, found by its title, as another program
// would: "close" posts WM_CLOSE, "end-session" WM_QUERYENDSESSION. Status 0 once it is posted.
#include <windows.h>

#include <cstring>

int main(int argc, char* argv[]) {
    HWND main = nullptr;
    EnumWindows(
        [](HWND window, LPARAM found) {
            char title[20] = {};  // as long as the title's first part
            GetWindowTextA(window, title, sizeof title);
            if (std::strcmp(title, "Korvane Sockview - ") == 0)
                *reinterpret_cast<HWND*>(found) = window;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&main));
    const bool endSession = argc > 1 && std::strcmp(argv[1], "end-session") == 0;
    return main && PostMessageA(main, endSession ? WM_QUERYENDSESSION : WM_CLOSE, 0, 0) ? 0 : 1;
}
