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

#include <QUrl>

namespace {
HWND ownerHandle(QWidget* owner) {
    return owner ? reinterpret_cast<HWND>(owner->winId()) : nullptr;
}
} // namespace

void SystemPlatform::shellOpenFile(QWidget* owner, const QString& fileName, const QString& workingFolder) {
    ShellExecuteW(ownerHandle(owner), L"open", reinterpret_cast<LPCWSTR>(fileName.utf16()), nullptr,
                  reinterpret_cast<LPCWSTR>(workingFolder.utf16()), SW_SHOW);
}

void SystemPlatform::shellOpenUrl(QWidget* owner, const QString& url) {
    ShellExecuteW(ownerHandle(owner), L"open", reinterpret_cast<LPCWSTR>(url.utf16()), nullptr, nullptr, SW_SHOW);
}

namespace {
// Calls take(name) for each ordinary file the system's search finds, in the system's order,
// until take returns false. Folders, hidden and system files are left out.
template <typename Take>
void forEachMatch(const QString& folder, const QString& mask, Take take) {
    const QString pattern = withTrailingSeparator(folder) + mask;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(reinterpret_cast<LPCWSTR>(pattern.utf16()), &data);
    if (search == INVALID_HANDLE_VALUE)
        return;
    const DWORD excluded = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    do {
        if ((data.dwFileAttributes & excluded) == 0 && !take(QString::fromWCharArray(data.cFileName)))
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
            WINHTTP_AUTOPROXY_OPTIONS options{};
            options.fAutoLogonIfChallenged = TRUE;
            if (!autoConfigUrl.isEmpty()) {
                options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
                options.lpszAutoConfigUrl = reinterpret_cast<LPCWSTR>(autoConfigUrl.utf16());
            } else {
                options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
                options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
            }
            WINHTTP_PROXY_INFO info{};
            if (WinHttpGetProxyForUrl(session, reinterpret_cast<LPCWSTR>(url.utf16()), &options, &info)) {
                const bool named = info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY;
                proxy = named ? take(info.lpszProxy) : (take(info.lpszProxy), QStringLiteral("DIRECT"));
                bypass = take(info.lpszProxyBypass);
            }
            WinHttpCloseHandle(session);
        }
    }
    const ProxyChoice choice = chooseProxy(proxy, bypass, host);
    return choice.direct ? QString() : choice.proxy;
}

int createNewFileExclusive(const QString& path, QString* error) {
    // Created afresh and opened without sharing: nobody else can open it while it is written.
    HANDLE handle = CreateFileW(reinterpret_cast<LPCWSTR>(path.utf16()), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        if (error)
            *error = QStringLiteral("Cannot create file \"%1\" (error %2)").arg(path).arg(GetLastError());
        return -1;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
    if (fd < 0)
        CloseHandle(handle);
    return fd;
}

void closeFile(int fd) {
    _close(fd);
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
