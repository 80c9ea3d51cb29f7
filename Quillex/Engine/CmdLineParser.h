// Switches of a command line: "/key", "-key", "/key:value", "/key:\"quoted value\"".
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

class CCmdLineParser
{
public:
    explicit CCmdLineParser(bool caseSensitive = false);
    CCmdLineParser(const std::wstring& text, bool caseSensitive = false);
    // Without it a literal would pick the bool constructor and parse nothing.
    CCmdLineParser(const wchar_t* text, bool caseSensitive = false);
    virtual ~CCmdLineParser() = default;

    // True when at least one option was stored. Text that does not fit is skipped.
    bool Parse(const std::wstring& text);

    const std::wstring& GetCommandLine() const { return m_commandLine; }
    // The command line with every option value, and every stretch of text between them, passed
    // through `mask`: how a log shows it. Quotes around a value stay as written.
    using TextMask = std::function<std::wstring(const std::wstring&)>;
    std::wstring GetMaskedCommandLine(const TextMask& mask) const;

    bool HasKey(const std::wstring& key) const;
    // The key is present and its value is not empty.
    bool HasValue(const std::wstring& key) const;
    // The value, or nullptr when the key is absent.
    const wchar_t* GetValue(const std::wstring& key) const;
    bool GetValue(const std::wstring& key, std::wstring& value) const;
    // Every key stored, as stored (lower case unless case-sensitive), in key order.
    std::vector<std::wstring> GetKeys() const;

private:
    std::wstring NormalizeKey(const std::wstring& key) const;
    // The first occurrence of an option wins.
    void Store(const std::wstring& key, const std::wstring& value);

    std::wstring m_commandLine;
    std::map<std::wstring, std::wstring> m_options;
    // Where each value stands in the command line (start, length), in order.
    std::vector<std::pair<size_t, size_t>> m_valueSpans;
    bool m_caseSensitive;
};
