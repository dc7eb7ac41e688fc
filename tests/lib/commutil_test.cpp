#include "lib/commutil.h"

#include <gtest/gtest.h>

using dct::ChangeFileExt;
using dct::ConstructFileName;

TEST(ConstructFileName, JoinsWithOneSeparator) {
    EXPECT_EQ(ConstructFileName("C:\\data", "DctDrv.ini"), "C:\\data\\DctDrv.ini");
    EXPECT_EQ(ConstructFileName("C:\\data\\", "DctDrv.ini"), "C:\\data\\DctDrv.ini");
    EXPECT_EQ(ConstructFileName("C:\\data/", "DctDrv.ini"), "C:\\data/DctDrv.ini");
    EXPECT_EQ(ConstructFileName("data", "DctDrv.ini"), "data\\DctDrv.ini");
    EXPECT_EQ(ConstructFileName("C:", "DctDrv.ini"), "C:\\DctDrv.ini");  // no drive-relative special case
}

TEST(ConstructFileName, EmptyDirectoryGivesTheBareName) {
    EXPECT_EQ(ConstructFileName("", "DctDrv.ini"), "DctDrv.ini");
    EXPECT_EQ(ConstructFileName("", ""), "");
}

TEST(ConstructFileName, NothingElseIsNormalised) {
    EXPECT_EQ(ConstructFileName("C:\\\\data\\\\", "DctDrv.ini"), "C:\\\\data\\\\DctDrv.ini");
    EXPECT_EQ(ConstructFileName("\\\\srv\\share", "x"), "\\\\srv\\share\\x");
    EXPECT_EQ(ConstructFileName(" dir ", " name "), " dir \\ name ");
    EXPECT_EQ(ConstructFileName("dir", ""), "dir\\");
    EXPECT_EQ(ConstructFileName("C:\\\xCF\xE0\xEF\xEA\xE0", "DctDrv.ini"), "C:\\\xCF\xE0\xEF\xEA\xE0\\DctDrv.ini");
}

TEST(ChangeFileExt, ReplacesTheLastExtensionOfTheFileName) {
    EXPECT_EQ(ChangeFileExt("C:\\data\\DctDrv.ini", ".log"), "C:\\data\\DctDrv.log");
    EXPECT_EQ(ChangeFileExt("DctDrv.ini", ".log"), "DctDrv.log");
    EXPECT_EQ(ChangeFileExt("a.b.c", ".d"), "a.b.d");
    EXPECT_EQ(ChangeFileExt("DctDrv.ini", ""), "DctDrv");
}

TEST(ChangeFileExt, DotsOutsideTheFileNameAreNotExtensions) {
    EXPECT_EQ(ChangeFileExt("C:\\my.dir\\file", ".log"), "C:\\my.dir\\file.log");
    EXPECT_EQ(ChangeFileExt("/my.dir/file", ".log"), "/my.dir/file.log");
    EXPECT_EQ(ChangeFileExt("C:file", ".log"), "C:file.log");
    EXPECT_EQ(ChangeFileExt("C:.x", ".log"), "C:.log");
    EXPECT_EQ(ChangeFileExt("", ".log"), ".log");
    EXPECT_EQ(ChangeFileExt("dir\\", ".log"), "dir\\.log");
}
