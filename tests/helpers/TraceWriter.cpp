// Writes lines through the program's trace from several threads:
// TraceWriter.exe <tag> <threads> <lines per thread>
#include <windows.h>

#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "Trace.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4)
        return 2;
    std::wstring tag = argv[1];
    int threads = _wtoi(argv[2]);
    int lines = _wtoi(argv[3]);
    // A long, recognisable body makes a cut or interleaved line easy to see.
    std::wstring body(200, L'.');
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            for (int i = 0; i < lines; ++i)
                OvBase::ProgramTrace.TraceW(2, L"<%s %d %d %s>", tag.c_str(), t, i, body.c_str());
        });
    for (auto& worker : workers)
        worker.join();
    return 0;
}
