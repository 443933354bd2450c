/** @file js_check_mozjs.cpp
 * The syntax check on SpiderMonkey 102, the one file that calls the engine: a context per checking
 * thread, the code compiled as a classic script into a stencil that is never instantiated or run,
 * and the first error's place, moved onto the token at fault where the engine names a neighbour. */
#include "editor/check/js_check.h"

#include <jsapi.h>

#include <js/CompilationAndEvaluation.h>
#include <js/CompileOptions.h>
#include <js/Context.h>
#include <js/ErrorReport.h>
#include <js/Exception.h>
#include <js/GlobalObject.h>
#include <js/Initialization.h>
#include <js/RealmOptions.h>
#include <js/SourceText.h>
#include <js/Stack.h>
#include <js/Warnings.h>
#include <js/experimental/JSStencil.h>
#include <js/friend/ErrorMessages.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <pthread.h>

struct JsCheckContext {
    JSContext* cx = nullptr;
    JS::PersistentRootedObject global;
};

namespace {

JSClass global_class = {"global", JSCLASS_GLOBAL_FLAGS, &JS::DefaultGlobalClassOps, nullptr, nullptr, nullptr};

// The engine starts once per process and may never start again, so it is shut down only at exit,
// and only when no context is left: its static locks must not go while its helper threads wait.
std::once_flag engine_once;
bool engine_running = false;
std::atomic<int> live_contexts{0};

void shut_engine_down() {
    if (live_contexts == 0) JS_ShutDown();
}

bool start_engine() {
    std::call_once(engine_once, [] {
        // Nothing is ever run: no code generator and no executable memory are needed.
        JS::DisableJitBackend();
        engine_running = JS_Init();
        if (engine_running) std::atexit(shut_engine_down);
    });
    return engine_running;
}

// Deeply nested code makes the parser recurse; it stops with an error a quarter of the thread's
// stack before the end.
std::size_t stack_quota() {
    std::size_t size = 0;
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
        pthread_attr_getstacksize(&attributes, &size);
        pthread_attr_destroy(&attributes);
    }
    constexpr std::size_t FALLBACK_STACK = 1 << 20;
    return (size ? size : FALLBACK_STACK) / 4 * 3;
}

// The first error as the engine reports it.
struct EngineReport {
    unsigned line = 0;    // 1-based
    unsigned column = 0;  // 0-based, in code points
    unsigned number = 0;  // JSErrNum
    std::string message;
};

enum class Compiled { CLEAN, ERROR, FAILED };

Compiled fail(JSContext* cx) {
    JS_ClearPendingException(cx);
    return Compiled::FAILED;
}

// Compiles the code as a classic script; `report` (when given) receives the first error.
Compiled compile(JSContext* cx, std::string_view code, EngineReport* report) {
    JS::CompileOptions options(cx);
    // The source stays with the stencil: without it the engine could not parse inner functions
    // lazily and would take twice as long.
    options.setFileAndLine("code", 1).setNoScriptRval(true);
    JS::SourceText<mozilla::Utf8Unit> source;
    if (!source.init(cx, code.data(), code.size(), JS::SourceOwnership::Borrowed)) return fail(cx);
    RefPtr<JS::Stencil> stencil = JS::CompileGlobalScriptToStencil(cx, options, source);
    if (stencil) return Compiled::CLEAN;
    // Running out of memory throws no error object.
    JS::ExceptionStack exception(cx);
    if (!JS_IsExceptionPending(cx) || !JS::StealPendingExceptionStack(cx, &exception) ||
        !exception.exception().isObject())
        return fail(cx);
    JS::ErrorReportBuilder builder(cx);
    if (!builder.init(cx, exception, JS::ErrorReportBuilder::NoSideEffects) || !builder.report()) return fail(cx);
    const JSErrorReport* found = builder.report();
    // Nesting too deep to compile is refused as node refuses it; other engine failures say nothing
    // about the code.
    if (found->exnType != JSEXN_SYNTAXERR && found->errorNumber != JSMSG_OVER_RECURSED) return fail(cx);
    if (report) {
        report->line = found->lineno;
        report->column = found->column;
        report->number = found->errorNumber;
        report->message = found->message() ? found->message().c_str() : "";
    }
    return Compiled::ERROR;
}

bool is_continuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// U+2028 and U+2029 end lines for the engine, not for the code editor.
bool is_unicode_line_end(std::string_view code, std::size_t at) {
    return code.compare(at, 3, "\xE2\x80\xA8") == 0 || code.compare(at, 3, "\xE2\x80\xA9") == 0;
}

// The byte offset of the engine's place: its lines end at LF, CR, CR LF, U+2028 and U+2029.
std::size_t engine_offset(std::string_view code, unsigned line, unsigned column) {
    std::size_t at = 0;
    for (unsigned current = 1; current < line && at < code.size();) {
        if (code[at] == '\r' || code[at] == '\n') {
            at += code.compare(at, 2, "\r\n") == 0 ? 2 : 1;
            ++current;
        } else if (is_unicode_line_end(code, at)) {
            at += 3;
            ++current;
        } else {
            ++at;
        }
    }
    for (unsigned counted = 0; at < code.size() && counted < column; ++counted) {
        if (code[at] == '\r' || code[at] == '\n' || is_unicode_line_end(code, at)) break;
        do ++at;
        while (at < code.size() && is_continuation(code[at]));
    }
    return at;
}

// The code editor's line and column (1-based, in code points) of a byte offset.
void editor_position(std::string_view code, std::size_t offset, JsSyntaxError* error) {
    int line = 1;
    std::size_t line_start = 0;
    for (std::size_t at = 0; at < offset; ++at) {
        if (code[at] == '\n' || (code[at] == '\r' && (at + 1 >= code.size() || code[at + 1] != '\n'))) {
            ++line;
            line_start = at + 1;
        }
    }
    int column = 1;
    for (std::size_t at = line_start; at < offset; ++at)
        if (!is_continuation(code[at])) ++column;
    error->line = line;
    error->column = column;
}

bool escaped(std::string_view code, std::size_t at) {
    std::size_t backslashes = 0;
    while (at > backslashes && code[at - backslashes - 1] == '\\') ++backslashes;
    return backslashes % 2 == 1;
}

// A string or regular expression left open is reported where its line ends; it starts at the last
// unescaped delimiter before that on the same line (none inside it would be unescaped).
std::size_t literal_start(std::string_view code, std::size_t offset, char delimiter) {
    for (std::size_t at = std::min(offset, code.size()); at-- > 0;) {
        if (code[at] == '\n' || code[at] == '\r') break;
        if (code[at] == delimiter && !escaped(code, at)) return at;
    }
    return offset;
}

// "missing ) after argument list" is reported at the token after the last argument, often on the
// next line; the ")" is missing right after that argument, so its last character is the place.
// Blanks and block comments are passed over; a line comment could hide the argument, so a line
// with "//" keeps the engine's place.
std::size_t last_argument_end(std::string_view code, std::size_t offset) {
    std::size_t at = std::min(offset, code.size());
    while (at > 0) {
        const char c = code[at - 1];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
            --at;
        } else if (c == '/' && at >= 2 && code[at - 2] == '*') {
            const std::size_t open = at >= 3 ? code.rfind("/*", at - 3) : std::string_view::npos;
            if (open == std::string_view::npos) return offset;
            at = open;
        } else {
            break;
        }
    }
    if (at == 0) return offset;
    std::size_t last = at - 1;
    const std::size_t line_end = code.find_last_of("\r\n", last);
    const std::size_t line_start = line_end == std::string_view::npos ? 0 : line_end + 1;
    if (code.substr(line_start, last - line_start).find("//") != std::string_view::npos) return offset;
    while (last > 0 && is_continuation(code[last])) --last;
    return last;
}

// A "}" that closes nothing ends the script's statements, and the engine then names the token
// before it. That "}" is the first one after the named place with complete code before it; a "}"
// inside a string or comment leaves the code before it incomplete.
std::size_t stray_brace(JSContext* cx, std::string_view code, std::size_t offset) {
    constexpr int MOST_TRIED = 8;
    std::size_t at = offset;
    for (int tried = 0; tried < MOST_TRIED; ++tried, ++at) {
        at = code.find('}', at);
        if (at == std::string_view::npos) break;
        if (compile(cx, code.substr(0, at), nullptr) == Compiled::CLEAN) return at;
    }
    return offset;
}

bool ends_with(const std::string& text, std::string_view end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The engine's place, or the token at fault where the engine names a neighbour of it.
std::size_t fault_offset(JSContext* cx, std::string_view code, const EngineReport& report) {
    const std::size_t offset = engine_offset(code, report.line, report.column);
    switch (report.number) {
    case JSMSG_UNEXPECTED_TOKEN:
        return ends_with(report.message, "got '}'") ? stray_brace(cx, code, offset) : offset;
    case JSMSG_EOL_BEFORE_END_OF_STRING:
    case JSMSG_EOF_BEFORE_END_OF_LITERAL:
        // The message begins with the literal's quotes; a template left open runs to the end.
        if (!report.message.empty() && (report.message[0] == '"' || report.message[0] == '\''))
            return literal_start(code, offset, report.message[0]);
        return offset;
    case JSMSG_UNTERMINATED_REGEXP:
        return literal_start(code, offset, '/');
    case JSMSG_PAREN_AFTER_ARGS:
        return last_argument_end(code, offset);
    default:
        return offset;
    }
}

void ignore_warning(JSContext*, JSErrorReport*) {}

}  // namespace

JsCheckContext* js_check_context_create() {
    if (!start_engine()) return nullptr;
    JSContext* cx = JS_NewContext(JS::DefaultHeapMaxBytes);
    if (!cx) return nullptr;
    ++live_contexts;
    auto* context = new JsCheckContext{cx, {}};
    JS_SetNativeStackQuota(cx, stack_quota());
    // Warnings (such as unreachable code) are no syntax errors.
    JS::SetWarningReporter(cx, ignore_warning);
    JS::RealmOptions realm;
    if (JS::InitSelfHostedCode(cx)) {
        JSObject* global = JS_NewGlobalObject(cx, &global_class, nullptr, JS::FireOnNewGlobalHook, realm);
        if (global) context->global.init(cx, global);
    }
    if (!context->global.initialized()) {
        js_check_context_free(context);
        return nullptr;
    }
    return context;
}

void js_check_context_free(JsCheckContext* context) {
    if (!context) return;
    if (context->global.initialized()) context->global.reset();
    JS_DestroyContext(context->cx);
    --live_contexts;
    delete context;
}

JsCheckOutcome js_check(JsCheckContext* context, std::string_view code, JsSyntaxError* error) {
    if (!context) return JsCheckOutcome::UNCHECKED;
    JSContext* cx = context->cx;
    JSAutoRealm in_global(cx, context->global);
    EngineReport report;
    const Compiled compiled = compile(cx, code, &report);
    if (compiled != Compiled::ERROR)
        return compiled == Compiled::CLEAN ? JsCheckOutcome::CLEAN : JsCheckOutcome::UNCHECKED;
    if (error) {
        editor_position(code, fault_offset(cx, code, report), error);
        error->message = std::move(report.message);
    }
    return JsCheckOutcome::ERROR;
}
