// The registry value Vorn_B32_DEBUG under HKEY_CURRENT_USER
// SOFTWARE\KEMAX\KEMAX.NMS\Settings, the library's debug switch.
#include "platform/platform.h"
#include "platform/win32/system.h"

namespace vorn::platform {
namespace {

constexpr const char *kSettingsKey = "SOFTWARE\\KEMAX\\KEMAX.NMS\\Settings";

} // namespace

std::string settings_path() {
    return std::string("HKEY_CURRENT_USER\\") + kSettingsKey;
}

uint32_t read_settings_value(const char *name) {
    if (name == nullptr)
        return 0;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return 0;
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = sizeof value;
    LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(&value), &size);
    if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) {
        // The value is created so that the user finds it and can change it.
        value = 0;
        RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value),
                       sizeof value);
    }
    RegCloseKey(key);
    return value;
}

} // namespace vorn::platform
