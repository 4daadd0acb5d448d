// The program's own icon in its executable: every size the title bar, the taskbar, Alt+Tab and
// Explorer ask for at 96, 144 and 192 dpi, in true colour with an alpha channel.
#include "tests/about/program_file.h"

#include <gtest/gtest.h>

#include "common/format.h"

#include <set>

namespace {
#pragma pack(push, 2)
struct TIconDirEntry {
    BYTE Width, Height, ColorCount, Reserved;
    WORD Planes, BitCount;
    DWORD BytesInRes;
    WORD Id;
};
struct TIconDir {
    WORD Reserved, Type, Count;
    TIconDirEntry Entries[1];
};
#pragma pack(pop)

struct TModule {
    HMODULE Handle;
    ~TModule()
    {
        if (Handle)
            FreeLibrary(Handle);
    }
};

TEST(ProgramIcon, HoldsEverySizeTheShellAsksFor)
{
    TModule program{LoadLibraryExW(ProgramFile().c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE)};
    ASSERT_NE(program.Handle, nullptr) << ToUtf8(ProgramFile());
    HRSRC found = FindResourceW(program.Handle, MAKEINTRESOURCEW(1), RT_GROUP_ICON);
    ASSERT_NE(found, nullptr) << "no icon group 1";
    const auto* dir = static_cast<const TIconDir*>(LockResource(LoadResource(program.Handle, found)));
    ASSERT_NE(dir, nullptr);
    ASSERT_GE(SizeofResource(program.Handle, found), sizeof(WORD) * 3 + sizeof(TIconDirEntry) * dir->Count);
    std::set<int> sizes;
    for (int i = 0; i < dir->Count; ++i) {
        const TIconDirEntry& e = dir->Entries[i];
        const int width = e.Width ? e.Width : 256;
        EXPECT_EQ(width, e.Height ? e.Height : 256) << "square";
        EXPECT_EQ(e.BitCount, 32) << width << " pixels";
        sizes.insert(width);
    }
    // Small icons at 96, 120, 144 and 192 dpi; large ones at the same; Explorer's largest.
    for (int size : {16, 20, 24, 32, 40, 48, 64, 72, 96, 256})
        EXPECT_TRUE(sizes.count(size)) << size << " pixels missing";

    // The system picks the exact sizes from it.
    for (int size : {16, 24, 32, 48}) {
        HICON icon = static_cast<HICON>(LoadImageW(program.Handle, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bitmap{};
        GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
        EXPECT_EQ(bitmap.bmWidth, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}
}  // namespace
