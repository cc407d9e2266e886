#pragma once

#include <QColor>
#include <QString>

class QWidget;

// The windows are built from plain coloured panels; these make and colour them.
void paintBackground(QWidget* widget, const QColor& colour);
QWidget* colouredPanel(QWidget* parent, const char* name, const QColor& colour);
