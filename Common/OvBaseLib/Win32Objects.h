// Owning wrappers of kernel objects and registry keys, and a few path helpers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace OvBase
{
class CWin32Handle
{
public:
    CWin32Handle() = default;
    explicit CWin32Handle(HANDLE handle) : m_handle(handle) {}
    CWin32Handle(const CWin32Handle&) = delete;
    CWin32Handle& operator=(const CWin32Handle&) = delete;

    virtual ~CWin32Handle();
    virtual void Attach(HANDLE handle);
    virtual HANDLE Detach();
    virtual HANDLE GetHandle();
    virtual HANDLE GetHandle() const;
    virtual bool IsValid() const;
    virtual bool IsOpen() const;
    virtual void Close();
    virtual void OnClose();

    const std::wstring& GetName() const { return m_name; }
    // False keeps the handle open when the wrapper goes away.
    void SetCloseOnDestruction(bool close) { m_closeOnDestruction = close; }

protected:
    // Closes without virtual calls, so a destructor can use it.
    void CloseHandleOnly();

    HANDLE m_handle = INVALID_HANDLE_VALUE;
    std::wstring m_name;
    bool m_closeOnDestruction = true;
    // All-ones for most objects, null for events.
    HANDLE m_invalidValue = INVALID_HANDLE_VALUE;
};

class CWin32File : public CWin32Handle
{
public:
    CWin32File() = default;
    explicit CWin32File(HANDLE handle) : CWin32Handle(handle) {}

    // CreateFileW; 0 or the system error.
    DWORD Create(const wchar_t* path, DWORD access, DWORD share, DWORD disposition,
                 DWORD attributes = FILE_ATTRIBUTE_NORMAL, LPSECURITY_ATTRIBUTES security = nullptr);
    void Create_Ex(const wchar_t* path, DWORD access, DWORD share, DWORD disposition,
                   DWORD attributes = FILE_ATTRIBUTE_NORMAL, LPSECURITY_ATTRIBUTES security = nullptr);
};

class CWin32MappedFile : public CWin32File
{
public:
    CWin32MappedFile() = default;
    ~CWin32MappedFile() override;
    void Close() override;

    // Maps the file (the invalid handle maps the paging file). Returns 0, or 183 when a
    // mapping of that name existed already; throws any other failure.
    DWORD Map_Ex(DWORD protection, ULONGLONG maximumSize, const wchar_t* name,
                 LPSECURITY_ATTRIBUTES security = nullptr);
    // Replaces the current view by a new one.
    void* GetPointer_Ex(DWORD access, ULONGLONG offset, SIZE_T bytes);
    void* GetPointer() const { return m_view; }
    HANDLE GetMapping() const { return m_mapping; }

private:
    void Release();

    void* m_view = nullptr;
    HANDLE m_mapping = INVALID_HANDLE_VALUE;
};

class CWin32Event : public CWin32Handle
{
public:
    explicit CWin32Event(bool manualReset = true);
    ~CWin32Event() override;
    bool IsValid() const override;
    void Close() override;
    virtual DWORD Reset();
    // Creates or opens the event; 0 or the system error.
    virtual DWORD Create(bool initiallySignalled = false, const wchar_t* name = nullptr,
                         LPSECURITY_ATTRIBUTES security = nullptr);
    virtual void Create_Ex(bool initiallySignalled = false, const wchar_t* name = nullptr,
                           LPSECURITY_ATTRIBUTES security = nullptr);

    DWORD Set();
    // WaitForSingleObject on the event.
    DWORD Wait(DWORD milliseconds);
    bool IsManualReset() const { return m_manualReset; }

private:
    bool m_manualReset;
};

class CWin32CriticalSection
{
public:
    CWin32CriticalSection();
    CWin32CriticalSection(const CWin32CriticalSection&) = delete;
    CWin32CriticalSection& operator=(const CWin32CriticalSection&) = delete;
    virtual ~CWin32CriticalSection();

    void Enter();
    void Leave();

private:
    CRITICAL_SECTION m_section;
};

// Enter on construction, leave on destruction.
class CCriticalSectionLock
{
public:
    explicit CCriticalSectionLock(CWin32CriticalSection& section) : m_section(section) { m_section.Enter(); }
    ~CCriticalSectionLock() { m_section.Leave(); }
    CCriticalSectionLock(const CCriticalSectionLock&) = delete;
    CCriticalSectionLock& operator=(const CCriticalSectionLock&) = delete;

private:
    CWin32CriticalSection& m_section;
};

// A thread whose body is ThreadProc; the body polls IsStopRequested. A derived class stops
// the thread in its own destructor: by the time this one runs, the derived part is gone.
class CWin32Thread : public CWin32Handle
{
public:
    CWin32Thread();
    ~CWin32Thread() override;

    virtual DWORD ThreadProc() = 0;
    virtual bool Create(void* parameter = nullptr, bool suspended = false, LPSECURITY_ATTRIBUTES security = nullptr);
    // Asks the thread to stop and waits (pumping messages); terminates it when it does not end.
    virtual void Stop(DWORD milliseconds);
    virtual void Kill(DWORD milliseconds);
    virtual DWORD Suspend();
    virtual DWORD Resume();
    virtual int GetPriority();
    virtual BOOL SetPriority(int priority);
    virtual bool IsStopRequested();

    // 0 when there is no thread or a quit message arrived; otherwise the wait result
    // (without pumping) or the thread's exit code (with pumping; 259 while it runs).
    DWORD WaitForEnd(bool pumpMessages, DWORD milliseconds);
    DWORD GetThreadId() const { return m_threadId; }
    void* GetParameter() const { return m_parameter; }
    CWin32Event& GetStopEvent() { return m_stopEvent; }

private:
    static DWORD WINAPI StartRoutine(void* self);

    DWORD m_threadId = 0;
    CWin32Event m_stopEvent;
    CWin32CriticalSection m_lock;
    void* m_parameter = nullptr;
    bool m_suspended = false;
};

class CWin32Process : public CWin32Handle
{
public:
    CWin32Process();
    ~CWin32Process() override;

    // The command line is "\"application\" arguments"; 0 or the system error.
    virtual DWORD Create(const wchar_t* application, const wchar_t* arguments, bool waitForInputIdle = false,
                         DWORD creationFlags = 0, bool inheritHandles = false, void* environment = nullptr);
    virtual void Create_Ex(const wchar_t* application, const wchar_t* arguments, bool waitForInputIdle = false,
                           DWORD creationFlags = 0, bool inheritHandles = false, void* environment = nullptr);
    virtual void Reserved();
    virtual void SetStartupInfo(const STARTUPINFOW& startupInfo);
    virtual std::wstring GetCurrentDirectory();
    virtual void SetCurrentDirectory(const std::wstring& directory);
    virtual void SetSecurityAttributes(const SECURITY_ATTRIBUTES& attributes);
    virtual void GetSecurityAttributes(SECURITY_ATTRIBUTES& attributes);
    virtual BOOL Terminate(DWORD exitCode);
    // 0 when the process ended (exit code read), else the wait result; 0 without a process.
    virtual DWORD WaitFor(DWORD milliseconds);
    virtual void WaitFor_Ex(DWORD milliseconds);
    virtual DWORD GetExitCode();

    const std::wstring& GetCommandLine() const { return m_commandLine; }

private:
    STARTUPINFOW m_startupInfo;
    std::wstring m_commandLine;
    std::wstring m_currentDirectory;
    SECURITY_ATTRIBUTES m_security;
    std::vector<BYTE> m_securityDescriptor;
    DWORD m_exitCode = 0xFFFFFFFF;
};

class CRegistryKey
{
public:
    enum Root
    {
        RootNone = 0,
        RootClassesRoot = 1,
        RootCurrentUser = 2,
        RootLocalMachine = 3,
        RootUsers = 4,
        RootCurrentConfig = 5,
        RootDynData = 6,
    };
    // Operation codes passed to OnError.
    enum Operation
    {
        OpCreateKey = 3,
        OpOpenKey = 4,
        OpCloseKey = 5,
        OpQueryValue = 6,
        OpSetValue = 7,
        OpDeleteValue = 10,
    };

    explicit CRegistryKey(int root = RootNone);
    // Opens the other key's key once more.
    explicit CRegistryKey(const CRegistryKey& other);
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    virtual ~CRegistryKey();
    // 1 repeats the failed call; the base never repeats (2).
    virtual int OnError(LONG result, int operation, const wchar_t* text);

    // Opens or creates a subkey of this key; the new key replaces this one on success.
    LONG Open(const wchar_t* subkey, bool create, REGSAM rights);
    LONG OpenFrom(const CRegistryKey& other, const wchar_t* subkey, bool create, REGSAM rights);
    LONG Close();
    LONG GetDword(const wchar_t* name, DWORD& value, DWORD defaultValue);
    LONG GetString(const wchar_t* name, std::wstring& text, const wchar_t* defaultText);
    LONG SetDword(const wchar_t* name, DWORD value);
    LONG SetString(const wchar_t* name, const wchar_t* text, DWORD type = REG_SZ);
    LONG DeleteValue(const wchar_t* name);

    HKEY GetKey() const { return m_key; }
    const std::wstring& GetPath() const { return m_path; }
    // Descriptor given to keys created later.
    void SetSecurityAttributes(const SECURITY_ATTRIBUTES& attributes);

private:
    LONG OpenRelative(HKEY base, const std::wstring& basePath, const wchar_t* subkey, bool create, REGSAM rights);
    bool IsPredefined() const;

    HKEY m_key = nullptr;
    SECURITY_ATTRIBUTES m_security{};
    std::vector<BYTE> m_securityDescriptor;
    std::wstring m_path;
};

// A self-relative copy of a descriptor; empty for none or an invalid one.
std::vector<BYTE> CopySecurityDescriptor(PSECURITY_DESCRIPTOR descriptor);

// Folder + name with exactly one separator between them.
std::wstring JoinPath(const std::wstring& folder, const wchar_t* name, wchar_t separator = L'\\');
// Moves the file now or, failing that, at the next restart (a null target deletes it then).
DWORD MoveFileOrDelay(const wchar_t* source, const wchar_t* target);

struct OsVersionKind
{
    DWORD kind;
    DWORD valid;
    WORD servicePackMajor;
    WORD servicePackMinor;
};
// Kind codes of GetOsVersionKind.
enum OsKind : DWORD
{
    OsWindows2000 = 1,
    OsWindows2000Server = 2,
    OsWindowsXP = 3,
    OsWindowsServer2003R2 = 4,
    OsWindowsServer2003 = 5,
    OsWindowsXP64 = 6,
    OsWindowsVista = 7,
    OsWindowsServer2008 = 8,
    OsWindowsServer2008R2 = 9,
    OsWindows7 = 10,
    OsWindows8 = 11,
    OsWindowsServer2012 = 12,
    OsWindows81 = 13,
    OsWindowsServer2012R2 = 14,
    OsWindows10 = 15,
    OsWindowsServer2016 = 16,
    OsWindowsNewer = 17,
};
void GetOsVersionKind(OsVersionKind& version);
// The kind from a version; separated for tests.
DWORD OsKindFromVersion(DWORD major, DWORD minor, bool server, bool serverR2);

enum KnownFolder
{
    FolderWindows = 0,
    FolderSystem = 1,
    FolderProgramFiles = 2,
    FolderTemp = 3,
};
std::wstring GetKnownFolder(int kind, const wchar_t* relativePath);
}
