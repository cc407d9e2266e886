#include "ConfirmFrm.h"

TConfirm::TConfirm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Confirm"));
    setWindowTitle(QStringLiteral("Confirm"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setModal(true);
    setFixedWidth(352);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(0x64, 0x00, 0x32));
    setPalette(palette);
    setAutoFillBackground(true);
}
