#pragma once

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

namespace msi
{
// Every call into msi.dll goes through this table, so that a test can stand in for
// Windows Installer where a result cannot be produced for real (busy, 3010, a failed
// transaction). msi.dll is not imported: a planted copy beside the program would run with
// its rights. The defaults are the functions of the system folder's msi.dll, resolved once;
// a function that cannot be resolved throws COvError when called.
struct MsiFunctions
{
    // The system's msi.dll functions.
    MsiFunctions() noexcept;
    // The functions of the given module (null: none); each missing one is replaced by a
    // stand-in that throws COvError naming it (MsiCloseHandle's just fails: it runs in
    // destructors, and without msi.dll there is no handle to close).
    explicit MsiFunctions(HMODULE module) noexcept;

    decltype(&::MsiSetInternalUI) SetInternalUI;
    decltype(&::MsiSetExternalUIW) SetExternalUIW;
    decltype(&::MsiEnableLogW) EnableLogW;
    decltype(&::MsiInstallProductW) InstallProductW;
    decltype(&::MsiEnumRelatedProductsW) EnumRelatedProductsW;
    decltype(&::MsiQueryProductStateW) QueryProductStateW;
    decltype(&::MsiEnumClientsW) EnumClientsW;
    decltype(&::MsiOpenDatabaseW) OpenDatabaseW;
    decltype(&::MsiDatabaseApplyTransformW) DatabaseApplyTransformW;
    decltype(&::MsiDatabaseOpenViewW) DatabaseOpenViewW;
    decltype(&::MsiViewExecute) ViewExecute;
    decltype(&::MsiViewFetch) ViewFetch;
    decltype(&::MsiRecordGetStringW) RecordGetStringW;
    decltype(&::MsiOpenPackageW) OpenPackageW;
    decltype(&::MsiGetProductPropertyW) GetProductPropertyW;
    decltype(&::MsiGetProductInfoW) GetProductInfoW;
    decltype(&::MsiCloseHandle) CloseHandle;
    decltype(&::MsiBeginTransactionW) BeginTransactionW;
    decltype(&::MsiEndTransaction) EndTransaction;
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
