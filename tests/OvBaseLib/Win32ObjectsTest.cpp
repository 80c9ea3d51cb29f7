#include <gtest/gtest.h>

#include <atomic>

#include "OvErrorObject.h"
#include "TraceTestSupport.h"
#include "Win32Objects.h"
#include "buffer.h"

using namespace OvBase;

namespace
{
bool IsOpenHandle(HANDLE handle)
{
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

class CountingThread : public CWin32Thread
{
public:
    explicit CountingThread(bool cooperate) : m_cooperate(cooperate) {}
    ~CountingThread() override { Stop(5000); }

    DWORD ThreadProc() override
    {
        m_started = true;
        while (!m_cooperate || !IsStopRequested())
        {
            ++m_loops;
            Sleep(1);
        }
        m_finished = true;
        return 7;
    }

    std::atomic<bool> m_started{false};
    std::atomic<bool> m_finished{false};
    std::atomic<int> m_loops{0};

private:
    bool m_cooperate;
};

class QuickThread : public CWin32Thread
{
public:
    ~QuickThread() override { Stop(INFINITE); }
    DWORD ThreadProc() override { return 0; }
};

// A message-only window of the calling thread, gone with the scope.
class CMessageWindow
{
public:
    CMessageWindow(const wchar_t* className, WNDPROC procedure) : m_className(className)
    {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = className;
        RegisterClassW(&windowClass);
        m_window = CreateWindowW(className, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    }
    ~CMessageWindow()
    {
        if (m_window)
            DestroyWindow(m_window);
        UnregisterClassW(m_className, GetModuleHandleW(nullptr));
    }
    CMessageWindow(const CMessageWindow&) = delete;
    CMessageWindow& operator=(const CMessageWindow&) = delete;
    HWND Get() const { return m_window; }

private:
    const wchar_t* m_className;
    HWND m_window = nullptr;
};
}

TEST(Win32Handle, OwnershipAndDetach)
{
    {
        CWin32Handle empty;
        EXPECT_FALSE(empty.IsValid());
    }
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        CWin32Handle handle(event);
        EXPECT_TRUE(handle.IsOpen());
        EXPECT_EQ(handle.Detach(), event);
        EXPECT_FALSE(handle.IsValid());
    }
    EXPECT_TRUE(IsOpenHandle(event)) << "a detached handle stays open";
    {
        CWin32Handle handle;
        handle.Attach(event);
    }
    EXPECT_FALSE(IsOpenHandle(event));
}

TEST(Win32Event, NamedEventIsSharedAndInvalidIsNull)
{
    CWin32Event first(true);
    EXPECT_FALSE(first.IsValid());
    EXPECT_EQ(first.GetHandle(), nullptr);
    std::wstring name = L"OvTestEvent_" + std::to_wstring(GetCurrentProcessId());
    ASSERT_EQ(first.Create(false, name.c_str()), 0u);
    CWin32Event second(true);
    ASSERT_EQ(second.Create(false, name.c_str()), 0u) << "an existing event is opened";
    EXPECT_EQ(second.GetName(), name);
    first.Set();
    EXPECT_EQ(second.Wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(second.Reset(), 0u);
    EXPECT_EQ(first.Wait(0), static_cast<DWORD>(WAIT_TIMEOUT));
    second.Close();
    EXPECT_EQ(second.GetHandle(), nullptr);
}

TEST(Win32Event, CreateExThrowsTheSystemError)
{
    // A name with a backslash outside a namespace prefix is refused.
    CWin32Event event(false);
    try
    {
        event.Create_Ex(false, L"Bad\\Name\\Space");
        FAIL() << "no throw";
    }
    catch (COvError& error)
    {
        EXPECT_NE(error.GetCode(), 0u);
        EXPECT_LT(error.GetCode(), 0x10000u) << "a plain Windows error number";
        EXPECT_EQ(error.GetProperties().at(L"Function"), L"OvBase::CWin32Event::Create_Ex");
    }
}

TEST(Win32Thread, StopEndsACooperatingThreadWithoutTerminating)
{
    CountingThread thread(true);
    ASSERT_TRUE(thread.Create());
    while (!thread.m_started)
        Sleep(1);
    EXPECT_FALSE(thread.IsStopRequested());
    thread.Stop(5000);
    EXPECT_TRUE(thread.m_finished);
    DWORD exitCode = 0;
    GetExitCodeThread(thread.GetHandle(), &exitCode);
    EXPECT_EQ(exitCode, 7u);
    EXPECT_EQ(thread.GetParameter(), nullptr);
}

TEST(Win32Thread, StopTerminatesAThreadThatIgnoresIt)
{
    CountingThread thread(false);
    ASSERT_TRUE(thread.Create());
    while (!thread.m_started)
        Sleep(1);
    ULONGLONG start = GetTickCount64();
    thread.Stop(100);
    EXPECT_LT(GetTickCount64() - start, 3000u);
    EXPECT_EQ(WaitForSingleObject(thread.GetHandle(), 1000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeThread(thread.GetHandle(), &exitCode);
    EXPECT_EQ(exitCode, 0u) << "terminated with exit code 0";
    EXPECT_FALSE(thread.m_finished);
}

TEST(Win32Thread, WaitForEndDispatchesMessages)
{
    // The thread ends only after a message sent to this thread's window was handled.
    static std::atomic<bool> handled{false};
    handled = false;
    CMessageWindow messageWindow(L"OvTestWaitWindow", [](HWND window, UINT message, WPARAM w, LPARAM l) -> LRESULT {
        if (message == WM_APP)
        {
            handled = true;
            return 42;
        }
        return DefWindowProcW(window, message, w, l);
    });
    HWND window = messageWindow.Get();
    ASSERT_NE(window, nullptr);

    class Sender : public CWin32Thread
    {
    public:
        explicit Sender(HWND window) : m_window(window) {}
        ~Sender() override { Stop(5000); }
        DWORD ThreadProc() override { return static_cast<DWORD>(SendMessageW(m_window, WM_APP, 0, 0)); }

    private:
        HWND m_window;
    } sender(window);
    ASSERT_TRUE(sender.Create());
    EXPECT_EQ(sender.WaitForEnd(true, 10000), 42u);
    EXPECT_TRUE(handled);
    // Without pumping the wait result comes back.
    EXPECT_EQ(sender.WaitForEnd(false, 0), WAIT_OBJECT_0);

    // A quit message ends the wait at once.
    CountingThread endless(false);
    ASSERT_TRUE(endless.Create());
    PostQuitMessage(3);
    EXPECT_EQ(endless.WaitForEnd(true, 10000), 0u);
    endless.Kill(1);
}

TEST(Win32Thread, StopOutlastsAQuitMessage)
{
    std::atomic<bool> finished{false};
    class Slow : public CWin32Thread
    {
    public:
        explicit Slow(std::atomic<bool>& finished) : m_finished(finished) {}
        ~Slow() override { Stop(INFINITE); }
        DWORD ThreadProc() override
        {
            while (!IsStopRequested())
                Sleep(1);
            Sleep(100);
            m_finished = true;
            return 0;
        }

    private:
        std::atomic<bool>& m_finished;
    };
    Slow thread(finished);
    ASSERT_TRUE(thread.Create());
    PostQuitMessage(0);
    thread.Stop(INFINITE);
    EXPECT_TRUE(finished) << "Stop returned before its thread ended";

    // With a time-out the thread is still ended: by itself, or terminated.
    class Stubborn : public CWin32Thread
    {
    public:
        ~Stubborn() override { Stop(INFINITE); }
        DWORD ThreadProc() override
        {
            for (;;)
                Sleep(1);
        }
    } stubborn;
    ASSERT_TRUE(stubborn.Create());
    PostQuitMessage(0);
    stubborn.Stop(100);
    EXPECT_EQ(WaitForSingleObject(stubborn.GetHandle(), 0), WAIT_OBJECT_0);

    // After the quit the wait goes on serving messages: a thread that reports to a window
    // of the stopping thread on its way out still ends by itself.
    CMessageWindow window(L"OvTestStopWindow", DefWindowProcW);
    ASSERT_NE(window.Get(), nullptr);
    class Reporting : public CWin32Thread
    {
    public:
        Reporting(HWND window, std::atomic<bool>& finished) : m_window(window), m_finished(finished) {}
        ~Reporting() override { Stop(INFINITE); }
        DWORD ThreadProc() override
        {
            while (!IsStopRequested())
                Sleep(1);
            Sleep(50);
            SendMessageW(m_window, WM_NULL, 0, 0);
            m_finished = true;
            return 0;
        }

    private:
        HWND m_window;
        std::atomic<bool>& m_finished;
    };
    finished = false;
    Reporting reporting(window.Get(), finished);
    ASSERT_TRUE(reporting.Create());
    PostQuitMessage(0);
    reporting.Stop(3000);
    EXPECT_TRUE(finished) << "the thread was stuck in its message and terminated";
}

TEST(Win32Thread, NewThreadSeesNoStopRequest)
{
    // A new thread may poll before Create has stored its handle. The window is short (about
    // one start in a thousand hit it here), so this only catches it now and then.
    class FirstPoll : public CWin32Thread
    {
    public:
        ~FirstPoll() override { Stop(INFINITE); }
        DWORD ThreadProc() override { return IsStopRequested() ? 1 : 0; }
    };
    int stopSeen = 0;
    for (int run = 0; run < 500; ++run)
    {
        FirstPoll thread;
        ASSERT_TRUE(thread.Create());
        ASSERT_EQ(thread.WaitForEnd(false, 5000), WAIT_OBJECT_0);
        DWORD exitCode = 2;
        GetExitCodeThread(thread.GetHandle(), &exitCode);
        stopSeen += exitCode != 0;
    }
    EXPECT_EQ(stopSeen, 0) << "threads that saw a stop request at their first poll";
}

TEST(Win32Thread, SuspendAndResume)
{
    QuickThread thread;
    EXPECT_TRUE(thread.IsStopRequested()) << "no thread yet";
    EXPECT_EQ(thread.WaitForEnd(true, 0), 0u);
    ASSERT_TRUE(thread.Create(&thread, true));
    EXPECT_EQ(thread.GetParameter(), &thread);
    EXPECT_EQ(WaitForSingleObject(thread.GetHandle(), 50), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(thread.Resume(), 1u);
    EXPECT_EQ(thread.Resume(), 0u) << "not marked suspended any more";
    EXPECT_EQ(WaitForSingleObject(thread.GetHandle(), 5000), WAIT_OBJECT_0);
}

TEST(Win32Process, QuotedApplicationAndArguments)
{
    ovtest::CTempFolder folder(L"process");
    std::wstring app = folder / L"a b";
    CreateDirectoryW(app.c_str(), nullptr);
    app += L"\\x.exe";
    ASSERT_TRUE(CopyFileW((std::wstring(OV_BIN_DIR) + L"\\ProcessProbe.exe").c_str(), app.c_str(), FALSE));
    std::wstring out = folder / L"cmd.txt";
    SetEnvironmentVariableW(L"OV_PROBE_OUT", out.c_str());
    SetEnvironmentVariableW(L"OV_PROBE_EXIT", L"5");

    CWin32Process process;
    EXPECT_EQ(process.GetExitCode(), 0xFFFFFFFFu);
    ASSERT_EQ(process.Create(app.c_str(), L"/q"), 0u);
    EXPECT_EQ(process.GetExitCode(), 259u);
    EXPECT_EQ(process.WaitFor(30000), 0u);
    EXPECT_EQ(process.GetExitCode(), 5u);
    SetEnvironmentVariableW(L"OV_PROBE_OUT", nullptr);
    SetEnvironmentVariableW(L"OV_PROBE_EXIT", nullptr);

    std::string bytes = ovtest::ReadFileBytes(out);
    std::wstring commandLine(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    EXPECT_EQ(commandLine, L"\"" + app + L"\" /q");
    EXPECT_EQ(process.GetCommandLine(), L"\"" + app + L"\" /q");
}

TEST(Win32Process, WaitTimeoutAndFailures)
{
    SetEnvironmentVariableW(L"OV_PROBE_SLEEP", L"10000");
    CWin32Process process;
    std::wstring probe = std::wstring(OV_BIN_DIR) + L"\\ProcessProbe.exe";
    ASSERT_EQ(process.Create(probe.c_str(), nullptr), 0u);
    SetEnvironmentVariableW(L"OV_PROBE_SLEEP", nullptr);
    try
    {
        process.WaitFor_Ex(50);
        FAIL() << "no throw";
    }
    catch (COvError& error)
    {
        EXPECT_EQ(error.GetCode(), 258u);
    }
    EXPECT_TRUE(process.Terminate(9));
    EXPECT_EQ(process.WaitFor(5000), 0u);
    EXPECT_EQ(process.GetExitCode(), 9u);

    CWin32Process missing;
    EXPECT_EQ(missing.WaitFor(0), 0u) << "no process";
    // Without a process there is nothing to end, least of all this one.
    EXPECT_FALSE(missing.Terminate(3));
    EXPECT_EQ(missing.GetExitCode(), 0xFFFFFFFFu);
    EXPECT_THROW(missing.Create_Ex(L"C:\\no\\such\\program.exe", nullptr), COvError);
}

TEST(Win32MappedFile, NamedPagefileMappingIsShared)
{
    std::wstring name = L"OvTestMapping_" + std::to_wstring(GetCurrentProcessId());
    CWin32MappedFile first;
    EXPECT_EQ(first.Map_Ex(PAGE_READWRITE, 4096, name.c_str()), 0u);
    auto* data = static_cast<char*>(first.GetPointer_Ex(FILE_MAP_WRITE, 0, 4096));
    strcpy(data, "shared");
    CWin32MappedFile second;
    EXPECT_EQ(second.Map_Ex(PAGE_READWRITE, 4096, name.c_str()), 183u);
    EXPECT_STREQ(static_cast<char*>(second.GetPointer_Ex(FILE_MAP_READ, 0, 0)), "shared");
    EXPECT_THROW(second.GetPointer_Ex(FILE_MAP_READ, 0x100000, 16), COvError);
    second.Close();
    EXPECT_EQ(second.GetPointer(), nullptr);
}

TEST(Buffer, ZeroFilledAndEmpty)
{
    CBuffer<wchar_t> text(8);
    EXPECT_EQ(text.GetCount(), 8u);
    for (size_t i = 0; i < 8; ++i)
        EXPECT_EQ(text[i], L'\0');
    text.Resize(0);
    EXPECT_EQ(text.GetCount(), 0u);
    EXPECT_EQ(text.GetData(), nullptr);
    CBuffer<unsigned char> bytes;
    try
    {
        bytes.Resize(0xFFFFFFFFFFFFull);
        FAIL() << "no throw";
    }
    catch (COvError& error)
    {
        EXPECT_EQ(error.GetCode(), 14u);
        EXPECT_EQ(error.GetProperties().at(L"Function"), L"OvBase::CBuffer<unsigned char>::Resize");
        EXPECT_EQ(bytes.GetData(), nullptr);
    }
}

TEST(RegistryKey, PathsValuesAndDefaults)
{
    const wchar_t kKey[] = L"SOFTWARE\\OvTestRegistryKey";
    ovtest::CHklmKeyBackup backup(kKey);
    CRegistryKey root(CRegistryKey::RootLocalMachine);
    EXPECT_EQ(root.GetPath(), L"HKLM");
    CRegistryKey key(root);
    ASSERT_EQ(key.Open(kKey, true, KEY_ALL_ACCESS), ERROR_SUCCESS);
    EXPECT_EQ(key.GetPath(), std::wstring(L"HKLM\\") + kKey);
    EXPECT_EQ(key.Open(L"missing", false, KEY_READ), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key.GetPath(), std::wstring(L"HKLM\\") + kKey) << "a failed open keeps the key";

    EXPECT_EQ(key.SetDword(L"Number", 17), ERROR_SUCCESS);
    EXPECT_EQ(key.SetString(L"Text", L"value"), ERROR_SUCCESS);
    EXPECT_EQ(key.SetString(L"Empty", L""), ERROR_SUCCESS);
    DWORD number = 0;
    std::wstring text;
    EXPECT_EQ(key.GetDword(L"Number", number, 1), ERROR_SUCCESS);
    EXPECT_EQ(number, 17u);
    key.GetDword(L"Text", number, 1);
    EXPECT_EQ(number, 1u) << "not a number";
    EXPECT_EQ(key.GetString(L"Text", text, L"d"), ERROR_SUCCESS);
    EXPECT_EQ(text, L"value");
    key.GetString(L"Number", text, L"d");
    EXPECT_EQ(text, L"d") << "not a text";
    key.GetString(L"Empty", text, L"d");
    EXPECT_EQ(text, L"d");
    EXPECT_EQ(key.GetString(L"Missing", text, L"d"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(text, L"d");
    EXPECT_EQ(key.DeleteValue(L"Number"), ERROR_SUCCESS);
    EXPECT_EQ(key.GetDword(L"Number", number, 3), ERROR_FILE_NOT_FOUND);

    CRegistryKey none(CRegistryKey::RootNone);
    EXPECT_EQ(none.GetPath(), L"NONE");
    EXPECT_EQ(none.Open(L"x", false, KEY_READ), E_INVALIDARG);
    EXPECT_EQ(none.GetDword(L"x", number, 0), E_INVALIDARG);
}

TEST(RegistryKey, OnErrorCanRetry)
{
    struct Retrying : CRegistryKey
    {
        Retrying() : CRegistryKey(RootLocalMachine) {}
        int OnError(LONG result, int operation, const wchar_t* text) override
        {
            calls.push_back({result, operation, text});
            if (operation == OpOpenKey && calls.size() == 1)
            {
                SetHklmKey();
                return 1;
            }
            return 2;
        }
        static void SetHklmKey() { ovtest::SetHklmDword(L"SOFTWARE\\OvTestRetry", L"v", 1); }
        struct Call
        {
            LONG result;
            int operation;
            std::wstring text;
        };
        std::vector<Call> calls;
    };
    ovtest::CHklmKeyBackup backup(L"SOFTWARE\\OvTestRetry");
    Retrying key;
    EXPECT_EQ(key.Open(L"SOFTWARE\\OvTestRetry", false, KEY_READ), ERROR_SUCCESS);
    ASSERT_EQ(key.calls.size(), 1u);
    EXPECT_EQ(key.calls[0].text, L"HKLM\\SOFTWARE\\OvTestRetry");
    DWORD value = 0;
    key.GetDword(L"absent", value, 0);
    ASSERT_EQ(key.calls.size(), 2u);
    EXPECT_EQ(key.calls[1].operation, CRegistryKey::OpQueryValue);
    EXPECT_EQ(key.calls[1].text, L"HKLM\\SOFTWARE\\OvTestRetry\\absent");
}

TEST(PathHelpers, JoinPath)
{
    struct Case
    {
        const wchar_t* folder;
        const wchar_t* name;
        const wchar_t* joined;
    } cases[] = {
        {L"C:\\a", L"b", L"C:\\a\\b"},   {L"C:\\a\\", L"b", L"C:\\a\\b"}, {L"C:\\a", L"\\b", L"C:\\a\\b"},
        {L"C:\\a\\", L"\\b", L"C:\\a\\b"}, {L"", L"b", L"b"},             {L"C:\\a", nullptr, L"C:\\a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JoinPath(c.folder, c.name, L'\\'), c.joined) << c.folder << L" + " << (c.name ? c.name : L"null");
    EXPECT_EQ(JoinPath(L"a/", L"/b", L'/'), L"a/b");
}

TEST(PathHelpers, MoveFileOrDelay)
{
    ovtest::CTempFolder folder(L"move");
    ovtest::WriteFileBytes(folder / L"a.txt", "a");
    EXPECT_EQ(MoveFileOrDelay((folder / L"a.txt").c_str(), (folder / L"b.txt").c_str()), 0u);
    EXPECT_EQ(ovtest::ReadFileBytes(folder / L"b.txt"), "a");
    EXPECT_FALSE(ovtest::FileExists(folder / L"a.txt"));
}

TEST(PathHelpers, KnownFolders)
{
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_EQ(GetKnownFolder(FolderWindows, L"x.ini"), std::wstring(windows) + L"\\x.ini");
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_EQ(GetKnownFolder(FolderSystem, nullptr), system);
    EXPECT_FALSE(GetKnownFolder(FolderProgramFiles, nullptr).empty());
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    EXPECT_EQ(GetKnownFolder(FolderTemp, L"f"), std::wstring(temp) + L"f");
    EXPECT_EQ(GetKnownFolder(9, L"f"), L"");
}

TEST(OsVersion, KindTable)
{
    struct Case
    {
        DWORD major, minor;
        bool server, r2;
        DWORD kind;
    } cases[] = {
        {4, 0, false, false, 0}, {5, 0, false, false, 1},  {5, 0, true, false, 2},   {5, 1, true, false, 3},
        {5, 2, false, false, 6}, {5, 2, true, false, 5},   {5, 2, true, true, 4},    {5, 3, false, false, 0},
        {6, 0, false, false, 7}, {6, 0, true, false, 8},   {6, 1, false, false, 10}, {6, 1, true, false, 9},
        {6, 2, false, false, 11}, {6, 2, true, false, 12}, {6, 3, false, false, 13}, {6, 3, true, false, 14},
        {6, 4, false, false, 0}, {10, 0, false, false, 15}, {10, 0, true, false, 16}, {11, 0, true, false, 17},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OsKindFromVersion(c.major, c.minor, c.server, c.r2), c.kind) << c.major << "." << c.minor;

    OsVersionKind version = {};
    GetOsVersionKind(version);
    EXPECT_EQ(version.valid, 1u);
    EXPECT_NE(version.kind, 0u);
}
