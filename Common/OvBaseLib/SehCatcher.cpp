#include "SehCatcher.h"

#include "DllSearch.h"
#include "Trace.h"

#include <atomic>
#include <cwchar>
#include <mutex>
#include <vector>

namespace
{
struct CodeMap
{
    DWORD exception;
    DWORD error;
};

const CodeMap kCodes[] = {
    {EXCEPTION_ACCESS_VIOLATION, 0xE6060005},
    {EXCEPTION_ARRAY_BOUNDS_EXCEEDED, 0xE6060006},
    {EXCEPTION_BREAKPOINT, 0xE6060007},
    {EXCEPTION_DATATYPE_MISALIGNMENT, 0xE6060008},
    {EXCEPTION_FLT_DENORMAL_OPERAND, 0xE6060009},
    {EXCEPTION_FLT_DIVIDE_BY_ZERO, 0xE606000A},
    {EXCEPTION_FLT_INEXACT_RESULT, 0xE606000B},
    {EXCEPTION_FLT_INVALID_OPERATION, 0xE606000C},
    {EXCEPTION_FLT_OVERFLOW, 0xE606000D},
    {EXCEPTION_FLT_STACK_CHECK, 0xE606000E},
    // The message module has a text of its own for the underflow.
    {EXCEPTION_FLT_UNDERFLOW, 0xE606000F},
    {EXCEPTION_ILLEGAL_INSTRUCTION, 0xE6060010},
    {EXCEPTION_IN_PAGE_ERROR, 0xE6060011},
    {EXCEPTION_INT_DIVIDE_BY_ZERO, 0xE6060012},
    {EXCEPTION_INT_OVERFLOW, 0xE6060013},
    {EXCEPTION_INVALID_DISPOSITION, 0xE6060014},
    {EXCEPTION_NONCONTINUABLE_EXCEPTION, 0xE6060015},
    {EXCEPTION_PRIV_INSTRUCTION, 0xE6060016},
    {EXCEPTION_SINGLE_STEP, 0xE6060017},
    {EXCEPTION_STACK_OVERFLOW, 0xE6060018},
    {0xC0000417, 0xE6060019},
    {0xC0000017, 0x8007000E},
};

const DWORD kUnknownException = 1064;
// Texts of the message module put into the access-violation text.
const DWORD kWriteText = 0xE6060003;
const DWORD kReadText = 0xE6060004;
// The debugger output of OutputDebugStringW (OutputDebugStringA's is DBG_PRINTEXCEPTION_C).
const DWORD kDebugPrintWide = 0x4001000A;

// Exceptions that are no fault: the C++ runtime's own throws and unwinds (a customer code
// with "GCC" in its low bytes) and the debugger output of OutputDebugString.
bool IsRuntimeException(DWORD exceptionCode)
{
    const DWORD kGccCode = 0x20474343;
    return (exceptionCode & 0x20FFFFFF) == kGccCode || exceptionCode == DBG_PRINTEXCEPTION_C ||
           exceptionCode == kDebugPrintWide;
}

std::wstring Pointer(const void* value)
{
    wchar_t text[32];
    swprintf(text, 32, L"%p", value);
    return text;
}

std::wstring MessageText(DWORD code, std::vector<std::wstring>* inserts = nullptr)
{
    HMODULE module = OvBase::OpenMessageModule(code);
    std::wstring text = OvBase::FormatMessageText(code, module, inserts);
    if (module)
        FreeLibrary(module);
    return text;
}

DWORD g_tlsIndex = TLS_OUT_OF_INDEXES;
std::once_flag g_setup;
std::atomic<MINIDUMP_TYPE> g_dumpType{MiniDumpWithFullMemory};
LPTOP_LEVEL_EXCEPTION_FILTER g_previousFilter = nullptr;

// The program's own image: its code, and the runtime linked into it.
ULONG_PTR g_imageBegin = 0;
ULONG_PTR g_imageEnd = 0;

void FindOwnImage()
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&FindOwnImage), &module))
        return;
    const BYTE* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    g_imageBegin = reinterpret_cast<ULONG_PTR>(base);
    g_imageEnd = g_imageBegin + headers->OptionalHeader.SizeOfImage;
}

bool InOwnImage(const void* address)
{
    ULONG_PTR value = reinterpret_cast<ULONG_PTR>(address);
    return value >= g_imageBegin && value < g_imageEnd;
}

// Whether the function at an instruction has an exception handler of its own there.
bool HasLanguageHandler(const CONTEXT& context)
{
    DWORD64 imageBase = 0;
    PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(context.Rip, &imageBase, nullptr);
    if (!function)
        return false;
    CONTEXT copy = context;
    void* handlerData = nullptr;
    DWORD64 establisher = 0;
    return RtlVirtualUnwind(UNW_FLAG_EHANDLER, imageBase, context.Rip, function, &copy, &handlerData,
                            &establisher, nullptr) != nullptr;
}

OvBase::CSehCatcher* CurrentCatcher()
{
    return g_tlsIndex == TLS_OUT_OF_INDEXES ? nullptr : static_cast<OvBase::CSehCatcher*>(TlsGetValue(g_tlsIndex));
}
}

// A return address for the faked call when the faulting code had the stack 8 bytes off a
// multiple of 16 already (a function without a frame of its own): this pad has no frame
// either, so the unwinder steps from it straight back to the faulting instruction.
asm(R"(
    .text
    .p2align 4
    .def ovSehAlignPad; .scl 3; .type 32; .endef
    .seh_proc ovSehAlignPad
ovSehAlignPad:
    .seh_endprologue
    int3
    .globl ovSehAlignPadReturn
ovSehAlignPadReturn:
    int3
    .seh_endproc
)");
extern "C" char ovSehAlignPadReturn[];

namespace OvBase
{
struct SehCatcherAccess
{
    static LONG CALLBACK Handler(EXCEPTION_POINTERS* pointers);
    static LONG WINAPI Filter(EXCEPTION_POINTERS* pointers);
    static LONG Translate(EXCEPTION_POINTERS* pointers);
    [[noreturn]] static void ThrowPending();
};

namespace
{
// The context continues in ThrowPending as if the faulting instruction had called it. A
// real call arrives with the stack 8 bytes off a multiple of 16; the function the throw
// leaves from relies on that.
void FakeCall(CONTEXT& context)
{
    // The compiler's tables of a function with a handler are looked up at the byte before a
    // return address: one byte into the faulting instruction finds its entry. Elsewhere the
    // unwinder takes the address as the instruction that was running.
    DWORD64 back = context.Rip + (HasLanguageHandler(context) ? 1 : 0);
    DWORD64 stack = context.Rsp - sizeof(DWORD64);
    *reinterpret_cast<DWORD64*>(stack) = back;
    if ((stack & 15) == 0)
    {
        stack -= sizeof(DWORD64);
        *reinterpret_cast<DWORD64*>(stack) = reinterpret_cast<DWORD64>(&ovSehAlignPadReturn[0]);
    }
    context.Rsp = stack;
    context.Rip = reinterpret_cast<DWORD64>(&SehCatcherAccess::ThrowPending);
}

// The last resort: the error's code ends the process, after its dump and a trace line.
[[noreturn]] void EndProcess(EXCEPTION_POINTERS* pointers)
{
    static std::atomic<DWORD> ending{0};
    const DWORD self = GetCurrentThreadId();
    const DWORD exceptionCode = pointers->ExceptionRecord->ExceptionCode;
    DWORD first = 0;
    if (ending.compare_exchange_strong(first, self))
    {
        try
        {
            COvError error = MakeSehError(exceptionCode, pointers);
            TraceLine(TraceWarning, L"Unhandled exception on thread %u", static_cast<unsigned>(self));
            TraceLine(TraceWarning, L"%s", error.GetDump());
        }
        catch (...)
        {
        }
    }
    else if (first != self)
    {
        // Another thread writes its dump and ends the process.
        Sleep(INFINITE);
    }
    TerminateProcess(GetCurrentProcess(), SehErrorCode(exceptionCode));
    for (;;)
        Sleep(INFINITE);
}
}

// Entered as if the faulting instruction had called it: the unwinder then finds the
// faulting frame and its handlers, and the catcher's error flies from there.
__attribute__((noinline)) void SehCatcherAccess::ThrowPending()
{
    CSehCatcher* catcher = CurrentCatcher();
    // The guard stays up while the throw looks for its handler; it falls when the unwinding
    // passes this frame, after the search has found the catch.
    struct GuardRelease
    {
        CSehCatcher* catcher;
        ~GuardRelease() { catcher->m_inHandler = false; }
    } release{catcher};
    COvError error(std::move(*catcher->m_pending));
    catcher->m_pending.reset();
    throw error;
}

// The thread's catcher makes the error and the context throws it from the fault; no
// catcher, or one already at work, leaves the exception to the next handler.
LONG SehCatcherAccess::Translate(EXCEPTION_POINTERS* pointers)
{
    CSehCatcher* catcher = CurrentCatcher();
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    CONTEXT* context = pointers->ContextRecord;
    if (!catcher || catcher->m_inHandler || !context || (record->ExceptionFlags & EXCEPTION_NONCONTINUABLE) ||
        (context->Rsp & 7) != 0)
        return EXCEPTION_CONTINUE_SEARCH;
    // A fault while the error is made or thrown is not translated again.
    catcher->m_inHandler = true;
    try
    {
        catcher->m_pending = std::make_unique<COvError>(MakeSehError(record->ExceptionCode, pointers));
    }
    catch (...)
    {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    FakeCall(*context);
    return EXCEPTION_CONTINUE_EXECUTION;
}

// First chance, before any frame's handler: only faults of the program's own code. What a
// system function raises is its own until no frame takes it.
LONG CALLBACK SehCatcherAccess::Handler(EXCEPTION_POINTERS* pointers)
{
    if (!pointers || !pointers->ExceptionRecord || IsRuntimeException(pointers->ExceptionRecord->ExceptionCode) ||
        !InOwnImage(pointers->ExceptionRecord->ExceptionAddress))
        return EXCEPTION_CONTINUE_SEARCH;
    return Translate(pointers);
}

// What no frame took, on any thread: thrown on a thread with a catcher, else the end.
LONG WINAPI SehCatcherAccess::Filter(EXCEPTION_POINTERS* pointers)
{
    if (!pointers || !pointers->ExceptionRecord || IsRuntimeException(pointers->ExceptionRecord->ExceptionCode))
        // The runtime's own filter lets an uncaught throw return to std::terminate.
        return g_previousFilter ? g_previousFilter(pointers) : EXCEPTION_CONTINUE_SEARCH;
    if (Translate(pointers) == EXCEPTION_CONTINUE_EXECUTION)
        return EXCEPTION_CONTINUE_EXECUTION;
    EndProcess(pointers);
}

CSehCatcher::CSehCatcher()
{
    std::call_once(g_setup, [] {
        g_tlsIndex = TlsAlloc();
        FindOwnImage();
        AddVectoredExceptionHandler(1, &SehCatcherAccess::Handler);
        g_previousFilter = SetUnhandledExceptionFilter(&SehCatcherAccess::Filter);
    });
    if (g_tlsIndex == TLS_OUT_OF_INDEXES)
        return;
    m_previous = CurrentCatcher();
    TlsSetValue(g_tlsIndex, this);
}

CSehCatcher::~CSehCatcher()
{
    if (g_tlsIndex != TLS_OUT_OF_INDEXES && CurrentCatcher() == this)
        TlsSetValue(g_tlsIndex, m_previous);
}

DWORD SehErrorCode(DWORD exceptionCode)
{
    for (const CodeMap& item : kCodes)
        if (item.exception == exceptionCode)
            return item.error;
    return kUnknownException;
}

COvError MakeSehError(DWORD exceptionCode, EXCEPTION_POINTERS* pointers)
{
    DWORD code = SehErrorCode(exceptionCode);
    const EXCEPTION_RECORD* record = pointers ? pointers->ExceptionRecord : nullptr;
    const void* address = record ? record->ExceptionAddress : __builtin_return_address(0);
    std::vector<std::wstring> inserts;
    inserts.push_back(Pointer(address));
    if (code == 0xE6060005)
    {
        bool write = record && record->NumberParameters >= 1 && record->ExceptionInformation[0] != 0;
        inserts.push_back(MessageText(write ? kWriteText : kReadText));
        const void* target = record && record->NumberParameters >= 2
                                 ? reinterpret_cast<const void*>(record->ExceptionInformation[1])
                                 : nullptr;
        inserts.push_back(Pointer(target));
    }
    inserts.resize(10);

    COvError error(code, nullptr, 0, nullptr);
    error.SetValue(L"Description", MessageText(code, &inserts));
    error.SetValue(L"MiniDumpFile", WriteCrashDump(pointers));
    return error;
}

std::wstring GetCrashDumpPath()
{
    wchar_t module[520];
    std::wstring name;
    DWORD length = GetModuleFileNameW(nullptr, module, 520);
    if (length == 0 || length >= 520)
        name = L"dmpfile";
    else
    {
        name = module;
        size_t slash = name.find_last_of(L'\\');
        if (slash != std::wstring::npos)
            name.erase(0, slash + 1);
        size_t dot = name.find_last_of(L'.');
        if (dot != std::wstring::npos)
            name.erase(dot);
    }
    wchar_t tick[16];
    swprintf(tick, 16, L"-%08X.dmp", static_cast<unsigned>(GetTickCount()));
    wchar_t temp[MAX_PATH + 1];
    DWORD tempLength = GetTempPathW(MAX_PATH + 1, temp);
    std::wstring folder = tempLength && tempLength <= MAX_PATH ? std::wstring(temp, tempLength) : std::wstring();
    return folder + name + tick;
}

std::wstring WriteCrashDump(EXCEPTION_POINTERS* pointers)
{
    std::wstring path = GetCrashDumpPath();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return L"Can't create file in temp folder!";

    using WriteDump = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE, PMINIDUMP_EXCEPTION_INFORMATION,
                                    PMINIDUMP_USER_STREAM_INFORMATION, PMINIDUMP_CALLBACK_INFORMATION);
    bool written = false;
    DWORD error = ERROR_SUCCESS;
    // Only the system's copy: a dbghelp.dll beside the program is anyone's.
    HMODULE library = LoadSystemLibrary(L"dbghelp.dll");
    WriteDump write = library ? reinterpret_cast<WriteDump>(
                                    reinterpret_cast<void*>(GetProcAddress(library, "MiniDumpWriteDump")))
                              : nullptr;
    if (write)
    {
        MINIDUMP_EXCEPTION_INFORMATION info = {GetCurrentThreadId(), pointers, FALSE};
        PMINIDUMP_EXCEPTION_INFORMATION infoPointer = pointers ? &info : nullptr;
        written = write(GetCurrentProcess(), GetCurrentProcessId(), file, g_dumpType.load(), infoPointer,
                        nullptr, nullptr) ||
                  write(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal, infoPointer, nullptr,
                        nullptr);
    }
    if (!written)
        error = GetLastError();
    if (library)
        FreeLibrary(library);
    CloseHandle(file);
    if (written)
        return path;
    DeleteFileW(path.c_str());
    return FormatErrorCode(error);
}

MINIDUMP_TYPE SetCrashDumpType(MINIDUMP_TYPE type)
{
    return g_dumpType.exchange(type);
}
}
