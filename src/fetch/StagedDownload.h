#pragma once

#include "fetch/HttpsTransfer.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

// The life of one file fetched into the program folder, in this order and no other:
//   1. the name is judged: free, or one of the program's own files; anything else is refused
//      before a file is touched;
//   2. the body is staged in a hidden part file that this run alone holds;
//   3. the bytes are counted, capped and (when a signature is asked for) hashed as they arrive,
//      and written to the disk behind the transfer; a program whose connection drops is
//      asked for the rest, into the same part file, when the server allows it;
//   4. with a key, the signature is fetched and checked while the part file is the only copy;
//   5. the part file, flushed, takes the real name;
//   6. exactly that file is handed over to be started.
// A failure removes the part file and, for the program's own files alone, the earlier copy
// under the real name (a failed download leaves no stale copy). No widgets here.
class StagedDownload {
public:
    struct Plan {
        QString folder; // ends with a separator
        QString name;   // the real name inside the folder
        QString url;
        HttpsTransfer::Settings settings;
        QByteArray key;               // the maker's public key; empty: no signature asked for
        QString signatureUrl;         // where NAME.sig lies, when a key is set
        HttpsTransfer::Settings signatureSettings;
        // Judges the fetched ".sig" (nullopt: none could be fetched) against the SHA-256 of
        // the staged bytes: empty when it holds, otherwise the reason. Unset: a program's
        // own signature under its name.
        std::function<QString(const std::optional<QByteArray>& signatureFile, const QByteArray& sha256)>
            judgeSignature;
        // Judges the staged file itself, through the handle this run holds, before it takes
        // the real name (the vendor's code signature): true when it holds. Unset: not asked.
        std::function<bool(int fd, const QString& path)> judgeHeldFile;
        // A body that breaks off after bytes have arrived is asked for again from where the
        // part file ends, this many times (programs only; 0: never).
        int resumeTries = 0;
        int resumePauseMs = TransferLimits::ResumeFirstPauseMs; // before the first, doubled after
        std::function<void(int ms)> pause;                       // how to wait; sleeps when empty
        // A program whose transfer broke off for good keeps its part file, with a record of
        // where it stopped, and a later run that fetches the same name from the same address
        // goes on from there.
        bool keepAcrossRuns = false;
        // Called when the server's answer lets this run go on from an earlier one's bytes,
        // before any of the rest is written; on the transfer's thread.
        std::function<void(std::int64_t held, std::int64_t total)> continuingEarlier;
        // Up to this many bytes of the body are kept in memory as well, the very bytes that
        // were hashed, for a file that is read at once (a version file); 0: none kept.
        qint64 keepBytes = 0;
    };

    enum class Outcome {
        NotRun,
        Named,            // whole, checked where asked, flushed, under its real name
        NameRefused,      // not a plain name, or another file has it: nothing touched
        HeldByAnotherRun, // another run is writing the same part file: nothing of it touched
        NotCreated,       // the part file could not be made
        Cancelled,        // the user cancelled while the body arrived
        HttpStatus,       // the final status was not 200
        NetworkFailure,   // no response: resolve, connect, handshake, headers
        TransferFailure,  // anything else on the way: body, certificate, caps, writing, flushing
        SignatureRefused, // missing, malformed, slow or wrong signature (the maker's or the vendor's)
        NotNamed,         // the part file could not take the real name (an earlier copy in use)
    };

    // Runs one transfer into a sink. The update window runs it on a worker thread while it
    // keeps painting; reportProgress says whether the progress bar follows it.
    using Transport = std::function<HttpsTransfer::Result(const QString& url, const HttpsTransfer::Settings& settings,
                                                          HttpsTransfer::Sink& sink, bool reportProgress)>;

    StagedDownload(Plan plan, Transport transport, std::function<bool()> cancelled);
    ~StagedDownload();
    StagedDownload(const StagedDownload&) = delete;
    StagedDownload& operator=(const StagedDownload&) = delete;

    // Whether a file fetched as `name` may take that name in `folder`: a plain name, and
    // either nothing is there or it is one of the program's own files.
    static bool mayTakeName(const QString& folder, const QString& name);

    Outcome run();
    Outcome outcome() const { return m_outcome; }
    bool succeeded() const { return m_outcome == Outcome::Named; }
    // The one-line message of a failure, as the download raises it.
    QString failureText() const { return m_failure; }
    // Why a signature was refused, as the plan's judge said; empty otherwise.
    QString refusalReason() const { return m_refusal; }
    // The SHA-256 of the bytes fetched, once they have all arrived.
    QByteArray sha256() const { return m_sha256; }
    // How many times the body was asked for again after a drop.
    int continuations() const { return m_continuations; }
    // The bytes an earlier run left that this one went on from; 0 when it started afresh.
    std::int64_t continuedFrom() const { return m_continuedFrom; }
    // Whether what arrived was kept for a later run to go on from.
    bool keptForLater() const { return m_keptForLater; }

    // The named file's bytes as they arrived and were hashed, from the one buffer kept while
    // they came: nothing is read back from the disk. nullopt when it is not named, the plan
    // kept nothing, or the body was longer than the plan's keepBytes.
    std::optional<QByteArray> fetchedBytes() const;

    // Hands the named file to `start` (its bare name and the held descriptor) if the file
    // under the real name is still the one that was fetched and checked; it is held until
    // `start` has returned. Returns whether it was handed over.
    bool startNamed(const std::function<void(const QString& name, int fd)>& start);

private:
    void fail(Outcome outcome, const QString& text);
    void discardPart();
    void removeEarlierCopy();
    bool signatureHolds(const QByteArray& digest);
    QString recordPath() const;
    void removeRecord();
    std::optional<HttpsTransfer::Result> takeUpEarlier(const QString& partPath, bool* heldElsewhere);
    bool keepForLater(const HttpsTransfer::Result& first, std::int64_t held);

    Plan m_plan;
    Transport m_transport;
    std::function<bool()> m_cancelled;
    Outcome m_outcome = Outcome::NotRun;
    QString m_failure;
    QString m_refusal;
    QByteArray m_sha256;
    int m_fd = -1; // the part file while staged, the named file afterwards
    int m_continuations = 0;
    std::int64_t m_continuedFrom = 0;
    bool m_keptForLater = false;
    std::optional<QByteArray> m_fetchedBytes;
};
