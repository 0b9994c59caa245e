#include <gtest/gtest.h>

#include <string>

#include "engine/password.h"

namespace tavelix {
namespace {

TEST(Cp1252, BytesOfCodePoints) {
    struct Case {
        char32_t codePoint;
        int byte;  // -1: the code page cannot hold it
    } cases[] = {
        {U'A', 0x41},     {U' ', 0x20},     {U'~', 0x7E},     {U'\u00E9', 0xE9}, {U'\u00FF', 0xFF},
        {U'\u00A0', 0xA0}, {U'\u20AC', 0x80}, {U'\u201A', 0x82}, {U'\u0160', 0x8A}, {U'\u017D', 0x8E},
        {U'\u2018', 0x91}, {U'\u2122', 0x99}, {U'\u017E', 0x9E}, {U'\u0178', 0x9F},
        // The five bytes the code page leaves undefined map to no code point, and the C1
        // controls of Unicode are not its specials.
        {U'\u0081', -1},  {U'\u008D', -1},  {U'\u0090', -1},  {U'\u0080', -1},  {U'\u009F', -1},
        {U'\u0416', -1},  {U'\u0100', -1},  {U'\uFFFD', -1},  {U'\U0001F600', -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "U+" << std::hex << std::uint32_t(c.codePoint));
        const auto byte = Cp1252Byte(c.codePoint);
        if (c.byte < 0) {
            EXPECT_FALSE(byte.has_value());
        } else {
            ASSERT_TRUE(byte.has_value());
            EXPECT_EQ(*byte, c.byte);
        }
    }
}

TEST(Cp1252, EveryByteFromA0ToFFIsItsOwnCodePoint) {
    for (char32_t cp = 0xA0; cp <= 0xFF; ++cp) EXPECT_EQ(Cp1252Byte(cp), std::optional<std::uint8_t>(cp));
}

TEST(DecodePassword, AcceptsAndMaps) {
    struct Case {
        const char* name;
        std::string utf8, bytes;
    } cases[] = {
        {"ascii, 8 characters", "abcdefgh", "abcdefgh"},
        {"blanks count", "        ", "        "},
        {"e acute is 0xE9", "caf\xC3\xA9 noir", "caf\xE9 noir"},
        {"euro sign is 0x80", "price \xE2\x82\xAC" "42", "price \x80" "42"},
        {"z caron, Y diaeresis, y diaeresis", "\xC5\xBE\xC5\xB8\xC3\xBFzzzzz", "\x9E\x9F\xFFzzzzz"},
        {"50 characters", std::string(50, 'x'), std::string(50, 'x')},
        {"8 characters, 16 bytes of UTF-8", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9",
         std::string(8, '\xE9')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TSecret out;
        EXPECT_FALSE(DecodePassword(c.utf8, out).has_value());
        EXPECT_EQ(out.View(), c.bytes);
    }
}

TEST(DecodePassword, RefusesWithAClearMessageThatHidesThePassword) {
    struct Case {
        const char* name;
        std::string utf8;
        std::string says;
    } cases[] = {
        {"empty", "", "8 to 50 characters long, not 0"},
        {"7 characters", "abcdefg", "not 7"},
        {"51 characters", std::string(51, 'q'), "not 51"},
        {"far too long", std::string(5000, 'q'), "longer than 50"},
        {"7 characters in 14 bytes", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", "not 7"},
        {"tab", "abcd\tefgh", "character 5 of the password is a control character"},
        {"escape", "\x1b" "abcdefgh", "character 1 of the password is a control character"},
        {"delete", "abcdefgh\x7f", "character 9 of the password is a control character"},
        {"C1 control U+0085", "abcdefg\xC2\x85", "character 8 of the password is a control character"},
        {"Cyrillic", "abcdefg\xD0\x96", "character 8 of the password is not in the Windows Western code page"},
        {"emoji", "\xF0\x9F\x98\x80" "abcdefgh", "character 1 of the password is not in the Windows Western"},
        {"lone Latin-1 byte", "caf\xE9 noir", "character 4 of the password is not valid UTF-8"},
        {"overlong slash", "abcdefg\xC0\xAF", "not valid UTF-8"},
        {"surrogate", "abcdefg\xED\xA0\x80", "not valid UTF-8"},
        {"above U+10FFFF", "abcdefg\xF4\x90\x80\x80", "not valid UTF-8"},
        {"cut short", "abcdefgh\xE2\x82", "not valid UTF-8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TSecret out;
        const std::optional<TPasswordProblem> problem = DecodePassword(c.utf8, out);
        ASSERT_TRUE(problem.has_value());
        const std::string error = problem->Message();
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_TRUE(out.Empty());
        if (c.utf8.size() >= 4) {
            EXPECT_EQ(error.find(c.utf8.substr(0, 4)), std::string::npos) << error;
        }
    }
}

TEST(Secret, HoldsWhatFitsAndWipes) {
    TSecret secret;
    EXPECT_TRUE(secret.Assign("correct horse"));
    EXPECT_EQ(secret.View(), "correct horse");
    secret.DropLast();
    EXPECT_EQ(secret.View(), "correct hors");
    const char* bytes = secret.View().data();
    secret.Clear();
    EXPECT_TRUE(secret.Empty());
    EXPECT_EQ(std::string(bytes, 12), std::string(12, '\0'));  // the buffer itself is zeroed
    EXPECT_FALSE(secret.Assign(std::string(TSecret::Capacity + 1, 'x')));
    EXPECT_TRUE(secret.Empty());
}

}  // namespace
}  // namespace tavelix
