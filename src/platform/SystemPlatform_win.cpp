#include "CommandLine.h"
#include "FileOps.h"
#include "ProxyConfig.h"
#include "SystemPlatform.h"

#include <QWidget>

#include <windows.h>
#include <shellapi.h>
#include <io.h>
#include <fcntl.h>
#include <winhttp.h>
#include <wintrust.h>
#define SECURITY_WIN32
#include <security.h>
#include <schannel.h>
#include <softpub.h>

#include <QFileInfo>
#include <QMutex>
#include <QUrl>

static_assert(kAutoProxyLoginNeeded == ERROR_WINHTTP_LOGIN_FAILURE, "the login-needed code is WinHTTP's");

namespace {
HWND ownerHandle(QWidget* owner) {
    return owner ? reinterpret_cast<HWND>(owner->winId()) : nullptr;
}
} // namespace

void SystemPlatform::shellOpenFile(QWidget* owner, const QString& fileName, const QString& workingFolder) {
    ShellExecuteW(ownerHandle(owner), L"open", reinterpret_cast<LPCWSTR>(fileName.utf16()), nullptr,
                  reinterpret_cast<LPCWSTR>(workingFolder.utf16()), SW_SHOW);
}

void SystemPlatform::shellOpenHeldFile(QWidget* owner, int, const QString& fileName, const QString& workingFolder) {
    // Held sharing only reading: nobody can write, rename or delete it while the shell
    // opens it by name.
    shellOpenFile(owner, fileName, workingFolder);
}

void SystemPlatform::shellOpenUrl(QWidget* owner, const QString& url) {
    ShellExecuteW(ownerHandle(owner), L"open", reinterpret_cast<LPCWSTR>(url.utf16()), nullptr, nullptr, SW_SHOW);
}

namespace {
// Calls take(name) for each ordinary file the system's search finds, in the system's order,
// until take returns false. Folders, hidden and system files are left out. The system also
// matches the mask against 8.3 short names ("twv2.exe1" is "TWV2~1.EXE" too, a "twv*.exe"),
// so each long name is matched again here before anyone acts on it.
template <typename Take>
void forEachMatch(const QString& folder, const QString& mask, Take take) {
    const QString pattern = withTrailingSeparator(folder) + mask;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(reinterpret_cast<LPCWSTR>(pattern.utf16()), &data);
    if (search == INVALID_HANDLE_VALUE)
        return;
    const DWORD excluded = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    do {
        if ((data.dwFileAttributes & excluded) != 0)
            continue;
        const QString name = QString::fromWCharArray(data.cFileName);
        if (matchesWildcard(name, mask) && !take(name))
            break;
    } while (FindNextFileW(search, &data));
    FindClose(search);
}
} // namespace

QStringList SystemPlatform::findFiles(const QString& folder, const QString& mask) const {
    QStringList result;
    forEachMatch(folder, mask, [&](const QString& name) {
        result << name;
        return true;
    });
    return result;
}

QString SystemPlatform::findFirstFile(const QString& folder, const QString& mask) const {
    QString first;
    forEachMatch(folder, mask, [&](const QString& name) {
        first = name;
        return false;
    });
    return first;
}

QStringList commandLineParameters(int, char**) {
    // The UTF-16 command line, split by the system's own quoting rules.
    QStringList parameters;
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments)
        return parameters;
    for (int i = 1; i < count; ++i)
        parameters << QString::fromWCharArray(arguments[i]);
    LocalFree(arguments);
    return parameters;
}

bool syncToDisk(int fd) {
    return _commit(fd) == 0;
}

bool replaceFile(const QString& from, const QString& to, QString* error) {
    if (MoveFileExW(reinterpret_cast<LPCWSTR>(from.utf16()), reinterpret_cast<LPCWSTR>(to.utf16()),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    if (error) {
        wchar_t* text = nullptr;
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, GetLastError(), 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
        *error = text ? QString::fromWCharArray(text).trimmed() : QStringLiteral("the file could not be replaced");
        LocalFree(text);
    }
    return false;
}

namespace {
QMutex g_proxyMutex;
QStringList g_proxiesHandedOut; // guarded by g_proxyMutex; transfers run on their own thread

void noteProxySetting(const QString& setting) {
    const QMutexLocker lock(&g_proxyMutex);
    if (!setting.isEmpty() && !g_proxiesHandedOut.contains(setting) && g_proxiesHandedOut.size() < 32)
        g_proxiesHandedOut << setting;
}
} // namespace

QStringList configuredProxySettings() {
    const QMutexLocker lock(&g_proxyMutex);
    return g_proxiesHandedOut;
}

std::optional<QString> systemProxyFor(const QString& url) {
    const QString host = QUrl(url).host();
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG ie{};
    if (!WinHttpGetIEProxyConfigForCurrentUser(&ie))
        return QString(); // no settings to be read: no proxy
    const auto take = [](LPWSTR text) {
        const QString value = text ? QString::fromWCharArray(text) : QString();
        if (text)
            GlobalFree(text);
        return value;
    };
    const QString autoConfigUrl = take(ie.lpszAutoConfigUrl);
    QString proxy = take(ie.lpszProxy);
    QString bypass = take(ie.lpszProxyBypass);
    if (ie.fAutoDetect || !autoConfigUrl.isEmpty()) {
        // Automatic configuration (WPAD or a PAC address) decides for this very address.
        HINTERNET session = WinHttpOpen(L"Tallyaid", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                        WINHTTP_NO_PROXY_BYPASS, 0);
        if (session) {
            const AutoProxyAnswer answer = askAutoProxy([&](bool sendLogin) {
                WINHTTP_AUTOPROXY_OPTIONS options{};
                options.fAutoLogonIfChallenged = sendLogin ? TRUE : FALSE;
                if (!autoConfigUrl.isEmpty()) {
                    options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
                    options.lpszAutoConfigUrl = reinterpret_cast<LPCWSTR>(autoConfigUrl.utf16());
                } else {
                    options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
                    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
                }
                AutoProxyAnswer result;
                WINHTTP_PROXY_INFO info{};
                if (!WinHttpGetProxyForUrl(session, reinterpret_cast<LPCWSTR>(url.utf16()), &options, &info)) {
                    result.error = GetLastError();
                    return result;
                }
                result.ok = true;
                const bool named = info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY;
                result.proxy = take(info.lpszProxy);
                if (!named)
                    result.proxy = QStringLiteral("DIRECT");
                result.bypass = take(info.lpszProxyBypass);
                return result;
            });
            if (answer.ok) {
                proxy = answer.proxy;
                bypass = answer.bypass;
            }
            WinHttpCloseHandle(session);
        }
    }
    const ProxyChoice choice = chooseProxy(proxy, bypass, host);
    noteProxySetting(proxy);
    noteProxySetting(choice.proxy);
    return choice.direct ? QString() : choice.proxy;
}

void closeFile(int fd) {
    _close(fd);
}

namespace {
QString windowsMessage(DWORD code) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    const QString message = text ? QString::fromWCharArray(text).trimmed() : QStringLiteral("error %1").arg(code);
    LocalFree(text);
    return message;
}

LPCWSTR wide(const QString& text) {
    return reinterpret_cast<LPCWSTR>(text.utf16());
}

HANDLE handleOf(int fd) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

FileIdentity identityOfHandle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    FileIdentity id;
    if (handle != INVALID_HANDLE_VALUE && GetFileInformationByHandle(handle, &info)) {
        id.device = info.dwVolumeSerialNumber;
        id.node = (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        id.valid = true;
    }
    return id;
}
} // namespace

FileIdentity identityOfOpenFile(int fd) {
    return identityOfHandle(handleOf(fd));
}

FileIdentity identityAtPath(const QString& path) {
    HANDLE handle = CreateFileW(wide(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const FileIdentity id = identityOfHandle(handle);
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    return id;
}

HeldFolder::HeldFolder(const QString& path) : m_path(path) {
    // The entry itself, a junction or link not followed; shared for anything but deleting, so
    // that nobody can rename it or put something else at its name while it is held.
    HANDLE handle = CreateFileW(wide(path), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        CloseHandle(handle);
        return;
    }
    m_handle = reinterpret_cast<qintptr>(handle);
}

HeldFolder::~HeldFolder() {
    if (m_handle != -1)
        CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

QString HeldFolder::pathOf(const QString& name) const {
    if (m_handle == -1)
        return QString();
    const bool separated = m_path.endsWith(u'\\') || m_path.endsWith(u'/');
    return m_path + (separated ? QString() : QStringLiteral("\\")) + name;
}

int createOwnedFile(const QString& path, const std::function<void(const QString&)>& removeLeftover,
                    OwnedFileStatus* status, QString* error) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        // Created afresh and opened without sharing: nobody else can open, write or delete it
        // while this run holds it. DELETE access lets the handle itself rename or remove it.
        // A link or junction under the name is that name itself, never followed: a dangling
        // link would otherwise create its target, wherever it points.
        HANDLE handle = CreateFileW(wide(path), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
            if (fd < 0) {
                CloseHandle(handle);
                break;
            }
            *status = OwnedFileStatus::Created;
            return fd;
        }
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) {
            *status = OwnedFileStatus::Failed;
            *error = QStringLiteral("Cannot create file \"%1\". %2").arg(path, windowsMessage(code));
            return -1;
        }
        // A leftover can be removed only when no run holds it open.
        removeLeftover(path);
        if (identityAtPath(path).valid) {
            *status = OwnedFileStatus::HeldElsewhere;
            *error = QStringLiteral("Cannot create file \"%1\". Another download is writing it.").arg(path);
            return -1;
        }
    }
    *status = OwnedFileStatus::Failed;
    *error = QStringLiteral("Cannot create file \"%1\".").arg(path);
    return -1;
}

bool renameOwnedFile(int fd, const QString& from, const QString& to, QString* error) {
    Q_UNUSED(from);
    // Renamed through the handle that wrote it, so no other file can take its place.
    const std::size_t nameBytes = std::size_t(to.size()) * sizeof(wchar_t);
    QByteArray buffer(int(sizeof(FILE_RENAME_INFO) + nameBytes), '\0');
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = DWORD(nameBytes);
    memcpy(info->FileName, to.utf16(), nameBytes);
    if (SetFileInformationByHandle(handleOf(fd), FileRenameInfo, info, DWORD(buffer.size())))
        return true;
    if (error)
        *error = windowsMessage(GetLastError());
    return false;
}

void discardOwnedFile(int fd, const QString& path, const std::function<void(const QString&)>&) {
    Q_UNUSED(path);
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    SetFileInformationByHandle(handleOf(fd), FileDispositionInfo, &disposition, sizeof disposition);
    _close(fd);
}

int holdForStart(int fd, const QString& path, bool* reopened) {
    const FileIdentity checked = identityOfOpenFile(fd);
    const auto readShared = [&path] {
        // Readable by the shell, but neither writable, renamable nor deletable while we hold it.
        return CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    };
    // A handle that already shares reading is joined by the new one before it is let go.
    *reopened = false;
    HANDLE handle = readShared();
    _close(fd);
    if (handle == INVALID_HANDLE_VALUE) {
        // One that shares nothing cannot be narrowed: it is closed and the file opened anew,
        // and in between anyone allowed to write the folder could change it. The caller
        // hashes the bytes again through the new handle.
        *reopened = true;
        handle = readShared();
    }
    if (handle == INVALID_HANDLE_VALUE)
        return -1;
    BY_HANDLE_FILE_INFORMATION info{};
    if (identityOfHandle(handle) != checked || !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || info.nNumberOfLinks != 1) {
        CloseHandle(handle);
        return -1;
    }
    const int held = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY | _O_RDONLY);
    if (held < 0)
        CloseHandle(handle);
    return held;
}

bool systemTrustsServer(void* session, const QString& host, QString* why) {
    const auto refuse = [why](const QString& text) {
        if (why)
            *why = text;
        return false;
    };
    auto* context = static_cast<CtxtHandle*>(session);
    PCCERT_CONTEXT server = nullptr;
    if (!context ||
        QueryContextAttributesW(context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &server) != SEC_E_OK || !server)
        return refuse(QStringLiteral("the server sent no certificate"));
    // The chain as the server sent it, intermediates included, against the system's roots.
    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof chainPara;
    LPSTR serverAuth[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = serverAuth;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    const BOOL built = CertGetCertificateChain(nullptr, server, nullptr, server->hCertStore, &chainPara, 0, nullptr, &chain);
    bool trusted = false;
    QString problem = QStringLiteral("no chain to a trusted root");
    if (built && chain) {
        std::wstring name = host.toStdWString();
        SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
        ssl.cbSize = sizeof ssl;
        ssl.dwAuthType = AUTHTYPE_SERVER;
        ssl.pwszServerName = name.data();
        CERT_CHAIN_POLICY_PARA policyPara{};
        policyPara.cbSize = sizeof policyPara;
        policyPara.pvExtraPolicyPara = &ssl;
        CERT_CHAIN_POLICY_STATUS status{};
        status.cbSize = sizeof status;
        // The chain's own status as well: some implementations' SSL policy passes a chain
        // that never reached a root at all (Wine's does). Revocation was not asked for.
        const DWORD revocation = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
        if ((chain->TrustStatus.dwErrorStatus & ~revocation) != CERT_TRUST_NO_ERROR)
            problem = QStringLiteral("no chain to a trusted root (status %1)")
                          .arg(chain->TrustStatus.dwErrorStatus, 8, 16, QLatin1Char('0'));
        else if (CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policyPara, &status)) {
            trusted = status.dwError == 0;
            if (!trusted)
                problem = windowsMessage(status.dwError);
        }
        CertFreeCertificateChain(chain);
    }
    CertFreeCertificateContext(server);
    return trusted || refuse(problem);
}

void WriteBehind::wrote(qint64 bytes) {
    m_written += bytes; // the closing FlushFileBuffers does the work here
    m_started = m_written;
    Q_UNUSED(m_fd);
}

namespace {
// The subject of a certificate as (attribute, value) pairs in its own order.
QList<QPair<QString, QString>> subjectOf(PCCERT_CONTEXT cert) {
    QList<QPair<QString, QString>> subject;
    CERT_NAME_INFO* name = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, X509_NAME, cert->pCertInfo->Subject.pbData,
                             cert->pCertInfo->Subject.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &name, &size))
        return subject;
    const struct {
        const char* oid;
        const char* key;
    } known[] = {{szOID_COMMON_NAME, "CN"}, {szOID_ORGANIZATION_NAME, "O"}, {szOID_LOCALITY_NAME, "L"},
                 {szOID_COUNTRY_NAME, "C"}};
    for (DWORD i = 0; i < name->cRDN; ++i) {
        for (DWORD j = 0; j < name->rgRDN[i].cRDNAttr; ++j) {
            CERT_RDN_ATTR& attr = name->rgRDN[i].rgRDNAttr[j];
            QString key = QString::fromLatin1(attr.pszObjId);
            for (const auto& k : known)
                if (qstrcmp(attr.pszObjId, k.oid) == 0)
                    key = QString::fromLatin1(k.key);
            const DWORD length = CertRDNValueToStrW(attr.dwValueType, &attr.Value, nullptr, 0);
            std::wstring value(length, L'\0');
            CertRDNValueToStrW(attr.dwValueType, &attr.Value, value.data(), length);
            subject.append({key, QString::fromWCharArray(value.c_str())});
        }
    }
    LocalFree(name);
    return subject;
}
} // namespace

Platform::PublisherCheck SystemPlatform::checkPublisherSignature(int fd, const QString& path,
                                                                 const Publisher& publisher) const {
    // Read through the download's own handle, which nobody else may write while it is held:
    // the bytes checked are the bytes that will be started.
    HANDLE file = handleOf(fd);
    if (file == INVALID_HANDLE_VALUE)
        return PublisherCheck::Invalid;
    WINTRUST_FILE_INFO fileInfo{};
    fileInfo.cbStruct = sizeof(fileInfo);
    fileInfo.pcwszFilePath = reinterpret_cast<LPCWSTR>(path.utf16());
    fileInfo.hFile = file;
    WINTRUST_DATA data{};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
    data.dwProvFlags = WTD_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const HWND noWindow = static_cast<HWND>(INVALID_HANDLE_VALUE); // never any user interface
    bool valid = false;
    if (WinVerifyTrust(noWindow, &action, &data) == ERROR_SUCCESS) {
        // A valid signature of anyone at all is not enough: the signer must be the vendor.
        CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(data.hWVTStateData);
        CRYPT_PROVIDER_SGNR* signer = provider ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
        CRYPT_PROVIDER_CERT* leaf = signer ? WTHelperGetProvCertFromChain(signer, 0) : nullptr;
        // The whole subject, not only the name the system shows: anyone can buy a
        // certificate for a look-alike name.
        valid = leaf && leaf->pCert && subjectIsPublisher(subjectOf(leaf->pCert), publisher);
    }
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(noWindow, &action, &data);
    return valid ? PublisherCheck::Valid : PublisherCheck::Invalid;
}

ReadOpen openRegularFileForReading(const QString& path, qint64 maxBytes, int* fd, QString* error) {
    *fd = -1;
    const auto fail = [&](ReadOpen outcome, const QString& why) {
        if (error)
            *error = QStringLiteral("Cannot read \"%1\". %2").arg(path, why);
        return outcome;
    };
    // Others may go on reading, writing or deleting it meanwhile, as with an ordinary open.
    HANDLE handle = CreateFileW(reinterpret_cast<LPCWSTR>(path.utf16()), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        const bool missing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
        // A folder is refused by the open itself, as access denied.
        const DWORD attributes = GetFileAttributesW(reinterpret_cast<LPCWSTR>(path.utf16()));
        if (!missing && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return fail(ReadOpen::NotAFile, QStringLiteral("It is not a regular file."));
        return fail(missing ? ReadOpen::Missing : ReadOpen::Refused, QStringLiteral("(error %1)").arg(code));
    }
    // A pipe, a console or another device is not read: only a file on a disk is.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return fail(ReadOpen::NotAFile, QStringLiteral("It is not a regular file."));
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(handle);
        return fail(ReadOpen::NotAFile, QStringLiteral("It is not a regular file."));
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle, &size) || size.QuadPart > maxBytes) {
        CloseHandle(handle);
        return fail(ReadOpen::TooLarge, QStringLiteral("It is larger than %1 bytes.").arg(maxBytes));
    }
    const int opened = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (opened < 0) {
        CloseHandle(handle);
        return fail(ReadOpen::Refused, QStringLiteral("No descriptor for the open file."));
    }
    *fd = opened;
    return ReadOpen::Opened;
}

Platform* createSystemPlatform() {
    return new SystemPlatform;
}

int openForAppending(const QString& path) {
    // FILE_FLAG_OPEN_REPARSE_POINT opens a link or junction itself, which is then refused.
    HANDLE handle = CreateFileW(wide(path), FILE_APPEND_DATA | FILE_READ_DATA | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return -1;
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
        info.nNumberOfLinks != 1) {
        CloseHandle(handle);
        return -1;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_APPEND | _O_BINARY);
    if (fd < 0)
        CloseHandle(handle);
    return fd;
}

qint64 sizeOfOpenFile(int fd) {
    LARGE_INTEGER size{};
    return GetFileSizeEx(handleOf(fd), &size) ? qint64(size.QuadPart) : -1;
}

qint64 readAt(int fd, qint64 offset, char* buffer, qint64 size) {
    qint64 done = 0;
    while (done < size) {
        OVERLAPPED at{};
        at.Offset = DWORD(quint64(offset + done) & 0xffffffffu);
        at.OffsetHigh = DWORD(quint64(offset + done) >> 32);
        DWORD n = 0;
        const DWORD want = DWORD(qMin<qint64>(size - done, 1 << 20));
        if (!ReadFile(handleOf(fd), buffer + done, want, &n, &at))
            return GetLastError() == ERROR_HANDLE_EOF ? done : -1;
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

bool writeAll(int fd, const QByteArray& bytes) {
    DWORD written = 0;
    // A handle with append rights alone writes at the end, whatever the position.
    return WriteFile(handleOf(fd), bytes.constData(), DWORD(bytes.size()), &written, nullptr) &&
           written == DWORD(bytes.size());
}

namespace {
// What the name itself is, a link or junction not followed; INVALID_FILE_ATTRIBUTES when none.
DWORD attributesAt(const QString& path) {
    return GetFileAttributesW(wide(path));
}

qint64 unixSeconds(const FILETIME& time) {
    const quint64 ticks = (quint64(time.dwHighDateTime) << 32) | time.dwLowDateTime; // 100 ns since 1601
    return ticks == 0 ? 0 : qint64(ticks / 10000000u) - qint64(11644473600LL);
}
} // namespace

ReadOpen openRegularFileNoFollow(const QString& path, qint64 maxBytes, int* fd, qint64* modified) {
    *fd = -1;
    *modified = 0;
    // FILE_FLAG_OPEN_REPARSE_POINT opens a link or junction itself, which is then refused.
    HANDLE handle =
        CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
            return ReadOpen::Missing;
        const DWORD attributes = attributesAt(path);
        return attributes != INVALID_FILE_ATTRIBUTES &&
                       (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0
                   ? ReadOpen::NotAFile
                   : ReadOpen::Refused;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        CloseHandle(handle);
        return ReadOpen::NotAFile;
    }
    *modified = unixSeconds(info.ftLastWriteTime);
    const qint64 size = qint64((quint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    if (size > maxBytes) {
        CloseHandle(handle);
        return ReadOpen::TooLarge;
    }
    const int opened = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (opened < 0) {
        CloseHandle(handle);
        return ReadOpen::Refused;
    }
    *fd = opened;
    return ReadOpen::Opened;
}

int tryLockFile(const QString& path, LockStatus* status) {
    // The link or junction itself when there is one, never what it points to. Other runs may
    // open it too, but while anyone has it open nobody can delete or rename it, which would
    // let a run lock a file of the same name that another run no longer has.
    HANDLE handle =
        CreateFileW(wide(path), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        const DWORD attributes = attributesAt(path);
        *status = code == ERROR_SHARING_VIOLATION
                      ? LockStatus::HeldElsewhere // opened by someone for a moment
                  : attributes != INVALID_FILE_ATTRIBUTES &&
                          (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0
                      ? LockStatus::NotAFile
                      : LockStatus::Failed;
        return -1;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        CloseHandle(handle);
        *status = LockStatus::NotAFile;
        return -1;
    }
    OVERLAPPED whole{};
    if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                    &whole)) {
        const DWORD code = GetLastError();
        CloseHandle(handle);
        *status = code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING ? LockStatus::HeldElsewhere
                                                                           : LockStatus::Failed;
        return -1;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        *status = LockStatus::Failed;
        return -1;
    }
    *status = LockStatus::Locked;
    return fd;
}

void unlockFile(int fd) {
    // Unlocked first: a lock left to the closing handle may be let go only some time later.
    OVERLAPPED whole{};
    UnlockFileEx(handleOf(fd), 0, MAXDWORD, MAXDWORD, &whole);
    _close(fd);
}

QString folderKeyText(const QString& folder) {
    return QFileInfo(folder).canonicalFilePath().toCaseFolded();
}
