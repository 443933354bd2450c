/** @file font_qt.h
 * The QFont behind a font handle, for the toolkit's Qt adapters. */
#pragma once

#include "runtime/ui/font.h"

class QFont;

// The font of that handle, or null for a null handle.
const QFont* font_qfont(FontHandle font);
