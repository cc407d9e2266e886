#pragma once

#include <QDialog>
#include <cstdint>

class QLabel;
class TPanelButton;
class TWrapLabel;

// What a typed key does to an open question; one table, kept apart from the window.
struct ConfirmKeyState {
    QString DefaultButtonCode; // "Y", "N", "X", "O", "C", another text, or empty
    bool yesNoRow = true;      // the Yes / No / Other row is the one shown
    bool cancelShown = true;   // the OK / Cancel row has its Cancel button
    QString ShortcutKeys;      // "YN", empty, or three of "1", "2", "3", "-"
};
struct ConfirmKeyAction {
    enum Kind { Choose, Ignore, Notice } kind = Notice;
    int result = 0; // for Choose: 6 Yes, 7 No, 5 Other, 1 OK, 2 Cancel
};
ConfirmKeyAction confirmKeyAction(const ConfirmKeyState& state, QChar key);

// The program's own question box: a borderless window with a title strip, a message and a
// row of flat buttons, Yes / No / Other or OK / Cancel. It closes only through a button; any
// other key moves a notice on, more insistently each time. One instance lives for the run.
class TConfirm : public QDialog {
    Q_OBJECT
public:
    explicit TConfirm(QWidget* parent = nullptr);
    ~TConfirm() override;

    enum Result { mrOk = 1, mrCancel = 2, mrOther = 5, mrYes = 6, mrNo = 7 };

    int YesNo(const QString& Msg, const QString& DefaultYesNoNone, std::int8_t AType);
    int YesNoX(const QString& Msg, std::int8_t AType);
    int OkCancel(const QString& Msg, const QString& DefaultOkCancelNone, std::int8_t AType);
    int OkCancelX(const QString& Msg, std::int8_t AType);
    int CustomYesNoButtons(const QString& Msg, const QString& YesButtonCaption, const QString& NoButtonCaption,
                           const QString& OtherCaption, const QString& HeadingCaption,
                           const QString& DefaultYesNoOtherNone, bool MakeWhiteBackGround, std::int8_t AType);
    int CustomYesNoButtonsX(const QString& Msg, const QString& YesButtonCaption, const QString& NoButtonCaption,
                            const QString& OtherCaption, const QString& HeadingCaption, bool MakeWhiteBackGround,
                            std::int8_t AType);
    int OkWithMessageType(const QString& Msg, std::int8_t AType);
    int Ok(const QString& Msg);
    void ShowOrHideOtherBtn(bool ShowBtn);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Dialog state kept between questions.
    QString DefaultButtonCode;
    QString ButtonSet;
    QString ShortcutKeys;
    bool CloseAllowed = false;
    bool Dragging = false;
    int DragStartX = 0;
    int DragStartY = 0;

    // Controls; each carries its name as its object name too.
    QWidget* PanelForOutsideBorder;
    QWidget* TopPanelLineAndTitleBack;
    QLabel* MessageIcon;
    QLabel* TopPanelLineAndTitle;
    QLabel* UseMouseNotice;
    QWidget* Panel1;
    QWidget* MessagePanel;
    TWrapLabel* MessageLabel;
    QWidget* BtnPanelHolderPanel;
    QWidget* YesNoPanel;
    QWidget* OkCancelPanel;
    QWidget* PadLeftOfCANCEL;
    QWidget* YesPanelBtnBACK;
    QWidget* YesPanelBtnBorder;
    TPanelButton* YesPanelBtn;
    QWidget* NoPanelBtnBACK;
    QWidget* NoPanelBtnBorder;
    TPanelButton* NoPanelBtn;
    QWidget* OtherPanelBtnBACK;
    QWidget* OtherPanelBtnBorder;
    TPanelButton* OtherPanelBtn;
    QWidget* OKPanelBtnBACK;
    TPanelButton* OKPanelBtn;
    QWidget* CancelPanelBtnBACK;
    TPanelButton* CancelPanelBtn;

    // Handlers.
    void YesPanelBtnClick();
    void NoPanelBtnClick();
    void OtherPanelBtnClick();
    void OKPanelBtnClick();
    void CancelPanelBtnClick();
    void AllPnlBtnMouseEnter(TPanelButton* Sender);
    void AllPnlBtnMouseLeave(TPanelButton* Sender);
    void FormKeyPress(QChar Key);

    // The notice's five looks, in the order each unrecognised key moves it on.
    enum class NoticeLook { Hidden, Shown, Blue, Red, Black };

    void SetDefaultButton(const QString& code);
    void ApplyMessageType(std::int8_t AType, bool colourArea);
    void NumberCustomButtons();
    void FormShow();
    void noticeStep();
    void choose(int result);
    void setAreaColour(const QColor& colour);
    void setMessageText(const QColor& colour, bool bold);
    void placeButtons();
    void setLook(TPanelButton* face, int border, const QColor& colour);
    void layoutControls();
    QList<TPanelButton*> faces() const;
    int ask(const QString& Msg, const QString& Default, std::int8_t AType, const QString& buttonSet);

    NoticeLook m_notice = NoticeLook::Hidden;
    bool m_centreOnOpen = true;
    QColor m_rowColour;
};
