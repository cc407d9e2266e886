// The problem view's three recovery options, and "Other Options..." for a specially
// numbered installer.
#include "update/ProgressFm.h"

#include "trust/FileNames.h"

#include "fetch/Sites.h"
#include "dialogs/MsgFm.h"
#include "platform/Platform.h"
#include "widgets/StyledButton.h"

#include <QLineEdit>

namespace {
struct OptionAddresses {
    const char* alternative; // Option 2: the file itself
    const char* manual;      // Option 3: the page with instructions
};

// By run mode, tried in this order; other modes have no address.
bool addressesFor(const QString& runMode, OptionAddresses& out) {
    const RunModeCode mode = runModeFromText(runMode);
    if (mode == RunModeCode::UpdateV2 || mode == RunModeCode::Test2) {
        out = {"/updates/twv2up.exe", "/updatepayrollinstructionsv2b.html"};
        return true;
    }
    if (mode == RunModeCode::DatabaseEngine) {
        out = {"/updates/setupbd.exe", "/setupbddownloadinstructions.html"};
        return true;
    }
    return false;
}

QString optionText(const QString& firstLine, const QString& folder) {
    return firstLine +
           QStringLiteral("\n\nYou might then be able to run the file without saving it.\n\nBut if you need to save it "
                          "first, try saving it in your Tallywick folder which is:\n  ") +
           folder + QStringLiteral("\n") + QStringLiteral("then run it.\n") + QStringLiteral("\n") +
           QStringLiteral("In either case when you run the update file, it will look for the location of Tallywick.\n") +
           QStringLiteral("In the rare event that it cannot find the location, you will be ") +
           QStringLiteral("able to enter the location of Tallywick which is:\n") + QStringLiteral("  ") + folder +
           QStringLiteral("\n") + QStringLiteral("\n") + QStringLiteral("The location ") + folder +
           QStringLiteral(" will be copied to the Windows Clipboard so you can ") +
           QStringLiteral("easily paste it, but please also write this down.");
}
} // namespace

TMessageForm& TUpdateForm::messageForm() {
    if (!MessageForm) {
        m_ownMessageForm = std::make_unique<TMessageForm>();
        MessageForm = m_ownMessageForm.get();
    }
    return *MessageForm;
}

void TUpdateForm::CloseBtnClick() {
    close();
}

void TUpdateForm::AltDownloadBtnClick() {
    offerWebsite(true);
}

void TUpdateForm::ManualDownloadBtnClick() {
    offerWebsite(false);
}

void TUpdateForm::offerWebsite(bool alternative) {
    OptionAddresses addresses{};
    if (addressesFor(RunMode, addresses)) {
        Platform& platform = Platform::current();
        const QString folder = platform.programFolder();
        const QString text =
            alternative
                ? optionText(QStringLiteral("When you click OK below, Tallywick will try the alternative download "
                                            "method."),
                             folder)
                : optionText(QStringLiteral("When you click OK below, Tallywick will take you to the download page "
                                            "on our website where you can click the download button on the webpage."),
                             folder);
        messageForm().ShowModalMessage1(alternative ? QStringLiteral("Alternative Download")
                                                    : QStringLiteral("Manual Download"),
                                        QStringLiteral("OK"), QStringLiteral("Instructions"), text);
        // The folder goes onto the clipboard through the hidden edit box, as plain text only.
        PreClipBdBox->setText(folder);
        PreClipBdBox->selectAll();
        try {
            platform.setClipboardText(PreClipBdBox->selectedText());
        } catch (...) {
            // A clipboard that cannot be reached is left as it was.
        }
        try {
            platform.shellOpenUrl(this, Sites::makerSite() + QLatin1String(alternative ? addresses.alternative
                                                                                        : addresses.manual));
        } catch (...) {
            // The browser's start is not examined.
        }
    }
    close();
}

void TUpdateForm::OtherOptionsBtnClick() {
    OtherOptionsBtn->hide();
    TMessageForm& message = messageForm();
    message.SetCustomButtons(QStringLiteral("<< Go Back"), QStringLiteral("Selected Alternative"), QString());
    const int r = message.ShowModalMessage1(
        QStringLiteral("IMPORTANT!"), QStringLiteral("CUST"), QStringLiteral("Important:"),
        QStringLiteral("If you have been advised by Orrindale Software Ltd to continue with a special update, click "
                       "the required option below.\n\nOtherwise click \"Go Back\" to return to the previous window."));
    if (r != TMessageForm::mrNo) {
        OtherOptionsBtn->show();
        return;
    }
    Platform& platform = Platform::current();
    QString value;
    const bool ok = platform.inputQuery(this, QStringLiteral("Enter File Details"),
                                        QStringLiteral("Version Info (1 to 4 characters):"), value);
    value = KeepAlphanumeric(value);
    const int n = StrToIntInRange(value, 1, 9999, 0);
    if (!ok) {
        OtherOptionsBtn->show();
        return;
    }
    if (n != 0) {
        InstallerFileName = FileName::specialVersionInstaller(n);
        m_specialVersion = true; // no version file names it: its signature is its own
        DownloadBtnClick();
        return;
    }
    if (TrimControls(value).isEmpty())
        value = QStringLiteral(" the informaton you entered");
    platform.showWarning(this, QStringLiteral("Sorry - ") + value + QStringLiteral(" is not correct."));
    value.clear();
    OtherOptionsBtn->show();
}
