#pragma once

#include <QFont>
#include <QString>

// The windows ask for Windows font names. Where those are missing, metric-compatible or
// close families stand in, so that text widths stay close to the layout's.
void installFontSubstitutes();

// A font by family and pixel (character) height, never scaled for the screen.
QFont pixelFont(const QString& family, int pixelSize, bool bold = false, bool underline = false);
