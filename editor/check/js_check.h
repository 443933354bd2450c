/** @file js_check.h
 * The JavaScript syntax check behind a small contract of ours: code in, its first syntax error out.
 * The engine behind it (js_check_mozjs.cpp, the one file that calls it) compiles the code as a
 * classic script and never runs any of it. */
#pragma once

#include <string>
#include <string_view>

struct JsSyntaxError {
    int line = 0;         // 1-based, counted as the code editor counts lines (LF, CR or CR LF)
    int column = 0;       // 1-based, in characters (code points) of that line
    std::string message;  // UTF-8, in the engine's words
};

enum class JsCheckOutcome {
    CLEAN,      // no syntax error
    ERROR,      // the first error is in the JsSyntaxError
    UNCHECKED,  // the engine could not check (no memory): nothing is known
};

// An engine context. The engine binds it to the thread that makes it: make it, check with it and
// free it on that one thread. A large text takes a while, so never on the user-interface thread.
struct JsCheckContext;
// Null when the engine cannot start.
JsCheckContext* js_check_context_create();
void js_check_context_free(JsCheckContext* context);

// Checks the UTF-8 code; fills `error` only for ERROR.
JsCheckOutcome js_check(JsCheckContext* context, std::string_view code, JsSyntaxError* error);
