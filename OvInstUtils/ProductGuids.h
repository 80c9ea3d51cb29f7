#pragma once

// Identity of the product family in Windows Installer. The sample packages are built from
// the same lines (samples/CMakeLists.txt reads every `#define OV_... L"..."` here and hands
// it to wixl), so keep each constant on one line in exactly that form.

// Upgrade codes of the four packages of the distribution.
#define OV_UPGRADE_CODE_SECURITY_SERVER L"{8D711F00-70E5-41F6-BB42-B3135A456CA7}"
#define OV_UPGRADE_CODE_AUTH_SERVER L"{BF0C141F-6D6A-4219-AA1B-56E18AC9B684}"
#define OV_UPGRADE_CODE_SYNC_SERVICE L"{23AA0314-8687-4C2C-87A6-78FB53518E1C}"
#define OV_UPGRADE_CODE_CONTROL_CENTER L"{3F60DEE6-CCC2-4544-8B48-441C61876296}"

// Other products of the family that count as "something installed".
#define OV_UPGRADE_CODE_CLIENT_1 L"{B7B22255-F4E5-42C4-AA90-7A4ED43F59DF}"
#define OV_UPGRADE_CODE_CLIENT_2 L"{082E39AE-143C-4978-A3E2-8DBDAD2FD3FF}"
#define OV_UPGRADE_CODE_UPDATE_SERVER L"{5274F53F-27F9-4CC7-92ED-314EC5AAF2D0}"
#define OV_UPGRADE_CODE_CSP L"{C8F0B251-10D3-490E-9E90-9AE869C51AFC}"

// The older generation ("Orvane 7"); it has to be removed before this one is installed.
#define OV_UPGRADE_CODE_ORVANE7_1 L"{B352E443-5C03-4422-B7C2-8D7DBE4CAFF5}"
#define OV_UPGRADE_CODE_ORVANE7_2 L"{CDD1CDE8-1829-433F-904B-CDE89B35A9F4}"

// Component every product of the family installs (the four sample packages and
// CalderisCommon.msi carry it; Orvane 7 does not); a product missing from the upgrade
// codes above still holds it.
#define OV_SHARED_COMPONENT_ID L"{CA42968F-8D68-40C6-88D2-A4363B6911FF}"

// Sample builds (samples/): product codes and versions of the first and the newer build.
#define OV_SAMPLE_VERSION_1 L"12.1.100.0"
#define OV_SAMPLE_VERSION_2 L"12.1.200.0"
#define OV_SAMPLE_PRODUCT_SECURITY_SERVER_1 L"{2470A3BC-6E7B-43A0-8953-41C0FF9B0A83}"
#define OV_SAMPLE_PRODUCT_SECURITY_SERVER_2 L"{ABDDB15C-98CE-4FF2-B23B-6C94BCE35C49}"
#define OV_SAMPLE_PRODUCT_AUTH_SERVER_1 L"{A92E94CD-4181-40F0-B062-C4C00AE2A639}"
#define OV_SAMPLE_PRODUCT_AUTH_SERVER_2 L"{581ABBC1-1356-43CB-B11D-7982F8DD7696}"
#define OV_SAMPLE_PRODUCT_SYNC_SERVICE_1 L"{13161EF6-F079-4A18-B236-32403A47EB50}"
#define OV_SAMPLE_PRODUCT_SYNC_SERVICE_2 L"{6E518BA8-276B-4845-AE58-05C6140B3C7A}"
#define OV_SAMPLE_PRODUCT_CONTROL_CENTER_1 L"{1FAC2F51-99D3-4088-BF19-E45DCF4E80D9}"
#define OV_SAMPLE_PRODUCT_CONTROL_CENTER_2 L"{94DE25E3-37BA-4FBA-BDF1-40B54CF27796}"
#define OV_SAMPLE_VERSION_ORVANE7 L"7.0.300.0"
#define OV_SAMPLE_PRODUCT_ORVANE7 L"{39399488-B5F3-409D-8A1F-D422DA498669}"
// A family product outside the upgrade-code scan that carries only the shared component.
#define OV_SAMPLE_UPGRADE_CODE_COMMON L"{8B2D686A-4BEC-4539-A0BE-BEF8D99FDDB1}"
#define OV_SAMPLE_PRODUCT_COMMON L"{984A337B-0E4D-46FB-9E67-FF078C751AE6}"

// The C/C++ runtime that the distribution ships: product codes of its minimum and its
// additional part, 64-bit and 32-bit. The sample redistributables (samples/vcredist.cpp)
// install packages with exactly these codes.
#define OV_RUNTIME_X64_MINIMUM L"{35FCDC41-07C7-4730-A77C-9E9D415D4CD6}"
#define OV_RUNTIME_X64_ADDITIONAL L"{AA4D4969-4CDB-467C-82E5-38040ABF70B1}"
#define OV_RUNTIME_X86_MINIMUM L"{A01974C0-3B0F-41CA-B7CC-60CAEAC62C31}"
#define OV_RUNTIME_X86_ADDITIONAL L"{BD20A224-FF78-41B1-A624-7FC368483BD9}"
// Upgrade codes of those sample runtime packages, for removing them after a test.
#define OV_SAMPLE_UPGRADE_CODE_RUNTIME_X64_MINIMUM L"{A0119449-8C40-445A-A133-E1D23F916DF3}"
#define OV_SAMPLE_UPGRADE_CODE_RUNTIME_X64_ADDITIONAL L"{B3E61866-52B7-4736-9E28-6874DE851CE0}"
#define OV_SAMPLE_UPGRADE_CODE_RUNTIME_X86_MINIMUM L"{C985954D-A516-451C-81E5-B3F5506CE3BB}"
#define OV_SAMPLE_UPGRADE_CODE_RUNTIME_X86_ADDITIONAL L"{169AD9A1-F5CE-47D4-AF21-69F2E70B6744}"
