// The message window's own window handling: dragging by the title strip, the size steps,
// the scroll keys, and the copy of the message to the clipboard.
#include "ConfirmFrm.h"
#include "MsgFm.h"

#include "platform/Platform.h"
#include "widgets/PanelButton.h"
#include "widgets/WrapLabel.h"

#include <QFrame>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace {
constexpr int kMinimumHeight = 220;
} // namespace

TConfirm& TMessageForm::confirm() {
    if (!Confirm) {
        m_ownConfirm = std::make_unique<TConfirm>();
        Confirm = m_ownConfirm.get();
    }
    return *Confirm;
}

int TMessageForm::FittedHeight() const {
    // The first visible button panel, where it now shows in the scrolling area.
    for (QWidget* panel : {mbYESNOpanel, MbOKpanel, MbCUSTpanel})
        if (!panel->isHidden())
            return panel->y() + m_content->y() + panel->height() + 50;
    return MaxWindowHeight;
}

void TMessageForm::CentreWindow(bool horizontally, bool vertically) {
    const QSize screen = Platform::current().primaryScreenSize();
    QRect r = geometry();
    if (horizontally)
        r.moveLeft((screen.width() - r.width()) / 2);
    if (vertically) {
        // The top is worked out before the height is limited.
        int top = (screen.height() - r.height()) / 2;
        if (r.height() > MaxWindowHeight)
            r.setHeight(MaxWindowHeight);
        if (top < 5)
            top = 5;
        r.moveTop(top);
    }
    setGeometry(r);
}

void TMessageForm::ChangeSize(int Direction) {
    const auto fitted = [this] {
        resize(MessageGeometry::WindowWidth, FittedHeight());
        CentreWindow(true, true);
        ZoomStep = 0;
    };
    if (Direction > 0) {
        if (ZoomStep < 0) {
            fitted();
        } else if (ZoomStep == 0) {
            resize(width() + 20, height() + 100);
            CentreWindow(true, true);
            ZoomStep = 1;
        } else if (ZoomStep == 1) {
            setGeometry(x(), 5, width(), MaxWindowHeight);
            ZoomStep = 2;
        } else if (ZoomStep < 4) {
            resize(width() + 100, height());
            CentreWindow(true, false);
            ++ZoomStep;
        }
    } else if (Direction < 0) {
        if (ZoomStep > 0) {
            fitted();
        } else if (ZoomStep == 0) {
            resize(width(), std::max(kMinimumHeight, height() - 20));
            CentreWindow(false, true);
            ZoomStep = -1;
        } else if (ZoomStep == -1) {
            resize(width(), kMinimumHeight);
            CentreWindow(false, true);
            ZoomStep = -2;
        } else if (ZoomStep > -4) {
            resize(width() - 100, height());
            CentreWindow(true, false);
            --ZoomStep;
        }
    }
}

void TMessageForm::MakeSmallerPanelClick() {
    ChangeSize(-1);
}

void TMessageForm::MakeBiggerPanelClick() {
    ChangeSize(+1);
}

void TMessageForm::scrollToTop() {
    if (ScrollBox1->verticalScrollBar()->value() != 0)
        ScrollBox1->verticalScrollBar()->setValue(0);
}

QString TMessageForm::plainTextOfMessage() const {
    QStringList lines;
    for (int i = 0; i < 7; ++i) {
        if (!heading[i]->isHidden())
            lines << QString() << heading[i]->text();
        if (!Label[i]->isHidden())
            lines << Label[i]->text().split(u'\n');
        if (!Bevel[i]->isHidden())
            lines << QString(120, u'-');
    }
    return lines.join(QStringLiteral("\r\n"));
}

QString TMessageForm::richTextOfMessage() {
    // Staged in the hidden rich-text box: bold 12-point headings, regular 10-point messages.
    QTextDocument* document = PreClipBdBox->document();
    document->clear();
    QTextCursor cursor(document);
    QTextCharFormat headingFormat, messageFormat;
    headingFormat.setFontFamilies({QStringLiteral("Arial")});
    headingFormat.setFontPointSize(12);
    headingFormat.setFontWeight(QFont::Bold);
    messageFormat.setFontFamilies({QStringLiteral("Arial")});
    messageFormat.setFontPointSize(10);
    messageFormat.setFontWeight(QFont::Normal);
    bool first = true;
    const auto line = [&](const QString& text, const QTextCharFormat& format) {
        if (!first)
            cursor.insertBlock();
        first = false;
        cursor.insertText(text, format);
    };
    for (int i = 0; i < 7; ++i) {
        if (!heading[i]->isHidden()) {
            line(QString(), messageFormat);
            line(heading[i]->text(), headingFormat);
        }
        if (!Label[i]->isHidden())
            for (const QString& text : Label[i]->text().split(u'\n'))
                line(text, messageFormat);
        if (!Bevel[i]->isHidden())
            line(QString(120, u'-'), messageFormat);
    }
    return document->toHtml();
}

void TMessageForm::CopyToClipboardPanelClick() {
    const int answer = confirm().YesNoX(
        QStringLiteral("This will copy all of the text in this message to the Windows Clipboard,\nwhich will allow you "
                       "to paste it into other software such as an editor or word\nprocessor for printing etc.\n\nCopy "
                       "to clipboard now?"),
        2);
    if (answer != TConfirm::mrYes)
        return;
    try {
        Platform::current().setClipboardContent(plainTextOfMessage(), richTextOfMessage());
    } catch (...) {
        // A clipboard that cannot be reached is left as it was.
    }
}
