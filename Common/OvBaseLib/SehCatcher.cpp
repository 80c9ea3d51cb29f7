#include "SehCatcher.h"

#include "DllSearch.h"

#include <dbghelp.h>

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

bool IsTranslated(DWORD exceptionCode)
{
    // Single steps belong to debuggers; everything else in the table is a fault of this
    // program. Other codes (C++ throws, RPC, debug output) are left to their handlers.
    if (exceptionCode == EXCEPTION_SINGLE_STEP)
        return false;
    for (const CodeMap& item : kCodes)
        if (item.exception == exceptionCode)
            return true;
    return false;
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

OvBase::CSehCatcher* CurrentCatcher()
{
    return g_tlsIndex == TLS_OUT_OF_INDEXES ? nullptr : static_cast<OvBase::CSehCatcher*>(TlsGetValue(g_tlsIndex));
}
}

namespace OvBase
{
struct SehCatcherAccess
{
    static LONG CALLBACK Handler(EXCEPTION_POINTERS* pointers);
    [[noreturn]] static void ThrowPending();
};

// Entered as if the faulting instruction had called it: the unwinder then finds the
// faulting frame and its handlers, and the catcher's error flies from there.
__attribute__((noinline)) void SehCatcherAccess::ThrowPending()
{
    CSehCatcher* catcher = CurrentCatcher();
    std::unique_ptr<COvError> error = std::move(catcher->m_pending);
    catcher->m_inHandler = false;
    throw COvError(std::move(*error));
}

LONG CALLBACK SehCatcherAccess::Handler(EXCEPTION_POINTERS* pointers)
{
    CSehCatcher* catcher = CurrentCatcher();
    if (!catcher || catcher->m_inHandler || !pointers || !pointers->ExceptionRecord)
        return EXCEPTION_CONTINUE_SEARCH;
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    if (!IsTranslated(record->ExceptionCode) || (record->ExceptionFlags & EXCEPTION_NONCONTINUABLE))
        return EXCEPTION_CONTINUE_SEARCH;
    // A fault while the error is being made is left to the system.
    catcher->m_inHandler = true;
    catcher->m_pending = std::make_unique<COvError>(MakeSehError(record->ExceptionCode, pointers));
    CONTEXT* context = pointers->ContextRecord;
    context->Rsp -= sizeof(DWORD64);
    *reinterpret_cast<DWORD64*>(context->Rsp) = reinterpret_cast<DWORD64>(record->ExceptionAddress) + 1;
    context->Rip = reinterpret_cast<DWORD64>(&SehCatcherAccess::ThrowPending);
    return EXCEPTION_CONTINUE_EXECUTION;
}

CSehCatcher::CSehCatcher()
{
    std::call_once(g_setup, [] {
        g_tlsIndex = TlsAlloc();
        AddVectoredExceptionHandler(1, &SehCatcherAccess::Handler);
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
        written = write(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpWithFullMemory, infoPointer,
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
}
