#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

// The product executable of this build, as a Windows path.
std::string productPath() {
  char path[1024] = {};
  DWORD n = GetEnvironmentVariableA("QL_PRODUCT_EXE", path, sizeof path);
  if (n == 0 || n >= sizeof path) return std::string();
  std::string windows = std::string("Z:") + path;
  for (char& c : windows) {
    if (c == '/') c = '\\';
  }
  return windows;
}

}  // namespace

TEST(VersionResource, TheProductCarriesVersionOnePointTwoAndItsChineseName) {
  std::string exe = productPath();
  ASSERT_FALSE(exe.empty()) << "QL_PRODUCT_EXE is not set: run the tests through ctest";

  DWORD size = GetFileVersionInfoSizeA(exe.c_str(), nullptr);
  ASSERT_GT(size, 0u) << exe;
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, block.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010002u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010002u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

  WORD* translation = nullptr;
  ASSERT_TRUE(
      VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
  ASSERT_GE(length, 4u);
  EXPECT_EQ(translation[0], 0x0804);  // Simplified Chinese
  EXPECT_EQ(translation[1], 1200);    // Unicode texts

  // The texts are UTF-16 in the file: the wide reading gives the characters
  // themselves, the ANSI reading their GBK bytes.
  const struct {
    const wchar_t* name;
    const wchar_t* wide;
    const char* narrow;
  } texts[] = {
      {L"ProductName", L"晴岚钟表", "\xC7\xE7\xE1\xB0\xD6\xD3\xB1\xED"},
      {L"FileDescription", L"晴岚钟表", "\xC7\xE7\xE1\xB0\xD6\xD3\xB1\xED"},
      {L"ProductVersion", L"1.2", "1.2"},
      {L"FileVersion", L"1.2", "1.2"},
      {L"OriginalFilename", L"qinglan.exe", "qinglan.exe"},
  };
  for (const auto& t : texts) {
    std::wstring query = std::wstring(L"\\StringFileInfo\\080404b0\\") + t.name;
    wchar_t* value = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length));
    EXPECT_EQ(std::wstring(value), std::wstring(t.wide));

    std::string narrowQuery;
    for (const wchar_t* c = query.c_str(); *c; ++c) narrowQuery += static_cast<char>(*c);
    char* narrow = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), narrowQuery.c_str(), reinterpret_cast<void**>(&narrow), &length));
    EXPECT_EQ(std::string(narrow), std::string(t.narrow));
  }
}
