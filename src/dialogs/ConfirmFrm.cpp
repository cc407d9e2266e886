#include "ConfirmFrm.h"

#include "platform/Fonts.h"
#include "platform/AsciiCase.h"
#include "platform/Platform.h"
#include "widgets/PanelButton.h"
#include "widgets/Panels.h"
#include "widgets/WindowDrag.h"
#include "widgets/WrapLabel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>

namespace {
const QColor kFrameColour(0x64, 0x00, 0x32);
const QColor kCreationArea(0xFF, 0xD2, 0xD2);
const QColor kHolderColour(0xA7, 0xA7, 0xA7);
const QColor kRowColour(0xE0, 0xE0, 0xE0);
const QColor kYellowRow(0xFF, 0xFF, 0x00);
const QColor kButtonFrame(0x00, 0x80, 0xFF);
const QColor kFaceNormal(0xF4, 0xF4, 0xF4);
const QColor kFaceDefault(0xB0, 0xDC, 0xFF);
const QColor kFaceHot(0xA6, 0xD7, 0xFF);
const QColor kNoticeBlue(0x00, 0x80, 0xFF);
constexpr int kWidth = 352;
constexpr int kMargin = 5;
constexpr int kStripHeight = 18;
constexpr int kBandHeight = 4;
constexpr int kRowHeight = 32;
constexpr int kLabelTop = 8;
constexpr int kNoticeWidth = 181;


QLabel* stripLabel(QWidget* parent, const char* name, const QFont& font) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    return label;
}

// A typed key as a character: Enter is 13 and Escape 27 whatever text the platform gives.
QChar typedCharacter(const QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return QChar(13);
    if (event->key() == Qt::Key_Escape)
        return QChar(27);
    return event->text().isEmpty() ? QChar() : event->text().at(0);
}
} // namespace

ConfirmKeyAction confirmKeyAction(const ConfirmKeyState& state, QChar key) {
    const QChar k = asciiUpper(key);
    const bool spaceOrEnter = key == u' ' || key.unicode() == 13;
    using A = ConfirmKeyAction;
    if (!state.DefaultButtonCode.isEmpty() && spaceOrEnter) {
        const QString& code = state.DefaultButtonCode;
        if (state.yesNoRow) {
            if (code == QLatin1String("Y"))
                return {A::Choose, 6};
            if (code == QLatin1String("N"))
                return {A::Choose, 7};
            if (code == QLatin1String("X"))
                return {A::Choose, 5};
        } else {
            if (code == QLatin1String("O"))
                return {A::Choose, 1};
            if (code == QLatin1String("C"))
                return {A::Choose, 2};
        }
        return {A::Ignore, 0};
    }
    if (!state.yesNoRow && !state.cancelShown) {
        if (spaceOrEnter || key.unicode() == 27 || k == u'O')
            return {A::Choose, 1};
        return {A::Ignore, 0};
    }
    if (!state.yesNoRow) {
        if (k == u'O')
            return {A::Choose, 1};
        if (k == u'C')
            return {A::Choose, 2};
    }
    if (state.yesNoRow && state.ShortcutKeys == QLatin1String("YN")) {
        if (k == u'Y')
            return {A::Choose, 6};
        if (k == u'N')
            return {A::Choose, 7};
    }
    if (state.yesNoRow && (k == u'1' || k == u'2' || k == u'3') && state.ShortcutKeys.contains(k))
        return {A::Choose, k == u'1' ? 6 : k == u'2' ? 7 : 5};
    return {A::Notice, 0};
}

TConfirm::TConfirm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Confirm"));
    setWindowTitle(QStringLiteral("Confirm"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setModal(true);
    paintBackground(this, kFrameColour);

    PanelForOutsideBorder = colouredPanel(this, "PanelForOutsideBorder", kFrameColour);
    const QFont stripFont = pixelFont(QStringLiteral("Segoe UI Semibold"), 12, true);
    TopPanelLineAndTitleBack = colouredPanel(PanelForOutsideBorder, "TopPanelLineAndTitleBack", kFrameColour);
    MessageIcon = stripLabel(TopPanelLineAndTitleBack, "MessageIcon", pixelFont(QStringLiteral("Arial"), 13, true));
    MessageIcon->setAlignment(Qt::AlignCenter);
    MessageIcon->setAutoFillBackground(true);
    MessageIcon->hide();
    TopPanelLineAndTitle = stripLabel(TopPanelLineAndTitleBack, "TopPanelLineAndTitle", stripFont);
    TopPanelLineAndTitle->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    UseMouseNotice = stripLabel(TopPanelLineAndTitleBack, "UseMouseNotice", stripFont);
    UseMouseNotice->setText(QStringLiteral("  (Please click one of the buttons)  "));
    UseMouseNotice->setAlignment(Qt::AlignCenter);
    UseMouseNotice->hide();
    Panel1 = colouredPanel(PanelForOutsideBorder, "Panel1", kFrameColour);

    MessagePanel = colouredPanel(PanelForOutsideBorder, "MessagePanel", kCreationArea);
    MessageLabel = new TWrapLabel(true, MessagePanel);
    MessageLabel->setObjectName(QStringLiteral("MessageLabel"));
    MessageLabel->setAutoFillBackground(false); // no background of its own
    MessageLabel->setFont(pixelFont(QStringLiteral("Arial"), 12));
    setMessageText(Qt::black, false);

    BtnPanelHolderPanel = colouredPanel(MessagePanel, "BtnPanelHolderPanel", kHolderColour);
    BtnPanelHolderPanel->setFont(pixelFont(QStringLiteral("Arial"), 11));
    YesNoPanel = colouredPanel(BtnPanelHolderPanel, "YesNoPanel", kRowColour);
    OkCancelPanel = colouredPanel(BtnPanelHolderPanel, "OkCancelPanel", kRowColour);
    PadLeftOfCANCEL = colouredPanel(OkCancelPanel, "PadLeftOfCANCEL", kRowColour);

    const auto face = [this](QWidget* frame, const char* name, const QString& caption) {
        auto* button = new TPanelButton(caption, frame);
        button->setObjectName(QLatin1String(name));
        button->setColour(kFaceNormal);
        button->setFont(pixelFont(QStringLiteral("Arial"), 11));
        button->setMnemonicCaption(true);
        button->setBorderVisible(false);
        button->setFocusPolicy(Qt::NoFocus); // the keyboard map chooses, as the dialog defines it
        QPalette palette = button->palette();
        palette.setColor(QPalette::ButtonText, Qt::black);
        button->setPalette(palette);
        connect(button, &TPanelButton::pointerEntered, this, [this, button] { AllPnlBtnMouseEnter(button); });
        connect(button, &TPanelButton::pointerLeft, this, [this, button] { AllPnlBtnMouseLeave(button); });
        return button;
    };
    YesPanelBtnBACK = colouredPanel(YesNoPanel, "YesPanelBtnBACK", kRowColour);
    YesPanelBtnBorder = colouredPanel(YesPanelBtnBACK, "YesPanelBtnBorder", kButtonFrame);
    YesPanelBtn = face(YesPanelBtnBorder, "YesPanelBtn", QStringLiteral("&Yes"));
    NoPanelBtnBACK = colouredPanel(YesNoPanel, "NoPanelBtnBACK", kRowColour);
    NoPanelBtnBorder = colouredPanel(NoPanelBtnBACK, "NoPanelBtnBorder", kButtonFrame);
    NoPanelBtn = face(NoPanelBtnBorder, "NoPanelBtn", QStringLiteral("&No"));
    OtherPanelBtnBACK = colouredPanel(YesNoPanel, "OtherPanelBtnBACK", kRowColour);
    OtherPanelBtnBorder = colouredPanel(OtherPanelBtnBACK, "OtherPanelBtnBorder", kButtonFrame);
    OtherPanelBtn = face(OtherPanelBtnBorder, "OtherPanelBtn", QString());
    OtherPanelBtnBACK->hide();
    OKPanelBtnBACK = colouredPanel(OkCancelPanel, "OKPanelBtnBACK", kButtonFrame);
    OKPanelBtn = face(OKPanelBtnBACK, "OKPanelBtn", QStringLiteral("&OK"));
    CancelPanelBtnBACK = colouredPanel(OkCancelPanel, "CancelPanelBtnBACK", kButtonFrame);
    CancelPanelBtn = face(CancelPanelBtnBACK, "CancelPanelBtn", QStringLiteral("&Cancel"));
    connect(YesPanelBtn, &TPanelButton::clicked, this, &TConfirm::YesPanelBtnClick);
    connect(NoPanelBtn, &TPanelButton::clicked, this, &TConfirm::NoPanelBtnClick);
    connect(OtherPanelBtn, &TPanelButton::clicked, this, &TConfirm::OtherPanelBtnClick);
    connect(OKPanelBtn, &TPanelButton::clicked, this, &TConfirm::OKPanelBtnClick);
    connect(CancelPanelBtn, &TPanelButton::clicked, this, &TConfirm::CancelPanelBtnClick);

    for (QWidget* w : {TopPanelLineAndTitleBack, static_cast<QWidget*>(TopPanelLineAndTitle), Panel1,
                       static_cast<QWidget*>(MessageIcon), static_cast<QWidget*>(UseMouseNotice)})
        w->installEventFilter(this);
    for (TPanelButton* f : faces())
        setLook(f, 1, kFaceNormal);
    m_rowColour = kRowColour;
    resize(kWidth, 120);
}

TConfirm::~TConfirm() = default;

QList<TPanelButton*> TConfirm::faces() const {
    return {YesPanelBtn, NoPanelBtn, OtherPanelBtn, OKPanelBtn, CancelPanelBtn};
}

void TConfirm::setLook(TPanelButton* face, int border, const QColor& colour) {
    const QSize frame = face == OKPanelBtn || face == CancelPanelBtn ? QSize(95, 24) : QSize(104, 24);
    face->setGeometry(border, border, frame.width() - 2 * border, frame.height() - 2 * border);
    face->setColour(colour);
    face->setDefaultButton(border == 3);
}

void TConfirm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    layoutControls();
}

void TConfirm::layoutControls() {
    const int w = width(), h = height();
    PanelForOutsideBorder->setGeometry(0, 0, w, h);
    const int inner = w - 2 * kMargin;
    TopPanelLineAndTitleBack->setGeometry(kMargin, kMargin, inner, kStripHeight);
    // Icon at the left, notice at the right end, the title in what they leave.
    const int iconWidth = MessageIcon->isHidden() ? 0 : 19;
    const int noticeWidth = UseMouseNotice->isHidden() ? 0 : kNoticeWidth;
    MessageIcon->setGeometry(0, 0, 19, kStripHeight);
    TopPanelLineAndTitle->setGeometry(iconWidth, 0, std::max(0, inner - iconWidth - noticeWidth), kStripHeight);
    UseMouseNotice->setGeometry(inner - kNoticeWidth, 0, kNoticeWidth, kStripHeight);
    Panel1->setGeometry(kMargin, kMargin + kStripHeight, inner, kBandHeight);
    const int top = kMargin + kStripHeight + kBandHeight;
    const int area = std::max(0, h - top - kMargin);
    MessagePanel->setGeometry(kMargin, top, inner, area);
    const int holder = kRowHeight + 1;
    BtnPanelHolderPanel->setGeometry(0, area - holder, inner, holder);
    YesNoPanel->setGeometry(0, 1, inner, kRowHeight);
    OkCancelPanel->setGeometry(0, 1, inner, kRowHeight);
    placeButtons();
}

void TConfirm::placeButtons() {
    // From the right edge leftwards, inside a 4-px margin; a hidden holder takes no room.
    const int right = YesNoPanel->width() - 4;
    int x = right;
    const auto place = [&x](QWidget* holder, QWidget* frame, int holderWidth, int frameWidth) {
        if (holder->isHidden())
            return;
        x -= holderWidth;
        holder->setGeometry(x, 4, holderWidth, 24);
        if (frame)
            frame->setGeometry(holderWidth - frameWidth, 0, frameWidth, 24);
    };
    place(OtherPanelBtnBACK, OtherPanelBtnBorder, 112, 104);
    place(NoPanelBtnBACK, NoPanelBtnBorder, 112, 104);
    place(YesPanelBtnBACK, YesPanelBtnBorder, 108, 104);
    x = right;
    place(CancelPanelBtnBACK, nullptr, 95, 95);
    place(PadLeftOfCANCEL, nullptr, 8, 8);
    place(OKPanelBtnBACK, nullptr, 95, 95);
}

void TConfirm::setAreaColour(const QColor& colour) {
    paintBackground(MessagePanel, colour);
}

void TConfirm::setMessageText(const QColor& colour, bool bold) {
    QPalette palette = MessageLabel->palette();
    palette.setColor(QPalette::WindowText, colour);
    MessageLabel->setPalette(palette);
    QFont font = MessageLabel->font();
    font.setBold(bold);
    MessageLabel->setFont(font);
}

void TConfirm::ApplyMessageType(std::int8_t AType, bool colourArea) {
    struct Look {
        const char* title;
        const char* glyph; // nullptr: icon hidden
        QRgb icon, area;
    };
    static const QHash<int, Look> looks = {
        {0, {"  Message", nullptr, 0, 0}},
        {1, {"  Information", "i", 0x0080FF, 0xDFEFFF}},
        {2, {"  Confirm...", "?", 0x0080FF, 0xDFEFFF}},
        {3, {"  Warning !", "!", 0xFF8040, 0xFFD2D2}},
        {4, {"  Warning !", "!", 0xFF0000, 0xFF0000}},
        {5, {"  Information", "i", 0x0080FF, 0xFFD2D2}},
        {9, {nullptr, nullptr, 0, 0}},
    };
    setMessageText(Qt::black, false);
    const auto it = looks.constFind(AType);
    if (it == looks.constEnd())
        return; // every other type leaves all as the previous question did
    const Look& look = it.value();
    if (look.title)
        TopPanelLineAndTitle->setText(QLatin1String(look.title));
    MessageIcon->setVisible(look.glyph != nullptr);
    if (look.glyph) {
        MessageIcon->setText(QLatin1String(look.glyph));
        paintBackground(MessageIcon, QColor(look.icon));
    }
    if (colourArea && look.area != 0)
        setAreaColour(QColor(look.area));
    if (colourArea && AType == 4)
        setMessageText(Qt::white, true);
    layoutControls(); // the icon takes room only when shown
}

void TConfirm::SetDefaultButton(const QString& code) {
    DefaultButtonCode = asciiUpper(code);
    for (TPanelButton* face : faces())
        setLook(face, 1, kFaceNormal);
    const bool yesNo = ButtonSet == QLatin1String("YN");
    const bool okCancel = ButtonSet == QLatin1String("OC");
    TPanelButton* target = nullptr;
    bool allowed = false;
    if (DefaultButtonCode == QLatin1String("Y")) {
        target = YesPanelBtn;
        allowed = yesNo;
    } else if (DefaultButtonCode == QLatin1String("N")) {
        target = NoPanelBtn;
        allowed = yesNo;
    } else if (DefaultButtonCode == QLatin1String("X")) {
        target = OtherPanelBtn;
        allowed = yesNo && !OtherPanelBtnBACK->isHidden();
    } else if (DefaultButtonCode == QLatin1String("O")) {
        target = OKPanelBtn;
        allowed = okCancel;
    } else if (DefaultButtonCode == QLatin1String("C")) {
        target = CancelPanelBtn;
        allowed = okCancel;
    }
    if (!target)
        return; // empty, or a code that highlights nothing
    if (allowed)
        setLook(target, 3, kFaceDefault);
    else
        DefaultButtonCode.clear();
}

void TConfirm::ShowOrHideOtherBtn(bool ShowBtn) {
    OtherPanelBtnBACK->setVisible(ShowBtn);
    placeButtons();
}

int TConfirm::ask(const QString& Msg, const QString& Default, std::int8_t AType, const QString& buttonSet) {
    m_centreOnOpen = true;
    ApplyMessageType(AType, true);
    ButtonSet = buttonSet;
    if (buttonSet == QLatin1String("YN"))
        ShortcutKeys = asciiUpper(YesPanelBtn->caption()) == QLatin1String("&YES") ? QStringLiteral("YN") : QString();
    else
        ShortcutKeys = QStringLiteral("OC");
    SetDefaultButton(Default);
    MessageLabel->setText(Msg + u'\n');
    FormShow();
    const int result = exec();
    setAreaColour(Qt::white);
    setMessageText(Qt::black, false);
    return result;
}

int TConfirm::YesNo(const QString& Msg, const QString& DefaultYesNoNone, std::int8_t AType) {
    return ask(Msg, DefaultYesNoNone, AType, QStringLiteral("YN"));
}

int TConfirm::YesNoX(const QString& Msg, std::int8_t AType) {
    return YesNo(Msg, QString(), AType);
}

int TConfirm::OkCancel(const QString& Msg, const QString& DefaultOkCancelNone, std::int8_t AType) {
    return ask(Msg, DefaultOkCancelNone, AType, QStringLiteral("OC"));
}

int TConfirm::OkCancelX(const QString& Msg, std::int8_t AType) {
    return OkCancel(Msg, QString(), AType);
}

int TConfirm::OkWithMessageType(const QString& Msg, std::int8_t AType) {
    CancelPanelBtnBACK->hide();
    placeButtons();
    const int result = OkCancel(Msg, QString(), AType);
    CancelPanelBtnBACK->show();
    placeButtons();
    return result;
}

int TConfirm::Ok(const QString& Msg) {
    return OkWithMessageType(Msg, 1);
}

int TConfirm::CustomYesNoButtons(const QString& Msg, const QString& YesButtonCaption, const QString& NoButtonCaption,
                                 const QString& OtherCaption, const QString& HeadingCaption,
                                 const QString& DefaultYesNoOtherNone, bool /*MakeWhiteBackGround*/,
                                 std::int8_t AType) {
    const std::int8_t type = (HeadingCaption.isEmpty() && AType == 9) ? 0 : AType;
    YesPanelBtn->setCaption(YesButtonCaption);
    NoPanelBtn->setCaption(NoButtonCaption);
    OtherPanelBtn->setCaption(OtherCaption);
    ShowOrHideOtherBtn(!OtherCaption.isEmpty());
    TopPanelLineAndTitle->setText(QStringLiteral("  ") + HeadingCaption);
    setAreaColour(Qt::white); // white whatever MakeWhiteBackGround says
    const int result = YesNo(Msg, DefaultYesNoOtherNone, type);
    YesPanelBtn->setCaption(QStringLiteral("&Yes"));
    NoPanelBtn->setCaption(QStringLiteral("&No"));
    OtherPanelBtn->setCaption(QString());
    ShowOrHideOtherBtn(false);
    setAreaColour(Qt::white);
    return result;
}

int TConfirm::CustomYesNoButtonsX(const QString& Msg, const QString& YesButtonCaption, const QString& NoButtonCaption,
                                  const QString& OtherCaption, const QString& HeadingCaption, bool MakeWhiteBackGround,
                                  std::int8_t AType) {
    return CustomYesNoButtons(Msg, YesButtonCaption, NoButtonCaption, OtherCaption, HeadingCaption, QString(),
                              MakeWhiteBackGround, AType);
}

void TConfirm::FormShow() {
    m_notice = NoticeLook::Hidden;
    UseMouseNotice->hide();
    UseMouseNotice->setAutoFillBackground(false);
    paintBackground(UseMouseNotice, kNoticeBlue);
    UseMouseNotice->setAutoFillBackground(false);
    paintBackground(YesNoPanel, kRowColour);
    paintBackground(OkCancelPanel, kRowColour);
    for (QWidget* holder : {YesPanelBtnBACK, NoPanelBtnBACK, OtherPanelBtnBACK, PadLeftOfCANCEL})
        paintBackground(holder, kRowColour);
    CloseAllowed = false;
    const bool yesNo = ButtonSet == QLatin1String("YN");
    YesNoPanel->setVisible(yesNo);
    OkCancelPanel->setVisible(!yesNo);
    const int labelWidth = kWidth - 25;
    const QSize text = TWrapLabel::measure(MessageLabel->font(), MessageLabel->text(), true, labelWidth);
    MessageLabel->setGeometry(7, kLabelTop, labelWidth, text.height());
    const int height = kLabelTop + text.height() + kRowHeight + kRowHeight;
    // Centred at every opening on the work area of the monitor it is on (where it was last
    // left), and kept inside that area at the top and left.
    const QRect area = Platform::current().workAreaOf(geometry());
    int left = area.left() + (area.width() - kWidth) / 2;
    int top = area.top() + (area.height() - height) / 2;
    left = std::max(left, area.left());
    top = std::max(top, area.top());
    setGeometry(left, top, kWidth, height);
    layoutControls(); // also when the size did not change: the notice is hidden again
}

void TConfirm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    qApp->installEventFilter(this); // every typed key reaches the dialog first
}

void TConfirm::hideEvent(QHideEvent* event) {
    qApp->removeEventFilter(this);
    Dragging = false;
    QDialog::hideEvent(event);
}

bool TConfirm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() && isVisible()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget == this || isAncestorOf(widget)) {
            const QChar key = typedCharacter(static_cast<QKeyEvent*>(event));
            if (!key.isNull())
                FormKeyPress(key);
            return true;
        }
    }
    // The icon and the notice lie on the strip but do not drag it: their mouse events end
    // with them instead of passing on to the strip behind.
    if (watched == MessageIcon || watched == UseMouseNotice) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove: return true;
        default: break;
        }
    }
    // Dragging by the title strip, the title and the band under them, with any button.
    if (watched == TopPanelLineAndTitleBack || watched == TopPanelLineAndTitle || watched == Panel1) {
        // Taken here, so that the strip behind the title does not see the same event again.
        if (dragWindow(this, event, Dragging, DragStartX, DragStartY))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TConfirm::FormKeyPress(QChar Key) {
    ConfirmKeyState state{DefaultButtonCode, !YesNoPanel->isHidden(), !CancelPanelBtnBACK->isHidden(), ShortcutKeys};
    const ConfirmKeyAction action = confirmKeyAction(state, Key);
    if (action.kind == ConfirmKeyAction::Notice)
        noticeStep();
    else if (action.kind == ConfirmKeyAction::Choose)
        choose(action.result);
}

void TConfirm::noticeStep() {
    switch (m_notice) {
    case NoticeLook::Hidden:
        UseMouseNotice->show();
        layoutControls(); // the title gives up the right end of the strip
        m_notice = NoticeLook::Shown;
        break;
    case NoticeLook::Shown:
        paintBackground(UseMouseNotice, kNoticeBlue);
        m_notice = NoticeLook::Blue;
        break;
    case NoticeLook::Blue:
        paintBackground(UseMouseNotice, QColor(0xFF, 0x00, 0x00));
        m_notice = NoticeLook::Red;
        for (QWidget* w : {YesNoPanel, OkCancelPanel, YesPanelBtnBACK, NoPanelBtnBACK, OtherPanelBtnBACK,
                           PadLeftOfCANCEL})
            paintBackground(w, kYellowRow);
        NumberCustomButtons();
        break;
    case NoticeLook::Red:
        paintBackground(UseMouseNotice, QColor(0x00, 0x00, 0x00));
        m_notice = NoticeLook::Black;
        break;
    case NoticeLook::Black:
        paintBackground(UseMouseNotice, QColor(0xFF, 0x00, 0x00));
        m_notice = NoticeLook::Red;
        break;
    }
}

void TConfirm::NumberCustomButtons() {
    if (!ShortcutKeys.isEmpty() || YesNoPanel->isHidden())
        return;
    QString parts = QStringLiteral("---");
    parts[0] = u'1';
    YesPanelBtn->setCaption(QStringLiteral("&1. ") + YesPanelBtn->caption());
    parts[1] = u'2';
    NoPanelBtn->setCaption(QStringLiteral("&2. ") + NoPanelBtn->caption());
    if (!OtherPanelBtnBACK->isHidden()) {
        parts[2] = u'3';
        OtherPanelBtn->setCaption(QStringLiteral("&3. ") + OtherPanelBtn->caption());
    }
    ShortcutKeys = parts;
}

void TConfirm::choose(int result) {
    TPanelButton* face = result == mrYes      ? YesPanelBtn
                         : result == mrNo     ? NoPanelBtn
                         : result == mrOther  ? OtherPanelBtn
                         : result == mrOk     ? OKPanelBtn
                                              : CancelPanelBtn;
    face->click();
}

void TConfirm::YesPanelBtnClick() {
    CloseAllowed = true;
    done(mrYes);
}
void TConfirm::NoPanelBtnClick() {
    CloseAllowed = true;
    done(mrNo);
}
void TConfirm::OtherPanelBtnClick() {
    CloseAllowed = true;
    done(mrOther);
}
void TConfirm::OKPanelBtnClick() {
    CloseAllowed = true;
    done(mrOk);
}
void TConfirm::CancelPanelBtnClick() {
    CloseAllowed = true;
    done(mrCancel);
}

void TConfirm::AllPnlBtnMouseEnter(TPanelButton* Sender) {
    if (!DefaultButtonCode.isEmpty())
        SetDefaultButton(QString());
    Sender->setColour(kFaceHot);
}

void TConfirm::AllPnlBtnMouseLeave(TPanelButton* Sender) {
    Sender->setColour(kFaceNormal);
}

void TConfirm::closeEvent(QCloseEvent* event) {
    // Only a button closes the dialog.
    if (!CloseAllowed)
        event->ignore();
}
