/** @file toolkit_qt.cpp
 * Qt adapter of the toolkit's start-up: the application object every widget needs.
 * [X] a QApplication, made unless the caller (a test, a benchmark) made one first
 * [ ] not needed over Qt: initialising the common controls and COM */
#include "runtime/ui/toolkit_internal.h"

#include <QApplication>

namespace {
QApplication* own_application = nullptr;
int fallback_argc = 1;
char fallback_name[] = "quorval-extension-maker";
char* fallback_argv[] = {fallback_name, nullptr};
}  // namespace

void toolkit_native_start(int* argc, char** argv) {
    if (QApplication::instance()) return;
    if (!argc || !argv) {
        argc = &fallback_argc;
        argv = fallback_argv;
    }
    own_application = new QApplication(*argc, argv);
}

void toolkit_native_end() {
    delete own_application;
    own_application = nullptr;
}
