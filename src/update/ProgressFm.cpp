#include "update/ProgressFm.h"

#include "trust/FileNames.h"
#include "fetch/StagedDownload.h"

#include "dialogs/MsgFm.h"
#include "platform/Error.h"
#include "platform/FileOps.h"
#include "platform/Fonts.h"
#include "platform/Platform.h"
#include "platform/WindowPlacement.h"
#include "widgets/Panels.h"
#include "widgets/StyledButton.h"

#include <QCloseEvent>
#include <QDir>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QColor kWindowColour(0xC0, 0xD8, 0xEF);
const QColor kInfoColour(0xA0, 0xDC, 0xC2);
const QColor kStripeColour(0x40, 0x00, 0x00);
const QColor kProblemColour(0xE8, 0xD7, 0xD7);
const QColor kDetailsText(0x48, 0x48, 0x48);

constexpr int kInfoHeight = 182;
constexpr int kButtonRowHeight = 80;
constexpr int kStripeHeight = 3;
constexpr int kMaxDeletePasses = 3001;

const QString kCheckingStatus5 = QStringLiteral("Click \"Download Now\" to start downloading...");


QLabel* plainLabel(QWidget* parent, const char* name, const QString& text, int height, bool wordWrap) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText); // texts may come from downloaded files: never rich text
    label->setText(text);
    label->setWordWrap(wordWrap);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (height > 0)
        label->setFixedHeight(height);
    return label;
}

QFrame* bevelLine(QWidget* parent, const char* name, int height) {
    auto* line = new QFrame(parent);
    line->setObjectName(QLatin1String(name));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setFixedHeight(height);
    return line;
}

QPushButton* pushButton(QWidget* parent, const char* name, const QString& caption, const QRect& geometry) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    return button;
}

struct ButtonLook {
    QColor button, border;
    int width;
    QColor text;
};

// Colours of one flat button in its five states: normal, pressed, selected, hot, disabled.
void styleButton(TStyledButton* button, const ButtonLook (&looks)[5]) {
    TStyledButtonAttributes* sets[5] = {&button->ButtonStyleNormal(), &button->ButtonStylePressed(),
                                        &button->ButtonStyleSelected(), &button->ButtonStyleHot(),
                                        &button->ButtonStyleDisabled()};
    for (int i = 0; i < 5; ++i) {
        sets[i]->setButtonColor(looks[i].button);
        sets[i]->setBorderColor(looks[i].border);
        sets[i]->setBorderWidth(looks[i].width);
        sets[i]->setFontColor(looks[i].text);
    }
}

TStyledButton* flatButton(QWidget* parent, const char* name, const QString& caption, const QRect& geometry,
                          const QFont& font, const QString& hint, QRgb fill, QRgb strong, QRgb selectedBorder,
                          QRgb hotBorder) {
    auto* button = new TStyledButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setCaption(caption);
    button->setGeometry(geometry);
    button->setFont(font);
    button->setToolTip(hint);
    const QColor black(0, 0, 0);
    const ButtonLook looks[5] = {
        {QColor(fill), QColor(0x808080), 1, black},          // normal
        {QColor(strong), QColor(0xC0C0C0), 2, black},        // pressed
        {QColor(fill), QColor(selectedBorder), 2, black},    // selected
        {QColor(strong), QColor(hotBorder), 1, black},       // hot
        {QColor(0xFEFEFE), QColor(0xE8E8E8), 1, QColor(0xC0C0C0)}, // disabled
    };
    styleButton(button, looks);
    return button;
}
} // namespace

TUpdateForm::TUpdateForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("UpdateForm"));
    setWindowTitle(QStringLiteral("Update Tallywick"));
    // Close box only: no minimise or maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);
    setFont(pixelFont(QStringLiteral("Tahoma"), 11));
    paintBackground(this, kWindowColour);
    setSizeGripEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetNoConstraint); // the width has no lower limit

    buildInfoArea();
    buildButtonRow();
    buildDetailsArea();
    buildProblemPanel();
    Panel1 = colouredPanel(this, "Panel1", kStripeColour);
    Panel1->setFixedHeight(kStripeHeight);

    layout->addWidget(pnl_TopInfoContainer);
    layout->addWidget(pnl_ButtonContainer);
    layout->addWidget(pnl_DetailsLabelContainer, 1);
    layout->addWidget(ProblemInfoPanel, 1);
    layout->addWidget(Panel1);

    setTabOrder(DownloadBtn, CancelBtn);
    setTabOrder(CancelBtn, OtherOptionsBtn);
    setTabOrder(OtherOptionsBtn, DownloadOtherButton);

    resize(402, 327);
}

TUpdateForm::~TUpdateForm() = default;

void TUpdateForm::buildInfoArea() {
    pnl_TopInfoContainer = colouredPanel(this, "pnl_TopInfoContainer", kInfoColour);
    pnl_TopInfoContainer->setFixedHeight(kInfoHeight);
    pnl_TopInfoContainer->setFont(pixelFont(QStringLiteral("Segoe UI"), 13));
    auto* layout = new QVBoxLayout(pnl_TopInfoContainer);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(0);

    ProgressBar1 = new QProgressBar(pnl_TopInfoContainer);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setFixedHeight(17);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    // A smooth bar: solid #004080 on silver, no style-drawn chunks.
    ProgressBar1->setStyleSheet(QStringLiteral("QProgressBar { background: #C0C0C0; border: none; }"
                                               "QProgressBar::chunk { background: #004080; }"));
    layout->addWidget(ProgressBar1);

    Label3 = plainLabel(pnl_TopInfoContainer, "Label3", QString(), 8, false);
    layout->addWidget(Label3);

    QLabel** lines[5] = {&StatusLabel1, &StatusLabel2, &StatusLabel3, &StatusLabel4, &StatusLabel5};
    const char* names[5] = {"StatusLabel1", "StatusLabel2", "StatusLabel3", "StatusLabel4", "StatusLabel5"};
    for (int i = 0; i < 5; ++i) {
        QLabel* label = plainLabel(pnl_TopInfoContainer, names[i], QStringLiteral("[Status %1]").arg(i + 1), 25, true);
        QFont font = pnl_TopInfoContainer->font();
        font.setBold(i == 0 || i == 4);
        label->setFont(font);
        layout->addWidget(label);
        *lines[i] = label;
    }
    layout->addStretch(1);

    CheckForUpdatesBtn = pushButton(pnl_TopInfoContainer, "CheckForUpdatesBtn",
                                    QStringLiteral("Check For Updates..."), QRect(196, 0, 129, 25));
    CheckForUpdatesBtn->setCursor(Qt::PointingHandCursor);
    CheckForUpdatesBtn->raise();
    connect(CheckForUpdatesBtn, &QPushButton::clicked, this, &TUpdateForm::CheckForUpdatesBtnClick);
}

void TUpdateForm::buildButtonRow() {
    pnl_ButtonContainer = colouredPanel(this, "pnl_ButtonContainer", Qt::white);
    pnl_ButtonContainer->setFixedHeight(kButtonRowHeight);

    DownloadBtn = flatButton(pnl_ButtonContainer, "DownloadBtn", QStringLiteral("Download Now..."),
                             QRect(14, 6, 211, 65), pixelFont(QStringLiteral("Segoe UI"), 13, true, true),
                             QStringLiteral("click this button to download and install the latest version of Tallywick"),
                             0x00C493, 0x00B789, 0x006249, 0x00221A);
    DownloadBtn->setDefault(true);

    DownloadOtherButton = pushButton(pnl_ButtonContainer, "DownloadOtherButton", QStringLiteral("Download Now..."),
                                     QRect(14, 8, 181, 30));
    DownloadOtherButton->setFont(pixelFont(QStringLiteral("Tahoma"), 13, true));
    DownloadOtherButton->setCursor(Qt::PointingHandCursor);
    DownloadOtherButton->setAutoDefault(false);
    DownloadOtherButton->hide();
    DownloadOtherButton->setEnabled(false);

    CancelBtn = flatButton(pnl_ButtonContainer, "CancelBtn", QStringLiteral("Cancel"), QRect(254, 6, 135, 30),
                           pixelFont(QStringLiteral("Segoe UI"), 13), QStringLiteral("click this to cancel"), 0xFF9797,
                           0xFF4A4A, 0xA60000, 0x220000);

    OtherOptionsBtn = flatButton(
        pnl_ButtonContainer, "OtherOptionsBtn", QStringLiteral("Other Options..."), QRect(254, 41, 135, 30),
        pixelFont(QStringLiteral("Segoe UI"), 13),
        QStringLiteral("if Orrindale Software has advised to use \"Other Options\", please click this button"),
        0x97D0FF, 0x53B1FF, 0x0075D5, 0x001322);
    OtherOptionsBtn->setFocusPolicy(Qt::ClickFocus); // skipped by the Tab key

    Bevel4 = new QFrame(pnl_ButtonContainer);
    Bevel4->setObjectName(QStringLiteral("Bevel4"));
    Bevel4->setFrameShape(QFrame::HLine);
    Bevel4->setFrameShadow(QFrame::Sunken);
    Bevel4->setLineWidth(1);
    Bevel4->setMidLineWidth(1);
    Bevel4->setGeometry(0, kButtonRowHeight - 3, width(), 3);

    connect(DownloadBtn, &TStyledButton::clicked, this, &TUpdateForm::DownloadBtnClick);
    connect(DownloadOtherButton, &QPushButton::clicked, this, &TUpdateForm::DownloadOtherButtonClick);
    connect(CancelBtn, &TStyledButton::clicked, this, &TUpdateForm::CancelBtnClick);
    connect(OtherOptionsBtn, &TStyledButton::clicked, this, &TUpdateForm::OtherOptionsBtnClick);
}

void TUpdateForm::buildDetailsArea() {
    pnl_DetailsLabelContainer = colouredPanel(this, "pnl_DetailsLabelContainer", Qt::white);
    auto* layout = new QVBoxLayout(pnl_DetailsLabelContainer);
    layout->setContentsMargins(8, 8, 8, 0);
    DetailsLabel = plainLabel(pnl_DetailsLabelContainer, "DetailsLabel", QStringLiteral("DetailsLabel"), 0, true);
    DetailsLabel->setFont(pixelFont(QStringLiteral("Tahoma"), 11));
    QPalette palette = DetailsLabel->palette();
    palette.setColor(QPalette::WindowText, kDetailsText);
    DetailsLabel->setPalette(palette);
    DetailsLabel->setMinimumHeight(0);
    DetailsLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    layout->addWidget(DetailsLabel, 1);
}

void TUpdateForm::buildProblemPanel() {
    ProblemInfoPanel = colouredPanel(this, "ProblemInfoPanel", kProblemColour);
    ProblemInfoPanel->hide();
    auto* outer = new QVBoxLayout(ProblemInfoPanel);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    Panel2 = colouredPanel(ProblemInfoPanel, "Panel2", kProblemColour);
    Panel2->setFont(pixelFont(QStringLiteral("Arial"), 11));
    auto* text = new QVBoxLayout(Panel2);
    text->setContentsMargins(5, 5, 5, 5);
    text->setSpacing(0);

    QFont bold = Panel2->font();
    bold.setBold(true);
    InfoStringLabel = plainLabel(Panel2, "InfoStringLabel",
                                 QStringLiteral("There was a problem downloading the file."), 20, true);
    InfoStringLabel->setFont(bold);
    InfoStringLabel->setAutoFillBackground(true);
    Label2 = plainLabel(Panel2, "Label2", QStringLiteral("Please try the options below in order."), 17, true);
    Label2->setFont(bold);
    Label2->setAutoFillBackground(true);
    Bevel2 = bevelLine(Panel2, "Bevel2", 2);
    Label5 = plainLabel(Panel2, "Label5",
                        QStringLiteral("OPTION 1: Restart your computer and try again. To do this: click \"Close\" below, "
                                       "then exit all programs, restart your computer, and run Tallywick again, and "
                                       "check for updates online again."),
                        48, true);
    Bevel1 = bevelLine(Panel2, "Bevel1", 2);
    Label1 = plainLabel(Panel2, "Label1",
                        QStringLiteral("OPTION 2: If you have already tried the above, you can click \"Alternative "
                                       "Download\" below. This will go straight to the download page on our website, "
                                       "and will automatically start the download. You will need to tell Tallywick "
                                       "where to save the file."),
                        60, true);
    Bevel3 = bevelLine(Panel2, "Bevel3", 2);
    Label4 = plainLabel(Panel2, "Label4",
                        QStringLiteral("OPTION 3: If no previous options worked, click \"Manual Download\". This will take "
                                       "you to the download page on our website where you can click the download "
                                       "button on the webpage. "),
                        44, true);
    for (QWidget* w : {static_cast<QWidget*>(InfoStringLabel), static_cast<QWidget*>(Label2),
                       static_cast<QWidget*>(Bevel2), static_cast<QWidget*>(Label5), static_cast<QWidget*>(Bevel1),
                       static_cast<QWidget*>(Label1), static_cast<QWidget*>(Bevel3), static_cast<QWidget*>(Label4)})
        text->addWidget(w);
    text->addStretch(1);
    outer->addWidget(Panel2, 1);

    ProblemInfoBtnPanel = colouredPanel(ProblemInfoPanel, "ProblemInfoBtnPanel", Qt::white);
    ProblemInfoBtnPanel->setFixedHeight(99);
    CloseBtn = pushButton(ProblemInfoBtnPanel, "CloseBtn", QStringLiteral("Option 1: Close this and try again"),
                          QRect(22, 6, 329, 25));
    AltDownloadBtn = pushButton(ProblemInfoBtnPanel, "AltDownloadBtn", QStringLiteral("Option 2: Alternative Download"),
                                QRect(22, 37, 329, 25));
    ManualDownloadBtn = pushButton(ProblemInfoBtnPanel, "ManualDownloadBtn",
                                   QStringLiteral("Option 3: Manual Download"), QRect(22, 68, 329, 25));
    setTabOrder(AltDownloadBtn, CloseBtn);
    setTabOrder(CloseBtn, ManualDownloadBtn);

    PreClipBdBoxHolderPanel = colouredPanel(ProblemInfoBtnPanel, "PreClipBdBoxHolderPanel", QColor(0xFF, 0x80, 0xFF));
    PreClipBdBoxHolderPanel->setGeometry(335, 16, 36, 24);
    PreClipBdBox = new QLineEdit(PreClipBdBoxHolderPanel);
    PreClipBdBox->setObjectName(QStringLiteral("PreClipBdBox"));
    PreClipBdBox->setGeometry(0, 0, 28, 18);
    PreClipBdBox->setStyleSheet(QStringLiteral("background: #8080FF;"));
    PreClipBdBoxHolderPanel->hide();
    PreClipBdBox->hide();
    outer->addWidget(ProblemInfoBtnPanel);

    connect(CloseBtn, &QPushButton::clicked, this, &TUpdateForm::CloseBtnClick);
    connect(AltDownloadBtn, &QPushButton::clicked, this, &TUpdateForm::AltDownloadBtnClick);
    connect(ManualDownloadBtn, &QPushButton::clicked, this, &TUpdateForm::ManualDownloadBtnClick);
}

int TUpdateForm::ShowModalUpdate(const QString& UpdateVersionPARAM) {
    RunMode = UpdateVersionPARAM;
    // Everything the window shows is prepared before it first appears.
    FormShow();
    centreOnWorkArea(this);
    return exec();
}

void TUpdateForm::removeFile(const QString& name) {
    const QString path = ProgramFolder + name;
    Platform& platform = Platform::current();
    if (platform.fileExists(path))
        platform.deleteFile(path);
}

void TUpdateForm::FormShow() {
    SetStatusLines(QString(), QString(), QString(), QString(), QString());
    pnl_ButtonContainer->setFocus(); // no button holds the focus, so Enter goes to the default one
    DetailsLabel->clear();
    ProgramFolder = Platform::current().programFolder();
    m_log.setFolder(ProgramFolder);
    m_log.write(QStringLiteral("run"), QStringLiteral("mode \"%1\"").arg(RunMode));

    const RunModeCode mode = runModeFromText(RunMode);
    if (mode == RunModeCode::Test || mode == RunModeCode::Test2) {
        VersionFileName = mode == RunModeCode::Test ? FileName::VersionFileTest : FileName::VersionFileTest2;
        try {
            removeFile(FileName::TestInstaller);
        } catch (...) {
        }
        CheckForUpdatesBtnClick();
    } else if (mode == RunModeCode::DatabaseEngine || mode == RunModeCode::RemoteSupport) {
        CheckForUpdatesBtn->hide();
        DownloadBtn->hide();
        DownloadBtn->setEnabled(false);
        DownloadBtn->setDefault(false);
        OtherOptionsBtn->hide();
        DownloadOtherButton->show();
        DownloadOtherButton->setEnabled(true);
        DownloadOtherButton->setDefault(true);
        ProgressBar1->show();
        SetStatusLines(QString(), QString(), QString(),
                       mode == RunModeCode::DatabaseEngine ? QStringLiteral("(BDE)") : QStringLiteral("(T)"),
                       kCheckingStatus5);
    } else {
        paintBackground(pnl_TopInfoContainer, mode == RunModeCode::FirstInstall ? kInfoColour : kWindowColour);
        DownloadOtherButton->hide();
        DownloadOtherButton->setEnabled(false);
        CheckForUpdatesBtn->show();
        DownloadBtn->hide(); // shown again once the version file has been read
        ProgressBar1->show();
        VersionFileName = FileName::VersionFileV2;
        // One guarded block: an error ends it, skipping the rest; the check runs regardless.
        try {
            removeFile(FileName::InstallerV2);
            DeleteMatchingFiles(ProgramFolder, FileName::InstallerMask);
            // Only a folder of its own: through a link or junction of that name the deletes
            // would reach into whichever folder it points at.
            const HeldFolder sub(ProgramFolder + FileName::LeftoverFolder);
            Platform& platform = Platform::current();
            for (const QString& name : FileName::LeftoverFiles) {
                const QString path = sub.pathOf(name);
                if (sub.isHeld() && platform.fileExists(path))
                    platform.deleteFile(path);
            }
        } catch (...) {
        }
        CheckForUpdatesBtnClick();
    }
}

void TUpdateForm::SetStatusLines(const QString& Line1, const QString& Line2, const QString& Line3,
                                 const QString& Line4, const QString& Line5) {
    StatusLabel1->setText(Line1);
    StatusLabel2->setText(Line2);
    StatusLabel3->setText(Line3);
    StatusLabel4->setText(Line4);
    StatusLabel5->setText(Line5);
    repaintNow(pnl_TopInfoContainer);
}

void TUpdateForm::repaintNow(QWidget* widget) {
    if (widget->isVisible())
        widget->repaint();
}

void TUpdateForm::DeleteMatchingFiles(const QString& Folder, const QString& Mask) {
    Platform& platform = Platform::current();
    int count = 0;
    QString deleted; // the match the previous pass deleted
    for (;;) {
        ++count;
        bool stop = false;
        try {
            const QString first = platform.findFirstFile(Folder, Mask);
            if (first.isEmpty() || !platform.fileExists(Folder + first)) {
                stop = true;
            } else if (first == deleted) {
                // It survived its delete, so it would be the first match of every pass to come:
                // later matches are never tried and nothing can change any more.
                stop = true;
            } else {
                platform.deleteFile(Folder + first);
                deleted = first;
            }
        } catch (...) {
            stop = true;
        }
        if (stop || count > kMaxDeletePasses - 1)
            break;
    }
    m_lastDeletePasses = count;
}

void TUpdateForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    Bevel4->setGeometry(0, pnl_ButtonContainer->height() - 3, pnl_ButtonContainer->width(), 3);
    FormResize();
}

void TUpdateForm::FormResize() {
    const int limit = pnl_TopInfoContainer->height() + pnl_ButtonContainer->height() + 60;
    const int frameExtra = frameGeometry().height() - height();
    if (frameGeometry().height() < limit)
        resize(width(), limit - frameExtra);
}

void TUpdateForm::CancelBtnClick() {
    FCancelled = true;
    DownloadBtn->setEnabled(false);
    CancelBtn->setEnabled(false);
    OtherOptionsBtn->setEnabled(false);
    repaintNow(pnl_ButtonContainer);
    DetailsLabel->setText(QStringLiteral("Cancelled."));
    Platform::current().showInformation(this, QStringLiteral("You have chosen to cancel the update for now."));
    close();
}

void TUpdateForm::ShowProblemInfo(const QString& /*FileName*/, ProblemCode Code) {
    const QString text = QStringLiteral("There was a problem downloading the file. ") + QStringLiteral("(Code: ") +
                         QString::number(static_cast<int>(Code)) + QStringLiteral(")") + QStringLiteral("\n") + QStringLiteral("\n") +
                         QStringLiteral("Please try the options below in order.");
    m_log.write(QStringLiteral("problem"), QStringLiteral("code %1").arg(static_cast<int>(Code)));
    pnl_DetailsLabelContainer->hide();
    pnl_ButtonContainer->hide();
    pnl_TopInfoContainer->hide();
    InfoStringLabel->setText(text);
    ProblemInfoPanel->raise();
    ProblemInfoPanel->show();
    // The title bar keeps the close box only, so the user can leave from here. Changing flags
    // re-creates the native window, so only do it when the buttons differ.
    const Qt::WindowFlags buttons = Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint;
    if ((windowFlags() & buttons) != Qt::WindowCloseButtonHint) {
        const bool wasVisible = isVisible();
        setWindowFlags((windowFlags() & ~buttons) | Qt::WindowCloseButtonHint);
        if (wasVisible)
            show();
    }
}

bool TUpdateForm::isProblemViewShown() const {
    return !ProblemInfoPanel->isHidden();
}

bool TUpdateForm::FormClose() {
    if (FDownloadInProgress && !FCancelled)
        return false;
    try {
        removeFile(FileName::VersionFileV2);
    } catch (...) {
        // A version file that cannot be deleted never keeps the window open.
    }
    return true;
}

void TUpdateForm::closeEvent(QCloseEvent* event) {
    if (!FormClose()) {
        event->ignore();
        return;
    }
    event->accept();
    done(QDialog::Rejected);
}

void TUpdateForm::keyPressEvent(QKeyEvent* event) {
    if (TStyledButton::handleDialogKey(this, event))
        return;
    if (event->key() == Qt::Key_Escape) {
        event->accept(); // no Cancel button here: Escape does nothing
        return;
    }
    QDialog::keyPressEvent(event);
}

void TUpdateForm::startProgram(const QString& fileName, int fd) {
    Platform::current().shellOpenHeldFile(this, fd, fileName, ProgramFolder);
    m_log.write(QStringLiteral("started"), fileName);
}
