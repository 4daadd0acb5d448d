// The program's version number as the About window reads it from a file's version resource.
#include "tests/about/program_file.h"
#include "ui/about/file_version.h"

#include <gtest/gtest.h>

#include "common/format.h"

namespace {
TEST(FileVersionText, ReadsTheProgramsFileVersion)
{
    // The program's resource carries FILEVERSION 1,0,0,1: major, minor, release, build.
    EXPECT_EQ(FileVersionText(ProgramFile()), L"1.0.0.1") << ToUtf8(ProgramFile());
}

TEST(FileVersionText, EmptyWithoutVersionInformation)
{
    // This test program has no version resource.
    EXPECT_EQ(FileVersionText(), L"");
    EXPECT_EQ(FileVersionText(ProgramFile() + L".missing"), L"");
    EXPECT_EQ(FileVersionText(L""), L"");
}
}  // namespace
