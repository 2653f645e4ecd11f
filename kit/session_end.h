#pragma once

#include <QObject>
#include <functional>

// Calls `end` when the desktop session ends, for as long as `context` lives, where the platform
// does not end the program itself by closing its windows. A save of the session (a checkpoint)
// is no end.
void WhenTheSessionEnds(QObject& context, std::function<void()> end);

// The same on Qt's Wayland platform, which speaks to no session manager itself (Linux).
void WhenTheWaylandSessionEnds(QObject& context, std::function<void()> end);
