// Builds what the installer thread runs for one installer type and mode: which steps run,
// in which order, and which of them may fail without ending the run.
#pragma once

#include "IFactory.h"

class Factory : public ovinst::IFactory
{
public:
    Factory(ovinst::InstallerType type, bool silent);

    void CreateSequence(ovinst::ExecObjectList steps, std::shared_ptr<ovinst::ExecSequence>& result) override;
    void CreateUpdateContext(const ovinst::ExecObjectPtr& inner, ovinst::ExecObjectPtr& result) override;
    void CreateMsiTransaction(const ovinst::ExecObjectPtr& inner, ovinst::ExecObjectPtr& result) override;
    void CreateExecPackage(const std::shared_ptr<ovinst::IInstallData>& installData,
                           const std::shared_ptr<IMsiPackage>& package, ovinst::ExecObjectPtr& result) override;
    void CreateExecContext(int32_t uiMode, std::shared_ptr<ovinst::ExecContext>& result) override;
    void CreateInstallData(const std::wstring& folder, const std::wstring& msiOption,
                           std::shared_ptr<ovinst::IInstallData>& result) override;
    void CreatePreInstallSequence(const std::shared_ptr<ovinst::IInstallData>& installData,
                                  ovinst::ExecObjectPtr& result) override;
    void CreatePostInstallSequence(ovinst::ExecObjectPtr& result) override;
    void CreateInstallSequence(const std::shared_ptr<ovinst::IInstallData>& installData,
                               ovinst::ExecObjectPtr& result) override;
    void CreateNotifier(const std::shared_ptr<ovinst::IStatusCallback>& window,
                        const std::shared_ptr<ovinst::IActionTable>& actionTable,
                        ovinst::StopRequestCallback isStopRequested,
                        std::unique_ptr<ovinst::INotifier>& result) override;
    void CreateActionTable(ovinst::InstallerType type, const std::shared_ptr<ovinst::IStatusCallback>& window,
                           std::shared_ptr<ovinst::IActionTable>& result) override;

    void AddUpdatePackages(ovinst::ExecObjectList& steps, const std::shared_ptr<ovinst::IInstallData>& installData);
    void AddInstallPackages(ovinst::ExecObjectList& steps, const std::shared_ptr<ovinst::IInstallData>& installData);
    void AddUninstallPackages(ovinst::ExecObjectList& steps, const std::shared_ptr<ovinst::IInstallData>& installData);
    // The package's step for an installation: non-critical packages may fail alone.
    ovinst::ExecObjectPtr CreateInstallPackage(const std::shared_ptr<ovinst::IInstallData>& installData,
                                               const std::shared_ptr<IMsiPackage>& package);

private:
    ovinst::InstallerType m_type;
    bool m_silent;
};
