// Builds everything one run of the installer thread uses, for one installer type and mode.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Engine/ExecObject.h"
#include "Engine/InstallerType.h"

class IMsiPackage;

namespace ovinst
{
class ExecContext;
class IActionTable;
class IInstallData;
class INotifier;
class IStatusCallback;

// Asked by the notifier before each step; true once the run is to stop.
using StopRequestCallback = std::function<bool()>;

// The slots are in the order the installer thread and the factory rely on.
class IFactory
{
public:
    virtual ~IFactory() = default;
    virtual void CreateSequence(ExecObjectList steps, std::shared_ptr<ExecSequence>& result) = 0;
    virtual void CreateUpdateContext(const ExecObjectPtr& inner, ExecObjectPtr& result) = 0;
    virtual void CreateMsiTransaction(const ExecObjectPtr& inner, ExecObjectPtr& result) = 0;
    virtual void CreateExecPackage(const std::shared_ptr<IInstallData>& installData,
                                   const std::shared_ptr<::IMsiPackage>& package, ExecObjectPtr& result) = 0;
    virtual void CreateExecContext(int32_t uiMode, std::shared_ptr<ExecContext>& result) = 0;
    virtual void CreateInstallData(const std::wstring& folder, const std::wstring& msiOption,
                                   std::shared_ptr<IInstallData>& result) = 0;
    virtual void CreatePreInstallSequence(const std::shared_ptr<IInstallData>& installData,
                                          ExecObjectPtr& result) = 0;
    virtual void CreatePostInstallSequence(ExecObjectPtr& result) = 0;
    virtual void CreateInstallSequence(const std::shared_ptr<IInstallData>& installData, ExecObjectPtr& result) = 0;
    virtual void CreateNotifier(const std::shared_ptr<IStatusCallback>& window,
                                const std::shared_ptr<IActionTable>& actionTable, StopRequestCallback isStopRequested,
                                std::unique_ptr<INotifier>& result) = 0;
    virtual void CreateActionTable(InstallerType type, const std::shared_ptr<IStatusCallback>& window,
                                   std::shared_ptr<IActionTable>& result) = 0;
};

// Makes the factory for an installer type and mode; the thread asks it once, in Init.
using FactoryMaker = std::function<std::shared_ptr<IFactory>(InstallerType type, bool silent)>;
}
