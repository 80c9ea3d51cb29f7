// Names of the shared-memory regions through which the Security Server's setup wizard
// hands its settings to the later steps. The wizard is a separate program: keep this
// header free of anything but the names.
#pragma once

namespace ovinst
{
// Authentication Server settings: its complete property command line.
inline constexpr wchar_t kAuthServerRegionName[] = L"{7E627EB0-AFC6-4320-9354-A808C5A4C7AE}";
// Database settings: administrator name, then that administrator's password.
inline constexpr wchar_t kDatabaseRegionName[] = L"{A856BC66-53D6-4123-A12E-04AE644DAB3E}";
// Connection-points cache.
inline constexpr wchar_t kConnectionPointsRegionName[] = L"{3F7EE35D-3A16-405D-9473-52EF60C4BB3F}";
// Update context: bytes 4 onward hold the update's temporary folder, NUL-terminated.
inline constexpr wchar_t kUpdateContextRegionName[] = L"{5C1B8E2A-94D7-4F3E-B1A6-2E7D0C9F4A81}";

// Size of each region in bytes. Every field in a region is a 32-bit little-endian byte
// count followed by that many bytes of UTF-16 text.
inline constexpr unsigned long kSharedRegionSize = 0x100000;
}
