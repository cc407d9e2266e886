#include "Panels.h"

#include <QWidget>

void paintBackground(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QWidget* colouredPanel(QWidget* parent, const char* name, const QColor& colour) {
    auto* widget = new QWidget(parent);
    widget->setObjectName(QLatin1String(name));
    paintBackground(widget, colour);
    return widget;
}
