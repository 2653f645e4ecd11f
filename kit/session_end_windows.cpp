#include "kit/session_end.h"

// Qt ends the program at the session's end itself: at WM_ENDSESSION with wParam TRUE it closes
// every window, and the main window's close runs Exit. WM_QUERYENDSESSION only asks: a logoff may
// still be cancelled, and the program goes on as it was. Nothing to add.
void WhenTheSessionEnds(QObject&, std::function<void()>) {}
