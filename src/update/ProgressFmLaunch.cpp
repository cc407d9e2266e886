// "Download Now...": fetch a program into the program folder, start it, and close.
#include "ProgressFm.h"

#include "Sites.h"
#include "platform/Platform.h"
#include "widgets/StyledButton.h"

#include <QLocale>
#include <QPushButton>

void TUpdateForm::DownloadBtnClick() {
    bool failed = false;
    DownloadBtn->setEnabled(false);
    CancelBtn->setEnabled(false);
    OtherOptionsBtn->setEnabled(false);
    repaintNow(pnl_ButtonContainer); // from here on the user cannot cancel
    SetStatusLines(QStringLiteral("Downloading Update to Version ") +
                       FormatCurrency2(LatestVersion, QLocale().decimalPoint().at(0)) + LatestVersionSuffix +
                       QStringLiteral("..."),
                   QString(), QString(), QString(), QString());
    const QString name = InstallerFileName;
    try {
        try {
            DownloadFromSite(name, name);
        } catch (...) {
            ShowProblemInfo(name, 300);
            failed = true;
        }
        // A copy the failed download did not replace is started all the same.
        if (Platform::current().fileExists(ProgramFolder + name)) {
            startProgram(name);
        } else if (!failed) {
            ShowProblemInfo(name, 301);
            failed = true;
        }
        if (!failed)
            close();
    } catch (...) {
        if (!failed)
            ShowProblemInfo(name, 302);
    }
}

void TUpdateForm::DownloadOtherButtonClick() {
    OtherOptionsBtn->setEnabled(false);
    CancelBtn->setEnabled(false);
    SetStatusLines(QStringLiteral("Downloading ..."), QString(), QString(), QString(), QString());
    DownloadOtherButton->setEnabled(false);
    repaintNow(this);
    if (RunMode == QLatin1String("TV"))
        RunRemoteSupportTool();
    else
        RunDatabaseEngineSetup();
}

namespace {
// Shared shape of the two "fetch another program" operations.
template <typename Fetch>
void fetchAndStart(TUpdateForm* form, const QString& file, int missingCode, int failedCode, Fetch fetch,
                   const std::function<void(const QString&)>& start) {
    bool shown = false;
    Platform& platform = Platform::current();
    form->ProgramFolder = platform.programFolder();
    try {
        if (platform.fileExists(form->ProgramFolder + file))
            platform.deleteFile(form->ProgramFolder + file);
    } catch (...) {
    }
    try {
        fetch();
        if (platform.fileExists(form->ProgramFolder + file)) {
            start(file);
            form->close();
        } else {
            form->ShowProblemInfo(file, missingCode);
            shown = true;
        }
    } catch (...) {
        if (!shown)
            form->ShowProblemInfo(file, failedCode);
    }
}
} // namespace

void TUpdateForm::RunDatabaseEngineSetup() {
    const QString file = QStringLiteral("setupbd.exe");
    fetchAndStart(
        this, file, 101, 102, [&] { DownloadFromSite(file, file); },
        [this](const QString& name) { startProgram(name); });
}

void TUpdateForm::RunRemoteSupportTool() {
    const QString file = QStringLiteral("TeamViewerQS_x64.exe");
    fetchAndStart(
        this, file, 401, 402, [&] { DownloadFile(Sites::vendorUrl(), file); },
        [this](const QString& name) { startProgram(name); });
}
