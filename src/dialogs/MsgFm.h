#pragma once

#include "MsgLayout.h"

#include <QDialog>
#include <memory>

class QFrame;
class QLabel;
class QScrollArea;
class QTextEdit;
class TConfirm;
class TPanelButton;
class TWrapLabel;

// The program's own borderless message window: a title strip, up to seven sections of
// heading, message and separator, and one of three button sets. One instance is created at
// start and reused for every message; each showing lays it out again.
class TMessageForm : public QDialog {
    Q_OBJECT
public:
    explicit TMessageForm(QWidget* parent = nullptr);
    ~TMessageForm() override;

    // Result numbers of every showing.
    enum Result { mrOK = 1, mrCancel = 2, mrOther = 5, mrYes = 6, mrNo = 7 };

    int ShowModalMessageMax(const QString& Title, const QString& Buttons, const QString& H1, const QString& M1,
                            const QString& L1, const QString& H2, const QString& M2, const QString& L2,
                            const QString& H3, const QString& M3, const QString& L3, const QString& H4,
                            const QString& M4, const QString& L4, const QString& H5, const QString& M5,
                            const QString& L5, const QString& H6, const QString& M6, const QString& L6,
                            const QString& H7, const QString& M7, const QString& L7);
    int ShowModalMessage(const QString& Title, const QString& Buttons, const QString& H1, const QString& M1,
                         const QString& L1, const QString& H2, const QString& M2, const QString& L2,
                         const QString& H3, const QString& M3, const QString& L3, const QString& H4,
                         const QString& M4, const QString& L4, const QString& H5, const QString& M5,
                         const QString& L5);
    int ShowModalMessage2(const QString& Title, const QString& Buttons, const QString& H1, const QString& M1,
                          const QString& L1, const QString& H2, const QString& M2);
    int ShowModalMessage1(const QString& Title, const QString& Buttons, const QString& H1, const QString& M1);
    int ShowModalMessageSized(const QString& Title, const QString& Buttons, const QString& M1);
    void SetCustomButtons(const QString& CustCaption1, const QString& CustCaption2, const QString& CustCaption3);
    void ChangeColours(int BackGroundColourPARAM);

    // Messages taken by topic from the help-topic file "HTly2.ODX" in the program's folder.
    int MessageHelpFileXB(const QString& HelpTopic, const QString& Text1, const QString& Text2, const QString& Text3,
                          const QString& Text4, const QString& Buttons);
    int MessageHelpFile(const QString& HelpTopic);
    int MessageHelpFileYN(const QString& HelpTopic);
    int MessageHelpFileInsert(const QString& HelpTopic, const QString& Text1, const QString& Text2,
                              const QString& Text3, const QString& Text4);

    // What the last layout worked out (read-only): where everything went, and whether the
    // message was cut to the screen.
    const MessageLayout& lastLayout() const { return m_layout; }

    // The question box the copy asks through (the program's one; made on first use if unset).
    TConfirm* Confirm = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The two messages of a help file that cannot be used.
    void ShowHelpFileMissing();
    void ShowHelpFileNotOpened();

    // The whole showing with all texts in one record.
    int showMessage(const MessageTexts& texts);

    // Window state kept between showings.
    int LayoutTop = 0;
    bool ScrollNeeded = false;
    int SizedMode = 0;
    int MaxWindowHeight = 600;
    int ZoomStep = 0;

    // Controls; each carries its name as its object name too.
    QLabel* TopPanelLineAndTitle;
    QWidget* TopButtonsPanel;
    TPanelButton* CopyToClipboardPanel;
    TPanelButton* MakeSmallerPanel;
    TPanelButton* MakeBiggerPanel;
    TPanelButton* RedXPanel;
    QWidget* BottomPanelLine;
    QWidget* MainPanel;
    QWidget* LeftPanel;
    QWidget* Shape1;
    QWidget* RightPanel;
    QWidget* Shape2;
    QScrollArea* ScrollBox1;
    QLabel* heading[7];
    TWrapLabel* Label[7];
    QFrame* Bevel[7];
    QWidget* MbOKpanel;
    QFrame* BevelOKbox;
    QWidget* mbYESNOpanel;
    QFrame* BevelYNbox;
    QWidget* MbCUSTpanel;
    QFrame* Bevel8;
    TPanelButton* OKPnlBtn;
    TPanelButton* YesPnlBtn;
    TPanelButton* NoPnlBtn;
    TPanelButton* CustPanelBtn1;
    TPanelButton* CustPanelBtn2;
    TPanelButton* CustPanelBtn3;
    QWidget* PreClipBdBoxHolderPanel;
    QTextEdit* PreClipBdBox;

    // Handlers.
    void OKPnlBtnClick();
    void YesPnlBtnClick();
    void NoPnlBtnClick();
    void CustPanelBtn1Click();
    void CustPanelBtn2Click();
    void CustPanelBtn3Click();
    void AllPnlBtnMouseOver(TPanelButton* Sender);
    void NonPnlBtnMouseMove();
    void RedXPanelClick(); // the close action
    // Enter, Escape and the scroll keys; the window sees every key before the focused
    // control. Returns whether the key was taken.
    bool FormKeyDown(int Key, Qt::KeyboardModifiers Shift);
    void CopyToClipboardPanelClick();
    void MakeSmallerPanelClick();
    void MakeBiggerPanelClick();
    void ChangeSize(int Direction);
    void CentreWindow(bool horizontally = true, bool vertically = true);
    int FittedHeight() const;

    // The copy as it reaches the clipboard: plain text with CR LF, and a rich form.
    QString plainTextOfMessage() const;
    QString richTextOfMessage();

    bool Dragging = false;
    int DragStartX = 0;
    int DragStartY = 0;

    void applyLayout(const MessageLayout& layout);
    void closeWith(TPanelButton* button, int result);
    void scrollToTop();
    TConfirm& confirm();
    std::unique_ptr<TConfirm> m_ownConfirm;
    QList<TPanelButton*> allButtons() const;

    MessageLayout m_layout;
    QWidget* m_content = nullptr;
    QColor m_background;
    bool m_closing = false;
};
