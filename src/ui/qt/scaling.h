// Sizes of the form layouts are pixels on a 120 pixels-per-inch screen;
// on the real screen they scale with its logical resolution.
#pragma once

#include <QFont>
#include <QRect>

#include "ui/layout/form_layouts.h"

// The screen's logical DPI over 120. Read from the primary screen on first
// use; 96 DPI gives 0.8.
double LayoutScale();

// A position or size of the layouts on this screen.
int Scaled(int pixels);
QRect ScaledRect(const LayoutRect& rect);

// A character height of the layouts on this screen, rounded to an even
// pixel size: there a full-width character of the fixed font is exactly two
// half-width columns.
int ScaledFontPixels(int pixels);

// "ＭＳ Ｐゴシック" at a character height of the layouts, falling back to
// its metric twin IPAPGothic.
QFont GothicFont(int pixels);
// "FixedSys" at a character height of the layouts, falling back to the
// fixed-pitch IPAGothic.
QFont FixedFont(int pixels);
