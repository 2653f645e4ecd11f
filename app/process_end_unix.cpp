#include <cstdlib>

#include "app/process_end.h"

// No exit handlers nor static destructors: they would tear down what those threads still use.
void EndProcess(int status) { std::_Exit(status); }
