#include "WrapLabel.h"

#include <QPainter>

TWrapLabel::TWrapLabel(bool wrap, QWidget* parent) : QLabel(parent), m_wrap(wrap) {
    setTextFormat(Qt::PlainText);
    setWordWrap(wrap);
    setAutoFillBackground(true); // opaque on the parent's colour
}

int TWrapLabel::flags(bool wrap) {
    return Qt::AlignLeft | Qt::AlignTop | (wrap ? Qt::TextWordWrap : Qt::TextSingleLine);
}

QSize TWrapLabel::measure(const QFont& font, const QString& text, bool wrap, int width) {
    const QFontMetrics metrics(font);
    const QRect box = metrics.boundingRect(QRect(0, 0, wrap ? width : 1 << 20, 1 << 20), flags(wrap), text);
    return {box.width(), std::max(box.height(), metrics.height())};
}

void TWrapLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(QRect(0, 0, m_wrap ? width() : 1 << 20, 1 << 20), flags(m_wrap), text());
}
