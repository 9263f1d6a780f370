// The program file's version record and icon, read back as Windows reads them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win32_driver.h"

namespace quorvex::test {
namespace {

class ProgramResources : public testing::Test {
protected:
    void SetUp() override {
        DWORD ignored = 0;
        record.resize(GetFileVersionInfoSizeW(program.c_str(), &ignored));
        ASSERT_FALSE(record.empty()) << "no version record in " << GetLastError();
        ASSERT_TRUE(GetFileVersionInfoW(program.c_str(), 0, DWORD(record.size()), record.data()));
    }
    std::wstring text(const wchar_t* name) {
        void* value = nullptr;
        UINT length = 0;
        const std::wstring key = std::wstring(L"\\StringFileInfo\\080404B0\\") + name;
        if (!VerQueryValueW(record.data(), key.c_str(), &value, &length)) return L"(missing)";
        return std::wstring(static_cast<const wchar_t*>(value));
    }

    const std::wstring program = programPath();
    std::vector<BYTE> record;
};

TEST_F(ProgramResources, VersionRecordIsChinesePrcUnicodeVersionOneWithTheProductName) {
    EXPECT_EQ(text(L"FileVersion"), L"1.00");
    EXPECT_EQ(text(L"ProductVersion"), L"1.00");
    EXPECT_EQ(text(L"ProductName"), L"Quorvex");
    EXPECT_EQ(text(L"FileDescription"), L"Quorvex");

    WORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0804);
    EXPECT_EQ(translation[1], 1200);

    VS_FIXEDFILEINFO* fixed = nullptr;
    ASSERT_TRUE(VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 1));
    EXPECT_EQ(fixed->dwFileType, DWORD(VFT_APP));
}

TEST_F(ProgramResources, ProgramFileCarriesTheThreeImageApplicationIconFirst) {
    const HMODULE module = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr) << GetLastError();
    const HICON icon = LoadIconW(module, L"icon");
    EXPECT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP mask{};
    GetObjectW(info.hbmMask, sizeof mask, &mask);
    EXPECT_EQ(mask.bmWidth, 32);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);

    // The shell shows the first icon group of the file.
    std::wstring first;
    EnumResourceNamesW(module, RT_GROUP_ICON,
                       [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR result) CALLBACK {
                           *reinterpret_cast<std::wstring*>(result) = IS_INTRESOURCE(name) ? L"#" : name;
                           return FALSE;
                       },
                       reinterpret_cast<LONG_PTR>(&first));
    EXPECT_EQ(first, L"ICON");
    const HRSRC group = FindResourceW(module, L"icon", RT_GROUP_ICON);
    ASSERT_NE(group, nullptr);
    const auto* header = static_cast<const WORD*>(LockResource(LoadResource(module, group)));
    EXPECT_EQ(header[2], 3) << "images in the icon";
    FreeLibrary(module);
}

}  // namespace
}  // namespace quorvex::test
