#include "Win32Objects.h"

namespace OvBase
{
std::vector<BYTE> CopySecurityDescriptor(PSECURITY_DESCRIPTOR descriptor)
{
    std::vector<BYTE> copy;
    if (!descriptor || !IsValidSecurityDescriptor(descriptor))
        return copy;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    if (control & SE_SELF_RELATIVE)
    {
        DWORD length = GetSecurityDescriptorLength(descriptor);
        const BYTE* bytes = static_cast<const BYTE*>(descriptor);
        copy.assign(bytes, bytes + length);
        return copy;
    }
    DWORD length = 0;
    MakeSelfRelativeSD(descriptor, nullptr, &length);
    if (length == 0)
        return copy;
    copy.resize(length);
    if (!MakeSelfRelativeSD(descriptor, copy.data(), &length))
        copy.clear();
    return copy;
}
}
