#pragma once

#include "update/Codes.h"
#include "fetch/DownloadPlan.h"
#include "fetch/HttpsTransfer.h"
#include "fetch/RunLog.h"
#include "validate/Validate.h"

#include <QDialog>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QWidget;
class TMessageForm;
class TStyledButton;
class StagedDownload;

// The update window: checks for a newer release, downloads and starts installers, and
// switches to the problem view when something fails. One instance lives for the whole run.
class TUpdateForm : public QDialog {
    Q_OBJECT
public:
    explicit TUpdateForm(QWidget* parent = nullptr);
    ~TUpdateForm() override;

    // Opens the window for a run-mode code and returns when it has closed.
    int ShowModalUpdate(const QString& UpdateVersionPARAM);

    // Shared state of the update workflow.
    QString RunMode;
    QString ProgramFolder;
    QString VersionFileName;
    Currency LatestVersion = 0;
    QString LatestVersionSuffix;
    QString InstallerFileName;

    std::atomic<bool> FCancelled{false};
    bool FDownloadInProgress = false;

    // Handlers.
    void FormShow();
    bool FormClose(); // false refuses the close
    void FormResize();
    void CancelBtnClick();
    void CheckForUpdatesBtnClick();
    void DownloadBtnClick();
    void DownloadOtherButtonClick();
    void CloseBtnClick();
    void AltDownloadBtnClick();
    void ManualDownloadBtnClick();
    void OtherOptionsBtnClick();

    // The message window the recovery options show their texts in (the program's one).
    TMessageForm* MessageForm = nullptr;

    // Operations of the workflow.
    void SetStatusLines(const QString& Line1, const QString& Line2, const QString& Line3, const QString& Line4,
                        const QString& Line5);
    void DeleteMatchingFiles(const QString& Folder, const QString& Mask);
    void ShowProblemInfo(const QString& FileName, ProblemCode Code);
    QString ReadInstalledVersion();
    void DownloadFromSite(const QString& RemoteName, const QString& LocalName);
    // With a SignatureUrl (a program from the maker's folder, in a build that carries the
    // maker's key) the file takes its name only once the signature there has been checked.
    // judgeHeld, when set, checks the staged file through its handle before it is named.
    void DownloadFile(const QString& Url, const QString& LocalName, const QString& SignatureUrl = QString(),
                      const std::function<bool(int fd, const QString& path)>& judgeHeld = {});
    // Progress handler; called on the transfer's thread. Returns the abort answer.
    bool NetHTTPClientReceiveData(qint64 AContentLength, qint64 AReadCount);
    void ShowDetails(const QString& Text);
    void RunDatabaseEngineSetup();
    void RunRemoteSupportTool();

    bool isProblemViewShown() const;
    // Passes of the last DeleteMatchingFiles call (it gives up after 3001).
    int lastDeletePasses() const { return m_lastDeletePasses; }

    // Limits of this window's transfers; tests shorten them.
    DownloadPlan::Limits limits;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Controls; each carries its name as its object name too, by which tests find them.
    QWidget* pnl_TopInfoContainer;
    QProgressBar* ProgressBar1;
    QLabel* Label3;
    QLabel* StatusLabel1;
    QLabel* StatusLabel2;
    QLabel* StatusLabel3;
    QLabel* StatusLabel4;
    QLabel* StatusLabel5;
    QPushButton* CheckForUpdatesBtn;
    QWidget* pnl_ButtonContainer;
    TStyledButton* DownloadBtn;
    QPushButton* DownloadOtherButton;
    TStyledButton* CancelBtn;
    TStyledButton* OtherOptionsBtn;
    QFrame* Bevel4;
    QWidget* pnl_DetailsLabelContainer;
    QLabel* DetailsLabel;
    QWidget* Panel1;
    QWidget* ProblemInfoPanel;
    QWidget* Panel2;
    QLabel* InfoStringLabel;
    QLabel* Label2;
    QFrame* Bevel2;
    QLabel* Label5;
    QFrame* Bevel1;
    QLabel* Label1;
    QFrame* Bevel3;
    QLabel* Label4;
    QWidget* ProblemInfoBtnPanel;
    QPushButton* CloseBtn;
    QPushButton* AltDownloadBtn;
    QPushButton* ManualDownloadBtn;
    QWidget* PreClipBdBoxHolderPanel;
    QLineEdit* PreClipBdBox;


    void buildInfoArea();
    void buildButtonRow();
    void buildDetailsArea();
    void buildProblemPanel();
    void removeFile(const QString& name);
    void startProgram(const QString& fileName, int fd);
    // Starts what lies under `name` after a download: the very file just fetched and checked,
    // or, in a build that checks no signatures, an earlier copy a failed download could not
    // replace. A file that was swapped since it was checked raises an error.
    void startFetchedProgram(const QString& name);
    // Fetches another program (database engine, remote support) and starts it, or shows a problem code.
    void fetchOtherProgram(const QString& file, ProblemCode missingCode, ProblemCode failedCode,
                           const std::function<void()>& fetch);
    void applyProgress(qint64 contentLength, qint64 readCount);
    void repaintNow(QWidget* widget);
    void offerWebsite(bool alternative); // Options 2 and 3
    HttpsTransfer::Result runTransfer(const QString& url, const HttpsTransfer::Settings& settings,
                                      HttpsTransfer::Sink& sink, bool showProgress);
    void logTransfer(const QString& url, const HttpsTransfer::Settings& settings, const HttpsTransfer::Result& result,
                     std::chrono::steady_clock::duration took);
    std::unique_ptr<StagedDownload> m_fetched; // the last download, until its file is started
    QByteArray m_acceptedVersionFile; // SHA-256 of the version file accepted in this run
    bool m_specialVersion = false;    // the installer was chosen through "Other Options..."
    bool m_fetchingUpdate = false;    // "Download Now..." fetches the installer a version file named
    RunLog m_log; // the record of this run in the program folder, for support
    TMessageForm& messageForm();
    std::unique_ptr<TMessageForm> m_ownMessageForm;

    int m_lastDeletePasses = 0;
    // Progress coalescing, touched only by the transfer's thread while it runs.
    bool m_reportPosted = false;
    bool m_reportHeld = false;
    qint64 m_heldLength = 0;
    qint64 m_heldRead = 0;
    std::chrono::steady_clock::time_point m_lastPost;
};
