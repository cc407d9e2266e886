#include "MainFm.h"

#include "ProcessSettings.h"
#include "RunMode.h"
#include "platform/Fonts.h"
#include "platform/Platform.h"
#include "platform/WindowPlacement.h"
#include "update/ProgressFm.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {
const QColor kBackground(0x00, 0x3D, 0x59);
const QColor kSilver(0xC0, 0xC0, 0xC0);
const QColor kStripe(0x40, 0x00, 0x00);

void colour(QWidget* widget, QPalette::ColorRole role, const QColor& value) {
    QPalette palette = widget->palette();
    palette.setColor(role, value);
    widget->setPalette(palette);
}
} // namespace

QString TForm1::usageText() {
    return QStringList{
        QStringLiteral("This utility should be called from options in Tallywick itself."),
        QStringLiteral("However if that is not possible, you can use this utility to update Tallywick."),
        QString(),
        QStringLiteral("To do this, use one of the parameters below."),
        QString(),
        QStringLiteral("Usage:  tallyaid PARAMETER"),
        QStringLiteral("where PARAMETER is one of:"),
        QString(),
        QStringLiteral("UPDATEV2  (to download the latest update for Tallywick V2 from our "),
        QStringLiteral("website.)"),
        QStringLiteral("SETUPBDE  (to download and reinstall the Borland Database Engine.)"),
    }.join(u'\n');
}

TForm1::TForm1(const QStringList& arguments, QWidget* parent) : QWidget(parent) {
    FormCreate(arguments);

    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Payroll Update"));
    // A sizeable frame whose title bar carries no buttons at all.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFont(pixelFont(QStringLiteral("Segoe UI"), 13));
    colour(this, QPalette::Window, kBackground);
    colour(this, QPalette::WindowText, Qt::white);
    setAutoFillBackground(true);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setText(QStringLiteral("R2.74 / Deep Maroon Version (refers to line at bottom for easy identification by ODX)"));
    Label1->hide();

    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setTextFormat(Qt::PlainText);
    Label2->setText(QStringLiteral("Instructions"));
    Label2->setFont(pixelFont(QStringLiteral("Segoe UI"), 13, true, true));
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setFocusPolicy(Qt::ClickFocus); // skipped by the Tab key
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setPlainText(usageText());
    Memo1->setAccessibleName(Label2->text()); // what a screen reader announces for the text box
    Memo1->document()->setDocumentMargin(0);
    colour(Memo1, QPalette::Base, kBackground);
    colour(Memo1, QPalette::Text, Qt::white);

    pnl_ButtonContainer = new QWidget(this);
    pnl_ButtonContainer->setObjectName(QStringLiteral("pnl_ButtonContainer"));
    colour(pnl_ButtonContainer, QPalette::Window, kSilver);
    pnl_ButtonContainer->setAutoFillBackground(true);

    CloseBtn = new QPushButton(QStringLiteral("Close"), pnl_ButtonContainer);
    CloseBtn->setObjectName(QStringLiteral("CloseBtn"));
    CloseBtn->setFont(pixelFont(QStringLiteral("Segoe UI"), 13));
    colour(CloseBtn, QPalette::ButtonText, Qt::black);
    connect(CloseBtn, &QPushButton::clicked, this, &TForm1::CloseBtnClick);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    colour(Panel1, QPalette::Window, kStripe);
    Panel1->setAutoFillBackground(true);

    resize(469, 306);
}

void TForm1::FormCreate(const QStringList& arguments) {
    ProcessSettings::apply(QStringLiteral("d/M/yyyy"), u'/',
                           {QStringLiteral("Sun"), QStringLiteral("Mon"), QStringLiteral("Tue"), QStringLiteral("Wed"),
                            QStringLiteral("Thu"), QStringLiteral("Fri"), QStringLiteral("Sat")},
                           200, 10000);
    m_parameter = arguments.size() > 1 ? arguments.at(1) : QString();
    m_runMode = RunModeForParameter(m_parameter);
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int w = width(), h = height();
    // Top-aligned controls keep 8 px on the left and 3 px on the other sides.
    int y = 0;
    if (!Label1->isHidden()) {
        Label1->setGeometry(8, y + 3, w - 11, 27);
        y += 33;
    }
    Label2->setGeometry(8, y + 3, w - 11, 29);
    y += 35;
    Memo1->setGeometry(8, y + 3, w - 11, 203);
    Panel1->setGeometry(0, h - 4, w, 4);
    pnl_ButtonContainer->setGeometry(0, h - 4 - 39, w, 39);
    CloseBtn->setGeometry(w - 8 - 107, 4, 107, 31);
}

void TForm1::start() {
    if (m_runMode.isEmpty()) {
        centreOnWorkArea(this);
        show();
        return;
    }
    FormShow();
}

void TForm1::FormShow() {
    if (m_runMode.isEmpty() || !m_updateForm)
        return;
    m_updateForm->ShowModalUpdate(m_runMode);
    close();
    emit closed(); // never shown, so closing alone would not end the program
}

void TForm1::CloseBtnClick() {
    close();
}

void TForm1::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit closed();
}
