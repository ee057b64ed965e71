// The kernel's debug print: the conversions the program's checks use, a literal percent, and
// anything else copied as it stands, all on the standard error stream.
#include <dbgapi.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(DebugPrint, ConvertsWhatTheChecksUseAndCopiesTheRest)
{
    auto printed = [](auto... args) {
        testing::internal::CaptureStderr();
        NKDbgPrintfW(args...);
        return testing::internal::GetCapturedStderr();
    };
    EXPECT_EQ(printed(u"plain %s!\n", u"text"), "plain text!\n");
    EXPECT_EQ(printed(u"%d %u %x", -12, 34u, 255u), "-12 34 ff");
    EXPECT_EQ(printed(u"100%% %q %s", static_cast<const WCHAR*>(nullptr)), "100% %q (null)");
    EXPECT_EQ(printed(u"ends in %"), "ends in %");
    EXPECT_EQ(printed(u"%s and %s", u"\u00e9t\u00e9", u""), "\xc3\xa9t\xc3\xa9 and ");
    testing::internal::CaptureStderr();
    NKDbgPrintfW(nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
