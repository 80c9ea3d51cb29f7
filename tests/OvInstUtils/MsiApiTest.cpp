#include "MsiApi.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
std::vector<MSIHANDLE> g_closed;

UINT WINAPI RecordClose(MSIHANDLE h)
{
    g_closed.push_back(h);
    return 0;
}

INSTALLSTATE WINAPI StateDefault(LPCWSTR)
{
    return INSTALLSTATE_DEFAULT;
}

INSTALLSTATE WINAPI StateAdvertised(LPCWSTR)
{
    return INSTALLSTATE_ADVERTISED;
}

UINT WINAPI InstallBusy(LPCWSTR, LPCWSTR)
{
    return ERROR_INSTALL_ALREADY_RUNNING;
}

const wchar_t kUnknownProduct[] = L"{0F1E2D3C-4B5A-4969-8877-665544332211}";
} // namespace

TEST(MsiApi, DefaultsReachTheRealWindowsInstaller)
{
    EXPECT_EQ(msi::Api().QueryProductStateW, &::MsiQueryProductStateW);
    EXPECT_EQ(INSTALLSTATE_UNKNOWN, msi::Api().QueryProductStateW(kUnknownProduct));
}

TEST(MsiApi, OverrideLastsForItsScopeAndNests)
{
    {
        msi::CMsiApiOverride outer;
        outer->QueryProductStateW = StateDefault;
        EXPECT_EQ(INSTALLSTATE_DEFAULT, msi::Api().QueryProductStateW(kUnknownProduct));
        {
            msi::CMsiApiOverride inner;
            inner->QueryProductStateW = StateAdvertised;
            inner->InstallProductW = InstallBusy;
            EXPECT_EQ(INSTALLSTATE_ADVERTISED, msi::Api().QueryProductStateW(kUnknownProduct));
            EXPECT_EQ(StateDefault, inner.Previous().QueryProductStateW);
            EXPECT_EQ(UINT(ERROR_INSTALL_ALREADY_RUNNING), msi::Api().InstallProductW(L"x.msi", L""));
        }
        EXPECT_EQ(INSTALLSTATE_DEFAULT, msi::Api().QueryProductStateW(kUnknownProduct));
        EXPECT_EQ(&::MsiInstallProductW, msi::Api().InstallProductW);
    }
    EXPECT_EQ(&::MsiQueryProductStateW, msi::Api().QueryProductStateW);
}

TEST(MsiApi, HandleIsClosedOnceThroughTheTable)
{
    msi::CMsiApiOverride guard;
    guard->CloseHandle = RecordClose;
    g_closed.clear();
    {
        msi::CMsiHandle a(11);
        msi::CMsiHandle b(std::move(a));
        EXPECT_EQ(0u, a.Get());
        msi::CMsiHandle c(12);
        *c.Put() = 13; // Put closes 12 before the new handle is written
        msi::CMsiHandle none;
        EXPECT_EQ(14u, msi::CMsiHandle(14).Release()); // released, not closed
    }
    EXPECT_EQ((std::vector<MSIHANDLE>{12, 13, 11}), g_closed);
}
