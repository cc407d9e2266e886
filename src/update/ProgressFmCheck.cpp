// The version check: which release is the latest, which one is installed.
#include "update/ProgressFm.h"

#include "trust/FileNames.h"
#include "fetch/StagedDownload.h"
#include "trust/Signature.h"
#include "trust/VersionFile.h"

#include "platform/AnsiTextFile.h"
#include "platform/Error.h"
#include "widgets/StyledButton.h"

#include <QCryptographicHash>
#include <QLabel>
#include <QLocale>
#include <QPushButton>

#include <optional>

namespace {
QString displayedVersion(Currency value) {
    return FormatCurrency2(value, QLocale().decimalPoint().at(0));
}
} // namespace

void TUpdateForm::CheckForUpdatesBtnClick() {
    bool shown = false;
    CheckForUpdatesBtn->hide();
    SetStatusLines(QStringLiteral("Checking for updates now..."), QString(), QString(), QString(),
                   QStringLiteral("Click \"Download Now\" to start downloading..."));
    const QString name = VersionFileName;
    m_acceptedVersionFile.clear();
    try {
        try {
            DownloadFromSite(name, name);
        } catch (...) {
            ShowProblemInfo(name, ProblemCode::VersionFileFailed);
            shown = true;
        }
        {
            // The bytes just fetched are read from the buffer they were hashed from, never from
            // the file again: nothing swapped in since can pass for the release.
            const std::optional<QByteArray> fetched =
                shown || !m_fetched ? std::nullopt : m_fetched->fetchedBytes();
            const bool fetchedButNotKept = !shown && m_fetched && !fetched;
            m_fetched.reset();
            if (fetchedButNotKept)
                throw TallyError(QStringLiteral("%1 was not kept as it arrived").arg(name));
            // With the maker's key, only the very bytes whose signature was accepted are read.
            if (!UpdateSignature::trustedKey().isEmpty() &&
                (m_acceptedVersionFile.isEmpty() || !fetched ||
                 QCryptographicHash::hash(*fetched, QCryptographicHash::Sha256) != m_acceptedVersionFile))
                throw TallyError(QStringLiteral("%1 is not the version file that was accepted").arg(name));
            // After a failed download the file is normally gone and this raises; an older
            // copy that survived is read, but the window stays in the problem view.
            std::optional<AnsiTextFile> file;
            if (fetched)
                file.emplace(ProgramFolder + name, *fetched);
            else
                file.emplace(ProgramFolder + name);
            const VersionFile version = VersionFile::read(*file);
            if (!version.empty) {
                LatestVersion = version.latest;
                LatestVersionSuffix = version.suffix;
                InstallerFileName = version.installer;
                ShowDetails(InstallerFileName);
            }
        }
        DownloadBtn->show();
        DownloadBtn->setEnabled(true);
        const QString installed = ReadInstalledVersion();
        m_log.write(QStringLiteral("versions"), QStringLiteral("latest %1%2, installed %3, installer %4")
                                                    .arg(displayedVersion(LatestVersion), LatestVersionSuffix,
                                                         installed, InstallerFileName));
        const Currency installedNumber = StrToCurrencyInRange(installed, 2, 0, 99 * CurrencyScale, 0);
        if (runModeFromText(RunMode) == RunModeCode::FirstInstall) {
            SetStatusLines(QStringLiteral("AN UPDATE IS AVAILABLE!"),
                           QStringLiteral("It looks like you have just installed Tallywick - thank you!"), QString(),
                           QString(), QStringLiteral("To update to the latest version, click \"Download Now...\"."));
            return;
        }
        SetStatusLines(QString(),
                       QStringLiteral("The latest update available is: Version: ") +
                           displayedVersion(LatestVersion) + LatestVersionSuffix,
                       QStringLiteral("Your currently installed version is: Version ") + installed, QString(),
                       QStringLiteral("To download the latest update, click \"Download Now...\"."));
        if (LatestVersion > installedNumber) {
            StatusLabel1->setText(QStringLiteral("NEW UPDATE AVAILABLE!"));
            repaintNow(pnl_TopInfoContainer);
        }
    } catch (...) {
        if (!shown)
            ShowProblemInfo(name, ProblemCode::VersionCheckFailed);
    }
}

QString TUpdateForm::ReadInstalledVersion() {
    QString text = QStringLiteral("?");
    try {
        AnsiTextFile file(ProgramFolder + FileName::InstalledVersion);
        if (!file.atEnd())
            text = file.readLine(); // used as it stands, spaces and all
    } catch (...) {
        text = QStringLiteral("?");
    }
    return text;
}
