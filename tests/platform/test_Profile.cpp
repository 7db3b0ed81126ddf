#include <gtest/gtest.h>

#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/Profile.h"
#include "support/TempDir.h"

namespace {

platform::TIniFile FromBytes(std::string_view bytes) {
    platform::TIniFile ini;
    ini.LoadFromBytes(bytes);
    return ini;
}

TEST(Profile, NamesAreCaseInsensitiveAndFirstOccurrenceWins) {
    platform::TIniFile ini = FromBytes(
        "[Config]\r\nBps=9600\r\nbps=1200\r\n"
        "[CONFIG]\r\nBPS=300\r\nOther=x\r\n");
    EXPECT_EQ(ini.ReadInteger("config", "BPS", 0), 9600);
    EXPECT_EQ(ini.ReadInteger("CONFIG", "bPs", 0), 9600);
    // The second [CONFIG] is shadowed as a whole, its own keys included.
    EXPECT_FALSE(ini.ValueExists("CONFIG", "OTHER"));
    EXPECT_EQ(ini.ReadSection("config"), (std::vector<std::string>{"Bps"}));
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Config"}));
    // Writing goes to the occurrence that reading sees.
    ini.WriteInteger("CONFIG", "BPS", 75);
    EXPECT_EQ(ini.ReadInteger("Config", "Bps", 0), 75);
    EXPECT_EQ(ini.ToBytes(), "[Config]\r\nBps=75\r\nbps=1200\r\n[CONFIG]\r\nBPS=300\r\nOther=x\r\n");
}

TEST(Profile, UpperCasingLeavesDoubleByteNamesAlone) {
    // 0x83 0x61 (ャ) has a trail byte in the range of "a": it must not match 0x83 0x41 (ア).
    platform::TIniFile ini = FromBytes("[\x83\x61]\nk=1\n");
    EXPECT_TRUE(ini.SectionExists("\x83\x61"));
    EXPECT_FALSE(ini.SectionExists("\x83\x41"));
    // A "]" trail byte (0x83 0x5D) does not close the section name.
    ini.LoadFromBytes("[x\x83\x5D]\nk=2\n");
    EXPECT_EQ(ini.ReadInteger("x\x83\x5D", "k", 0), 2);
}

TEST(Profile, ValuesAreTrimmedAndLoseOnePairOfMatchingQuotes) {
    platform::TIniFile ini = FromBytes(
        "[S]\n"
        "  a  =  spaced value \t\n"
        "b=\"double\"\n"
        "c='single'\n"
        "d=\"mixed'\n"
        "e=\"\"twice\"\"\n"
        "f=\"\n"
        "g=\"  kept inside  \"\n"
        "h=\n"
        "i\n");
    EXPECT_EQ(ini.ReadString("S", "a", "?"), "spaced value");
    EXPECT_EQ(ini.ReadString("S", "b", "?"), "double");
    EXPECT_EQ(ini.ReadString("S", "c", "?"), "single");
    EXPECT_EQ(ini.ReadString("S", "d", "?"), "\"mixed'");
    EXPECT_EQ(ini.ReadString("S", "e", "?"), "\"twice\"");
    EXPECT_EQ(ini.ReadString("S", "f", "?"), "\"");
    EXPECT_EQ(ini.ReadString("S", "g", "?"), "  kept inside  ");
    EXPECT_EQ(ini.ReadString("S", "h", "?"), "");
    // A line without "=" is no key.
    EXPECT_EQ(ini.ReadString("S", "i", "?"), "?");
    EXPECT_EQ(ini.ReadString("S", "missing", "def"), "def");
    EXPECT_EQ(ini.ReadString("NoSuch", "a", "def"), "def");
}

TEST(Profile, ValuesAreCutAt1023BytesWithoutSplittingACharacter) {
    std::string longAscii(5000, 'x');
    std::string jp;
    jp.append(1022, 'y');
    jp.append("\x95\x5C");  // a double-byte character across the limit
    jp.append("tail");
    platform::TIniFile ini =
        FromBytes("[S]\na=" + longAscii + "\nb=" + jp + "\nc=\"" + std::string(1100, 'z') + "\"\n");
    EXPECT_EQ(ini.ReadString("S", "a", ""), std::string(1023, 'x'));
    EXPECT_EQ(ini.ReadString("S", "b", ""), std::string(1022, 'y'));
    // Quotes come off before the cut.
    EXPECT_EQ(ini.ReadString("S", "c", ""), std::string(1023, 'z'));
}

TEST(Profile, NumberForms) {
    platform::TIniFile ini = FromBytes(
        "[N]\n"
        "hex=0x1F\nHEX=0X1f\nneg=-5\nplus=+7\ngarbage=12abc\ndollar=$1F\n"
        "toolong=0x123456789\nfull=0xFFFFFFFF\nbig=2147483647\nbigger=2147483648\n"
        "small=-2147483648\nsmaller=-2147483649\nempty=\nbare0x=0x\nsign=-\n"
        "quoted=\"42\"\nspace=4 2\nneghex=-0x5\n");
    EXPECT_EQ(ini.ReadInteger("N", "hex", -1), 31);
    EXPECT_EQ(ini.ReadInteger("N", "neg", -1), -5);
    EXPECT_EQ(ini.ReadInteger("N", "plus", -1), 7);
    EXPECT_EQ(ini.ReadInteger("N", "garbage", -1), -1);
    EXPECT_EQ(ini.ReadInteger("N", "dollar", -1), -1);
    EXPECT_EQ(ini.ReadInteger("N", "toolong", -1), -1);
    EXPECT_EQ(ini.ReadInteger("N", "full", 0), -1);
    EXPECT_EQ(ini.ReadInteger("N", "big", 0), 2147483647);
    EXPECT_EQ(ini.ReadInteger("N", "bigger", 9), 9);
    EXPECT_EQ(ini.ReadInteger("N", "small", 0), INT32_MIN);
    EXPECT_EQ(ini.ReadInteger("N", "smaller", 9), 9);
    EXPECT_EQ(ini.ReadInteger("N", "empty", 9), 9);
    EXPECT_EQ(ini.ReadInteger("N", "bare0x", 9), 9);
    EXPECT_EQ(ini.ReadInteger("N", "sign", 9), 9);
    EXPECT_EQ(ini.ReadInteger("N", "quoted", 9), 42);
    EXPECT_EQ(ini.ReadInteger("N", "space", 9), 9);
    EXPECT_EQ(ini.ReadInteger("N", "neghex", 9), 9);
    // Booleans: any non-zero number is true; no number gives the default.
    EXPECT_TRUE(ini.ReadBool("N", "neg", false));
    EXPECT_TRUE(ini.ReadBool("N", "garbage", true));
    EXPECT_FALSE(ini.ReadBool("N", "garbage", false));
    ini.LoadFromBytes("[B]\nzero=0\nzhex=0x0\n");
    EXPECT_FALSE(ini.ReadBool("B", "zero", true));
    EXPECT_FALSE(ini.ReadBool("B", "zhex", true));
}

TEST(Profile, WritesUpdateInPlaceAppendToSectionAndAddSectionsAtTheEnd) {
    platform::TIniFile ini = FromBytes(
        "; a comment\n"
        "[A]\n"
        "  One = 1 \n"
        "two=2\n"
        "\n"
        "[B]\n"
        "x=y");
    ini.WriteInteger("a", "ONE", 10);    // keeps its spelling, loses its blanks
    ini.WriteString("A", "three", "3");  // after "two", before the blank line
    ini.WriteBool("C", "flag", true);
    ini.WriteString("c", "text", "\x95\x5C");
    EXPECT_EQ(ini.ToBytes(),
              "; a comment\r\n"
              "[A]\r\n"
              "One=10\r\n"
              "two=2\r\n"
              "three=3\r\n"
              "\r\n"
              "[B]\r\n"
              "x=y\r\n"
              "[C]\r\n"
              "flag=1\r\n"
              "text=\x95\x5C\r\n");
    EXPECT_EQ(ini.ReadInteger("A", "one", 0), 10);
    EXPECT_EQ(ini.ReadSection("A"), (std::vector<std::string>{"One", "two", "three"}));
}

TEST(Profile, WrittenValuesReadBackUnchanged) {
    platform::TIniFile ini;
    const std::vector<std::string> values = {
        "plain", "", "  lead", "trail  ", "\"quoted\"", "'q'", "\"", "a\"b'", "\x95\x5C\x83\x7C path", "x=y=z", "[NOT]",
    };
    for (size_t i = 0; i < values.size(); ++i) ini.WriteString("V", "k" + std::to_string(i), values[i]);
    platform::TIniFile again = FromBytes(ini.ToBytes());
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(again.ReadString("V", "k" + std::to_string(i), "?"), values[i]) << i;
    // A value cannot smuggle in a line, and with it a key nobody wrote.
    ini.WriteString("V", "evil", "a\r\n[SYSTEM]\r\nMULTIEXEC=1");
    again.LoadFromBytes(ini.ToBytes());
    EXPECT_FALSE(again.SectionExists("SYSTEM"));
    EXPECT_EQ(again.ReadString("V", "evil", ""), "a  [SYSTEM]  MULTIEXEC=1");
}

TEST(Profile, EraseSectionRemovesEveryOccurrence) {
    platform::TIniFile ini = FromBytes("[L]\nCOUNT=3\nDATA00000002=c\n[K]\nk=1\n[l]\nold=1\n");
    ini.EraseSection("l");
    EXPECT_FALSE(ini.SectionExists("L"));
    EXPECT_EQ(ini.ToBytes(), "[K]\r\nk=1\r\n");
    // Re-created at the end, without the stale keys.
    ini.WriteInteger("L", "COUNT", 1);
    EXPECT_FALSE(ini.ValueExists("L", "DATA00000002"));
    EXPECT_FALSE(ini.ValueExists("L", "old"));
    EXPECT_EQ(ini.ToBytes(), "[K]\r\nk=1\r\n[L]\r\nCOUNT=1\r\n");
    ini.EraseSection("nothing here");
    EXPECT_TRUE(ini.SectionExists("k"));
}

TEST(Profile, LenientReading) {
    std::string bytes = "garbage line\n[S]\r\n=no name\r\nk";
    bytes += '\0';
    bytes += "\xFF=v\x01\x80\r\n[]\nempty=1\n[unclosed\nk2=2\n";
    platform::TIniFile ini = FromBytes(bytes);
    EXPECT_EQ(ini.ReadString("S", "", "?"), "no name");
    EXPECT_EQ(ini.ReadInteger("", "empty", 0), 1);
    // "[unclosed" is no header: its key belongs to the section before.
    EXPECT_EQ(ini.ReadInteger("", "k2", 0), 2);
    // Untouched lines come back as they were, line ends made CR LF.
    std::string expect = bytes;
    std::string crlf;
    for (size_t i = 0; i < expect.size(); ++i) {
        if (expect[i] == '\n' && (i == 0 || expect[i - 1] != '\r')) crlf += '\r';
        crlf += expect[i];
    }
    EXPECT_EQ(ini.ToBytes(), crlf);
    // No final newline; a lone CR stays inside its line.
    ini.LoadFromBytes("[S]\nk=a\rb");
    EXPECT_EQ(ini.ReadString("S", "k", ""), "a\rb");
    EXPECT_EQ(ini.ToBytes(), "[S]\r\nk=a\rb\r\n");
    ini.LoadFromBytes("");
    EXPECT_EQ(ini.ToBytes(), "");
    EXPECT_TRUE(ini.ReadSections().empty());
}

TEST(Profile, LoadsAndSavesFiles) {
    TempDir t;
    std::string name = *platform::FromNative(t / "\xE8\xA8\xAD\xE5\xAE\x9A.ini");  // 設定.ini
    platform::TIniFile missing(name);
    EXPECT_FALSE(missing.Load());
    missing.WriteString("S", "k", "v");
    ASSERT_TRUE(missing.UpdateFile());
    EXPECT_EQ(ReadNative(t / "\xE8\xA8\xAD\xE5\xAE\x9A.ini"), "[S]\r\nk=v\r\n");
    platform::TIniFile loaded(name);
    EXPECT_EQ(loaded.ReadString("S", "K", ""), "v");

    // A folder is no file to read.
    t.MakeDir("dir.ini");
    platform::TIniFile dir(*platform::FromNative(t / "dir.ini"));
    EXPECT_FALSE(dir.Load());
    EXPECT_TRUE(dir.ReadSections().empty());
}

}  // namespace
