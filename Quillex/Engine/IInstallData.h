// What one run knows about its packages and what is to be done with each of them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "IMsiPackage.h"

namespace ovinst
{
// The packages of the run, in table order.
class Packages : public std::vector<std::shared_ptr<IMsiPackage>>
{
public:
    // The first package with the id; throws "id not found" when there is none.
    IMsiPackage& operator[](PackageId id) const;
    bool Contains(PackageId id) const;
};

class IInstallData
{
public:
    virtual ~IInstallData() = default;
    virtual Packages& GetPackages() = 0;
    virtual const Packages& GetPackages() const = 0;
    // 1 interactive run, 0 silent run.
    virtual int GetUIMode() const = 0;
    // Folder of the package files; empty in removal mode.
    virtual std::wstring GetDirectory() const = 0;
    virtual std::wstring GetMsiOption() const = 0;
    // 0 console set, 1 server set.
    virtual int GetInstallerType() const = 0;
    virtual void UninstallAll() = 0;
    virtual void SetUserAction(PackageId id, bool checked) = 0;
    virtual bool IsUserActionNeeded() const = 0;
};
}
