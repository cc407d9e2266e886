#include "MsgFm.h"

#include "ConfirmFrm.h"

#include "platform/Fonts.h"
#include "platform/Platform.h"
#include "widgets/PanelButton.h"
#include "widgets/Panels.h"
#include "widgets/WindowDrag.h"
#include "widgets/WrapLabel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextEdit>

namespace {
const QColor kWindowColour(0xB8, 0xD2, 0xE2);
const QColor kStripColour(0x00, 0x2F, 0x5E);
const QColor kAreaColour(0xD1, 0xE2, 0xF3);
const QColor kButtonColour(0x0F, 0x45, 0x71);
const QColor kHighlightColour(0x4D, 0x9D, 0xEE);
const QColor kSmallButtonColour(0x12, 0x66, 0xA5);
const QColor kCloseColour(0xEC, 0x00, 0x00);


QFrame* sunkenLine(QWidget* parent, const QString& name) {
    auto* line = new QFrame(parent);
    line->setObjectName(name);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setFixedHeight(2);
    return line;
}

TPanelButton* panelButton(QWidget* parent, const char* name, const QString& caption, const QColor& colour,
                          const QFont& font, int tag) {
    auto* button = new TPanelButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setColour(colour);
    button->setFont(font);
    button->setTag(tag);
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, Qt::white);
    button->setPalette(palette);
    return button;
}

QFont arial(int pixels, bool bold = false) {
    return pixelFont(QStringLiteral("Arial"), pixels, bold);
}

QFont courierNew() {
    return pixelFont(QStringLiteral("Courier New"), 13);
}
} // namespace

TMessageForm::TMessageForm(QWidget* parent) : QDialog(parent) {
    using namespace MessageGeometry;
    setObjectName(QStringLiteral("MessageForm"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setModal(true);
    m_background = kWindowColour;
    paintBackground(this, m_background);
    setFont(arial(13));

    TopPanelLineAndTitle = new QLabel(this);
    TopPanelLineAndTitle->setObjectName(QStringLiteral("TopPanelLineAndTitle"));
    TopPanelLineAndTitle->setTextFormat(Qt::PlainText);
    TopPanelLineAndTitle->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    TopPanelLineAndTitle->setFont(arial(13, true));
    paintBackground(TopPanelLineAndTitle, kStripColour);
    {
        QPalette palette = TopPanelLineAndTitle->palette();
        palette.setColor(QPalette::WindowText, Qt::white);
        TopPanelLineAndTitle->setPalette(palette);
    }

    // The strip's buttons: copy, smaller, bigger, close.
    // On the strip but not part of it: a press between the buttons must not drag the window.
    TopButtonsPanel = colouredPanel(this, "TopButtonsPanel", kStripColour);
    const QFont stripFont = arial(16, true);
    CopyToClipboardPanel = panelButton(TopButtonsPanel, "CopyToClipboardPanel", QStringLiteral("c"),
                                       kSmallButtonColour, stripFont, 0);
    CopyToClipboardPanel->setGeometry(10, 0, 25, 17);
    CopyToClipboardPanel->setToolTip(QStringLiteral("copy to clipboard"));
    MakeSmallerPanel = panelButton(TopButtonsPanel, "MakeSmallerPanel", QStringLiteral("-"), kSmallButtonColour,
                                   stripFont, 0);
    MakeSmallerPanel->setGeometry(38, 0, 25, 17);
    MakeSmallerPanel->setToolTip(QStringLiteral("make smaller"));
    MakeBiggerPanel = panelButton(TopButtonsPanel, "MakeBiggerPanel", QStringLiteral("+"), kSmallButtonColour,
                                  stripFont, 0);
    MakeBiggerPanel->setGeometry(66, 0, 25, 17);
    MakeBiggerPanel->setToolTip(QStringLiteral("make bigger"));
    RedXPanel = panelButton(TopButtonsPanel, "RedXPanel", QStringLiteral("x"), kCloseColour, stripFont, 0);
    RedXPanel->setGeometry(96, 0, 38, 17);
    RedXPanel->setToolTip(QStringLiteral("close"));
    // A screen reader reads the hint, not the one-letter caption.
    for (TPanelButton* b : {CopyToClipboardPanel, MakeSmallerPanel, MakeBiggerPanel, RedXPanel})
        b->setAccessibleName(b->toolTip());
    connect(RedXPanel, &TPanelButton::clicked, this, &TMessageForm::RedXPanelClick);
    connect(CopyToClipboardPanel, &TPanelButton::clicked, this, &TMessageForm::CopyToClipboardPanelClick);
    connect(MakeSmallerPanel, &TPanelButton::clicked, this, &TMessageForm::MakeSmallerPanelClick);
    connect(MakeBiggerPanel, &TPanelButton::clicked, this, &TMessageForm::MakeBiggerPanelClick);
    TopPanelLineAndTitle->installEventFilter(this); // dragged by its title strip

    BottomPanelLine = colouredPanel(this, "BottomPanelLine", kStripColour);
    MainPanel = new QWidget(this);
    MainPanel->setObjectName(QStringLiteral("MainPanel"));
    LeftPanel = colouredPanel(MainPanel, "LeftPanel", kAreaColour);
    Shape1 = colouredPanel(LeftPanel, "Shape1", kStripColour);
    RightPanel = colouredPanel(MainPanel, "RightPanel", kAreaColour);
    Shape2 = colouredPanel(RightPanel, "Shape2", kStripColour);

    ScrollBox1 = new QScrollArea(MainPanel);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    ScrollBox1->setWidgetResizable(false);
    ScrollBox1->setFocusPolicy(Qt::NoFocus); // the window's own keys scroll it; Tab goes to the buttons
    ScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ScrollBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    paintBackground(ScrollBox1->viewport(), kAreaColour);
    m_content = colouredPanel(nullptr, "ScrollBox1Contents", kAreaColour);
    m_content->setMouseTracking(true);
    m_content->installEventFilter(this);

    for (int i = 0; i < 7; ++i) {
        heading[i] = new TWrapLabel(false, m_content);
        heading[i]->setObjectName(QStringLiteral("heading%1").arg(i + 1));
        heading[i]->setFont(arial(16, true));
        Label[i] = new TWrapLabel(true, m_content);
        Label[i]->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        Label[i]->setFont(arial(13));
        Bevel[i] = sunkenLine(m_content, QStringLiteral("Bevel%1").arg(i + 1));
        for (QWidget* w : {static_cast<QWidget*>(heading[i]), static_cast<QWidget*>(Label[i]),
                           static_cast<QWidget*>(Bevel[i])}) {
            QPalette palette = w->palette();
            palette.setColor(QPalette::Window, kAreaColour);
            palette.setColor(QPalette::WindowText, Qt::black);
            w->setPalette(palette);
            w->hide();
        }
    }

    const QFont buttonFont = arial(13, true);
    MbOKpanel = colouredPanel(m_content, "MbOKpanel", kAreaColour);
    BevelOKbox = sunkenLine(MbOKpanel, QStringLiteral("BevelOKbox"));
    OKPnlBtn = panelButton(MbOKpanel, "OKPnlBtn", QStringLiteral("OK"), kButtonColour, buttonFont, 903);
    mbYESNOpanel = colouredPanel(m_content, "mbYESNOpanel", kAreaColour);
    BevelYNbox = sunkenLine(mbYESNOpanel, QStringLiteral("BevelYNbox"));
    BevelYNbox->hide();
    YesPnlBtn = panelButton(mbYESNOpanel, "YesPnlBtn", QStringLiteral("Yes"), kButtonColour, buttonFont, 901);
    NoPnlBtn = panelButton(mbYESNOpanel, "NoPnlBtn", QStringLiteral("No"), kButtonColour, buttonFont, 902);
    MbCUSTpanel = colouredPanel(m_content, "MbCUSTpanel", kAreaColour);
    Bevel8 = sunkenLine(MbCUSTpanel, QStringLiteral("Bevel8"));
    Bevel8->hide();
    CustPanelBtn1 = panelButton(MbCUSTpanel, "CustPanelBtn1", QStringLiteral("mrYes"), kButtonColour, buttonFont, 904);
    CustPanelBtn2 = panelButton(MbCUSTpanel, "CustPanelBtn2", QStringLiteral("mrNo"), kButtonColour, buttonFont, 905);
    CustPanelBtn3 =
        panelButton(MbCUSTpanel, "CustPanelBtn3", QStringLiteral("mrIgnore"), kButtonColour, buttonFont, 906);
    for (QWidget* p : {MbOKpanel, mbYESNOpanel, MbCUSTpanel}) {
        p->setMouseTracking(true);
        p->installEventFilter(this);
        p->hide();
    }
    for (TPanelButton* b : allButtons()) {
        b->resize(b == CustPanelBtn1 || b == CustPanelBtn2 || b == CustPanelBtn3 ? CustWidth : OkWidth,
                  ButtonHeight);
        connect(b, &TPanelButton::pointerEntered, this, [this, b] { AllPnlBtnMouseOver(b); });
    }
    connect(OKPnlBtn, &TPanelButton::clicked, this, &TMessageForm::OKPnlBtnClick);
    connect(YesPnlBtn, &TPanelButton::clicked, this, &TMessageForm::YesPnlBtnClick);
    connect(NoPnlBtn, &TPanelButton::clicked, this, &TMessageForm::NoPnlBtnClick);
    connect(CustPanelBtn1, &TPanelButton::clicked, this, &TMessageForm::CustPanelBtn1Click);
    connect(CustPanelBtn2, &TPanelButton::clicked, this, &TMessageForm::CustPanelBtn2Click);
    connect(CustPanelBtn3, &TPanelButton::clicked, this, &TMessageForm::CustPanelBtn3Click);
    ScrollBox1->setWidget(m_content);

    // The staging box of the copy to the clipboard; never shown.
    PreClipBdBoxHolderPanel = colouredPanel(this, "PreClipBdBoxHolderPanel", kWindowColour);
    PreClipBdBox = new QTextEdit(PreClipBdBoxHolderPanel);
    PreClipBdBox->setObjectName(QStringLiteral("PreClipBdBox"));
    PreClipBdBoxHolderPanel->hide();

    resize(664, 400); // created 664 wide; every layout sets 656
}

TMessageForm::~TMessageForm() = default;

QList<TPanelButton*> TMessageForm::allButtons() const {
    // The order the highlight walks them in.
    return {OKPnlBtn, NoPnlBtn, YesPnlBtn, CustPanelBtn1, CustPanelBtn2, CustPanelBtn3};
}

void TMessageForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    using namespace MessageGeometry;
    const int w = width(), h = height();
    TopPanelLineAndTitle->setGeometry(0, 0, w, StripHeight);
    TopButtonsPanel->setGeometry(w - 140, 0, 140, StripHeight);
    BottomPanelLine->setGeometry(0, h - BottomHeight, w, BottomHeight);
    const int middle = std::max(0, h - StripHeight - BottomHeight);
    MainPanel->setGeometry(0, StripHeight, w, middle);
    LeftPanel->setGeometry(0, 0, LeftWidth, middle);
    Shape1->setGeometry(0, 0, 3, middle);
    RightPanel->setGeometry(w - RightWidth, 0, RightWidth, middle);
    Shape2->setGeometry(RightWidth - 3, 0, 3, middle);
    ScrollBox1->setGeometry(LeftWidth, 0, std::max(0, w - LeftWidth - RightWidth), middle);
}

int TMessageForm::ShowModalMessageMax(const QString& Title, const QString& Buttons, const QString& H1,
                                      const QString& M1, const QString& L1, const QString& H2, const QString& M2,
                                      const QString& L2, const QString& H3, const QString& M3, const QString& L3,
                                      const QString& H4, const QString& M4, const QString& L4, const QString& H5,
                                      const QString& M5, const QString& L5, const QString& H6, const QString& M6,
                                      const QString& L6, const QString& H7, const QString& M7, const QString& L7) {
    MessageTexts texts;
    texts.Title = Title;
    texts.Buttons = Buttons;
    const QString* h[7] = {&H1, &H2, &H3, &H4, &H5, &H6, &H7};
    const QString* m[7] = {&M1, &M2, &M3, &M4, &M5, &M6, &M7};
    const QString* l[7] = {&L1, &L2, &L3, &L4, &L5, &L6, &L7};
    for (int i = 0; i < 7; ++i) {
        texts.H[i] = *h[i];
        texts.M[i] = *m[i];
        texts.L[i] = *l[i];
    }
    return showMessage(texts);
}

int TMessageForm::ShowModalMessage(const QString& Title, const QString& Buttons, const QString& H1, const QString& M1,
                                   const QString& L1, const QString& H2, const QString& M2, const QString& L2,
                                   const QString& H3, const QString& M3, const QString& L3, const QString& H4,
                                   const QString& M4, const QString& L4, const QString& H5, const QString& M5,
                                   const QString& L5) {
    return ShowModalMessageMax(Title, Buttons, H1, M1, L1, H2, M2, L2, H3, M3, L3, H4, M4, L4, H5, M5, L5, {}, {},
                               {}, {}, {}, {});
}

int TMessageForm::ShowModalMessage2(const QString& Title, const QString& Buttons, const QString& H1,
                                    const QString& M1, const QString& L1, const QString& H2, const QString& M2) {
    return ShowModalMessage(Title, Buttons, H1, M1, L1, H2, M2, {}, {}, {}, {}, {}, {}, {}, {}, {}, {});
}

int TMessageForm::ShowModalMessage1(const QString& Title, const QString& Buttons, const QString& H1,
                                    const QString& M1) {
    return ShowModalMessage2(Title, Buttons, H1, M1, {}, {}, {});
}

int TMessageForm::ShowModalMessageSized(const QString& Title, const QString& Buttons, const QString& M1) {
    SizedMode = 1;
    const int result = ShowModalMessage1(Title, Buttons, QStringLiteral(" "), M1);
    SizedMode = 0;
    return result;
}

void TMessageForm::SetCustomButtons(const QString& CustCaption1, const QString& CustCaption2,
                                    const QString& CustCaption3) {
    if (!CustCaption1.isEmpty())
        CustPanelBtn1->setCaption(CustCaption1);
    if (!CustCaption2.isEmpty())
        CustPanelBtn2->setCaption(CustCaption2);
    if (!CustCaption3.isEmpty())
        CustPanelBtn3->setCaption(CustCaption3);
    CustPanelBtn3->setVisible(!CustCaption3.isEmpty());
}

void TMessageForm::ChangeColours(int BackGroundColourPARAM) {
    switch (BackGroundColourPARAM) {
    case 1: m_background = QColor(0xFF, 0xFF, 0x9D); break;
    case 2: m_background = QColor(0xFF, 0xA8, 0xA8); break;
    default: m_background = kWindowColour; break;
    }
    paintBackground(this, m_background);
}

int TMessageForm::showMessage(const MessageTexts& texts) {
    const QFont headingFont = arial(16, true);
    const QFont messageFont = arial(13);
    const QFont fixedFont = courierNew();
    MessageMeasure measure;
    measure.heading = [&](const QString& text) { return TWrapLabel::measure(headingFont, text, false, 0); };
    measure.message = [&](const QString& text, bool courier, int width) {
        return TWrapLabel::measure(courier ? fixedFont : messageFont, text, true, width);
    };
    m_layout = layoutMessage(texts, Platform::current().primaryScreenSize(), SizedMode == 1, measure);
    applyLayout(m_layout);
    const int result = exec();
    ChangeColours(0); // the colour holds for one showing only
    return result;
}

void TMessageForm::applyLayout(const MessageLayout& layout) {
    ScrollNeeded = layout.scrollNeeded;
    MaxWindowHeight = layout.maxWindowHeight;
    LayoutTop = layout.contentHeight;
    for (int i = 0; i < 3; ++i)
        Label[i]->setFont(layout.courier[i] ? courierNew() : arial(13));
    TopButtonsPanel->setVisible(layout.topButtons);
    TopPanelLineAndTitle->setText(layout.stripCaption);
    setWindowTitle(layout.title); // not drawn (no frame), but named for the desktop and assistive tools

    const MessageLayout::Item* items[3] = {layout.heading, layout.message, layout.separator};
    for (int kind = 0; kind < 3; ++kind) {
        for (int i = 0; i < 7; ++i) {
            const MessageLayout::Item& item = items[kind][i];
            QWidget* widget = kind == 0 ? static_cast<QWidget*>(heading[i])
                              : kind == 1 ? static_cast<QWidget*>(Label[i])
                                          : static_cast<QWidget*>(Bevel[i]);
            widget->setVisible(item.shown);
            if (!item.shown)
                continue;
            if (kind == 0)
                heading[i]->setText(item.text);
            else if (kind == 1)
                Label[i]->setText(item.text);
            widget->setGeometry(item.rect);
        }
    }
    Label[0]->raise(); // in the sized window the message lies over the blank heading

    QWidget* panels[3] = {MbOKpanel, mbYESNOpanel, MbCUSTpanel};
    for (int i = 0; i < 3; ++i) {
        panels[i]->setGeometry(layout.panels[i]);
        panels[i]->setVisible(i == int(layout.panel));
    }
    BevelOKbox->setGeometry(0, 0, layout.panels[0].width(), 2);
    using namespace MessageGeometry;
    OKPnlBtn->move(layout.okLeft, ButtonTop);
    YesPnlBtn->move(layout.yesLeft, ButtonTop);
    NoPnlBtn->move(layout.noLeft, ButtonTop);
    CustPanelBtn1->move(layout.custLeft[0], ButtonTop);
    CustPanelBtn2->move(layout.custLeft[1], ButtonTop);
    CustPanelBtn3->move(layout.custLeft[2], ButtonTop);
    for (TPanelButton* b : allButtons())
        b->setColour(kButtonColour);
    m_content->resize(layout.contentWidth, layout.contentHeight);
    setGeometry(layout.window);
}

void TMessageForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ZoomStep = 0;
    ScrollBox1->verticalScrollBar()->setValue(0);
    ScrollBox1->horizontalScrollBar()->setValue(0);
    qApp->installEventFilter(this); // keys reach the window before the focused control
    // The keyboard starts on the first button of the set shown.
    for (QWidget* panel : {static_cast<QWidget*>(MbOKpanel), static_cast<QWidget*>(mbYESNOpanel),
                           static_cast<QWidget*>(MbCUSTpanel)})
        if (!panel->isHidden()) {
            for (TPanelButton* b : panel->findChildren<TPanelButton*>())
                if (!b->isHidden()) {
                    b->setFocus(Qt::OtherFocusReason);
                    break;
                }
        }
}

void TMessageForm::hideEvent(QHideEvent* event) {
    qApp->removeEventFilter(this);
    QDialog::hideEvent(event);
}

bool TMessageForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() && isVisible()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget == this || isAncestorOf(widget)) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (FormKeyDown(key->key(), key->modifiers()))
                return true;
        }
    }
    if (watched == TopPanelLineAndTitle && dragWindow(this, event, Dragging, DragStartX, DragStartY))
        return true;
    if (watched == this && event->type() == QEvent::WindowActivate)
        scrollToTop(); // shown from its top whenever it becomes active, after the copy question too
    if (event->type() == QEvent::MouseMove && (watched == m_content || watched == MbOKpanel ||
                                               watched == mbYESNOpanel || watched == MbCUSTpanel))
        NonPnlBtnMouseMove();
    return QDialog::eventFilter(watched, event);
}

void TMessageForm::AllPnlBtnMouseOver(TPanelButton* Sender) {
    for (TPanelButton* b : allButtons())
        if (b->tag() != Sender->tag() && b->colour() != kButtonColour)
            b->setColour(kButtonColour);
    if (Sender->tag() != 0)
        Sender->setColour(kHighlightColour);
}

void TMessageForm::NonPnlBtnMouseMove() {
    for (TPanelButton* b : allButtons())
        if (b->colour() != kButtonColour)
            b->setColour(kButtonColour);
}

void TMessageForm::closeWith(TPanelButton* button, int result) {
    button->setColour(kButtonColour);
    done(result);
}

void TMessageForm::OKPnlBtnClick() {
    closeWith(OKPnlBtn, mrOK);
}
void TMessageForm::YesPnlBtnClick() {
    closeWith(YesPnlBtn, mrYes);
}
void TMessageForm::NoPnlBtnClick() {
    closeWith(NoPnlBtn, mrNo);
}
void TMessageForm::CustPanelBtn1Click() {
    closeWith(CustPanelBtn1, mrYes);
}
void TMessageForm::CustPanelBtn2Click() {
    closeWith(CustPanelBtn2, mrNo);
}
void TMessageForm::CustPanelBtn3Click() {
    closeWith(CustPanelBtn3, mrOther);
}

void TMessageForm::RedXPanelClick() {
    if (!MbOKpanel->isHidden())
        OKPnlBtnClick();
    else if (!mbYESNOpanel->isHidden())
        NoPnlBtnClick();
    else
        done(mrCancel);
}

bool TMessageForm::FormKeyDown(int Key, Qt::KeyboardModifiers) {
    // The shift state plays no part.
    if (Key == Qt::Key_Escape) {
        RedXPanelClick();
        return true;
    }
    if (Key == Qt::Key_Return || Key == Qt::Key_Enter) {
        if (!mbYESNOpanel->isHidden())
            YesPnlBtnClick();
        else if (!MbCUSTpanel->isHidden())
            CustPanelBtn1Click();
        else if (!MbOKpanel->isHidden())
            OKPnlBtnClick();
        return true;
    }
    // The scroll keys jump to the ends, and only for a message cut to the screen.
    if (Key == Qt::Key_PageUp || Key == Qt::Key_Up || Key == Qt::Key_PageDown || Key == Qt::Key_Down) {
        if (ScrollNeeded) {
            QScrollBar* bar = ScrollBox1->verticalScrollBar();
            bar->setValue(Key == Qt::Key_PageUp || Key == Qt::Key_Up ? 0 : bar->maximum());
        }
        return true;
    }
    return false;
}

void TMessageForm::closeEvent(QCloseEvent* event) {
    // A close request from the system is the close action, like the "x" of the strip.
    event->ignore();
    if (isVisible())
        RedXPanelClick();
}
