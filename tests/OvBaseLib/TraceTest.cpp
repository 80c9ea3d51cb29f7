#include <gtest/gtest.h>

#include <functional>
#include <regex>

#include "Trace.h"
#include "TraceImpl.h"
#include "TraceTestSupport.h"

using OvBase::CTraceImpl;
using ovtest::kTraceKeyPath;
using ovtest::SetHklmDword;
using ovtest::SetHklmString;

// The program may take over debugger output by exporting this function.
extern "C" __declspec(dllexport) void WINAPI OvOutputDebugString(const char* text);

namespace
{
std::string g_debugOutput;
}

extern "C" void WINAPI OvOutputDebugString(const char* text)
{
    g_debugOutput += text;
}

namespace
{
void TraceVia(CTraceImpl& trace, DWORD level, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    trace.TraceVW(level, format, args);
    va_end(args);
}

class TraceConfig : public ::testing::Test
{
protected:
    ovtest::CHklmKeyBackup m_backup{kTraceKeyPath};
    ovtest::CTempFolder m_folder{L"trace"};

    void Configure(DWORD enableMask, DWORD paramsMask)
    {
        SetHklmDword(kTraceKeyPath, L"EnableMask", enableMask);
        SetHklmDword(kTraceKeyPath, L"ParamsMask", paramsMask);
        SetHklmString(kTraceKeyPath, L"TracePath", m_folder.Path());
    }
    std::vector<std::string> Lines(const wchar_t* file = L"Test.log")
    {
        return ovtest::SplitLines(ovtest::ReadFileBytes(m_folder / file));
    }
};
}

TEST_F(TraceConfig, WithoutKeyTracingStaysOff)
{
    CTraceImpl trace(L"Test");
    EXPECT_FALSE(trace.Reload());
    EXPECT_FALSE(trace.IsEnabled());
}

TEST_F(TraceConfig, EnabledNeedsAnOutput)
{
    Configure(15, 0);
    CTraceImpl trace(L"Test");
    EXPECT_FALSE(trace.IsEnabled());
    Configure(15, 0x1000);
    trace.Reload();
    EXPECT_FALSE(trace.IsEnabled()) << "only the low byte selects outputs";
    Configure(15, 1);
    trace.Reload();
    EXPECT_TRUE(trace.IsEnabled());
}

TEST_F(TraceConfig, ModuleSubKeyForcesAndContext)
{
    Configure(2, 1);
    std::wstring module = std::wstring(kTraceKeyPath) + L"\\Test";
    SetHklmDword(module, L"EnableMask", 6);
    SetHklmDword(module, L"ContextMask", 7);
    CTraceImpl trace(L"Test");
    EXPECT_TRUE(trace.IsLevelEnabled(4));
    EXPECT_TRUE(trace.IsContext(7));
    SetHklmDword(kTraceKeyPath, L"ForceEnableMask", 8);
    SetHklmDword(kTraceKeyPath, L"DisableContextFlag", 1);
    trace.Reload();
    EXPECT_FALSE(trace.IsLevelEnabled(4));
    EXPECT_TRUE(trace.IsLevelEnabled(8));
    EXPECT_TRUE(trace.IsContext(0xFFFFFFFF));
}

TEST_F(TraceConfig, LogFileNames)
{
    Configure(2, 1);
    struct Case
    {
        const wchar_t* module;
        const wchar_t* file;
    } cases[] = {
        {L"Setup", L"Setup.log"}, {L"Trace.", L"Trace.log"}, {L"app.txt", L"app.txt"}, {L"app.text", L"app.text.log"},
    };
    for (const auto& c : cases)
    {
        CTraceImpl trace(c.module);
        EXPECT_EQ(trace.GetLogFilePath(), m_folder / c.file) << c.module;
    }
}

// A trace path that is missing, empty, not a string or longer than its 520 characters
// leaves the log in the temporary folder, never at the root of the current drive.
TEST_F(TraceConfig, DefaultFolderIsTemp)
{
    SetHklmDword(kTraceKeyPath, L"EnableMask", 2);
    SetHklmDword(kTraceKeyPath, L"ParamsMask", 8);
    wchar_t temp[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"Temp", temp, MAX_PATH);
    ASSERT_GT(length, 0u);
    std::wstring folder(temp, length);
    if (folder.back() != L'\\')
        folder += L'\\';
    const std::function<void()> paths[] = {
        [] {},
        [] { SetHklmString(kTraceKeyPath, L"TracePath", L""); },
        [] { SetHklmDword(kTraceKeyPath, L"TracePath", 7); },
        [] { SetHklmString(kTraceKeyPath, L"TracePath", L"C:\\" + std::wstring(600, L'a')); },
    };
    int index = 0;
    for (const auto& setPath : paths)
    {
        setPath();
        CTraceImpl trace(L"Setup");
        EXPECT_EQ(trace.GetLogFilePath(), folder + L"Setup.log") << "case " << index++;
    }
}

TEST_F(TraceConfig, CommonFileCarriesModuleName)
{
    Configure(2, 1);
    SetHklmDword(kTraceKeyPath, L"CommonFileFlag", 1);
    CTraceImpl trace(L"Setup");
    EXPECT_EQ(trace.GetLogFilePath(), m_folder / L"OvTrace.log");
    TraceVia(trace, 2, L"shared %d", 1);
    EXPECT_EQ(Lines(L"OvTrace.log"), std::vector<std::string>{"[Setup] shared 1"});

    SetHklmDword(std::wstring(kTraceKeyPath) + L"\\Setup", L"CommonFileFlag", 1);
    SetHklmString(std::wstring(kTraceKeyPath) + L"\\Setup", L"CommonFileName", m_folder / L"all.log");
    trace.Reload();
    EXPECT_EQ(trace.GetLogFilePath(), m_folder / L"all.log");
}

TEST_F(TraceConfig, LineLayoutFieldByField)
{
    struct Case
    {
        DWORD params;
        DWORD level;
        const char* pattern;
    } cases[] = {
        {0x3009, 2, R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\dtext 7)"},
        {0x1401, 4, R"(\d\d:\d\d:\d\d\.\d{3}W> text 7)"},
        {0x0401, 8, R"(E> text 7)"},
        {0x8001, 2, R"(\[Test\] text 7)"},
        {0x4801, 16, R"(\[[0-9A-F]{8}\] \[[0-9A-F]+:[0-9A-F]+\] text 7)"},
        {0xFF09, 4, R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\.\d{3}\[Test\] \[[0-9A-F]{8}\] \[[0-9A-F]+:[0-9A-F]+\] W> text 7)"},
    };
    for (const auto& c : cases)
    {
        Configure(0xFF, c.params);
        DeleteFileW((m_folder / L"Test.log").c_str());
        CTraceImpl trace(L"Test");
        TraceVia(trace, c.level, L"text %d", 7);
        auto lines = Lines();
        std::string last = lines.empty() ? "" : lines.back();
        EXPECT_TRUE(std::regex_match(last, std::regex(c.pattern))) << std::hex << c.params << ": " << last;
    }
    // Ids are the writer's own.
    Configure(0xFF, 0x801);
    DeleteFileW((m_folder / L"Test.log").c_str());
    CTraceImpl trace(L"Test");
    TraceVia(trace, 2, L"x");
    char ids[64];
    snprintf(ids, sizeof(ids), "[%lX:%lX] x", GetCurrentProcessId(), GetCurrentThreadId());
    EXPECT_EQ(Lines(), std::vector<std::string>{ids});
}

TEST_F(TraceConfig, TextIsCodePage1251)
{
    Configure(2, 1);
    CTraceImpl trace(L"Test");
    TraceVia(trace, 2, L"%s", L"\u041F\u0440\u0438\u0432\u0435\u0442 \u4E2D!");
    EXPECT_EQ(ovtest::ReadFileBytes(m_folder / L"Test.log"), "\xCF\xF0\xE8\xE2\xE5\xF2 ?!\r\n");
}

TEST_F(TraceConfig, MessagesThatAreNotWritten)
{
    Configure(2, 1);
    CTraceImpl trace(L"Test");
    TraceVia(trace, 4, L"warning");
    TraceVia(trace, 2, L"");
    TraceVia(trace, 2, nullptr);
    EXPECT_EQ(ovtest::ReadFileBytes(m_folder / L"Test.log"), "");
    Configure(6, 1);
    trace.Reload();
    TraceVia(trace, 4, L"warning");
    EXPECT_EQ(Lines(), std::vector<std::string>{"W> warning"});
}

TEST_F(TraceConfig, LongMessageIsWrittenWhole)
{
    Configure(2, 1);
    CTraceImpl trace(L"Test");
    std::wstring text(300, L'x');
    TraceVia(trace, 2, L"%s|", text.c_str());
    EXPECT_EQ(Lines(), std::vector<std::string>{std::string(300, 'x') + "|"});
}

TEST_F(TraceConfig, ReloadTruncatesOrAppendsWithSeparator)
{
    Configure(2, 1);
    {
        CTraceImpl trace(L"Test");
        TraceVia(trace, 2, L"one");
        trace.Reload();
        TraceVia(trace, 2, L"two");
    }
    EXPECT_EQ(ovtest::ReadFileBytes(m_folder / L"Test.log"), "two\r\n");

    Configure(2, 0x101);
    CTraceImpl trace(L"Test");
    TraceVia(trace, 2, L"three");
    trace.Reload();
    std::string separator = "\r\n" + std::string(68, '*') + "\r\n\r\n";
    ASSERT_EQ(separator.size(), 74u);
    EXPECT_EQ(ovtest::ReadFileBytes(m_folder / L"Test.log"), "two\r\n" + separator + "three\r\n" + separator);
}

TEST_F(TraceConfig, KeepingEarlierRunsAppendsWithSeparatorEvenWithoutTheAppendBit)
{
    Configure(2, 1);
    std::string separator = "\r\n" + std::string(68, '*') + "\r\n\r\n";
    {
        CTraceImpl first(L"Test", true);
        TraceVia(first, 2, L"first run");
    }
    CTraceImpl second(L"Test", true);
    TraceVia(second, 2, L"second run");
    EXPECT_EQ(ovtest::ReadFileBytes(m_folder / L"Test.log"), separator + "first run\r\n" + separator + "second run\r\n");
}

TEST_F(TraceConfig, MissingFoldersAreCreated)
{
    Configure(2, 1);
    std::wstring deep = m_folder / L"a/b\\c";
    SetHklmString(kTraceKeyPath, L"TracePath", deep);
    CTraceImpl trace(L"Test");
    ovtest::RemoveTree(m_folder / L"a");
    TraceVia(trace, 2, L"deep");
    EXPECT_EQ(ovtest::ReadFileBytes(m_folder / L"a\\b\\c\\Test.log"), "deep\r\n");
}

TEST_F(TraceConfig, NarrowMessagesAreTakenAsTheyAre)
{
    Configure(2, 1);
    OvBase::COvTrace trace(L"Test");
    trace.TraceA(2, "%s=%d", "\xCF", 5);
    EXPECT_EQ(ovtest::ReadFileBytes(m_folder / L"Test.log"), "\xCF=5\r\n");
}

TEST_F(TraceConfig, DumpLayout)
{
    Configure(2, 1);
    CTraceImpl trace(L"Test");
    unsigned char data[40];
    for (int i = 0; i < 40; ++i)
        data[i] = static_cast<unsigned char>(i);
    trace.TraceDump(2, L"T", data, sizeof(data), 0);
    std::string row0 = " 00:";
    for (int i = 0; i < 32; ++i)
    {
        if (i == 8 || i == 16 || i == 24)
            row0 += " -";
        char hex[8];
        snprintf(hex, sizeof(hex), " %02X", i);
        row0 += hex;
    }
    std::string expected = "T\r\n" + row0 + "\r\n 20: 20 21 22 23 24 25 26 27\r\n\r\n";
    EXPECT_EQ(ovtest::ReadFileBytes(m_folder / L"Test.log"), expected);

    DeleteFileW((m_folder / L"Test.log").c_str());
    const DWORD words[2] = {0x12345678, 0xABCDEF01};
    trace.TraceDump(2, L"D", words, sizeof(words), 0x80);
    EXPECT_EQ(ovtest::ReadFileBytes(m_folder / L"Test.log"), "D\r\n 00: 12345678 ABCDEF01\r\n\r\n");

    DeleteFileW((m_folder / L"Test.log").c_str());
    trace.TraceDump(2, L"none", nullptr, 4, 0);
    trace.TraceDump(2, L"none", data, 0, 0);
    EXPECT_FALSE(ovtest::FileExists(m_folder / L"Test.log"));
}

TEST_F(TraceConfig, LastErrorSurvivesTracing)
{
    Configure(2, 1);
    OvBase::COvTrace trace(L"Test");
    SetLastError(1234);
    trace.TraceW(2, L"x %s", L"y");
    trace.TraceDump(2, L"d", "abc", 3, 0);
    trace.Reload();
    EXPECT_EQ(GetLastError(), 1234u);
}

TEST(FunctionContext, IndentationFollowsDepth)
{
    ovtest::CTempFolder folder(L"context");
    ovtest::CProgramTraceScope scope(folder.Path(), 2, 1);
    ASSERT_EQ(OvBase::TraceDepth, 0);
    {
        OvBase::CFuncTraceContext outer(L"Outer", nullptr, 0);
        outer.Trace(2, L"in %s", L"outer");
        {
            OvBase::CFuncTraceContext inner(L"Inner", nullptr, 0);
            inner.Trace(2, L"in inner");
            OvBase::TraceLine(2, L"single");
        }
    }
    EXPECT_EQ(OvBase::TraceDepth, 0);
    std::vector<std::string> expected = {"Outer", "{",     "  in outer", "  Inner", "  {", "   in inner",
                                         "   single", "  }", "}"};
    EXPECT_EQ(scope.Lines(), expected);
}

TEST(FunctionContext, SilentWhenTracingIsOff)
{
    ovtest::CTempFolder folder(L"context_off");
    ovtest::CProgramTraceScope scope(folder.Path(), 0, 1);
    {
        OvBase::CFuncTraceContext context(L"Quiet", nullptr, 0);
        EXPECT_EQ(OvBase::TraceDepth, 0);
        context.Trace(2, L"nothing");
    }
    EXPECT_EQ(OvBase::TraceDepth, 0);
    EXPECT_EQ(ovtest::ReadFileBytes(scope.LogPath()), "");
}

TEST(FunctionContext, MacroNamesTheFunction)
{
    ovtest::CTempFolder folder(L"context_macro");
    ovtest::CProgramTraceScope scope(folder.Path(), 2, 1);
    struct Local
    {
        static void Run()
        {
            OV_TRACE_FUNCTION();
            OV_TRACE(2, L"%d%%", 50);
        }
    };
    Local::Run();
    auto lines = scope.Lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "FunctionContext_MacroNamesTheFunction_Test::TestBody::Local::Run");
    EXPECT_EQ(lines[2], "  50%");
}

TEST(TracePrefix, PrefixAndIndent)
{
    ovtest::CTempFolder folder(L"prefix");
    ovtest::CProgramTraceScope scope(folder.Path(), 2, 1);
    OvBase::CTracePrefix prefix(&OvBase::ProgramTrace, L"pre", 0);
    prefix.Trace(2, L"a");
    prefix.SetIndent(-3, L' ');
    prefix.Trace(2, L"b");
    prefix.SetIndent(2, L'-');
    prefix.Trace(2, L"c");
    prefix.SetPrefix(nullptr);
    prefix.Trace(2, L"d");
    EXPECT_EQ(scope.Lines(), (std::vector<std::string>{"pre a", "b", "-- c", "d"}));
}

TEST_F(TraceConfig, DebuggerOutputGoesToTheProgramsExport)
{
    Configure(2, 0x8008);
    CTraceImpl trace(L"Test");
    g_debugOutput.clear();
    TraceVia(trace, 2, L"to the debugger %d", 1);
    EXPECT_EQ(g_debugOutput, "[Test] to the debugger 1\r\n");
    EXPECT_FALSE(ovtest::FileExists(m_folder / L"Test.log")) << "no file output";
}

TEST_F(TraceConfig, DisabledCallsDoNoFormatting)
{
    // Formatting these arguments would fault: a disabled call must not touch them.
    const wchar_t* poison = reinterpret_cast<const wchar_t*>(16);
    Configure(2, 1);
    OvBase::COvTrace trace(L"Test");
    trace.TraceW(4, L"%s", poison);
    OvBase::CTracePrefix prefix(&trace, L" ", 0);
    prefix.Trace(8, L"%s", poison);
    Configure(0, 1);
    trace.Reload();
    trace.TraceW(2, L"%s", poison);
    prefix.Trace(2, L"%s", poison);
    EXPECT_EQ(ovtest::ReadFileBytes(m_folder / L"Test.log"), "");
}
