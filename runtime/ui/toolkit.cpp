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

#include <cstdlib>
#include <cstring>

namespace {
bool started = false;

// The options QApplication takes itself; the X11 ones (-display to -dograb) only on X11.
struct ToolkitOption {
    const char* name;
    bool takes_value;
};
constexpr ToolkitOption toolkit_options[] = {
    {"platform", true},        {"platformpluginpath", true},
    {"platformtheme", true},   {"plugin", true},
    {"qwindowgeometry", true}, {"qwindowicon", true},
    {"qwindowtitle", true},    {"session", true},
    {"style", true},           {"stylesheet", true},
    {"qmljsdebugger", true},   {"reverse", false},
    {"widgetcount", false},    {"testability", false},
    {"display", true},         {"geometry", true},
    {"title", true},           {"name", true},
    {"visual", true},          {"icon", true},
    {"nograb", false},         {"dograb", false},
};
// These three are also taken as "-style=fusion".
constexpr const char* joined_options[] = {"style", "stylesheet", "qmljsdebugger"};

// The option an argument names ("-style" or "--style"), or null. *joined is set for "-style=x".
const ToolkitOption* toolkit_option(const char* argument, bool* joined) {
    *joined = false;
    if (argument[0] != '-') return nullptr;
    const char* name = argument + (argument[1] == '-' ? 2 : 1);
    for (const ToolkitOption& option : toolkit_options)
        if (std::strcmp(name, option.name) == 0) return &option;
    for (const char* prefix : joined_options) {
        const std::size_t length = std::strlen(prefix);
        if (std::strncmp(name, prefix, length) == 0 && name[length] == '=') {
            *joined = true;
            for (const ToolkitOption& option : toolkit_options)
                if (std::strcmp(prefix, option.name) == 0) return &option;
        }
    }
    return nullptr;
}

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

int toolkit_window_size(int toolkit_argc, char** toolkit_argv, int* width, int* height) {
    int found = 0;
    for (int i = 1; i + 1 < toolkit_argc; ++i) {
        const char* name = toolkit_argv[i] + (std::strncmp(toolkit_argv[i], "--", 2) == 0 ? 2 : 1);
        if (toolkit_argv[i][0] != '-' ||
            (std::strcmp(name, "qwindowgeometry") != 0 && std::strcmp(name, "geometry") != 0))
            continue;
        // The X11 form: [=][<width>{xX}<height>][{+-}<x>{+-}<y>].
        const char* value = toolkit_argv[++i];
        if (*value == '=') ++value;
        char* end = nullptr;
        const long w = std::strtol(value, &end, 10);
        if (end == value || (*end != 'x' && *end != 'X')) continue;
        const char* rest = end + 1;
        const long h = std::strtol(rest, &end, 10);
        if (end == rest || w <= 0 || h <= 0 || w > 100000 || h > 100000) continue;
        *width = int(w);
        *height = int(h);
        found = 1;
    }
    return found;
}

int toolkit_take_options(int argc, char** argv, char** toolkit_argv, int* toolkit_argc) {
    int kept = 0;
    int taken = 0;
    if (argc > 0) toolkit_argv[taken++] = argv[kept++];
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        bool joined = false;
        const ToolkitOption* option = options ? toolkit_option(argv[i], &joined) : nullptr;
        if (options && std::strcmp(argv[i], "--") == 0) options = false;
        if (!option) {
            argv[kept++] = argv[i];
            continue;
        }
        toolkit_argv[taken++] = argv[i];
        if (option->takes_value && !joined && i + 1 < argc) toolkit_argv[taken++] = argv[++i];
    }
    argv[kept] = nullptr;
    toolkit_argv[taken] = nullptr;
    *toolkit_argc = taken;
    return kept;
}
