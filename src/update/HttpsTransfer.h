#pragma once

#include <QString>
#include <cstdint>
#include <functional>

// One HTTPS GET streamed into an open file descriptor. Nothing of the HTTP library shows
// through this interface. Runs on whatever thread calls get().
class HttpsTransfer {
public:
    struct Settings {
        int connectTimeoutMs = 15000;   // resolve, TCP and TLS handshake
        int responseTimeoutMs = 60000;  // no data for this long fails the transfer
        // Less than this many bytes a second, averaged over the window, fails the transfer
        // as a network failure: a drip of data cannot keep it alive for ever.
        int lowSpeedBytesPerSecond = 100;
        int lowSpeedWindowMs = 60000;
        int totalTimeoutMs = -1;        // -1: none; the whole transfer ends by then
        int maxRedirects = 10;
        std::int64_t maxBodyBytes = -1; // -1: no limit
        QString extraCaFile;            // trusted beside the system's store
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
    };

    // Called before the first body block with readCount 0 and after each block written.
    // contentLength is -1 when none was announced. Returns true to stop the transfer.
    using ProgressHandler = std::function<bool(std::int64_t contentLength, std::int64_t readCount)>;

    // Chooses the TLS library and starts the HTTP library; at program start, before any
    // thread. The first transfer does it otherwise.
    static void startUp();

    explicit HttpsTransfer(const Settings& settings);
    ~HttpsTransfer();
    HttpsTransfer(const HttpsTransfer&) = delete;
    HttpsTransfer& operator=(const HttpsTransfer&) = delete;

    Result get(const QString& url, int fd, const ProgressHandler& progress);

    // Which library result codes are client-level failures, given whether response headers arrived.
    static bool isClientLevel(int resultCode, bool headersReceived);

    struct State; // the callbacks' view of one transfer

private:
    Settings m_settings;
};
