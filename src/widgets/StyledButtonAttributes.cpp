#include "StyledButtonAttributes.h"

#include <cmath>

namespace {
int roundHalfAway(double value) {
    return static_cast<int>(std::lround(value)); // lround rounds halves away from zero
}

QColor mapChannels(const QColor& colour, int (*channel)(int, int), int percent) {
    return QColor(channel(colour.red(), percent), channel(colour.green(), percent), channel(colour.blue(), percent));
}
} // namespace

void TStyledButtonAttributes::setDefaults(const Values& defaults) {
    m_defaults = defaults;
    if (m_changed)
        m_changed();
}

QColor TStyledButtonAttributes::darken(const QColor& colour, int percent) {
    return mapChannels(
        colour, [](int c, int p) { return c - roundHalfAway(c * p / 100.0); }, percent);
}

QColor TStyledButtonAttributes::lighten(const QColor& colour, int percent) {
    return mapChannels(
        colour, [](int c, int p) { return c + roundHalfAway((255 - c) * p / 100.0); }, percent);
}
