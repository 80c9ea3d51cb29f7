#include <gtest/gtest.h>

#include "AbortInstallException.h"
#include "OvErrorObject.h"
#include "TraceTestSupport.h"
#include "Win32Objects.h"

using OvBase::COvError;

namespace
{
namespace probe
{
struct Thrower
{
    void ByText() { ThrowErrorText(L"Wrong EActionType"); }
    void ByCode() { ThrowErrorCode(0x80070002u); }
};

template <class T>
struct Generic
{
    static std::wstring Name() { return OV_FUNCTION_NAME; }
};
}

// The whole dump, embedded NULs included.
std::wstring Dump(COvError& error)
{
    error.GetDump();
    return error.GetProperties().at(L"Dump");
}
}

TEST(ErrorObject, TextErrorCarriesPlaceAndDumpsPropertiesInKeyOrder)
{
    try
    {
        probe::Thrower().ByText();
        FAIL() << "no throw";
    }
    catch (COvError& error)
    {
        EXPECT_EQ(error.GetCode(), 0x80004005u);
        EXPECT_STREQ(error.GetDescription(), L"Wrong EActionType");
        const auto& properties = error.GetProperties();
        EXPECT_EQ(properties.at(L"Function"), L"{anonymous}::probe::Thrower::ByText");
        EXPECT_NE(properties.at(L"File").find(L"ErrorObjectTest.cpp"), std::wstring::npos);
        std::wstring dump = Dump(error);
        std::wstring expected = L"Code: 0x80004005\r\nDescription: Wrong EActionType\r\nFile: " +
                                properties.at(L"File") + L"\r\nFunction: " + properties.at(L"Function") +
                                L"\r\nLine: " + properties.at(L"Line") + L"\r\n";
        EXPECT_EQ(dump, expected);
        EXPECT_STREQ(error.GetText(), expected.c_str());
    }
}

TEST(ErrorObject, CodeErrorCaughtThroughInterface)
{
    try
    {
        probe::Thrower().ByCode();
    }
    catch (OvBase::IOvErrorW& error)
    {
        EXPECT_EQ(error.GetCode(), 0x80070002u);
        // The system's text in the message language, not the fallback.
        EXPECT_NE(std::wstring(error.GetDescription()), L"");
        EXPECT_NE(std::wstring(error.GetDescription()), OvBase::FormatErrorCode(0x80070002));
    }
}

TEST(ErrorObject, NullTextAndNoPlace)
{
    COvError text(static_cast<const wchar_t*>(nullptr), nullptr, 0, nullptr);
    EXPECT_EQ(text.GetCode(), 0x80004005u);
    EXPECT_EQ(Dump(text), L"Code: 0x80004005\r\nDescription: \r\n");

    COvError code(0x80070002u, nullptr, 0, nullptr);
    EXPECT_EQ(code.GetProperties().size(), 2u);
    EXPECT_EQ(code.GetProperties().at(L"Code"), L"0x80070002");
    // The empty multi-string: its terminator alone.
    EXPECT_EQ(code.GetDebugInfo()[0], L'\0');
}

TEST(ErrorObject, DebugInfoIsMultiStringAndJoinsTheDump)
{
    COvError error(L"x", L"a.cpp", 12, L"ns::F");
    const wchar_t* info = error.GetDebugInfo();
    const wchar_t kExpected[] = L"File\0a.cpp\0Line\0" L"12\0Function\0ns::F\0";
    std::wstring expected(kExpected, sizeof(kExpected) / sizeof(wchar_t) - 1);
    EXPECT_EQ(std::wstring(info, expected.size() + 1), expected + L'\0');
    EXPECT_EQ(error.GetDebugInfo(), info) << "computed once";
    std::wstring dump = Dump(error);
    EXPECT_NE(dump.find(L"DebugInfo: " + expected + L"\r\nDescription: x\r\n"), std::wstring::npos);
    // A second dump replaces the first rather than listing it.
    EXPECT_EQ(Dump(error), dump);
}

TEST(ErrorObject, CopyDuplicatesProperties)
{
    COvError original(L"first", nullptr, 0, nullptr);
    COvError copy = original;
    copy.SetValue(L"Description", L"second");
    EXPECT_STREQ(original.GetDescription(), L"first");
    EXPECT_STREQ(copy.GetDescription(), L"second");
}

TEST(ErrorObject, CodeParsesHexUntilFirstOtherCharacter)
{
    COvError error(L"", nullptr, 0, nullptr);
    struct Case
    {
        const wchar_t* text;
        DWORD code;
    } cases[] = {{L"0x1234zz", 0x1234}, {L"0x", 0}, {L"", 0}, {L"0xE6060005", 0xE6060005}};
    for (const auto& c : cases)
    {
        error.SetValue(L"Code", c.text);
        EXPECT_EQ(error.GetCode(), c.code) << c.text;
    }
}

TEST(FunctionName, QualifiedNameFromSignature)
{
    struct Case
    {
        const char* signature;
        const wchar_t* name;
    } cases[] = {
        {"void OvBase::CWin32Event::Create_Ex(bool, const wchar_t*, LPSECURITY_ATTRIBUTES)",
         L"OvBase::CWin32Event::Create_Ex"},
        {"OvBase::COvError::COvError(DWORD)", L"OvBase::COvError::COvError"},
        {"void OvBase::CBuffer<T>::Resize(uint64_t) [with T = wchar_t]", L"OvBase::CBuffer<wchar_t>::Resize"},
        {"static std::map<int, int> ns::F(int)", L"ns::F"},
        {"int wmain(int, wchar_t**)", L"wmain"},
        {"ovinst::Factory::Create(int)::<lambda(int)>", L"ovinst::Factory::Create"},
        {"virtual int ns::C::Get() const", L"ns::C::Get"},
        {"void {anonymous}::Helper()", L"{anonymous}::Helper"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OvBase::QualifiedFunctionName(c.signature), c.name) << c.signature;
    EXPECT_EQ(probe::Generic<unsigned char>::Name(), L"{anonymous}::probe::Generic<unsigned char>::Name");
}

TEST(ErrorDescription, LookupAndFallbacks)
{
    EXPECT_EQ(OvBase::FormatErrorCode(0x80070002), L"0x80070002 (2147942402)");
    // No message module knows it, and neither does the system.
    EXPECT_EQ(OvBase::GetErrorDescription(0xE6060099), L"0xE6060099 (3859153049)");
    EXPECT_EQ(OvBase::GetErrorDescription(0xE6060004), L"read");
    EXPECT_EQ(OvBase::GetErrorDescription(0xE6060012), L"Integer division by zero at.");

    std::wstring notFound = OvBase::GetErrorDescription(0x80070002);
    EXPECT_FALSE(notFound.empty());
    EXPECT_EQ(notFound.find(L'\r'), std::wstring::npos);
    EXPECT_EQ(notFound.find(L"0x80070002"), std::wstring::npos) << "a system text, not the fallback";

    SetLastError(ERROR_ACCESS_DENIED);
    COvError last(0xFFFFFFFFu, nullptr, 0, nullptr);
    EXPECT_EQ(last.GetProperties().at(L"Code"), L"0xFFFFFFFF");
    EXPECT_EQ(std::wstring(last.GetDescription()), OvBase::GetErrorDescription(ERROR_ACCESS_DENIED));
}

TEST(ErrorDescription, MessageLanguageFollowsTheProductsLanguageMark)
{
    const wchar_t kProductKey[] = L"SOFTWARE\\Calderis\\Orvane Studio";
    ovtest::CHklmKeyBackup backup(kProductKey);
    struct Case
    {
        const wchar_t* mark;
        DWORD language;
    } cases[] = {
        {nullptr, 1049}, {L"en-US", 1033}, {L"ru-RU", 1049}, {L"de-DE", 1031}, {L"en-US-x", 1049}, {L"", 1049},
    };
    for (const auto& c : cases)
    {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kProductKey);
        if (c.mark)
            ovtest::SetHklmString(kProductKey, L"ProductLocale", c.mark);
        // The language is kept for the life of a process, so each case needs a new one.
        OvBase::CWin32Process probe;
        ASSERT_EQ(probe.Create((std::wstring(OV_BIN_DIR) + L"\\MessageLanguageProbe.exe").c_str(), nullptr), 0u);
        ASSERT_EQ(probe.WaitFor(30000), 0u);
        EXPECT_EQ(probe.GetExitCode(), c.language) << (c.mark ? c.mark : L"(none)");
    }
}

TEST(ErrorDescription, InsertMarksAndTheirBlankAreRemoved)
{
    HMODULE module = OvBase::OpenMessageModule(0xE6060005);
    ASSERT_NE(module, nullptr) << "OvError.dll beside the program";
    EXPECT_EQ(OvBase::FormatMessageText(0xE6060005, module),
              L"The instruction at referenced memory at. The memory could not be.");
    std::vector<std::wstring> inserts = {L"0000000000401000", OvBase::GetErrorDescription(0xE6060003),
                                         L"0000000000000000"};
    inserts.resize(10);
    EXPECT_EQ(OvBase::FormatMessageText(0xE6060005, module, &inserts),
              L"The instruction at 0000000000401000 referenced memory at 0000000000000000. The memory could not be "
              L"written.");
    FreeLibrary(module);
}

TEST(ErrorDescription, MessageModuleChoice)
{
    struct Case
    {
        DWORD code;
        bool module;
    } cases[] = {
        {0xE6060004, true}, {0x80005000, true}, {0x00005000, true}, {0xC0020001, true},
        {0x80041099, true}, {0x8004109A, false}, {0x80070002, false},
    };
    for (const auto& c : cases)
    {
        HMODULE module = OvBase::OpenMessageModule(c.code);
        // Wine may lack a system module; a module never appears where none belongs.
        if (!c.module)
        {
            EXPECT_EQ(module, nullptr) << std::hex << c.code;
        }
        if (module)
            FreeLibrary(module);
    }
}

TEST(ErrorDescription, SystemErrorForLogLines)
{
    wchar_t buffer[2048];
    OvBase::FormatSystemError(buffer, 2048, ERROR_ACCESS_DENIED);
    std::wstring text = buffer;
    ASSERT_GT(text.size(), 6u);
    EXPECT_EQ(text.substr(text.size() - 6), L" (0x5)");
    EXPECT_EQ(text.find(L'\n'), std::wstring::npos);

    // The text is cut so that the code always fits.
    wchar_t small[20];
    OvBase::FormatSystemError(small, 20, ERROR_ACCESS_DENIED);
    EXPECT_EQ(std::wstring(small), text.substr(0, 4) + L" (0x5)");

    SetLastError(ERROR_FILE_NOT_FOUND);
    OvBase::FormatSystemError(buffer, 2048, 0);
    EXPECT_NE(std::wstring(buffer).find(L"(0x2)"), std::wstring::npos);

    OvBase::FormatSystemError(buffer, 2048, 0x2FFFFFFF);
    EXPECT_STREQ(buffer, L"");
}

TEST(ErrorDescription, HResultFromWin32)
{
    EXPECT_EQ(OvBase::HResultFromWin32(2), 0x80070002u);
    EXPECT_EQ(OvBase::HResultFromWin32(0), 0u);
    EXPECT_EQ(OvBase::HResultFromWin32(0x80004005), 0x80004005u);
}

TEST(LogException, OneWarningLinePerKind)
{
    ovtest::CTempFolder folder(L"logexception");
    ovtest::CProgramTraceScope scope(folder.Path(), 0xFF, 0x1);
    utils::LogException(std::make_exception_ptr(COvError(L"bad", nullptr, 0, nullptr)), L"ctx:");
    utils::LogException(std::make_exception_ptr(utils::AbortInstallException()), L"ctx:");
    utils::LogException(std::make_exception_ptr(std::runtime_error("std text")), L"ctx:");
    utils::LogException(std::make_exception_ptr(42), L"ctx:");
    utils::LogException(nullptr, L"ctx:");
    std::string text = ovtest::ReadFileBytes(scope.LogPath());
    EXPECT_NE(text.find("W>   ctx: COvError Exception: Code: 0x80004005\r\nDescription: bad\r\n\r\n}"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("W>   ctx: AbortInstallException\r\n"), std::string::npos);
    EXPECT_NE(text.find("W>   ctx: Standard Exception: std text\r\n"), std::string::npos);
    EXPECT_NE(text.find("W>   ctx: Unknown Exception!\r\n"), std::string::npos);
    // The empty one writes only its entry and exit.
    EXPECT_EQ(text.substr(text.size() - 28), "\nutils::LogException\r\n{\r\n}\r\n");
}
