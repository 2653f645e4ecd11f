// Sends Korvane Sockview's main window alone, found by its title, what another program or the
// system would: "close" posts WM_CLOSE, as taskkill does; as a logoff, "query-end-session" sends
// WM_QUERYENDSESSION, then "cancel-end-session" or "end-session" WM_ENDSESSION with FALSE or TRUE.
// Status 0 once it is posted, or sent and answered.
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
    // No C++ library: the program runs where only Windows' own DLLs are found.
    const auto is = [&](const char* what) { return argc > 1 && std::strcmp(argv[1], what) == 0; };
    if (!main) return 1;
    if (is("close")) return !PostMessageA(main, WM_CLOSE, 0, 0);
    const UINT message = is("query-end-session") ? WM_QUERYENDSESSION : WM_ENDSESSION;
    DWORD_PTR answer = 0;
    return !SendMessageTimeoutA(main, message, is("end-session"), ENDSESSION_LOGOFF,
                                SMTO_ABORTIFHUNG, 10'000, &answer);
}
