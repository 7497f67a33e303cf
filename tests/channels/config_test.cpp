#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "channels/config.h"
#include "common/system_api.h"

using namespace ql;

namespace {

std::string readFile(const Text& path) {
  std::string bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.append(buffer, n);
    std::fclose(f);
  }
  return bytes;
}

bool fileExists(const Text& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The module name reported while a test moves the program elsewhere.
Text g_modulePath;

DWORD WINAPI movedModuleName(HMODULE, LPSTR buffer, DWORD size) {
  if (g_modulePath.size() + 1 > size) return 0;
  lstrcpyA(buffer, g_modulePath.c_str());
  return static_cast<DWORD>(g_modulePath.size());
}

DWORD WINAPI unreadableModuleName(HMODULE, LPSTR, DWORD) {
  SetLastError(ERROR_ACCESS_DENIED);
  return 0;
}

int g_refusedWrites = 0;
BOOL WINAPI refusedWrite(LPCSTR, LPCSTR, LPCSTR, LPCSTR) {
  ++g_refusedWrites;
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

class ConfigTest : public testing::Test {
 protected:
  void SetUp() override { DeleteFileA(configPath().c_str()); }
  void TearDown() override { DeleteFileA(configPath().c_str()); }
};

}  // namespace

TEST_F(ConfigTest, TheFileLiesBesideTheExecutable) {
  char dir[1024] = {};
  DWORD n = GetEnvironmentVariableA("QL_TEST_BIN_DIR", dir, sizeof dir);
  ASSERT_TRUE(n > 0 && n < sizeof dir) << "QL_TEST_BIN_DIR is not set: run the tests through ctest";
  Text expected = Text("Z:") + dir + "/config.ini";
  for (char& c : expected) {
    if (c == '/') c = '\\';
  }
  EXPECT_TRUE(equalsIgnoreCase(configPath(), expected)) << configPath();

  EXPECT_FALSE(fileExists(expected));
  writeSetting("channel", "channel", "2");  // the first write creates the file
  EXPECT_TRUE(fileExists(expected));
}

TEST_F(ConfigTest, AMissingFileSectionOrKeyReadsAsTheDefault) {
  struct Case {
    const char* section;
    const char* key;
    const char* defaultValue;
    std::int32_t expected;
  };
  const Case defaults[] = {
      {"channel", "channel", "1", 1},
      {"delay", "value", "0", 0},
      {"delay", "type", "1", 1},
      {"delay", "value", "３０", 30},  // defaults go through the same rule
  };
  for (const Case& c : defaults) EXPECT_EQ(readSetting(c.section, c.key, c.defaultValue), c.expected) << c.key;

  // A file that has other sections and keys only.
  writeSetting("channel", "other", "7");
  writeSetting("elsewhere", "value", "9");
  for (const Case& c : defaults) EXPECT_EQ(readSetting(c.section, c.key, c.defaultValue), c.expected) << c.key;
}

TEST_F(ConfigTest, ValuesAreStoredAsGivenAndReadByTheTextToIntegerRule) {
  const struct {
    const char* stored;
    std::int32_t read;
  } cases[] = {
      {"2", 2},        {"30abc", 30},  // letters after the digits
      {"３０", 30},                    // full-width digits read like ASCII
      {"－１５", -15},                 // full-width minus sign
      {"-30", -30},    {"+8", 8},     {"abc", 0}, {"", 0}, {"1.9", 1}, {"4294967297", 1},  // wraps modulo 2^32
  };
  for (const auto& c : cases) {
    writeSetting("delay", "value", c.stored);
    EXPECT_EQ(readSetting("delay", "value", "0"), c.read) << c.stored;
  }

  writeSetting("channel", "channel", "4");
  writeSetting("delay", "value", "30abc");
  writeSetting("delay", "type", "２");
  std::string file = readFile(configPath());
  // The INI form, each value exactly as it was written (GBK bytes included).
  EXPECT_NE(file.find("[channel]"), std::string::npos) << file;
  EXPECT_NE(file.find("channel=4"), std::string::npos) << file;
  EXPECT_NE(file.find("[delay]"), std::string::npos) << file;
  EXPECT_NE(file.find("value=30abc"), std::string::npos) << file;
  EXPECT_NE(file.find("type=\xA3\xB2"), std::string::npos) << file;
  EXPECT_EQ(readSetting("channel", "channel", "1"), 4);
  EXPECT_EQ(readSetting("delay", "type", "1"), 2);
}

TEST_F(ConfigTest, AValueLongerThanTheReadBufferIsCut) {
  // The buffer holds 10239 characters and the terminating zero.
  writeSetting("delay", "value", std::string(10238, '0') + "5");
  EXPECT_EQ(readSetting("delay", "value", "9"), 5);
  writeSetting("delay", "value", std::string(10239, '0') + "5");
  EXPECT_EQ(readSetting("delay", "value", "9"), 0);
}

TEST_F(ConfigTest, AFailedWriteLeavesTheFileAsItWas) {
  writeSetting("channel", "channel", "2");
  std::string before = readFile(configPath());
  ASSERT_FALSE(before.empty());
  g_refusedWrites = 0;
  {
    ScopedSystemFunction<decltype(&::WritePrivateProfileStringA)> refuse(systemApi().WritePrivateProfileStringA,
                                                                         refusedWrite);
    writeSetting("channel", "channel", "5");
    writeSetting("delay", "value", "30");
  }
  EXPECT_EQ(g_refusedWrites, 2);  // the writes went through the table
  EXPECT_EQ(readFile(configPath()), before);
  EXPECT_EQ(readSetting("channel", "channel", "1"), 2);
  EXPECT_EQ(readSetting("delay", "value", "0"), 0);
}

TEST_F(ConfigTest, ThePathIsBuiltAnewForEveryCall) {
  writeSetting("channel", "channel", "2");

  char temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
  Text dir = Text(temp) + "qinglan-moved";
  ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) << dir;
  Text moved = dir + "\\config.ini";
  DeleteFileA(moved.c_str());
  g_modulePath = dir + "\\qinglan.exe";
  {
    ScopedSystemFunction<decltype(&::GetModuleFileNameA)> move(systemApi().GetModuleFileNameA, movedModuleName);
    EXPECT_EQ(configPath(), moved);
    EXPECT_EQ(readSetting("channel", "channel", "1"), 1);  // nothing there yet
    writeSetting("channel", "channel", "3");
    EXPECT_EQ(readSetting("channel", "channel", "1"), 3);
  }
  EXPECT_TRUE(fileExists(moved));
  // Back beside the test executable at once: nothing was remembered.
  EXPECT_EQ(readSetting("channel", "channel", "1"), 2);
  EXPECT_NE(configPath(), moved);
  DeleteFileA(moved.c_str());
  RemoveDirectoryA(dir.c_str());
}

TEST_F(ConfigTest, OnlyARealBackslashEndsTheDirectory) {
  // GBK names whose characters have 0x5C as their second byte (淺 is 9C 5C).
  // Only the names are looked at: this host's Wine cannot create files with
  // non-ASCII names (there is no Chinese locale for its Unix file names).
  const struct {
    const char* module;
    const char* config;
  } cases[] = {
      {"C:\\钟表\\时钟淺.exe", "C:\\钟表\\config.ini"},
      {"C:\\淺\\淺.exe", "C:\\淺\\config.ini"},
      {"D:\\晴岚钟表\\qinglan.exe", "D:\\晴岚钟表\\config.ini"},
      {"\\\\server\\share\\q.exe", "\\\\server\\share\\config.ini"},
  };
  for (const auto& c : cases) {
    g_modulePath = c.module;
    ScopedSystemFunction<decltype(&::GetModuleFileNameA)> move(systemApi().GetModuleFileNameA, movedModuleName);
    EXPECT_EQ(configPath(), c.config) << c.module;
  }
}

TEST_F(ConfigTest, WithoutTheExecutablesNameEveryReadIsTheDefaultAndNothingIsWritten) {
  writeSetting("channel", "channel", "2");
  std::string before = readFile(configPath());
  {
    ScopedSystemFunction<decltype(&::GetModuleFileNameA)> fail(systemApi().GetModuleFileNameA, unreadableModuleName);
    EXPECT_EQ(configPath(), "");
    EXPECT_EQ(readSetting("channel", "channel", "1"), 1);
    writeSetting("channel", "channel", "5");
    EXPECT_FALSE(fileExists("config.ini"));  // not in the working directory either
  }
  EXPECT_EQ(readFile(configPath()), before);
}
