// The sample prerequisite installers copied into a fresh folder for one test, laid out so
// that the program's default prerequisite folder ("..\..\..\tools\microsoft\prerequisites")
// resolves to them from WorkingFolder(). The sample runtime packages they install are
// removed again at the end.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Engine/IExecContext.h"
#include "Engine/ShownError.h"
#include "OvErrorObject.h"
#include "RecordingNotifier.h"
#include "TraceTestSupport.h"

namespace testsupport
{
// The sample runtime part: "x64_minimum", "x64_additional", "x86_minimum", "x86_additional".
std::wstring RuntimePartPackage(const wchar_t* part);
void RemoveRuntimePackages();

class PrerequisiteFolder
{
public:
    PrerequisiteFolder();
    ~PrerequisiteFolder();
    PrerequisiteFolder(const PrerequisiteFolder&) = delete;
    PrerequisiteFolder& operator=(const PrerequisiteFolder&) = delete;

    // Where the installers lie.
    const std::wstring& Folder() const { return m_folder; }
    // Three levels below the root: the default relative folder leads from here to Folder().
    const std::wstring& WorkingFolder() const { return m_working; }
    // The exit code the installer ends with (program name without ".exe").
    void SetExitCode(const wchar_t* program, DWORD code) const;
    // The arguments of each run of the installer, oldest first.
    std::vector<std::string> Calls(const wchar_t* program) const;
    void Remove(const wchar_t* program) const;

private:
    ovtest::CTempFolder m_root;
    std::wstring m_folder;
    std::wstring m_working;
};

// Makes the folder the process's current directory for the scope.
class ScopedCurrentDirectory
{
public:
    explicit ScopedCurrentDirectory(const std::wstring& folder);
    ~ScopedCurrentDirectory();
    ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
    ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;

private:
    std::wstring m_previous;
};

struct StepRun
{
    std::vector<std::wstring> calls;
    std::optional<DWORD> errorCode;
    // The error is marked as told to the user already (the installer thread does not repeat it).
    bool shownToUser = false;
};

// Runs a prerequisite step from the folder's working folder, where the default prerequisite
// folder leads to the copied installers, and records what it told the user.
template <class Step>
StepRun RunPrerequisiteStep(const PrerequisiteFolder& folder)
{
    ScopedCurrentDirectory cwd(folder.WorkingFolder());
    auto recorder = new RecordingNotifier;
    std::unique_ptr<ovinst::INotifier> notifier(recorder);
    std::shared_ptr<ovinst::IExecContext> context;
    Step step;
    StepRun result;
    try
    {
        step.Exec(context, notifier);
    }
    catch (OvBase::COvError& error)
    {
        result.errorCode = error.GetCode();
        result.shownToUser = ovinst::WasShownToUser(error);
    }
    result.calls = recorder->calls;
    return result;
}
}
