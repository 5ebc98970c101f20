#include "WakeSettings.h"

#include "KestrumLog.h"
#include "Registry.h"

#include <array>
#include <cstdint>
#include <optional>

namespace kestrum {

using namespace platform;

namespace {

// The value as a REG_DWORD within [0, highest]; nothing when it is missing,
// and a logged reason when it is there but unusable.
std::optional<int> readNumber(HKEY key, const char *name, int highest)
{
    unsigned long type = 0;
    std::array<unsigned char, 4> data{};
    unsigned long size = data.size();
    const long result = RegQueryValueExA(key, name, nullptr, &type, data.data(), &size);
    if (result == ERROR_FILE_NOT_FOUND)
        return std::nullopt;
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != 4) {
        qCWarning(kestrumLog).noquote() << QStringLiteral("the registry value %1\\%2 is not a number; its default is used.")
                                               .arg(QLatin1String(kWakeKeyPath), QLatin1String(name));
        return std::nullopt;
    }
    const std::uint32_t value = data[0] | (data[1] << 8) | (data[2] << 16) | (std::uint32_t{data[3]} << 24);
    if (value > static_cast<std::uint32_t>(highest)) {
        qCWarning(kestrumLog).noquote()
            << QStringLiteral("the registry value %1\\%2 is %3, above its largest value %4; its default is used.")
                   .arg(QLatin1String(kWakeKeyPath), QLatin1String(name))
                   .arg(value)
                   .arg(highest);
        return std::nullopt;
    }
    return static_cast<int>(value);
}

bool writeNumber(HKEY key, const char *name, int value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    const unsigned char data[4] = {static_cast<unsigned char>(bits & 0xFF),
                                   static_cast<unsigned char>((bits >> 8) & 0xFF),
                                   static_cast<unsigned char>((bits >> 16) & 0xFF),
                                   static_cast<unsigned char>((bits >> 24) & 0xFF)};
    return RegSetValueExA(key, name, 0, REG_DWORD, data, 4) == ERROR_SUCCESS;
}

} // namespace

WakeSettings loadWakeSettings()
{
    WakeSettings wake;
    OpenedKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kWakeKeyPath, 0, KEY_QUERY_VALUE, &key.key) != ERROR_SUCCESS)
        return wake;
    if (const auto fade = readNumber(key.key, kFadeInValueName, WakeSettings::kLongestFadeIn))
        wake.fadeInSeconds = *fade;
    if (const auto late = readNumber(key.key, kLateLimitValueName, WakeSettings::kLongestLateLimit))
        wake.lateLimitMinutes = *late;
    return wake;
}

bool saveWakeSettings(const WakeSettings &wake)
{
    OpenedKey key;
    const bool saved = RegCreateKeyExA(HKEY_CURRENT_USER, kWakeKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       KEY_SET_VALUE, nullptr, &key.key, nullptr)
                           == ERROR_SUCCESS
                       && writeNumber(key.key, kFadeInValueName, wake.fadeInSeconds)
                       && writeNumber(key.key, kLateLimitValueName, wake.lateLimitMinutes);
    if (!saved)
        qCWarning(kestrumLog).noquote() << QStringLiteral("cannot write the wake settings to the registry (%1); "
                                                          "they hold until Kestrum ends.")
                                               .arg(registryStoreFile());
    return saved;
}

} // namespace kestrum
