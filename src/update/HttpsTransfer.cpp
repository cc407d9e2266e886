#include "HttpsTransfer.h"

#include <QByteArray>
#include <QFileInfo>
#include <curl/curl.h>

#include <chrono>
#include <cerrno>
#include <cstring>
#include <mutex>

#ifdef _WIN32
#include <io.h>
#define tallyaid_write _write
#else
#include <unistd.h>
#define tallyaid_write ::write
#endif

namespace {
void initialiseOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

const char* systemCaPath() {
    // The hashed folder is read per certificate looked up; the bundle file would be parsed
    // whole for every connection.
    static const bool hasPath = QFileInfo(QStringLiteral("/etc/ssl/certs")).isDir();
    return hasPath ? "/etc/ssl/certs" : nullptr;
}
} // namespace

struct HttpsTransfer::State {
    CURL* curl = nullptr;
    int fd = -1;
    const ProgressHandler* progress = nullptr;
    std::int64_t maxBody = -1;
    std::int64_t received = 0;
    bool finalResponse = false;  // headers of a response that is not a redirect have ended
    bool reportBody = false;     // status below 300: progress is reported
    std::int64_t contentLength = -1;
    bool aborted = false;
    bool tooLarge = false;
    int writeErrno = 0;
    int statusCode = 0;
    QByteArray statusLine;
    // The response time-out: no header or body bytes for this long fails the transfer.
    std::chrono::steady_clock::duration responseTimeout{};
    std::chrono::steady_clock::time_point lastActivity;
    bool timedOut = false;
    bool requestSent = false; // the clock runs from the moment a request goes out

    void touch() { lastActivity = std::chrono::steady_clock::now(); }

    bool report(std::int64_t readCount) {
        if (!reportBody || !progress || !*progress)
            return false;
        if ((*progress)(contentLength, readCount))
            aborted = true;
        return aborted;
    }
};

HttpsTransfer::HttpsTransfer(const Settings& settings) : m_settings(settings) {
    initialiseOnce();
}

HttpsTransfer::~HttpsTransfer() = default;

bool HttpsTransfer::isClientLevel(int resultCode, bool headersReceived) {
    switch (resultCode) {
    case CURLE_FAILED_INIT:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_OUT_OF_MEMORY:
        return true;
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return !headersReceived;
    default:
        return false;
    }
}

static size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto* s = static_cast<HttpsTransfer::State*>(user);
    const size_t bytes = size * count;
    s->touch();
    QByteArray line(data, static_cast<qsizetype>(bytes));
    if (line.startsWith("HTTP/")) {
        s->statusLine = line.trimmed();
        s->finalResponse = false;
        s->reportBody = false;
    } else if (line.trimmed().isEmpty()) {
        long code = 0;
        curl_easy_getinfo(s->curl, CURLINFO_RESPONSE_CODE, &code);
        s->statusCode = static_cast<int>(code);
        const bool redirect = code >= 300 && code < 400 && code != 304;
        const bool interim = code >= 100 && code < 200;
        if (!interim) {
            curl_off_t length = -1;
            curl_easy_getinfo(s->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
            s->contentLength = length;
            s->finalResponse = !redirect;
            s->reportBody = code < 300;
            if (s->finalResponse && s->report(0))
                return 0; // stop before the body
        }
    }
    return bytes;
}

static size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* s = static_cast<HttpsTransfer::State*>(user);
    const size_t bytes = size * count;
    s->touch();
    if (s->maxBody >= 0 && s->received + static_cast<std::int64_t>(bytes) > s->maxBody) {
        s->tooLarge = true;
        return 0;
    }
    size_t written = 0;
    while (written < bytes) {
        const auto n = tallyaid_write(s->fd, data + written, static_cast<unsigned>(bytes - written));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            s->writeErrno = errno;
            return 0;
        }
        written += static_cast<size_t>(n);
    }
    s->received += static_cast<std::int64_t>(bytes);
    if (s->report(s->received))
        return 0;
    return bytes;
}

// Called at least about once a second, data or not: the place to notice silence.
static int onTick(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* s = static_cast<HttpsTransfer::State*>(user);
    if (s->requestSent && std::chrono::steady_clock::now() - s->lastActivity > s->responseTimeout) {
        s->timedOut = true;
        return 1;
    }
    return 0;
}

// Called once the connection stands, just before each request (redirects included).
static int onRequest(void* user, char*, char*, int, int) {
    auto* s = static_cast<HttpsTransfer::State*>(user);
    s->requestSent = true;
    // Whether headers arrived is a question about this request, not about a redirect before it.
    s->statusCode = 0;
    s->touch();
    return CURL_PREREQFUNC_OK;
}

HttpsTransfer::Result HttpsTransfer::get(const QString& url, int fd, const ProgressHandler& progress) {
    Result result;
    State state;
    state.fd = fd;
    state.progress = &progress;
    state.maxBody = m_settings.maxBodyBytes;

    CURL* curl = curl_easy_init();
    if (!curl) {
        result.outcome = Outcome::ClientFailure;
        result.errorMessage = QStringLiteral("The HTTP client could not be initialised");
        return result;
    }
    state.curl = curl;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    const QByteArray urlBytes = url.toUtf8();
    const QByteArray caFile = m_settings.extraCaFile.toLocal8Bit();
    state.responseTimeout = std::chrono::milliseconds(m_settings.responseTimeoutMs);

    curl_easy_setopt(curl, CURLOPT_URL, urlBytes.constData());
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, static_cast<long>(m_settings.maxRedirects));
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(m_settings.connectTimeoutMs));
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onTick);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &state);
    curl_easy_setopt(curl, CURLOPT_PREREQFUNCTION, onRequest);
    curl_easy_setopt(curl, CURLOPT_PREREQDATA, &state);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (const char* caPath = systemCaPath())
        curl_easy_setopt(curl, CURLOPT_CAPATH, caPath);
    if (!caFile.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.constData());
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, 256L * 1024L);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &state);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &state);

    const CURLcode code = curl_easy_perform(curl);
    long responseCode = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &responseCode);
    curl_easy_cleanup(curl);

    result.statusCode = static_cast<int>(responseCode);
    // "HTTP/1.1 404 Not Found": the text after the code; HTTP/2 has none.
    const QList<QByteArray> parts = state.statusLine.split(' ');
    if (parts.size() > 2)
        result.statusText = QString::fromLatin1(state.statusLine.mid(parts[0].size() + parts[1].size() + 2));

    if (state.aborted) {
        result.outcome = Outcome::Aborted;
    } else if (code == CURLE_OK) {
        result.outcome = Outcome::Completed;
    } else if (state.timedOut) {
        result.outcome = state.statusCode > 0 ? Outcome::OtherFailure : Outcome::ClientFailure;
        result.errorMessage =
            QStringLiteral("No data received for %1 ms").arg(m_settings.responseTimeoutMs);
    } else if (state.tooLarge) {
        result.outcome = Outcome::OtherFailure;
        result.errorMessage = QStringLiteral("The file is larger than %1 bytes").arg(state.maxBody);
    } else if (state.writeErrno != 0) {
        result.outcome = Outcome::OtherFailure;
        result.errorMessage = QString::fromLocal8Bit(std::strerror(state.writeErrno));
    } else {
        result.outcome = isClientLevel(code, state.statusCode > 0) ? Outcome::ClientFailure : Outcome::OtherFailure;
        result.errorMessage = QString::fromUtf8(errorBuffer[0] ? errorBuffer : curl_easy_strerror(code));
    }
    return result;
}
