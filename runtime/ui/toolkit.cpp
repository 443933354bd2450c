/** @file toolkit.cpp
 * Start-up and shutdown of the toolkit's parts in the program's order. The application object
 * comes from toolkit_qt.cpp. */
#include "runtime/ui/toolkit.h"

#include "runtime/ui/font_internal.h"
#include "runtime/ui/gadget_internal.h"
#include "runtime/ui/image.h"
#include "runtime/ui/menu_internal.h"
#include "runtime/ui/requester_internal.h"
#include "runtime/ui/toolkit_internal.h"
#include "runtime/ui/window_internal.h"

namespace {
bool started = false;
}  // namespace

int toolkit_start(int* argc, char** argv) {
    if (started) return 1;
    toolkit_native_start(argc, argv);
    font_start();
    image_start();
    window_start();
    gadget_start();
    menu_start();
    requester_start();
    png_decoder_use();
    started = true;
    return 1;
}

void toolkit_end() {
    if (!started) return;
    gadget_end();
    // Menus before their windows, so that each bar is taken off a live window.
    menu_end();
    window_end();
    image_end();
    font_end();
    started = false;
    toolkit_native_end();
}

int toolkit_started() { return started ? 1 : 0; }
