#include "setting_location.h"

#include "my_function_lv01.h"
#include "windows_text.h"

#include <shlobj.h>

namespace SettingLocation {

std::string ProgramFolder() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            try {
                return MyFunction_Lv01::ParentFolder(WindowsText::narrow(buffer));
            } catch (const std::exception&) {
                return {};
            }
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::optional<std::string> ProcessEnvironment(const char* name) {
    const std::wstring wide = WindowsText::widen(name);
    const DWORD size = GetEnvironmentVariableW(wide.c_str(), nullptr, 0);
    if (size == 0)
        return std::nullopt;
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(wide.c_str(), value.data(), size));
    return WindowsText::narrow(value);
}

// Windows has no root that runs with another user's profile: an elevated program gets its
// own account's folders.
Account EffectiveAccount() {
    return {false, std::nullopt, [](const std::string&) { return true; }};
}

// The user's local application data folder, as Windows names it; the environment plays no part.
std::string PerUserFolder(const std::string& applicationName, const Environment&, const Account&) {
    PWSTR folder = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &folder))) {
        CoTaskMemFree(folder);
        return {};
    }
    const std::string base = WindowsText::narrow(folder);
    CoTaskMemFree(folder);
    return MyFunction_Lv01::JoinPath(base, applicationName);
}

bool PerUserFolderAllowed(const std::string&) {
    return true;
}

namespace {

struct FolderIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
};

// The volume and file index the file system gives a folder, whatever name reached it.
std::optional<FolderIdentity> identityOf(const std::string& folder) {
    // Only the identity is asked for: no access rights, every sharing mode.
    HANDLE handle = CreateFileW(WindowsText::filePath(folder).c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(handle, &info) &&
                       (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    CloseHandle(handle);
    if (!known)
        return std::nullopt;
    return FolderIdentity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

} // namespace

bool SameFolder(const std::string& a, const std::string& b) {
    const auto first = identityOf(a);
    const auto second = identityOf(b);
    return first && second && first->volume == second->volume &&
           first->indexHigh == second->indexHigh && first->indexLow == second->indexLow;
}

// Folder by folder, each through the wide API in its long form where it needs one.
void MakeFolder(const std::string& folder) {
    for (std::size_t end = folder.find('\\', 3);; end = folder.find('\\', end + 1)) {
        const std::string part = folder.substr(0, end);
        CreateDirectoryW(WindowsText::filePath(part).c_str(), nullptr);
        if (end == std::string::npos)
            return;
    }
}

} // namespace SettingLocation
