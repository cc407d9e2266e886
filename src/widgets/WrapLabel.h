#pragma once

#include <QLabel>

// A label that measures and paints its text with the same rule, so the size the layout
// works out is the size the text takes on screen: word-wrapped at the label's width (or one
// line), a new line at every line feed, every character shown as it is (an "&" too).
// A screen reader sees it as static text, like any label.
class TWrapLabel : public QLabel {
    Q_OBJECT
public:
    explicit TWrapLabel(bool wrap, QWidget* parent = nullptr);

    // Height of the wrapped text and width of its longest line.
    static QSize measure(const QFont& font, const QString& text, bool wrap, int width);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static int flags(bool wrap);
    bool m_wrap;
};
