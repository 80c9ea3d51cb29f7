#include "PrerequisiteFolder.h"

#include "ProductGuids.h"
#include "ScopedInstall.h"

namespace testsupport
{
namespace
{
const wchar_t* const kPrograms[] = {L"vcredist_x64", L"vcredist_x86", L"dotnetfx45_full_x86_x64"};
}

std::wstring RuntimePartPackage(const wchar_t* part)
{
    return std::wstring(OV_SAMPLES_DIR) + L"\\runtime\\" + part + L".msi";
}

void RemoveRuntimePackages()
{
    for (const wchar_t* code : {OV_SAMPLE_UPGRADE_CODE_RUNTIME_X64_MINIMUM, OV_SAMPLE_UPGRADE_CODE_RUNTIME_X64_ADDITIONAL,
                                OV_SAMPLE_UPGRADE_CODE_RUNTIME_X86_MINIMUM, OV_SAMPLE_UPGRADE_CODE_RUNTIME_X86_ADDITIONAL})
        RemoveByUpgradeCode(code);
}

PrerequisiteFolder::PrerequisiteFolder() : m_root(L"prerequisites")
{
    m_folder = m_root.Path() + L"\\tools\\microsoft\\prerequisites";
    m_working = m_root.Path() + L"\\dist\\a\\b";
    for (const std::wstring& path : {m_root.Path() + L"\\tools", m_root.Path() + L"\\tools\\microsoft", m_folder,
                                     m_root.Path() + L"\\dist", m_root.Path() + L"\\dist\\a", m_working})
        ::CreateDirectoryW(path.c_str(), nullptr);
    for (const wchar_t* program : kPrograms)
    {
        const std::wstring source = std::wstring(OV_SAMPLES_DIR) + L"\\prerequisites\\" + program + L".exe";
        ::CopyFileW(source.c_str(), (m_folder + L"\\" + program + L".exe").c_str(), FALSE);
    }
}

PrerequisiteFolder::~PrerequisiteFolder()
{
    RemoveRuntimePackages();
}

void PrerequisiteFolder::SetExitCode(const wchar_t* program, DWORD code) const
{
    ovtest::WriteFileBytes(m_folder + L"\\" + program + L".exitcode", std::to_string(code));
}

std::vector<std::string> PrerequisiteFolder::Calls(const wchar_t* program) const
{
    const std::wstring path = m_folder + L"\\" + program + L".calls";
    if (!ovtest::FileExists(path))
        return {};
    return ovtest::SplitLines(ovtest::ReadFileBytes(path));
}

void PrerequisiteFolder::Remove(const wchar_t* program) const
{
    ::DeleteFileW((m_folder + L"\\" + program + L".exe").c_str());
}

ScopedCurrentDirectory::ScopedCurrentDirectory(const std::wstring& folder)
{
    wchar_t previous[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    m_previous = previous;
    ::SetCurrentDirectoryW(folder.c_str());
}

ScopedCurrentDirectory::~ScopedCurrentDirectory()
{
    ::SetCurrentDirectoryW(m_previous.c_str());
}
}
