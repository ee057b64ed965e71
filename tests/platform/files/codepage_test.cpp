#include "files/codepage.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "winbase.h"
#include "winnls.h"

namespace {

std::u16string to_wide(const std::string& s)
{
    const int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::u16string out(static_cast<std::size_t>(n), u'\0');
    if (n > 0) {
        EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), out.data(), n), n);
    }
    return out;
}

std::string to_narrow(const std::u16string& s, BOOL* used_default = nullptr)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    if (n > 0) {
        EXPECT_EQ(
            WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr, used_default),
            n);
    }
    return out;
}

TEST(CodePage, EveryByteStringRoundTripsAndLengthsBuffersAndArgumentsAreChecked)
{
    // Two-, three- and four-byte characters (the last becomes a surrogate pair); then Latin-1
    // names, a stray continuation byte, a truncated sequence, an overlong slash, an encoded
    // surrogate and a value past U+10FFFF: each bad byte is kept as U+DC00 + byte.
    const std::vector<std::pair<std::string, std::u16string>> cases = {
        {"Song 01.mp3", u"Song 01.mp3"},
        {"caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x8E\xB5", u"café 日 \U0001F3B5"},
        {"\xEF\xBF\xBF", u"\uFFFF"},
        {"\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xF0\x90\x80\x80",
         u"\x7F\u0080\u07FF\u0800\U00010000"},  // each length's edge
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {"caf\xE9.mp3", u"caf\xDCE9.mp3"},
        {"a\x80z", u"a\xDC80z"},
        {"\xE6\x97", u"\xDCE6\xDC97"},
        {"\xE6\x97x", u"\xDCE6\xDC97x"},
        {"\xC0\xAF", u"\xDCC0\xDCAF"},
        {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},
        {"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},
        {"\xFF\xFE", u"\xDCFF\xDCFE"},
    };
    for (const auto& [bytes, wide] : cases) {
        EXPECT_EQ(to_wide(bytes), wide) << bytes;
        EXPECT_EQ(zv::widen(bytes), wide);
        EXPECT_EQ(to_narrow(wide), bytes);
        EXPECT_EQ(zv::narrow(wide), bytes);
    }

    // All short strings over a byte alphabet that mixes ASCII, lead, continuation and invalid bytes.
    const unsigned char alphabet[] = {'a', 0x80, 0xBF, 0xC3, 0xA9, 0xE2, 0xED, 0xF0, 0x9F, 0xF4, 0xFF};
    std::string s;
    for (unsigned char a : alphabet)
        for (unsigned char b : alphabet)
            for (unsigned char c : alphabet)
                for (unsigned char d : alphabet) {
                    s = {static_cast<char>(a), static_cast<char>(b), static_cast<char>(c), static_cast<char>(d)};
                    ASSERT_EQ(zv::narrow(zv::widen(s)), s);
                }

    // Lone surrogates outside the escape range are replaced: a high surrogate with no partner, a low surrogate below
    // the escape range, and one after a pair.
    BOOL used = FALSE;
    EXPECT_EQ(to_narrow(u"a\xD800z", &used), "a\xEF\xBF\xBDz");
    EXPECT_TRUE(used);
    EXPECT_EQ(to_narrow(u"\xDC41", &used), "\xEF\xBF\xBD");
    EXPECT_TRUE(used);
    EXPECT_EQ(to_narrow(u"\U0001F3B5\xDFFF", &used), "\xF0\x9F\x8E\xB5\xEF\xBF\xBD");
    EXPECT_TRUE(used);
    EXPECT_EQ(to_narrow(u"fine", &used), "fine");
    EXPECT_FALSE(used);

    const std::u16string lone = u"x\xD800";
    char buf[8] = {};
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, lone.data(), 2, buf, sizeof buf, "?", &used), 2);
    EXPECT_EQ(std::string(buf, 2), "x?");
    EXPECT_TRUE(used);

    // The terminator, explicit lengths, short buffers and bad arguments.
    WCHAR w[16];
    // -1 converts the terminator too and counts it.
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "h\xC3\xA9", -1, nullptr, 0), 3);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "h\xC3\xA9", -1, w, 16), 3);
    EXPECT_EQ(std::u16string(w), u"hé");
    // An explicit length stops there, terminator or not, and can end inside a character.
    std::fill(std::begin(w), std::end(w), u'#');
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 2, w, 16), 2);
    EXPECT_EQ(w[2], u'#');
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "h\xC3\xA9", 2, w, 16), 2);
    EXPECT_EQ(w[1], u'\xDCC3');

    char n[16];
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"h\u00e9", -1, nullptr, 0, nullptr, nullptr), 4);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"h\u00e9", -1, n, 16, nullptr, nullptr), 4);
    EXPECT_STREQ(n, "h\xC3\xA9");
    // Half a surrogate pair at the end of an explicit length is a lone surrogate.
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\U0001F3B5", 1, n, 16, nullptr, nullptr), 3);

    // Too small a buffer fails with a terminated prefix of whole characters.
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abcdef", -1, w, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::u16string(w), u"abc");
    // Exact fit succeeds; the pair is never split on overflow.
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "ab", -1, w, 3), 3);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a\xF0\x9F\x8E\xB5", -1, w, 3), 0);
    EXPECT_EQ(std::u16string(w), u"a");

    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"a\u00e9\u00e9", -1, n, 4, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_STREQ(n, "a\xC3\xA9");
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\u65e5x", -1, n, 3, nullptr, nullptr), 0);
    EXPECT_STREQ(n, "");
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abc", 3, n, 3, nullptr, nullptr), 3);

    // Bad arguments fail with ERROR_INVALID_PARAMETER.
    const auto fails = [](int result) {
        return result == 0 && GetLastError() == static_cast<DWORD>(ERROR_INVALID_PARAMETER);
    };
    EXPECT_TRUE(fails(MultiByteToWideChar(1252, 0, "a", -1, w, 4)));
    EXPECT_TRUE(fails(MultiByteToWideChar(CP_ACP, 0, nullptr, -1, w, 4)));
    EXPECT_TRUE(fails(MultiByteToWideChar(CP_ACP, 0, "a", 0, w, 4)));
    EXPECT_TRUE(fails(MultiByteToWideChar(CP_ACP, 0, "a", -2, w, 4)));
    EXPECT_TRUE(fails(MultiByteToWideChar(CP_ACP, 0, "a", -1, nullptr, 4)));
    EXPECT_TRUE(fails(MultiByteToWideChar(CP_ACP, 0, "a", -1, w, -1)));
    EXPECT_TRUE(fails(WideCharToMultiByte(932, 0, u"a", -1, n, 4, nullptr, nullptr)));
    EXPECT_TRUE(fails(WideCharToMultiByte(CP_ACP, 0, u"a", -1, nullptr, 4, nullptr, nullptr)));
    EXPECT_TRUE(fails(WideCharToMultiByte(CP_ACP, 0, u"a", 0, n, 4, nullptr, nullptr)));

    // The last error is per thread.
    SetLastError(ERROR_NO_MORE_FILES);
    DWORD seen = 1;
    std::thread([&] { seen = GetLastError(); }).join();
    EXPECT_EQ(seen, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
}

}  // namespace
