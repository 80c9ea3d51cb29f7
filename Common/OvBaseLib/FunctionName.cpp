#include "FunctionName.h"

#include <cctype>
#include <string_view>
#include <utility>
#include <vector>

namespace
{
bool IsIdentChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// "T = wchar_t; U = int" -> pairs.
std::vector<std::pair<std::string, std::string>> ParseBindings(std::string_view text)
{
    std::vector<std::pair<std::string, std::string>> bindings;
    while (!text.empty())
    {
        size_t end = text.find("; ");
        std::string_view item = text.substr(0, end);
        size_t eq = item.find(" = ");
        if (eq != std::string_view::npos)
            bindings.emplace_back(std::string(item.substr(0, eq)), std::string(item.substr(eq + 3)));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 2);
    }
    return bindings;
}

std::string Substitute(const std::string& name, const std::vector<std::pair<std::string, std::string>>& bindings)
{
    std::string out;
    for (size_t i = 0; i < name.size();)
    {
        if (!IsIdentChar(name[i]))
        {
            out += name[i++];
            continue;
        }
        size_t j = i;
        while (j < name.size() && IsIdentChar(name[j]))
            ++j;
        std::string word = name.substr(i, j - i);
        for (const auto& [param, value] : bindings)
            if (word == param)
            {
                word = value;
                break;
            }
        out += word;
        i = j;
    }
    return out;
}
}

namespace OvBase
{
std::wstring QualifiedFunctionName(const char* signature)
{
    if (!signature)
        return {};
    std::string_view text(signature);
    std::vector<std::pair<std::string, std::string>> bindings;
    size_t with = text.rfind(" [with ");
    if (with != std::string_view::npos && text.back() == ']')
    {
        bindings = ParseBindings(text.substr(with + 7, text.size() - with - 8));
        text = text.substr(0, with);
    }
    // A lambda is named after the function that holds it.
    size_t lambda = text.find("::<lambda");
    if (lambda != std::string_view::npos)
        text = text.substr(0, lambda);
    // The name ends at the last parameter list; qualifiers such as "const" may follow it.
    size_t paren = text.size();
    size_t close = text.rfind(')');
    if (close != std::string_view::npos)
    {
        int depth = 0;
        for (size_t i = close + 1; i-- > 0;)
        {
            if (text[i] == ')')
                ++depth;
            else if (text[i] == '(' && --depth == 0)
            {
                paren = i;
                break;
            }
        }
    }
    // It starts after the return type and specifiers: the last blank outside brackets.
    size_t start = 0;
    int nesting = 0;
    for (size_t i = paren; i-- > 0;)
    {
        char c = text[i];
        if (c == '>' || c == ')')
            ++nesting;
        else if ((c == '<' || c == '(') && nesting > 0)
            --nesting;
        else if (c == ' ' && nesting == 0)
        {
            start = i + 1;
            break;
        }
    }
    std::string name = Substitute(std::string(text.substr(start, paren - start)), bindings);
    // A local class's method: "Outer()::Local::Run" reads "Outer::Local::Run".
    for (size_t pos; (pos = name.find("()::")) != std::string::npos;)
        name.erase(pos, 2);
    return std::wstring(name.begin(), name.end());
}
}
