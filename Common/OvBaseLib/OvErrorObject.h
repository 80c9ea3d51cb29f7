// The one exception type of the program, its throw helpers and the description lookup.
#pragma once

#include <windows.h>

#include <exception>
#include <map>
#include <string>
#include <vector>

#include "FunctionName.h"

namespace OvBase
{
// Abstract error: what a handler may read from a caught failure.
class IOvErrorW
{
public:
    virtual DWORD GetCode() = 0;
    virtual const wchar_t* GetDescription() = 0;
    // "File\0<path>\0Line\0<n>\0Function\0<name>\0\0", each pair only when known.
    virtual const wchar_t* GetDebugInfo() = 0;
    // Every property as "Key: value\r\n", in key order.
    virtual const wchar_t* GetDump() = 0;
    virtual const wchar_t* GetText() = 0;

protected:
    ~IOvErrorW() = default;
};

class COvError : public IOvErrorW
{
public:
    // A logic error: code E_FAIL, the text as description (empty when null).
    COvError(const wchar_t* description, const wchar_t* file, int line, const wchar_t* function);
    // A failure with a code; the description is looked up.
    COvError(DWORD code, const wchar_t* file, int line, const wchar_t* function);
    COvError(const COvError&) = default;
    COvError(COvError&&) = default;
    COvError& operator=(const COvError&) = default;
    COvError& operator=(COvError&&) = default;

    DWORD GetCode() override;
    const wchar_t* GetDescription() override;
    const wchar_t* GetDebugInfo() override;
    const wchar_t* GetDump() override;
    const wchar_t* GetText() override;
    virtual ~COvError() = default;

    void SetValue(const std::wstring& key, const std::wstring& value);
    // Read-only view, for handlers that inspect single properties.
    const std::map<std::wstring, std::wstring>& GetProperties() const { return m_properties; }

private:
    COvError() = default;
    void Init(DWORD code, const wchar_t* file, int line, const wchar_t* function);

    std::map<std::wstring, std::wstring> m_properties;
};

[[noreturn]] void ThrowErrorTextAt(const wchar_t* text, const wchar_t* file, int line, const wchar_t* function);
[[noreturn]] void ThrowErrorTextAt(const std::wstring& text, const wchar_t* file, int line, const wchar_t* function);
[[noreturn]] void ThrowErrorCodeAt(const DWORD& code, const wchar_t* file, int line, const wchar_t* function);

// (v & 0xFFFF) | 0x80070000 for a positive Windows error; zero and negative values pass.
constexpr DWORD HResultFromWin32(DWORD error)
{
    return static_cast<LONG>(error) <= 0 ? error : ((error & 0xFFFF) | 0x80070000u);
}

// The text of an error code: from OvError.dll, a system module or the system table,
// else "0x%08X (%u)". 0xFFFFFFFF describes the thread's last error.
std::wstring GetErrorDescription(DWORD code);
// The message module that holds the code's text, loaded as data; null for the system table.
HMODULE OpenMessageModule(DWORD code);
// Formats the code's message (inserts substituted when given) and cleans it up.
std::wstring FormatMessageText(DWORD code, HMODULE module, const std::vector<std::wstring>* arguments = nullptr);
// "0x%08X (%u)".
std::wstring FormatErrorCode(DWORD code);
// Language of message lookups: the product's language mark, else 1049.
LANGID GetMessageLanguage();
// "<system text> (0x<code>)" into a caller buffer of `size` (>= 16) characters; 0 = last error.
// Leaves the buffer empty when the system has no text.
void FormatSystemError(wchar_t* buffer, size_t size, DWORD code);
}

namespace utils
{
// One warning line saying what the captured exception was; never throws.
void LogException(std::exception_ptr captured, const wchar_t* context);
}

// The throw helpers record the place where they are written.
#define ThrowErrorText(text) ::OvBase::ThrowErrorTextAt((text), OV_WFILE, __LINE__, OV_FUNCTION_NAME)
#define ThrowErrorCode(code) ::OvBase::ThrowErrorCodeAt((code), OV_WFILE, __LINE__, OV_FUNCTION_NAME)
