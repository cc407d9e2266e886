#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>

// The limits every transfer of the program keeps, each set here once.
namespace TransferLimits {
constexpr int ConnectTimeoutMs = 15000;   // resolve, TCP and TLS handshake
constexpr int ResponseTimeoutMs = 60000;  // silence after a request, or between bytes
constexpr int LowSpeedBytesPerSecond = 100;
constexpr int LowSpeedWindowMs = 60000;   // fewer bytes a second than that over this long fails
constexpr int SmallFileDeadlineMs = 120000; // a version or signature file arrives within this
// A program's body, which has no deadline, must bring at least this much in any window of
// this length once it has begun (about 1 KB/s: a poor mobile line still passes).
constexpr std::int64_t ProgramFloorBytes = 64 * 1024;
constexpr int ProgramFloorWindowMs = 60000;
constexpr int MaxInterimResponses = 5; // "102 Processing" and the like, before the answer
constexpr int MaxRedirects = 10;
constexpr std::int64_t MaxProgramBytes = std::int64_t(4) << 30;
constexpr std::int64_t MaxVersionFileBytes = 1024 * 1024;
// A program's transfer that breaks off is continued this many times at most, after pauses
// that start here and double each time.
constexpr int ResumeTries = 3;
constexpr int ResumeFirstPauseMs = 1000;
} // namespace TransferLimits

// One HTTPS GET streamed into a sink (an open file, say). Nothing of the HTTP library shows
// through this interface. Runs on whatever thread calls get().
class HttpsTransfer {
public:
    struct Settings {
        int connectTimeoutMs = TransferLimits::ConnectTimeoutMs;
        int responseTimeoutMs = TransferLimits::ResponseTimeoutMs; // no data for this long fails the transfer
        // Less than this many bytes a second, averaged over the window, fails the transfer
        // as a network failure: a drip of data cannot keep it alive for ever.
        int lowSpeedBytesPerSecond = TransferLimits::LowSpeedBytesPerSecond;
        int lowSpeedWindowMs = TransferLimits::LowSpeedWindowMs;
        int totalTimeoutMs = -1;        // -1: none; the whole transfer ends by then
        // Once the body has begun, fewer body bytes than this in any window of the given
        // length fails the transfer (0: no floor). Programs have it; small files a deadline.
        std::int64_t bodyFloorBytes = 0;
        int bodyFloorWindowMs = TransferLimits::ProgramFloorWindowMs;
        int maxInterimResponses = TransferLimits::MaxInterimResponses;
        int maxRedirects = TransferLimits::MaxRedirects;
        std::int64_t maxBodyBytes = -1; // -1: no limit
        QString extraCaFile;            // trusted beside the system's store
        // Extra request lines ("Range: bytes=N-", say); none by default.
        QList<QByteArray> requestHeaders;
        // Bytes of the file already held from an earlier response: added to the progress
        // reports, so that a continuation carries the bar on from where it was.
        std::int64_t progressOffset = 0;
    };

    enum class Outcome {
        Completed,     // a final response arrived (any status)
        Aborted,       // the progress handler asked to stop
        ClientFailure, // no response headers: resolve, connect, handshake, send, wait for headers
        OtherFailure,  // everything else: body read, certificate, redirects, writing the file
    };

    struct Result {
        Outcome outcome = Outcome::OtherFailure;
        int statusCode = 0;
        QString statusText;
        QString errorMessage;
        // What the final response said about itself (empty or -1 when it did not say).
        QByteArray etag;
        QByteArray lastModified;
        QByteArray acceptRanges;
        QByteArray contentRange;
        std::int64_t contentLength = -1;
        std::int64_t bodyBytes = 0; // body bytes the sink took
        // The body had begun and the connection then broke: reset, closed early, silent
        // too long, or too slow.
        bool dropped = false;
        bool refusedBySink = false; // the sink's accept() turned the response down
    };

    // Called before the first body block with readCount 0 and after each block written.
    // contentLength is -1 when none was announced. Returns true to stop the transfer.
    using ProgressHandler = std::function<bool(std::int64_t contentLength, std::int64_t readCount)>;

    // Takes the body block by block as it arrives. write() returns false to stop the
    // transfer as a write failure; error() then gives the system's error number.
    class Sink {
    public:
        virtual ~Sink() = default;
        virtual bool write(const char* data, std::size_t size) = 0;
        virtual int error() const = 0;
        // Sees the final response's status and headers before any of its body; false stops
        // the transfer there (refusedBySink), with nothing written.
        virtual bool accept(const Result& response) {
            (void)response;
            return true;
        }
    };

    // Writes every block straight into an open file descriptor.
    class FileSink : public Sink {
    public:
        explicit FileSink(int fd) : m_fd(fd) {}
        bool write(const char* data, std::size_t size) override;
        int error() const override { return m_error; }

    private:
        int m_fd;
        int m_error = 0;
    };
    // Chooses the TLS library and starts the HTTP library; at program start, before any
    // thread. The first transfer does it otherwise.
    static void startUp();

    explicit HttpsTransfer(const Settings& settings);
    ~HttpsTransfer();
    HttpsTransfer(const HttpsTransfer&) = delete;
    HttpsTransfer& operator=(const HttpsTransfer&) = delete;

    Result get(const QString& url, Sink& sink, const ProgressHandler& progress);
    Result get(const QString& url, int fd, const ProgressHandler& progress) {
        FileSink sink(fd);
        return get(url, sink, progress);
    }

    // Which library result codes are client-level failures, given whether response headers arrived.
    static bool isClientLevel(int resultCode, bool headersReceived);

    struct State; // the callbacks' view of one transfer

private:
    Settings m_settings;
};
