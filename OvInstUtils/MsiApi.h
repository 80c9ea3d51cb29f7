#pragma once

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

namespace msi
{
// Every call into msi.dll goes through this table, so that a test can stand in for
// Windows Installer where a result cannot be produced for real (busy, 3010, a failed
// transaction). Defaults are the real msi.dll functions.
struct MsiFunctions
{
    decltype(&::MsiSetInternalUI) SetInternalUI = ::MsiSetInternalUI;
    decltype(&::MsiSetExternalUIW) SetExternalUIW = ::MsiSetExternalUIW;
    decltype(&::MsiEnableLogW) EnableLogW = ::MsiEnableLogW;
    decltype(&::MsiInstallProductW) InstallProductW = ::MsiInstallProductW;
    decltype(&::MsiEnumRelatedProductsW) EnumRelatedProductsW = ::MsiEnumRelatedProductsW;
    decltype(&::MsiQueryProductStateW) QueryProductStateW = ::MsiQueryProductStateW;
    decltype(&::MsiEnumClientsW) EnumClientsW = ::MsiEnumClientsW;
    decltype(&::MsiOpenDatabaseW) OpenDatabaseW = ::MsiOpenDatabaseW;
    decltype(&::MsiDatabaseApplyTransformW) DatabaseApplyTransformW = ::MsiDatabaseApplyTransformW;
    decltype(&::MsiDatabaseOpenViewW) DatabaseOpenViewW = ::MsiDatabaseOpenViewW;
    decltype(&::MsiViewExecute) ViewExecute = ::MsiViewExecute;
    decltype(&::MsiViewFetch) ViewFetch = ::MsiViewFetch;
    decltype(&::MsiRecordGetStringW) RecordGetStringW = ::MsiRecordGetStringW;
    decltype(&::MsiOpenPackageW) OpenPackageW = ::MsiOpenPackageW;
    decltype(&::MsiGetProductPropertyW) GetProductPropertyW = ::MsiGetProductPropertyW;
    decltype(&::MsiGetProductInfoW) GetProductInfoW = ::MsiGetProductInfoW;
    decltype(&::MsiCloseHandle) CloseHandle = ::MsiCloseHandle;
    decltype(&::MsiBeginTransactionW) BeginTransactionW = ::MsiBeginTransactionW;
    decltype(&::MsiEndTransaction) EndTransaction = ::MsiEndTransaction;
};

// The table in force. Replace entries only through CMsiApiOverride, before the threads
// that use them start: the table itself is not locked.
const MsiFunctions& Api() noexcept;

// Replaces entries of the table for one scope; the previous table comes back when the
// guard ends. Guards nest (newest first out).
class CMsiApiOverride
{
public:
    CMsiApiOverride() noexcept;
    ~CMsiApiOverride();
    CMsiApiOverride(const CMsiApiOverride&) = delete;
    CMsiApiOverride& operator=(const CMsiApiOverride&) = delete;

    // The live table, for assigning replacements: guard->InstallProductW = fake;
    MsiFunctions* operator->() noexcept;
    // The table as it was when the guard began, for a replacement that passes calls on.
    const MsiFunctions& Previous() const noexcept { return m_saved; }

private:
    MsiFunctions m_saved;
};

// Closes an MSIHANDLE through the table on every path.
class CMsiHandle
{
public:
    CMsiHandle() noexcept = default;
    explicit CMsiHandle(MSIHANDLE h) noexcept : m_h(h) {}
    ~CMsiHandle() { Close(); }
    CMsiHandle(const CMsiHandle&) = delete;
    CMsiHandle& operator=(const CMsiHandle&) = delete;
    CMsiHandle(CMsiHandle&& other) noexcept : m_h(other.Release()) {}
    CMsiHandle& operator=(CMsiHandle&& other) noexcept;

    MSIHANDLE Get() const noexcept { return m_h; }
    operator MSIHANDLE() const noexcept { return m_h; }
    // For out-parameters: closes what is held first.
    MSIHANDLE* Put() noexcept;
    MSIHANDLE Release() noexcept;
    void Close() noexcept;

private:
    MSIHANDLE m_h = 0;
};
} // namespace msi
