/** @file requester.h
 * Modal requesters: the message box (Windows button sets, icons and result codes) and the
 * file-open dialog, with the program's other windows kept out of the way while one is open.
 * Their own decisions and the Qt side are in requester_internal.h. */
#pragma once

#include <cstdint>

// Flags of requester_message: buttons ...
inline constexpr int MB_OK = 0x0;
inline constexpr int MB_OKCANCEL = 0x1;
inline constexpr int MB_ABORTRETRYIGNORE = 0x2;
inline constexpr int MB_YESNOCANCEL = 0x3;
inline constexpr int MB_YESNO = 0x4;
inline constexpr int MB_RETRYCANCEL = 0x5;
inline constexpr int MB_CANCELTRYCONTINUE = 0x6;
// ... icons ...
inline constexpr int MB_ICONERROR = 0x10;
inline constexpr int MB_ICONQUESTION = 0x20;
inline constexpr int MB_ICONWARNING = 0x30;
inline constexpr int MB_ICONINFORMATION = 0x40;
// ... and the default button.
inline constexpr int MB_DEFBUTTON2 = 0x100;
inline constexpr int MB_DEFBUTTON3 = 0x200;
inline constexpr int MB_DEFBUTTON4 = 0x300;

// Results: the button pressed.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;
inline constexpr int IDTRYAGAIN = 10;
inline constexpr int IDCONTINUE = 11;

// The button code, 0 when the box cannot be shown. Title null: "Error", as Windows captions it.
int requester_message(const char16_t* title, const char16_t* text, int flags = MB_OK);

// The chosen path as a temporary string at `at` (temp_position() normally), or "" when the user
// cancels or the dialog fails. default_file and pattern may be null. pattern holds
// "Description|pattern" pairs, several patterns of one pair separated by ";"; position selects
// the pair shown first (0 = the first).
char16_t* requester_open_file(const char16_t* title, const char16_t* default_file, const char16_t* pattern,
                              int position, std::int32_t at);
