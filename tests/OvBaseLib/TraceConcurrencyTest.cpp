#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <thread>

#include "Trace.h"
#include "TraceTestSupport.h"
#include "Win32Objects.h"

namespace
{
const int kThreads = 4;
const int kLines = 400;
}

TEST(TraceConcurrency, ThreadsAndProcessesWriteWholeLines)
{
    ovtest::CTempFolder folder(L"concurrency");
    // Append mode: a starting process must not truncate what the others wrote.
    ovtest::CProgramTraceScope scope(folder.Path(), 2, 0x0901);

    OvBase::CWin32Process first;
    OvBase::CWin32Process second;
    std::wstring writer = std::wstring(OV_BIN_DIR) + L"\\TraceWriter.exe";
    std::wstring arguments = std::to_wstring(kThreads) + L" " + std::to_wstring(kLines);
    ASSERT_EQ(first.Create(writer.c_str(), (L"P1 " + arguments).c_str()), 0u);
    ASSERT_EQ(second.Create(writer.c_str(), (L"P2 " + arguments).c_str()), 0u);

    std::wstring body(200, L'.');
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t)
        workers.emplace_back([&, t] {
            for (int i = 0; i < kLines; ++i)
                OvBase::ProgramTrace.TraceW(2, L"<%s %d %d %s>", L"P0", t, i, body.c_str());
        });
    for (auto& worker : workers)
        worker.join();
    ASSERT_EQ(first.WaitFor(120000), 0u);
    ASSERT_EQ(second.WaitFor(120000), 0u);
    EXPECT_EQ(first.GetExitCode(), 0u);

    std::regex line(R"(\[[0-9A-F]+:[0-9A-F]+\] <(P[0-2]) (\d+) (\d+) \.{200}>)");
    std::set<std::string> seen;
    size_t separators = 0;
    for (const std::string& text : scope.Lines())
    {
        if (text.empty())
            continue;
        if (text == std::string(68, '*'))
        {
            ++separators;
            continue;
        }
        std::smatch match;
        ASSERT_TRUE(std::regex_match(text, match, line)) << "cut or mixed line: " << text;
        EXPECT_TRUE(seen.insert(match[1].str() + " " + match[2].str() + " " + match[3].str()).second) << text;
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(3 * kThreads * kLines));
    EXPECT_EQ(separators, 3u) << "one per start of the trace";
}
