// "Download Now...": fetch a program into the program folder, start it, and close.
#include "ProgressFm.h"

#include "FileNames.h"
#include "Signature.h"
#include "Sites.h"
#include "platform/Platform.h"
#include "widgets/StyledButton.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QUrl>
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
    // Whatever a version file names, only a program of its own is fetched and started:
    // anything else is a failed download before a file is touched.
    if (!isInstallerFileName(name, QFileInfo(QCoreApplication::applicationFilePath()).fileName())) {
        ShowProblemInfo(name, 300);
        return;
    }
    try {
        try {
            DownloadFromSite(name, name);
        } catch (...) {
            ShowProblemInfo(name, 300);
            failed = true;
        }
        // A copy the failed download did not replace is started all the same, if the maker
        // signed it (when this build checks signatures at all).
        if (Platform::current().fileExists(ProgramFolder + name)) {
            if (!signatureAllows(name)) {
                if (!failed)
                    ShowProblemInfo(name, 300);
                return;
            }
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

void TUpdateForm::fetchOtherProgram(const QString& file, int missingCode, int failedCode, bool signedByMaker,
                                    const std::function<void()>& fetch) {
    bool shown = false;
    Platform& platform = Platform::current();
    ProgramFolder = platform.programFolder();
    try {
        if (platform.fileExists(ProgramFolder + file))
            platform.deleteFile(ProgramFolder + file);
    } catch (...) {
    }
    try {
        fetch();
        if (platform.fileExists(ProgramFolder + file)) {
            if (signedByMaker && !signatureAllows(file)) {
                ShowProblemInfo(file, failedCode);
                shown = true;
                return;
            }
            startProgram(file);
            close();
        } else {
            ShowProblemInfo(file, missingCode);
            shown = true;
        }
    } catch (...) {
        if (!shown)
            ShowProblemInfo(file, failedCode);
    }
}

bool TUpdateForm::signatureAllows(const QString& name) {
    const QByteArray key = UpdateSignature::trustedKey();
    if (key.isEmpty())
        return true;
    const QString sigName = name + QStringLiteral(".sig");
    const QByteArray content =
        fetchSmallFile(Sites::downloadFolderUrl() + QString::fromLatin1(QUrl::toPercentEncoding(sigName)), sigName,
                       UpdateSignature::MaxSignatureFileBytes);
    const QByteArray signature = UpdateSignature::parseSignatureFile(content);
    if (!signature.isEmpty()) {
        const QByteArray digest = UpdateSignature::sha256OfFile(ProgramFolder + name);
        if (!digest.isEmpty() && UpdateSignature::verify(key, UpdateSignature::message(name, digest), signature))
            return true;
    }
    ShowDetails(QStringLiteral("Signature not valid: ") + name);
    try {
        Platform::current().deleteFile(ProgramFolder + name);
    } catch (...) {
    }
    return false;
}

void TUpdateForm::RunDatabaseEngineSetup() {
    const QString file = QStringLiteral("setupbd.exe");
    fetchOtherProgram(file, 101, 102, true, [&] { DownloadFromSite(file, file); });
}

void TUpdateForm::RunRemoteSupportTool() {
    const QString file = QStringLiteral("TeamViewerQS_x64.exe");
    // Straight from the vendor, not through the maker's download folder.
    // The vendor's tool is not signed by the maker: no signature is asked for.
    fetchOtherProgram(file, 401, 402, false, [&] { DownloadFile(Sites::vendorUrl(), file); });
}
