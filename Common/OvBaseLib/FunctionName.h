// The source place of a throw or trace site, as wide text.
#pragma once

#include <string>

namespace OvBase
{
// "ns::Class<wchar_t>::Method" from a compiler signature such as
// "void ns::Class<T>::Method(int) [with T = wchar_t]".
std::wstring QualifiedFunctionName(const char* signature);
}

#define OV_WIDEN2(s) L##s
#define OV_WIDEN(s) OV_WIDEN2(s)
#define OV_WFILE OV_WIDEN(__FILE__)

// Parsed once per site; the signature is taken in the enclosing function, not the lambda.
#define OV_FUNCTION_NAME                                                                    \
    ([](const char* signature) -> const wchar_t* {                                          \
        static const std::wstring name = ::OvBase::QualifiedFunctionName(signature);        \
        return name.c_str();                                                                \
    }(__PRETTY_FUNCTION__))
