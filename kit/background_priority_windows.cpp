#include <QThread>

#include "kit/background_priority.h"

// Below normal, not idle: Windows runs a thread only when none of a higher priority is ready, and
// an idle one would also wait behind every other program's background work. Windows ends a
// process's threads without running them.
void RunBelowTheWindow() { QThread::currentThread()->setPriority(QThread::LowPriority); }
