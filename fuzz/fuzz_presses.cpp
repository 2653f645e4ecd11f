// The windows, offscreen, driven by any sequence of steps against the model of every press
// (tests/support/presses): no order of presses ends the program or breaks what the user relies
// on. A finding replays with SOCKVIEW_STEPS set to the input in hexadecimal (`xxd -p`) in
// test_presses, which tells each step.
#include <QApplication>
#include <cstdio>

#include "tests/support/presses.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (const auto failed = RunSteps(
            QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)))) {
        std::fprintf(stderr, "%s\n", failed->c_str());
        __builtin_trap();
    }
    return 0;
}
