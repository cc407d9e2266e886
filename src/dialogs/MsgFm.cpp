#include "MsgFm.h"

TMessageForm::TMessageForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("MessageForm"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setModal(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(0xB8, 0xD2, 0xE2));
    setPalette(palette);
    setAutoFillBackground(true);
    resize(656, 400);
}
