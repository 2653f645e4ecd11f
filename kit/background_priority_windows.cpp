#include <QThread>

#include "kit/background_priority.h"

// Windows ends a process's threads without running them.
void RunBelowTheWindow() { QThread::currentThread()->setPriority(QThread::IdlePriority); }
