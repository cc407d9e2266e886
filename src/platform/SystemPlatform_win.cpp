#include "SystemPlatform.h"

#include <QWidget>

#include <windows.h>
#include <shellapi.h>

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

QStringList SystemPlatform::findFiles(const QString& folder, const QString& mask) const {
    QStringList result;
    const QString pattern = withTrailingSeparator(folder) + mask;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(reinterpret_cast<LPCWSTR>(pattern.utf16()), &data);
    if (search == INVALID_HANDLE_VALUE)
        return result;
    const DWORD excluded = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    do {
        if ((data.dwFileAttributes & excluded) == 0)
            result << QString::fromWCharArray(data.cFileName);
    } while (FindNextFileW(search, &data));
    FindClose(search);
    return result;
}

Platform* createSystemPlatform() {
    return new SystemPlatform;
}
