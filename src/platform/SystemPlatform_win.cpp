#include "CommandLine.h"
#include "FileOps.h"
#include "ProxyConfig.h"
#include "SystemPlatform.h"
#include "WinText.h"

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

Platform* createSystemPlatform() {
    return new SystemPlatform;
}
