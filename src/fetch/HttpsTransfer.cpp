#include "fetch/HttpsTransfer.h"

#include <QByteArray>
#include <QFileInfo>
#include <QUrl>
#include "fetch/TlsTrust.h"
#include "platform/FileOps.h"
#include "platform/SystemPlatform.h"
#include "platform/ProxyConfig.h"
#include <curl/curl.h>

#include <chrono>
#include <cerrno>
#include <cstring>
#include <deque>
#include <utility>

#ifdef _WIN32
#include <io.h>
#define tallyaid_write _write
#else
#include <unistd.h>
#define tallyaid_write ::write
#endif

namespace {
#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// Picks the TLS library before the HTTP library starts (after that neither we nor the
// CURL_SSL_BACKEND variable can change it), then decides from what the library reports.
Tls::Trust startLibrary() {
    // Windows: Schannel builds the chain with the system's own store, fetching roots it lacks.
    const curl_sslbackend preferred[] = {kWindows ? CURLSSLBACKEND_SCHANNEL : CURLSSLBACKEND_OPENSSL,
                                         CURLSSLBACKEND_OPENSSL};
    Tls::Selection selection = Tls::Selection::NotAvailable;
    for (const curl_sslbackend id : preferred) {
        const CURLsslset set = curl_global_sslset(id, nullptr, nullptr);
        if (set == CURLSSLSET_UNKNOWN_BACKEND)
            continue;
        selection = set == CURLSSLSET_OK          ? Tls::Selection::Chosen
                    : set == CURLSSLSET_TOO_LATE ? Tls::Selection::TooLate
                                                  : Tls::Selection::NoTls;
        break;
    }
    curl_global_init(CURL_GLOBAL_DEFAULT);
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    const QByteArray text = info && info->ssl_version ? QByteArray(info->ssl_version) : QByteArray();
    return Tls::decideTrust(kWindows, selection, text, info ? info->version_num : 0);
}

const Tls::Trust& trust() {
    static const Tls::Trust decided = startLibrary(); // once, thread-safe
    return decided;
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
    HttpsTransfer::Sink* sink = nullptr;
    const ProgressHandler* progress = nullptr;
    std::int64_t maxBody = -1;
    std::int64_t received = 0;
    bool finalResponse = false;  // headers of a response that is not a redirect have ended
    bool reportBody = false;     // status below 300: progress is reported
    std::int64_t contentLength = -1;
    bool aborted = false;
    bool systemChecksServer = false;        // the server's certificate is judged here too
    QString certificateProblem;             // why the system refused it
    bool tooLarge = false;
    bool unsupportedCoding = false;
    QByteArray coding;
    HttpsTransfer::Result response; // the headers of the response now arriving
    bool refusedBySink = false;
    std::int64_t progressOffset = 0;
    int writeErrno = 0;
    int statusCode = 0;
    QByteArray statusLine;
    // The response time-out: no header or body bytes for this long fails the transfer.
    std::chrono::steady_clock::duration responseTimeout{};
    std::chrono::steady_clock::time_point lastActivity;
    bool timedOut = false;
    bool requestSent = false; // the clock runs from the moment a request goes out
    // The low-speed rule: bytes seen in the current window, and when the window began.
    std::int64_t lowSpeedMinimum = 0; // bytes a window must bring
    std::chrono::steady_clock::duration lowSpeedWindow{};
    std::chrono::steady_clock::time_point windowStart;
    std::int64_t windowBytes = 0;
    bool tooSlow = false;
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
    bool pastDeadline = false;
    // The body floor: (time, body bytes so far) samples reaching back one window, the oldest
    // first, so that every window ending now can be judged, not only back-to-back ones.
    std::int64_t floorBytes = 0;
    std::chrono::steady_clock::duration floorWindow{};
    std::deque<std::pair<std::chrono::steady_clock::time_point, std::int64_t>> floorSamples;
    bool belowFloor = false;
    int interimLeft = 0;
    bool tooManyInterim = false;

    void sampleBody(std::chrono::steady_clock::time_point now) {
        // A sample every sixtieth of a window at most: the record stays short at any speed.
        if (floorBytes <= 0 || floorSamples.empty() || now - floorSamples.back().first < floorWindow / 60)
            return;
        floorSamples.emplace_back(now, received);
    }
    bool bodyTooSlow(std::chrono::steady_clock::time_point now) {
        if (floorBytes <= 0 || floorSamples.empty())
            return false;
        const auto windowStart = now - floorWindow;
        while (floorSamples.size() > 1 && floorSamples[1].first <= windowStart)
            floorSamples.pop_front();
        return floorSamples.front().first <= windowStart && received - floorSamples.front().second < floorBytes;
    }

    void touch(std::size_t bytes = 0) {
        lastActivity = std::chrono::steady_clock::now();
        windowBytes += static_cast<std::int64_t>(bytes);
    }

    bool report(std::int64_t readCount) {
        if (!reportBody || !progress || !*progress)
            return false;
        const std::int64_t length = contentLength >= 0 ? contentLength + progressOffset : -1;
        if ((*progress)(length, readCount + progressOffset))
            aborted = true;
        return aborted;
    }
};

HttpsTransfer::HttpsTransfer(const Settings& settings) : m_settings(settings) {
    trust();
}

void HttpsTransfer::startUp() {
    trust();
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
    s->touch(bytes);
    QByteArray line(data, static_cast<qsizetype>(bytes));
    if (const int colon = line.indexOf(':'); colon > 0 && !line.startsWith("HTTP/")) {
        // The few headers a continuation is judged by.
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "etag")
            s->response.etag = value;
        else if (name == "last-modified")
            s->response.lastModified = value;
        else if (name == "accept-ranges")
            s->response.acceptRanges = value;
        else if (name == "content-range")
            s->response.contentRange = value;
    }
    if (line.startsWith("HTTP/")) {
        s->statusLine = line.trimmed();
        s->finalResponse = false;
        s->reportBody = false;
        s->response = HttpsTransfer::Result();
    } else if (line.toLower().startsWith("transfer-encoding:")) {
        // Only chunked framing is taken: a coding the program never asked for (gzip, say)
        // would let a few bytes on the wire become gigabytes on disk.
        for (const QByteArray& coding : line.mid(18).split(',')) {
            const QByteArray name = coding.trimmed().toLower();
            if (!name.isEmpty() && name != "chunked") {
                s->unsupportedCoding = true;
                s->coding = name;
                return 0;
            }
        }
    } else if (line.trimmed().isEmpty()) {
        long code = 0;
        curl_easy_getinfo(s->curl, CURLINFO_RESPONSE_CODE, &code);
        s->statusCode = static_cast<int>(code);
        const bool redirect = code >= 300 && code < 400 && code != 304;
        const bool interim = code >= 100 && code < 200;
        if (interim && --s->interimLeft < 0) {
            s->tooManyInterim = true; // an endless run of them would keep the transfer alive
            return 0;
        }
        if (!interim) {
            curl_off_t length = -1;
            curl_easy_getinfo(s->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
            s->contentLength = length;
            s->finalResponse = !redirect;
            s->reportBody = code < 300;
            s->response.statusCode = s->statusCode;
            s->response.contentLength = length;
            if (s->finalResponse && !s->sink->accept(s->response)) {
                s->refusedBySink = true;
                return 0; // not a byte of this body
            }
            if (s->finalResponse && s->report(0))
                return 0; // stop before the body
            if (s->finalResponse && s->floorBytes > 0)
                s->floorSamples.emplace_back(std::chrono::steady_clock::now(), 0); // the body begins
        }
    }
    return bytes;
}

static size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* s = static_cast<HttpsTransfer::State*>(user);
    const size_t bytes = size * count;
    s->touch(bytes);
    if (s->maxBody >= 0 && s->received + static_cast<std::int64_t>(bytes) > s->maxBody) {
        s->tooLarge = true;
        return 0;
    }
    if (!s->sink->write(data, bytes)) {
        s->writeErrno = s->sink->error() ? s->sink->error() : EIO;
        return 0;
    }
    s->received += static_cast<std::int64_t>(bytes);
    s->sampleBody(s->lastActivity);
    if (s->report(s->received))
        return 0;
    return bytes;
}

// Called at least about once a second, data or not: the place to notice silence.
static int onTick(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* s = static_cast<HttpsTransfer::State*>(user);
    const auto now = std::chrono::steady_clock::now();
    if (now >= s->deadline) {
        s->pastDeadline = true;
        return 1;
    }
    if (!s->requestSent)
        return 0;
    if (now - s->lastActivity > s->responseTimeout) {
        s->timedOut = true;
        return 1;
    }
    if (now - s->windowStart >= s->lowSpeedWindow) {
        if (s->windowBytes < s->lowSpeedMinimum) {
            s->tooSlow = true;
            return 1;
        }
        s->windowStart = now;
        s->windowBytes = 0;
    }
    if (s->bodyTooSlow(now)) {
        s->belowFloor = true;
        return 1;
    }
    s->sampleBody(now);
    return 0;
}

// Called once the connection stands, just before each request (redirects included).
static int onRequest(void* user, char*, char*, int, int) {
    auto* s = static_cast<HttpsTransfer::State*>(user);
    // Schannel checks the server against the system's store by itself, but not everywhere
    // it runs (Wine's does not at all): the system's own SSL policy judges it again here,
    // before anything is sent.
    if (s->systemChecksServer) {
        const curl_tlssessioninfo* tls = nullptr;
        char* effective = nullptr;
        curl_easy_getinfo(s->curl, CURLINFO_EFFECTIVE_URL, &effective);
        const QString host = effective ? QUrl(QString::fromUtf8(effective)).host() : QString();
        QString why;
        if (curl_easy_getinfo(s->curl, CURLINFO_TLS_SSL_PTR, &tls) != CURLE_OK || !tls ||
            tls->backend != CURLSSLBACKEND_SCHANNEL || !systemTrustsServer(tls->internals, host, &why)) {
            s->certificateProblem = why.isEmpty() ? QStringLiteral("no TLS session to check") : why;
            return CURL_PREREQFUNC_ABORT;
        }
    }
    // Whether headers arrived is a question about this request, not about a redirect before it.
    s->statusCode = 0;
    s->touch();
    if (!s->requestSent) {
        s->requestSent = true;
        s->windowStart = s->lastActivity;
    }
    return CURL_PREREQFUNC_OK;
}

bool HttpsTransfer::FileSink::write(const char* data, std::size_t size) {
    std::size_t written = 0;
    while (written < size) {
        const auto n = tallyaid_write(m_fd, data + written, static_cast<unsigned>(size - written));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            m_error = errno;
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

namespace {
using Outcome = HttpsTransfer::Outcome;

// What the options point at, kept until the transfer has ended.
struct Request {
    QByteArray url;
    QByteArray caFile;
    QByteArray proxy;
    curl_slist* headers = nullptr;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    Request(const QString& address, const QString& extraCaFile)
        : url(address.toUtf8()), caFile(extraCaFile.toLocal8Bit()) {}
    ~Request() { curl_slist_free_all(headers); }
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;
};

// Sets every option of one transfer; false, with the outcome in *failure, when it cannot run.
bool configure(CURL* curl, HttpsTransfer::State& state, const HttpsTransfer::Settings& settings, const QString& url,
               Request& request, HttpsTransfer::Result* failure) {
    // Every option that security or the time limits rest on must be taken: an older library
    // than the headers would ignore an unknown one, and the transfer would run unguarded.
    const char* refused = nullptr;
    CURLcode refusal = CURLE_OK;
    const auto require = [&](CURLcode result, const char* name) {
        if (result != CURLE_OK && !refused) {
            refused = name;
            refusal = result;
        }
    };
#define TALLYAID_REQUIRE(option, value) require(curl_easy_setopt(curl, option, value), #option)
    // A CA folder option the TLS library does not have: then no built-in folder is read either.
#define TALLYAID_REQUIRE_IF_BUILT_IN(option, value)                                                                   \
    do {                                                                                                               \
        const CURLcode r = curl_easy_setopt(curl, option, value);                                                      \
        require(r == CURLE_NOT_BUILT_IN ? CURLE_OK : r, #option);                                                      \
    } while (false)
    TALLYAID_REQUIRE(CURLOPT_URL, request.url.constData());
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, request.errorBuffer);
    TALLYAID_REQUIRE(CURLOPT_NOSIGNAL, 1L);
    TALLYAID_REQUIRE(CURLOPT_HTTPGET, 1L);
    TALLYAID_REQUIRE(CURLOPT_PROTOCOLS_STR, "https");
    TALLYAID_REQUIRE(CURLOPT_REDIR_PROTOCOLS_STR, "https");
    TALLYAID_REQUIRE(CURLOPT_FOLLOWLOCATION, 1L);
    TALLYAID_REQUIRE(CURLOPT_MAXREDIRS, static_cast<long>(settings.maxRedirects));
    TALLYAID_REQUIRE(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(settings.connectTimeoutMs));
    TALLYAID_REQUIRE(CURLOPT_NOPROGRESS, 0L);
    TALLYAID_REQUIRE(CURLOPT_XFERINFOFUNCTION, onTick);
    TALLYAID_REQUIRE(CURLOPT_XFERINFODATA, &state);
    TALLYAID_REQUIRE(CURLOPT_PREREQFUNCTION, onRequest);
    TALLYAID_REQUIRE(CURLOPT_PREREQDATA, &state);
    TALLYAID_REQUIRE(CURLOPT_SSL_VERIFYPEER, 1L);
    TALLYAID_REQUIRE(CURLOPT_SSL_VERIFYHOST, 2L);
    // TLS 1.2 or later, to the server and to an HTTPS proxy alike.
    TALLYAID_REQUIRE(CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    TALLYAID_REQUIRE(CURLOPT_PROXY_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    const Tls::Trust& tls = trust();
    if (tls.noBuiltInCaPaths) {
        TALLYAID_REQUIRE(CURLOPT_CAINFO, static_cast<const char*>(nullptr));
        TALLYAID_REQUIRE(CURLOPT_PROXY_CAINFO, static_cast<const char*>(nullptr));
        TALLYAID_REQUIRE_IF_BUILT_IN(CURLOPT_CAPATH, static_cast<const char*>(nullptr));
        TALLYAID_REQUIRE_IF_BUILT_IN(CURLOPT_PROXY_CAPATH, static_cast<const char*>(nullptr));
    }
    if (tls.nativeCa) {
        TALLYAID_REQUIRE(CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_NATIVE_CA));
        TALLYAID_REQUIRE(CURLOPT_PROXY_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_NATIVE_CA));
    }
    if (tls.systemCaFolder)
        if (const char* caPath = systemCaPath())
            TALLYAID_REQUIRE(CURLOPT_CAPATH, caPath);
    // The system's proxy settings where the library does not read them itself.
    const std::optional<QString> proxy = systemProxyFor(url);
    request.proxy = proxy ? proxy->toUtf8() : QByteArray();
    if (proxy)
        TALLYAID_REQUIRE(CURLOPT_PROXY, request.proxy.constData()); // "" means no proxy
    if (!request.caFile.isEmpty())
        TALLYAID_REQUIRE(CURLOPT_CAINFO, request.caFile.constData());
    // With a CA file the library checks chain and name itself against that file alone.
    state.systemChecksServer = tls.library == Tls::Library::Schannel && request.caFile.isEmpty();
    if (settings.maxBodyBytes >= 0)
        TALLYAID_REQUIRE(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(settings.maxBodyBytes));
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, 256L * 1024L);
    for (const QByteArray& header : settings.requestHeaders)
        request.headers = curl_slist_append(request.headers, header.constData());
    if (request.headers)
        TALLYAID_REQUIRE(CURLOPT_HTTPHEADER, request.headers);
    TALLYAID_REQUIRE(CURLOPT_HEADERFUNCTION, onHeader);
    TALLYAID_REQUIRE(CURLOPT_HEADERDATA, &state);
    TALLYAID_REQUIRE(CURLOPT_WRITEFUNCTION, onBody);
    TALLYAID_REQUIRE(CURLOPT_WRITEDATA, &state);
#undef TALLYAID_REQUIRE
#undef TALLYAID_REQUIRE_IF_BUILT_IN
    if (!tls.usable) {
        failure->outcome = Outcome::ClientFailure; // the HTTP stack cannot be used at all
        failure->errorMessage = tls.problem;
        return false;
    }
    if (refused) {
        failure->outcome = Outcome::OtherFailure;
        failure->errorMessage = QStringLiteral("the HTTP library does not support %1 (%2)")
                                    .arg(QLatin1String(refused), QString::fromUtf8(curl_easy_strerror(refusal)));
        return false;
    }
    return true;

}

// The outcome of a transfer that ran, from the library's code and what the callbacks saw.
HttpsTransfer::Result outcomeOf(const HttpsTransfer::State& state, const HttpsTransfer::Settings& settings,
                                CURLcode code, long responseCode, const char* errorBuffer) {
    HttpsTransfer::Result result;
    if (state.finalResponse) {
        result.etag = state.response.etag;
        result.lastModified = state.response.lastModified;
        result.acceptRanges = state.response.acceptRanges;
        result.contentRange = state.response.contentRange;
        result.contentLength = state.response.contentLength;
    }
    result.bodyBytes = state.received;
    result.refusedBySink = state.refusedBySink;
    // A body that had begun and then broke off: what a continuation can mend.
    const bool bodyBegun = state.finalResponse && state.reportBody;
    result.dropped = bodyBegun && !state.aborted && code != CURLE_OK && !state.pastDeadline && !state.refusedBySink &&
                     (state.tooSlow || state.timedOut || code == CURLE_PARTIAL_FILE || code == CURLE_RECV_ERROR ||
                      code == CURLE_HTTP2 || code == CURLE_HTTP2_STREAM);

    result.statusCode = static_cast<int>(responseCode);
    // "HTTP/1.1 404 Not Found": the text after the code; HTTP/2 has none.
    const QList<QByteArray> parts = state.statusLine.split(' ');
    if (parts.size() > 2)
        result.statusText = QString::fromLatin1(state.statusLine.mid(parts[0].size() + parts[1].size() + 2));

    if (!state.certificateProblem.isEmpty()) {
        result.outcome = Outcome::OtherFailure; // as the library's own certificate refusal
        result.errorMessage = QStringLiteral("SSL peer certificate was not OK: ") + state.certificateProblem;
    } else if (state.aborted) {
        result.outcome = Outcome::Aborted;
    } else if (code == CURLE_OK) {
        result.outcome = Outcome::Completed;
    } else if (state.pastDeadline) {
        result.outcome = Outcome::ClientFailure;
        result.errorMessage = QStringLiteral("The transfer did not end within %1 ms").arg(settings.totalTimeoutMs);
    } else if (state.tooSlow) {
        result.outcome = Outcome::ClientFailure;
        result.errorMessage = QStringLiteral("Fewer than %1 bytes a second over %2 ms")
                                  .arg(settings.lowSpeedBytesPerSecond)
                                  .arg(settings.lowSpeedWindowMs);
    } else if (state.belowFloor) {
        result.outcome = Outcome::OtherFailure;
        result.errorMessage = QStringLiteral("Fewer than %1 bytes of the file arrived in %2 ms")
                                  .arg(settings.bodyFloorBytes)
                                  .arg(settings.bodyFloorWindowMs);
    } else if (state.tooManyInterim) {
        result.outcome = Outcome::OtherFailure;
        result.errorMessage =
            QStringLiteral("More than %1 interim responses before the answer").arg(settings.maxInterimResponses);
    } else if (state.refusedBySink) {
        result.outcome = Outcome::OtherFailure;
        result.errorMessage = QStringLiteral("The response was not the one asked for (status %1)").arg(responseCode);
    } else if (state.unsupportedCoding) {
        result.outcome = Outcome::OtherFailure;
        result.errorMessage = QStringLiteral("Unsupported transfer coding \"%1\"").arg(QString::fromLatin1(state.coding));
    } else if (state.timedOut) {
        result.outcome = state.statusCode > 0 ? Outcome::OtherFailure : Outcome::ClientFailure;
        result.errorMessage =
            QStringLiteral("No data received for %1 ms").arg(settings.responseTimeoutMs);
    } else if (state.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
        result.outcome = Outcome::OtherFailure;
        // A continuation's cap is what is left of the file: name the whole file's.
        result.errorMessage =
            QStringLiteral("The file is larger than %1 bytes").arg(state.maxBody + state.progressOffset);
    } else if (state.writeErrno != 0) {
        result.outcome = Outcome::OtherFailure;
        result.errorMessage = QString::fromLocal8Bit(std::strerror(state.writeErrno));
    } else {
        result.outcome = HttpsTransfer::isClientLevel(code, state.statusCode > 0) ? Outcome::ClientFailure : Outcome::OtherFailure;
        result.errorMessage = QString::fromUtf8(errorBuffer[0] ? errorBuffer : curl_easy_strerror(code));
    }
    return result;
}
} // namespace

HttpsTransfer::Result HttpsTransfer::get(const QString& url, Sink& sink, const ProgressHandler& progress) {
    State state;
    state.sink = &sink;
    state.progress = &progress;
    state.maxBody = m_settings.maxBodyBytes;
    state.progressOffset = m_settings.progressOffset;
    state.responseTimeout = std::chrono::milliseconds(m_settings.responseTimeoutMs);
    state.lowSpeedWindow = std::chrono::milliseconds(m_settings.lowSpeedWindowMs);
    state.lowSpeedMinimum =
        static_cast<std::int64_t>(m_settings.lowSpeedBytesPerSecond) * m_settings.lowSpeedWindowMs / 1000;
    state.floorBytes = m_settings.bodyFloorBytes;
    state.floorWindow = std::chrono::milliseconds(m_settings.bodyFloorWindowMs);
    state.interimLeft = m_settings.maxInterimResponses;
    if (m_settings.totalTimeoutMs >= 0)
        state.deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_settings.totalTimeoutMs);

    Result failure;
    CURL* curl = curl_easy_init();
    if (!curl) {
        failure.outcome = Outcome::ClientFailure;
        failure.errorMessage = QStringLiteral("The HTTP client could not be initialised");
        return failure;
    }
    state.curl = curl;
    Request request(url, m_settings.extraCaFile);
    if (!configure(curl, state, m_settings, url, request, &failure)) {
        curl_easy_cleanup(curl);
        return failure;
    }
    const CURLcode code = curl_easy_perform(curl);
    long responseCode = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &responseCode);
    curl_easy_cleanup(curl);
    return outcomeOf(state, m_settings, code, responseCode, request.errorBuffer);
}
