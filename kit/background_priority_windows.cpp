#include <QThread>

#include "kit/background_work.h"

// Windows ends a process's threads without running them.
void RunBelowTheWindow() { QThread::currentThread()->setPriority(QThread::IdlePriority); }
