/** @file scintilla.h
 * The editing component's message interface: the numbers it publishes (messages, notifications,
 * markers, fold levels, styles), the notification record, and the thin wrapper that creates the
 * component as a gadget. */
#pragma once

#include <cstdint>

#include "runtime/core/types.h"
#include "runtime/ui/gadget.h"

// Component messages used by the code editor (the component's published numbers).
enum : unsigned {
    SCI_INSERTTEXT = 2003,
    SCI_GETLENGTH = 2006,
    SCI_GETCURRENTPOS = 2008,
    SCI_GETSTYLEAT = 2010,
    SCI_UNDO = 2176,
    SCI_GOTOPOS = 2025,
    SCI_GETCURLINE = 2027,
    SCI_LINESONSCREEN = 2370,
    SCI_SETMODEVENTMASK = 2359,
    SCI_GETENDSTYLED = 2028,
    SCI_STARTSTYLING = 2032,
    SCI_SETSTYLING = 2033,
    SCI_SETTABWIDTH = 2036,
    SCI_SETCODEPAGE = 2037,
    SCI_MARKERDEFINE = 2040,
    SCI_MARKERSETFORE = 2041,
    SCI_MARKERSETBACK = 2042,
    SCI_SETMARGINWIDTHN = 2242,
    SCI_GETMARGINWIDTHN = 2243,
    SCI_SETMARGINMASKN = 2244,
    SCI_SETMARGINSENSITIVEN = 2246,
    SCI_STYLECLEARALL = 2050,
    SCI_STYLESETFORE = 2051,
    SCI_STYLESETBACK = 2052,
    SCI_STYLESETBOLD = 2053,
    SCI_STYLESETITALIC = 2054,
    SCI_STYLESETSIZE = 2055,
    SCI_STYLESETFONT = 2056,
    SCI_STYLESETUNDERLINE = 2059,
    SCI_STYLEGETFORE = 2481,
    SCI_STYLEGETBACK = 2482,
    SCI_STYLEGETBOLD = 2483,
    SCI_STYLEGETITALIC = 2484,
    SCI_STYLEGETSIZE = 2485,
    SCI_STYLEGETUNDERLINE = 2488,
    SCI_SETSELFORE = 2067,
    SCI_SETSELBACK = 2068,
    SCI_SETCARETFORE = 2069,
    SCI_SETSTYLINGEX = 2073,
    SCI_SETLINESTATE = 2092,
    SCI_GETLINESTATE = 2093,
    SCI_GETCARETLINEVISIBLE = 2095,
    SCI_SETCARETLINEVISIBLE = 2096,
    SCI_GETCARETLINEBACK = 2097,
    SCI_SETCARETLINEBACK = 2098,
    SCI_AUTOCSHOW = 2100,
    SCI_AUTOCCANCEL = 2101,
    SCI_AUTOCACTIVE = 2102,
    SCI_AUTOCSETIGNORECASE = 2115,
    SCI_AUTOCGETIGNORECASE = 2116,
    SCI_AUTOCSETORDER = 2660,
    SCI_AUTOCGETORDER = 2661,
    SCI_GETUSETABS = 2125,
    SCI_SETUSETABS = 2124,
    SCI_GETTABWIDTH = 2121,
    SCI_SETLINEINDENTATION = 2126,
    SCI_GETLINEINDENTATION = 2127,
    SCI_GETLINEINDENTPOSITION = 2128,
    SCI_GETLINE = 2153,
    SCI_GETLINECOUNT = 2154,
    SCI_LINEFROMPOSITION = 2166,
    SCI_POSITIONFROMLINE = 2167,
    SCI_EMPTYUNDOBUFFER = 2175,
    SCI_SETTEXT = 2181,
    SCI_ALLOCATE = 2446,
    SCI_APPENDTEXT = 2282,
    SCI_BEGINUNDOACTION = 2078,
    SCI_ENDUNDOACTION = 2079,
    SCI_GETTEXT = 2182,
    SCI_GETCODEPAGE = 2137,
    SCI_CALLTIPSETBACK = 2205,
    SCI_CALLTIPSETFORE = 2206,
    SCI_CALLTIPSETFOREHLT = 2207,
    SCI_CALLTIPUSESTYLE = 2212,
    SCI_VISIBLEFROMDOCLINE = 2220,
    SCI_SETFOLDLEVEL = 2222,
    SCI_GETFOLDLEVEL = 2223,
    SCI_GETLINEVISIBLE = 2228,
    SCI_GETFOLDEXPANDED = 2230,
    SCI_TOGGLEFOLD = 2231,
    SCI_ENSUREVISIBLE = 2232,
    SCI_TEXTWIDTH = 2276,
    SCI_SETFOLDMARGINCOLOUR = 2290,
    SCI_SETFOLDMARGINHICOLOUR = 2291,
    SCI_LINELENGTH = 2350,
    SCI_AUTOCPOSSTART = 2103,
    SCI_TEXTHEIGHT = 2279,
    SCI_AUTOCGETCURRENTTEXT = 2610,
    SCI_GETRANGEPOINTER = 2643,
    SCI_GETGAPPOSITION = 2644,
    SCI_DELETERANGE = 2645,
    SCI_GETANCHOR = 2009,
    SCI_GETSELECTIONSTART = 2143,
    SCI_GETSELECTIONEND = 2145,
    SCI_SETSEL = 2160,
    SCI_GETSELTEXT = 2161,
    SCI_GETFIRSTVISIBLELINE = 2152,
    SCI_DOCLINEFROMVISIBLE = 2221,
    SCI_GETLINEENDPOSITION = 2136,
    SCI_LINESCROLL = 2168,
    SCI_SETTARGETSTART = 2190,
    SCI_SETTARGETEND = 2192,
    SCI_REPLACETARGET = 2194,
    SCI_SEARCHINTARGET = 2197,
    SCI_SETSEARCHFLAGS = 2198,
    SCI_INDICSETSTYLE = 2080,
    SCI_INDICSETFORE = 2082,
    SCI_SETINDICATORCURRENT = 2500,
    SCI_SETINDICATORVALUE = 2502,
    SCI_INDICATORFILLRANGE = 2504,
    SCI_INDICATORCLEARRANGE = 2505,
    SCI_INDICATORVALUEAT = 2507,
    SCI_INDICATORSTART = 2508,
    SCI_INDICATOREND = 2509,
    SCI_INDICSETUNDER = 2510,
    SCI_GETCHARACTERPOINTER = 2520,
    SCI_INDICSETALPHA = 2523,
    SCI_INDICSETOUTLINEALPHA = 2558,
    SCI_SCROLLRANGE = 2569,
    SCI_SETTARGETRANGE = 2686,
    SCI_COLOURISE = 4003,
    SCI_SETLEXER = 4001,
    SCI_GETLEXER = 4002,
    // Marks of a syntax error: an indicator under its token, a marker on its line, a call tip.
    SCI_MARKERADD = 2043,
    SCI_MARKERDELETEALL = 2045,
    SCI_MARKERGET = 2046,
    SCI_MARKERNEXT = 2047,
    SCI_GETMARGINMASKN = 2245,
    SCI_INDICGETSTYLE = 2081,
    SCI_INDICGETFORE = 2083,
    SCI_CALLTIPSHOW = 2200,
    SCI_CALLTIPCANCEL = 2201,
    SCI_CALLTIPACTIVE = 2202,
    SCI_SETMOUSEDWELLTIME = 2264,
    SCI_GETMOUSEDWELLTIME = 2265,
    SCI_WORDENDPOSITION = 2267,
    SCI_GETCHARAT = 2007,
    SCI_POSITIONBEFORE = 2417,
    SCI_POSITIONAFTER = 2418,
    SCI_POSITIONRELATIVE = 2670,
};

// Notification codes the editor acts on.
enum : unsigned {
    SCN_STYLENEEDED = 2000,
    SCN_CHARADDED = 2001,
    SCN_UPDATEUI = 2007,
    SCN_MODIFIED = 2008,
    SCN_MARGINCLICK = 2010,
    SCN_NEEDSHOWN = 2011,
    SCN_DWELLSTART = 2016,
    SCN_DWELLEND = 2017,
    SCN_ZOOM = 2018,
};

inline constexpr int SC_MOD_INSERTTEXT = 0x1;
inline constexpr int SC_MOD_DELETETEXT = 0x2;
inline constexpr int SC_MOD_BEFOREINSERT = 0x400;
inline constexpr int SC_MOD_BEFOREDELETE = 0x800;
inline constexpr int SC_MODEVENTMASKALL = 0x3FFFFF;

// What SCN_UPDATEUI reports as changed (its `updated` field).
inline constexpr int SC_UPDATE_CONTENT = 0x1;
inline constexpr int SC_UPDATE_SELECTION = 0x2;
inline constexpr int SC_UPDATE_V_SCROLL = 0x4;
inline constexpr int SC_UPDATE_H_SCROLL = 0x8;

// The order of a completion list's entries: as given, kept in that order.
inline constexpr int SC_ORDER_CUSTOM = 2;

// Indicator styles, and the search flags of SCI_SEARCHINTARGET.
inline constexpr int INDIC_ROUNDBOX = 7;
inline constexpr int SCFIND_MATCHCASE = 4;

inline constexpr int SC_FOLDLEVELBASE = 0x400;
inline constexpr int SC_FOLDLEVELNUMBERMASK = 0xFFF;
inline constexpr int SC_FOLDLEVELHEADERFLAG = 0x2000;

// The document's code page and the lexer that leaves styling to its container.
inline constexpr int SC_CP_UTF8 = 65001;
inline constexpr int SCLEX_CONTAINER = 0;

// Marker numbers the component reserves for fold symbols, and the margin mask that shows them.
inline constexpr int SC_MARKNUM_FOLDEREND = 25;
inline constexpr int SC_MARKNUM_FOLDEROPENMID = 26;
inline constexpr int SC_MARKNUM_FOLDERMIDTAIL = 27;
inline constexpr int SC_MARKNUM_FOLDERTAIL = 28;
inline constexpr int SC_MARKNUM_FOLDERSUB = 29;
inline constexpr int SC_MARKNUM_FOLDER = 30;
inline constexpr int SC_MARKNUM_FOLDEROPEN = 31;
inline constexpr std::uint32_t SC_MASK_FOLDERS = 0xFE000000;

// Marker symbols.
inline constexpr int SC_MARK_SHORTARROW = 4;
inline constexpr int SC_MARK_VLINE = 9;
inline constexpr int SC_MARK_LCORNER = 10;
inline constexpr int SC_MARK_TCORNER = 11;
inline constexpr int SC_MARK_BOXPLUS = 12;
inline constexpr int SC_MARK_BOXPLUSCONNECTED = 13;
inline constexpr int SC_MARK_BOXMINUS = 14;
inline constexpr int SC_MARK_BOXMINUSCONNECTED = 15;
inline constexpr int SC_MARK_FULLRECT = 26;

// Indicator styles, and the first indicator the component leaves to its container.
inline constexpr int INDIC_SQUIGGLE = 1;
inline constexpr int INDICATOR_CONTAINER = 8;

// Messages of the caret and the selection, undo and the clipboard, zoom, the save point and
// brace highlighting.
enum : unsigned {
    SCI_REDO = 2011,
    SCI_SELECTALL = 2013,
    SCI_SETSAVEPOINT = 2014,
    SCI_CANREDO = 2016,
    SCI_GOTOLINE = 2024,
    SCI_GETCOLUMN = 2129,
    SCI_GETMODIFY = 2159,
    SCI_SCROLLCARET = 2169,
    SCI_CANPASTE = 2173,
    SCI_CANUNDO = 2174,
    SCI_CUT = 2177,
    SCI_COPY = 2178,
    SCI_PASTE = 2179,
    SCI_ENSUREVISIBLEENFORCEPOLICY = 2234,
    SCI_ZOOMIN = 2333,
    SCI_ZOOMOUT = 2334,
    SCI_BRACEHIGHLIGHT = 2351,
    SCI_BRACEBADLIGHT = 2352,
    SCI_SETZOOM = 2373,
    SCI_GETZOOM = 2374,
    SCI_FINDCOLUMN = 2456,
    SCI_SETFIRSTVISIBLELINE = 2613,
    SCI_COUNTCHARACTERS = 2633,
    SCI_GETSELECTIONEMPTY = 2650,
};

inline constexpr int STYLE_DEFAULT = 32;
inline constexpr int STYLE_LINENUMBER = 33;
// The styles the component draws highlighted braces in (a matched pair, an unmatched one).
inline constexpr int STYLE_BRACELIGHT = 34;
inline constexpr int STYLE_BRACEBAD = 35;
inline constexpr int STYLE_CALLTIP = 38;

// The notification record in the component's published layout: the common header,
// then the fields in their published order. Our own declaration of it.
struct SciNotifyHeader {
    void* hwndFrom;
    std::uintptr_t idFrom;
    unsigned int code;
};

struct SCNotification {
    SciNotifyHeader nmhdr;
    std::intptr_t position;
    int ch;
    int modifiers;
    int modificationType;
    const char* text;
    std::intptr_t length;
    std::intptr_t linesAdded;
    int message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    std::intptr_t line;
    int foldLevelNow;
    int foldLevelPrev;
    int margin;
    int listType;
    int x;
    int y;
    int token;
    std::intptr_t annotationLinesAdded;
    int updated;
    int listCompletionMethod;
    int characterSource;
};

// A code editor's notification function: (gadget, notification record) -> result.
using ScintillaNotifyHandler = std::intptr_t (*)(ObjectNumber gadget, const SCNotification* notification);

// Makes the component available; with QScintilla linked in there is nothing to load,
// so this only reports success (the result is ignored by its callers).
int scintilla_load();

// Creates the component as gadget `gadget` (or ANY_NUMBER) in the current gadget list;
// returns the gadget's identifier (non-zero) or 0.
ObjectNumber scintilla_gadget_create(ObjectNumber gadget, int x, int y, int width, int height,
                                     ScintillaNotifyHandler handler);

// Sends one message synchronously; 0 when the gadget does not exist. The two
// shorthands of the message interface are the default arguments.
std::intptr_t scintilla_send(ObjectNumber gadget, unsigned message, std::uintptr_t wParam = 0,
                             std::intptr_t lParam = 0);

// The parent-message handler of GADGET_KIND_CODE_EDITOR: hands WM_NOTIFY to the handler given
// at creation and answers NOT_HANDLED to everything else.
std::intptr_t scintilla_notify_hook(GadgetRecord* record, NativeHandle parent, unsigned message, std::uintptr_t wParam,
                                    std::intptr_t lParam);

// What frees a component gadget's data (its user_data) when the component is destroyed; set per
// gadget, after gadget_set_data.
using ScintillaDataRelease = void (*)(std::intptr_t data);
void scintilla_set_data_release(ObjectNumber gadget, ScintillaDataRelease release);

// Called once a change of the text is complete (when the next change begins, or when the message
// or input event that made it returns), with 1 when it removed text, else 0. The component
// announces only the beginning of a change (SCN_MODIFIED with SC_MOD_BEFOREINSERT or
// SC_MOD_BEFOREDELETE). Set per gadget.
using ScintillaChangeEndHandler = void (*)(ObjectNumber gadget, int removed);
void scintilla_set_change_end_handler(ObjectNumber gadget, ScintillaChangeEndHandler handler);

// The component's widget behind a gadget (a QsciScintillaBase*, as an opaque pointer for
// code without Qt), or null. Tests and benchmarks use it to drive the real widget.
void* scintilla_widget(ObjectNumber gadget);
