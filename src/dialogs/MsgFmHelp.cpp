// Messages taken by topic from the help-topic file.
#include "HelpTopic.h"
#include "MsgFm.h"

#include "platform/AnsiTextFile.h"
#include "platform/Platform.h"

#include <QFile>

namespace {
const QString kHelpFileName = QStringLiteral("HTly2.ODX");
const QString kSmallProblem = QStringLiteral("A small problem occurred.");
} // namespace

int TMessageForm::MessageHelpFile(const QString& HelpTopic) {
    return MessageHelpFileXB(HelpTopic, {}, {}, {}, {}, QStringLiteral("OK"));
}

int TMessageForm::MessageHelpFileYN(const QString& HelpTopic) {
    return MessageHelpFileXB(HelpTopic, {}, {}, {}, {}, QStringLiteral("YN"));
}

int TMessageForm::MessageHelpFileInsert(const QString& HelpTopic, const QString& Text1, const QString& Text2,
                                        const QString& Text3, const QString& Text4) {
    return MessageHelpFileXB(HelpTopic, Text1, Text2, Text3, Text4, QStringLiteral("OK"));
}

int TMessageForm::MessageHelpFileXB(const QString& HelpTopic, const QString& Text1, const QString& Text2,
                                    const QString& Text3, const QString& Text4, const QString& Buttons) {
    HelpSections sections;
    QString buttons = Buttons;
    const QString path = Platform::current().programFolder() + kHelpFileName;
    // Whether it is there, and whether it can be read, are decided on the one open handle.
    QFile file;
    const ReadOpen opened = AnsiTextFile::openForReading(file, path, HelpLineReader::MaxFileBytes);
    if (opened == ReadOpen::Missing) {
        ShowHelpFileMissing();
        return mrNo;
    }
    if (opened == ReadOpen::TooLarge) {
        ShowHelpFileNotOpened();
        return mrNo;
    }
    try {
        // A pipe, a device or a file the system will not open counts as "cannot be opened".
        HelpTopicReader::Outcome outcome = HelpTopicReader::Outcome::NotFound;
        if (opened == ReadOpen::Opened) {
            const QString inserts[4] = {Text1, Text2, Text3, Text4};
            outcome = HelpTopicReader::read(file, HelpTopic, inserts, sections);
        }
        if (outcome == HelpTopicReader::Outcome::NotFound) {
            sections.H[0] = QStringLiteral("Sorry - there is no information available on this topic.");
            buttons = QStringLiteral("OK");
        }
    } catch (...) {
        file.close();
        ShowHelpFileNotOpened();
        return mrNo;
    }
    file.close();
    MessageTexts texts;
    texts.Title = QStringLiteral("Tallywick Help");
    texts.Buttons = buttons;
    for (int i = 0; i < 7; ++i) {
        texts.H[i] = sections.H[i];
        texts.M[i] = sections.M[i];
        texts.L[i] = sections.L[i];
    }
    return showMessage(texts);
}

void TMessageForm::ShowHelpFileMissing() {
    ShowModalMessage1(QStringLiteral("I"), QStringLiteral("OK"), kSmallProblem,
                      QStringLiteral("The help file seems to be missing.\n\nThis should be easily fixed by just "
                                     "updating Tallywick which replaces any missing files.\n\nTo do this, choose "
                                     "\"Check for Updates Online...\" from the main menu of Tallywick."));
}

void TMessageForm::ShowHelpFileNotOpened() {
    ShowModalMessage1(
        QStringLiteral("I"), QStringLiteral("OK"), kSmallProblem,
        QStringLiteral("Windows would not let Tallywick open the help file.\n\nThis might be easily fixed by exiting "
                       "all programs and restarting your computer.\nOtherwise, you may need to try running Tallywick "
                       "as an administrator.\n\nYou may be able to run Tallywick as an Administrator as follows:\n > "
                       "Write down these instructions\n > Exit all programs\n > Right Click on the Tallywick "
                       "Shortcut icon on your desktop\n > Choose Properties\n > Choose Compatability\n > Look for "
                       "\"Run this program as an administrator\" and click it so a tick appears\n > Click OK"));
}
