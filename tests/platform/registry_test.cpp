// The native registry: HKEY_LOCAL_MACHINE read from a Wine prefix's
// system.reg, answering queries as Windows does.
#include "platform/win32.h"

#include "test_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

// Written as Wine writes it: escaped key names with a time stamp, comment
// lines, every kind of value, hex data over continued lines.
const char kSystemReg[] =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to \\\\Machine\n"
    "\n"
    "#arch=win64\n"
    "\n"
    "[Software\\\\Ostrel\\\\Sub] 1700000000\n"
    "#time=1da0c2e5f3a8b10\n"
    "\"Hidden\"=\"in a sub key only\"\n"
    "\n"
    "[Software\\\\Ostrel] 1700000000\n"
    "#time=1da0c2e5f3a8b10\n"
    "@=\"the default\"\n"
    "\"Path\"=\"C:\\\\Games\\\\Ostrel\"\n"
    "\"Escapes\"=\"q\\\"b\\\\t\\tn\\n\\x00e9\\101\"\n"
    "\"Utf8\"=\"Gr\xc3\xb6\xc3\x9f" "e \xe2\x82\xac\"\n"
    "\"Expand\"=str(2):\"%SystemRoot%\\\\x\"\n"
    "\"Count\"=dword:0000012c\n"
    "\"Binary\"=hex:01,02,03,\\\n"
    "  04,ff\n"
    "\"Wide\"=hex(2):41,00,42,00,00,00\n"
    "\"Empty\"=\"\"\n"
    "\n"
    "[Software\\\\Other] 1700000000\n"
    "\"Next\"=\"of the next key\"\n"
    "\n"
    "[Software\\\\Wow6432Node\\\\Other] 1700000000\n"
    "\"Next\"=\"as a 32-bit program wrote it\"\n"
    "\n"
    "[Software\\\\Wow6432Node\\\\Only32] 1700000000\n"
    "\"Path\"=\"C:\\\\Games\\\\Old\"\n";

class RegistryTest : public testing::Test {
protected:
    void SetUp() override
    {
        Prefix = FreshTestFolder("registry-prefix");
        WriteAll(Prefix / "system.reg", kSystemReg);
        const char *old = std::getenv("WINEPREFIX");
        Saved = old ? old : "";
        HadPrefix = old != nullptr;
        setenv("WINEPREFIX", Prefix.c_str(), 1);
    }
    void TearDown() override
    {
        if (HadPrefix)
            setenv("WINEPREFIX", Saved.c_str(), 1);
        else
            unsetenv("WINEPREFIX");
    }

    fs::path Prefix;
    std::string Saved;
    bool HadPrefix = false;
};

struct ValueCase {
    const char *Name;
    DWORD Type;
    std::string Data;
};

TEST_F(RegistryTest, ValuesComeBackAsWindowsStoresThem)
{
    HKEY key;
    // Key names are matched without regard to case.
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\OSTREL", 0, KEY_READ, &key), ERROR_SUCCESS);
    const ValueCase cases[] = {
        {"Path", REG_SZ, std::string("C:\\Games\\Ostrel", 16)},
        {"path", REG_SZ, std::string("C:\\Games\\Ostrel", 16)},
        {"Escapes", REG_SZ, std::string("q\"b\\t\tn\n\xe9" "A", 11)},
        {"Utf8", REG_SZ, std::string("Gr\xf6\xdf" "e ?", 8)},
        {"Expand", REG_EXPAND_SZ, std::string("%SystemRoot%\\x", 15)},
        {"Count", REG_DWORD, std::string("\x2c\x01\x00\x00", 4)},
        {"Binary", REG_BINARY, std::string("\x01\x02\x03\x04\xff", 5)},
        {"Wide", REG_EXPAND_SZ, std::string("AB", 3)},
        {"Empty", REG_SZ, std::string(1, '\0')},
        {"", REG_SZ, std::string("the default", 12)},
    };
    for (const ValueCase &c : cases) {
        SCOPED_TRACE(c.Name);
        unsigned char data[64];
        memset(data, 0xbd, sizeof data);
        DWORD type = 0, size = sizeof data;
        ASSERT_EQ(RegQueryValueExA(key, c.Name, nullptr, &type, data, &size), ERROR_SUCCESS);
        EXPECT_EQ(type, c.Type);
        ASSERT_EQ(size, c.Data.size());
        EXPECT_EQ(std::string((char *)data, size), c.Data);
        EXPECT_EQ(data[size], 0xbd) << "written past the data";
    }
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(RegistryTest, ShortBufferAnswersTheSizeNeededAndWritesNothing)
{
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Ostrel", 0, KEY_READ, &key), ERROR_SUCCESS);
    char data[8];
    memset(data, 0xbd, sizeof data);
    DWORD size = sizeof data;
    EXPECT_EQ(RegQueryValueExA(key, "Path", nullptr, nullptr, (LPBYTE)data, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 16u);
    for (char c : data)
        EXPECT_EQ((unsigned char)c, 0xbd);

    size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Path", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 16u) << "no buffer: the size alone";
    RegCloseKey(key);
}

TEST_F(RegistryTest, WhatIsNotThereIsNotFound)
{
    HKEY key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Missing", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    // The section of another key and of a sub key are not this key's.
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Ostrel", 0, KEY_READ, &key), ERROR_SUCCESS);
    for (const char *name : {"Missing", "Hidden", "Next"}) {
        DWORD size = 16;
        char data[16];
        EXPECT_EQ(RegQueryValueExA(key, name, nullptr, nullptr, (LPBYTE)data, &size), ERROR_FILE_NOT_FOUND) << name;
    }
    RegCloseKey(key);
    // Only the machine's keys are kept in this file.
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Ostrel", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);

    fs::remove(Prefix / "system.reg");
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Ostrel", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

// A 32-bit program in a 64-bit prefix: its software keys under
// Wow6432Node come first, the keys both kinds share are found where they are.
TEST_F(RegistryTest, SoftwareKeysAsA32BitProgramSeesThem)
{
    const struct {
        const char *Key, *Value, *Data;
    } cases[] = {
        {"Software\\Other", "Next", "as a 32-bit program wrote it"},
        {"software\\only32", "Path", "C:\\Games\\Old"},
        {"Software\\Ostrel", "Path", "C:\\Games\\Ostrel"},
        {"Software\\Wow6432Node\\Other", "Next", "as a 32-bit program wrote it"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Key);
        HKEY key;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, c.Key, 0, KEY_READ, &key), ERROR_SUCCESS);
        char data[64] = {};
        DWORD size = sizeof data;
        EXPECT_EQ(RegQueryValueExA(key, c.Value, nullptr, nullptr, (LPBYTE)data, &size), ERROR_SUCCESS);
        EXPECT_STREQ(data, c.Data);
        RegCloseKey(key);
    }
}

}  // namespace
