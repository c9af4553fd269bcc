// The built program's own resources, read back from the executable through the system's calls.
#include "host/PeVersionReader.h"
#include "product/ProductDefinition.h"

#include <gtest/gtest.h>

#define UNICODE 1
#include <windows.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace
{

const wchar_t* const installerPath = L"" OV_INSTALLER_EXE;

std::wstring widen (const std::string& text)
{
    std::wstring result (text.size() + 1, L'\0');
    result.resize ((size_t) MultiByteToWideChar (CP_UTF8, 0, text.c_str(), -1, result.data(), (int) result.size()) - 1);
    return result;
}

/** The executable mapped as data: its resources can be read, nothing of it runs. */
class ResourceModule final
{
public:
    ResourceModule() : handle (LoadLibraryExW (installerPath, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
    ~ResourceModule()   { if (handle != nullptr) FreeLibrary (handle); }

    std::vector<unsigned char> load (LPCWSTR type, LPCWSTR name) const
    {
        const auto info = FindResourceW (handle, name, type);
        const auto data = info != nullptr ? LoadResource (handle, info) : nullptr;

        if (data == nullptr)
            return {};

        const auto* bytes = static_cast<const unsigned char*> (LockResource (data));
        return { bytes, bytes + SizeofResource (handle, info) };
    }

    std::vector<std::wstring> names (LPCWSTR type) const
    {
        std::vector<std::wstring> found;
        EnumResourceNamesW (handle, type, [] (HMODULE, LPCWSTR, LPWSTR name, LONG_PTR list) -> BOOL
        {
            auto& into = *reinterpret_cast<std::vector<std::wstring>*> (list);
            into.push_back (IS_INTRESOURCE (name) ? L"#" + std::to_wstring ((size_t) name) : std::wstring (name));
            return TRUE;
        }, reinterpret_cast<LONG_PTR> (&found));
        return found;
    }

    HMODULE handle;
};

uint32_t get16 (const std::vector<unsigned char>& b, size_t at)   { return (uint32_t) (b[at] | b[at + 1] << 8); }
uint32_t get32 (const std::vector<unsigned char>& b, size_t at)   { return get16 (b, at) | get16 (b, at + 2) << 16; }

TEST (ExecutableResources, TheProgramIsASixtyFourBitWindowsGuiImage)
{
    std::ifstream in (installerPath, std::ios::binary);
    const std::vector<unsigned char> bytes { std::istreambuf_iterator<char> (in), std::istreambuf_iterator<char>() };
    ASSERT_GT (bytes.size(), 4096u);

    const auto nt = get32 (bytes, 0x3c);
    ASSERT_EQ (get32 (bytes, nt), 0x00004550u);          // "PE\0\0"
    EXPECT_EQ (get16 (bytes, nt + 4), 0x8664u);          // x86-64
    EXPECT_EQ (get16 (bytes, nt + 24), 0x20bu);          // PE32+
    EXPECT_EQ (get16 (bytes, nt + 24 + 68), 2u);         // the Windows GUI subsystem: no console of its own
}

TEST (ExecutableResources, TheOneManifestAsksForAdministratorRightsAndCommonControlsSix)
{
    const ResourceModule module;
    ASSERT_NE (module.handle, nullptr);
    EXPECT_EQ (module.names (RT_MANIFEST), std::vector<std::wstring> { L"#1" });

    const auto bytes = module.load (RT_MANIFEST, MAKEINTRESOURCEW (1));
    const std::string manifest (bytes.begin(), bytes.end());
    EXPECT_NE (manifest.find (R"(<requestedExecutionLevel level="requireAdministrator" uiAccess="false"/>)"), std::string::npos) << manifest;
    EXPECT_NE (manifest.find (R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")"), std::string::npos) << manifest;
}

TEST (ExecutableResources, TheVersionResourceNamesTheProgramAndItsMaker)
{
    std::vector<unsigned char> info (GetFileVersionInfoSizeW (installerPath, nullptr));
    ASSERT_FALSE (info.empty());
    ASSERT_TRUE (GetFileVersionInfoW (installerPath, 0, (DWORD) info.size(), info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE (VerQueryValueW (info.data(), L"\\", reinterpret_cast<void**> (&fixed), &size));
    const auto version = std::to_string (HIWORD (fixed->dwFileVersionMS)) + "." + std::to_string (LOWORD (fixed->dwFileVersionMS)) + "."
                       + std::to_string (HIWORD (fixed->dwFileVersionLS)) + "." + std::to_string (LOWORD (fixed->dwFileVersionLS));
    EXPECT_EQ (version, std::string (ov::product::applicationVersion) + ".0");
    EXPECT_EQ (fixed->dwProductVersionMS | fixed->dwProductVersionLS, 0u);

    // The program's own reader, as the installer uses it on other modules, agrees with the system.
    char path[MAX_PATH] {};
    WideCharToMultiByte (CP_UTF8, 0, installerPath, -1, path, MAX_PATH, nullptr, nullptr);
    EXPECT_EQ (ov::readPeFileVersion (path), version);

    const auto text = [&] (const wchar_t* key)
    {
        wchar_t* value = nullptr;
        UINT length = 0;
        const auto query = std::wstring (L"\\StringFileInfo\\040904E4\\") + key;
        return VerQueryValueW (info.data(), query.c_str(), reinterpret_cast<void**> (&value), &length) && value != nullptr
                 ? std::wstring (value) : std::wstring (L"(none)");
    };

    EXPECT_EQ (text (L"CompanyName"), widen (ov::product::companyName));
    EXPECT_EQ (text (L"FileDescription"), widen (ov::product::applicationName));
    EXPECT_EQ (text (L"ProductName"), widen (ov::product::applicationName));
    EXPECT_EQ (text (L"FileVersion"), widen (ov::product::applicationVersion));
    EXPECT_EQ (text (L"ProductVersion"), widen (ov::product::applicationVersion));
}

TEST (ExecutableResources, TwoIconGroupsEachWithTheIconInFourSizes)
{
    const ResourceModule module;
    ASSERT_NE (module.handle, nullptr);
    const auto groups = module.names (RT_GROUP_ICON);
    EXPECT_EQ (std::set<std::wstring> (groups.begin(), groups.end()), (std::set<std::wstring> { L"IDI_ICON1", L"IDI_ICON2" }));

    for (const auto& group : groups)
    {
        // GRPICONDIR: reserved, type 1, count; then 14-byte entries whose width 0 means 256.
        const auto bytes = module.load (RT_GROUP_ICON, group.c_str());
        ASSERT_GE (bytes.size(), 6u);
        ASSERT_EQ (bytes.size(), 6 + 14 * (size_t) get16 (bytes, 4));
        EXPECT_EQ (get16 (bytes, 2), 1u);

        std::set<uint32_t> sides;

        for (size_t entry = 6; entry < bytes.size(); entry += 14)
        {
            sides.insert (bytes[entry] == 0 ? 256u : bytes[entry]);
            EXPECT_EQ (bytes[entry], bytes[entry + 1]);
            EXPECT_EQ (get16 (bytes, entry + 6), 32u);   // bits per pixel
        }

        EXPECT_EQ (sides, (std::set<uint32_t> { 16, 32, 48, 256 }));
    }
}

} // namespace
