#pragma once

// The product's registry locations, all under HKEY_LOCAL_MACHINE in the 64-bit view. The
// sample packages write the same keys (samples/SecurityServer.wxs, ControlCenter.wxs).
namespace instutils
{
inline constexpr wchar_t kMakerKeyPath[] = L"SOFTWARE\\Calderis";
inline constexpr wchar_t kProductKeyPath[] = L"SOFTWARE\\Calderis\\Orvane Studio";
inline constexpr wchar_t kProductLocaleValue[] = L"ProductLocale";

inline constexpr wchar_t kSecurityServerKeyPath[] = L"SOFTWARE\\Calderis\\Orvane Studio\\Server\\Security Server";
inline constexpr wchar_t kSecurityServerVersionValue[] = L"MorvikServerVersion";
inline constexpr wchar_t kSecurityServerInstallDirValue[] = L"MorvikServerInstallDir";

inline constexpr wchar_t kControlCenterKeyPath[] = L"SOFTWARE\\Calderis\\Orvane Studio\\Control Center";
inline constexpr wchar_t kControlCenterVersionValue[] = L"Version";
} // namespace instutils
