// Stands in for a downloaded program in the Windows end-to-end test: records that it ran,
// as which file and in which working folder, in the file TALLYAID_STANDIN_LOG names.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    wchar_t log[MAX_PATH] = {}, self[MAX_PATH] = {}, folder[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"TALLYAID_STANDIN_LOG", log, MAX_PATH))
        return 1;
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    GetCurrentDirectoryW(MAX_PATH, folder);
    const std::wstring line = std::wstring(self) + L"|" + folder + L"\n";
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), int(line.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), int(line.size()), utf8.data(), bytes, nullptr, nullptr);
    HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 2;
    DWORD written = 0;
    WriteFile(file, utf8.data(), DWORD(utf8.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
}
