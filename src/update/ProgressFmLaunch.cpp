// "Download Now...": fetch a program into the program folder, start it, and close.
#include "update/ProgressFm.h"

#include "trust/FileNames.h"
#include "fetch/Sites.h"
#include "fetch/StagedDownload.h"
#include "platform/Error.h"
#include "platform/Platform.h"
#include "widgets/StyledButton.h"

#include <QCoreApplication>
#include <QFileInfo>
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
    // Whatever a version file names, only a program of its own that may take that name in
    // the folder is fetched and started: anything else fails before a file is touched.
    if (!isInstallerFileName(name, Platform::current().executableFileName()) ||
        !StagedDownload::mayTakeName(ProgramFolder, name)) {
        ShowProblemInfo(name, ProblemCode::InstallerFailed);
        return;
    }
    m_fetchingUpdate = !m_specialVersion;
    try {
        try {
            DownloadFromSite(name, name);
        } catch (...) {
            ShowProblemInfo(name, ProblemCode::InstallerFailed);
            failed = true;
        }
        if (Platform::current().fileExists(ProgramFolder + name)) {
            startFetchedProgram(name);
        } else if (!failed) {
            ShowProblemInfo(name, ProblemCode::InstallerMissing);
            failed = true;
        }
        if (!failed)
            close();
    } catch (...) {
        if (!failed)
            ShowProblemInfo(name, ProblemCode::InstallerOtherError);
    }
}

void TUpdateForm::DownloadOtherButtonClick() {
    OtherOptionsBtn->setEnabled(false);
    CancelBtn->setEnabled(false);
    SetStatusLines(QStringLiteral("Downloading ..."), QString(), QString(), QString(), QString());
    DownloadOtherButton->setEnabled(false);
    repaintNow(this);
    if (runModeFromText(RunMode) == RunModeCode::RemoteSupport)
        RunRemoteSupportTool();
    else
        RunDatabaseEngineSetup();
}

void TUpdateForm::startFetchedProgram(const QString& name) {
    // Only the very file this run fetched (and checked). After a failed download nothing
    // runs, whatever is under the name: anyone who can write the folder could have put it
    // there meanwhile.
    if (!m_fetched || !m_fetched->succeeded())
        return;
    if (!m_fetched->startNamed([this](const QString& fileName, int fd) { startProgram(fileName, fd); }))
        throw TallyError(QStringLiteral("%1 is no longer the file that was downloaded").arg(name));
}

void TUpdateForm::fetchOtherProgram(const QString& file, ProblemCode missingCode, ProblemCode failedCode,
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
            startFetchedProgram(file);
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

void TUpdateForm::RunDatabaseEngineSetup() {
    const QString& file = FileName::DatabaseEngineSetup;
    fetchOtherProgram(file, ProblemCode::DatabaseEngineMissing, ProblemCode::DatabaseEngineFailed,
                      [&] { DownloadFromSite(file, file); });
}

void TUpdateForm::RunRemoteSupportTool() {
    const QString& file = FileName::RemoteSupportTool;
    // Straight from the vendor, not through the maker's download folder. The vendor's tool
    // is not signed by the maker: no maker's signature is asked for.
    // The vendor's own code signature instead, where the system can check one: judged on the
    // staged file through the download's handle, so a refused file never takes the name.
    fetchOtherProgram(file, ProblemCode::RemoteSupportMissing, ProblemCode::RemoteSupportFailed, [&] {
        DownloadFile(Sites::vendorUrl(), file, QString(), [](int fd, const QString& path) {
            return Platform::current().checkPublisherSignature(fd, path, Sites::vendorPublisher()) !=
                   Platform::PublisherCheck::Invalid;
        });
    });
}
