// The POSIX registry stand-in: a .reg file read as the registry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/utf16le.h"
#include "support/scoped_env.h"
#include "support/temp_folder.h"

namespace kalinor {
namespace {

using platform::RegistryRoot;
using platform::RegistryValue;

constexpr char kHeader[] = "Windows Registry Editor Version 5.00\n\n";

std::vector<std::uint8_t> Utf16WithNul(const std::wstring& text) {
  auto bytes = platform::ToUtf16Le(text);
  bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

class RegistryFileTest : public ::testing::Test {
 protected:
  // Writes the file as given and reads one value from it.
  void WriteFile(const std::string& content) {
    ASSERT_TRUE(testing::WriteFileBytes(file_, content));
  }

  std::optional<RegistryValue> Read(RegistryRoot root, const std::wstring& key,
                                    const std::wstring& name, std::size_t max_bytes = 4096) {
    RegistryValue value;
    if (!platform::ReadRegistryValue(root, key, name, max_bytes, value)) return std::nullopt;
    return value;
  }

  std::optional<RegistryValue> ReadUser(const std::wstring& name) {
    return Read(RegistryRoot::CurrentUser, L"Software\\Test", name);
  }

  testing::TempFolder temp_;
  std::wstring file_ = temp_.Join(L"registry.reg");
  testing::ScopedEnvironmentVariable variable_{L"KALINOR_REGISTRY", file_};
};

TEST_F(RegistryFileTest, ReadsEveryValueFormAsItsTypeAndBytes) {
  WriteFile(std::string(kHeader) +
            "; a comment\n"
            "[HKEY_CURRENT_USER\\Software\\Test]\n"
            "\"Text\"=\"C:\\\\Users\\\\\\\"J\xC3\xB6rg\\\"\"\n"
            "@=\"default\"\n"
            "\"Number\"=dword:0000002a\n"
            "\"Bytes\"=hex:01,ff, 7F\n"
            "\"Expand\"=hex(2):25,00,54,00,\\\n"
            "  00,00\n"
            "\"Qword\"=hex(b):01,00,00,00,00,00,00,00\n"
            "\"None\"=hex(0):\n"
            "\"Empty\"=hex(1):\n"
            "\"Emoji\"=\"\xF0\x9F\x98\x80\"\n");

  auto text = ReadUser(L"Text");
  ASSERT_TRUE(text);
  EXPECT_EQ(text->type, platform::kRegSz);
  EXPECT_EQ(text->data, Utf16WithNul(L"C:\\Users\\\"J\u00F6rg\""));
  EXPECT_EQ(ReadUser(L"")->data, Utf16WithNul(L"default"));
  EXPECT_EQ(ReadUser(L"Number")->type, 4u);
  EXPECT_EQ(ReadUser(L"Number")->data, (std::vector<std::uint8_t>{0x2a, 0, 0, 0}));
  EXPECT_EQ(ReadUser(L"Bytes")->type, 3u);
  EXPECT_EQ(ReadUser(L"Bytes")->data, (std::vector<std::uint8_t>{0x01, 0xff, 0x7f}));
  EXPECT_EQ(ReadUser(L"Expand")->type, platform::kRegExpandSz);
  EXPECT_EQ(ReadUser(L"Expand")->data, Utf16WithNul(L"%T"));
  EXPECT_EQ(ReadUser(L"Qword")->type, 11u);
  EXPECT_EQ(ReadUser(L"Qword")->data.size(), 8u);
  EXPECT_EQ(ReadUser(L"None")->type, 0u);
  EXPECT_TRUE(ReadUser(L"None")->data.empty());
  EXPECT_EQ(ReadUser(L"Empty")->type, platform::kRegSz);
  EXPECT_TRUE(ReadUser(L"Empty")->data.empty());
  EXPECT_EQ(ReadUser(L"Emoji")->data, (std::vector<std::uint8_t>{0x3d, 0xd8, 0x00, 0xde, 0, 0}));
}

TEST_F(RegistryFileTest, KeysAndNamesIgnoreCaseButRootsAreKeptApart) {
  WriteFile(std::string(kHeader) +
            "[hkey_current_user\\SOFTWARE\\test]\n\"DataPath\"=\"user\"\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Test]\n\"DataPath\"=\"machine\"\n");

  EXPECT_EQ(ReadUser(L"datapath")->data, Utf16WithNul(L"user"));
  EXPECT_EQ(Read(RegistryRoot::LocalMachine, L"software\\TEST", L"DATAPATH")->data,
            Utf16WithNul(L"machine"));
  EXPECT_FALSE(Read(RegistryRoot::CurrentUser, L"Software", L"DataPath"));
  EXPECT_FALSE(Read(RegistryRoot::CurrentUser, L"Software\\Test\\Sub", L"DataPath"));
  EXPECT_FALSE(ReadUser(L"Missing"));
}

TEST_F(RegistryFileTest, LaterLinesOverrideAndDeletionsRemove) {
  WriteFile(std::string(kHeader) +
            "[HKEY_CURRENT_USER\\Software\\Test]\n\"A\"=\"first\"\n\"B\"=\"b\"\n\"C\"=\"c\"\n"
            "[HKEY_CURRENT_USER\\Software\\Test\\Sub]\n\"D\"=\"d\"\n"
            "[HKEY_CURRENT_USER\\Software\\Test]\n\"A\"=\"second\"\n\"B\"=-\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Other]\n\"E\"=\"e\"\n"
            "[HKEY_CURRENT_USER\\Software\\Test\\Sub\\Deeper]\n\"F\"=\"f\"\n"
            "[HKEY_CURRENT_USER\\Software\\Test\\Subway]\n\"G\"=\"g\"\n"
            "[HKEY_CURRENT_USER\\Software\\Test\\Sub Two]\n\"H\"=\"h\"\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Test\\Sub]\n\"I\"=\"i\"\n"
            "[-HKEY_CURRENT_USER\\Software\\Test\\Sub]\n");

  EXPECT_EQ(ReadUser(L"A")->data, Utf16WithNul(L"second"));
  EXPECT_FALSE(ReadUser(L"B"));
  EXPECT_TRUE(ReadUser(L"C"));
  EXPECT_FALSE(Read(RegistryRoot::CurrentUser, L"Software\\Test\\Sub", L"D"));
  EXPECT_TRUE(Read(RegistryRoot::LocalMachine, L"Software\\Other", L"E"));
  // The deletion takes the keys below, not those whose names only begin alike
  // nor the same key under another root.
  EXPECT_FALSE(Read(RegistryRoot::CurrentUser, L"Software\\Test\\Sub\\Deeper", L"F"));
  EXPECT_TRUE(Read(RegistryRoot::CurrentUser, L"Software\\Test\\Subway", L"G"));
  EXPECT_TRUE(Read(RegistryRoot::CurrentUser, L"Software\\Test\\Sub Two", L"H"));
  EXPECT_TRUE(Read(RegistryRoot::LocalMachine, L"Software\\Test\\Sub", L"I"));
}

TEST_F(RegistryFileTest, ReadsTheUtf16FileThatRegeditWrites) {
  std::wstring text =
      L"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Test]\r\n"
      L"\"Name\"=\"J\u00F6rg\"\r\n\"Bin\"=hex(2):41,00,\\\r\n  00,00\r\n";
  std::vector<std::uint8_t> bytes{0xFF, 0xFE};
  auto body = platform::ToUtf16Le(text);
  bytes.insert(bytes.end(), body.begin(), body.end());
  WriteFile(std::string(bytes.begin(), bytes.end()));

  EXPECT_EQ(ReadUser(L"Name")->data, Utf16WithNul(L"J\u00F6rg"));
  EXPECT_EQ(ReadUser(L"Bin")->data, Utf16WithNul(L"A"));
}

TEST_F(RegistryFileTest, Utf8ByteOrderMarkAndCrLfAreAccepted) {
  WriteFile(
      "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
      "[HKEY_CURRENT_USER\\Software\\Test]\r\n\"V\" = \"x\"  \r\n");
  EXPECT_EQ(ReadUser(L"V")->data, Utf16WithNul(L"x"));
}

// Any line that does not parse makes the whole file hold no values.
TEST_F(RegistryFileTest, MalformedFilesHoldNoValues) {
  const std::string good = "[HKEY_CURRENT_USER\\Software\\Test]\n\"V\"=\"x\"\n";
  const std::vector<std::string> files = {
      "",
      good,                   // no header
      "REGEDIT4\n\n" + good,  // the old format
      std::string(kHeader) + good + "garbage\n",
      std::string(kHeader) + "\"V\"=\"x\"\n" + good,  // value before any key
      std::string(kHeader) + good + "\"W\"=\"unterminated\n",
      std::string(kHeader) + good + "\"W\"=\"bad \\n escape\"\n",
      std::string(kHeader) + good + "\"W\"=\"x\" trailing\n",
      std::string(kHeader) + good + "\"W\"=hex:1g\n",
      std::string(kHeader) + good + "\"W\"=hex:100\n",
      std::string(kHeader) + good + "\"W\"=hex:01,,02\n",
      std::string(kHeader) + good + "\"W\"=hex(2:00\n",
      std::string(kHeader) + good + "\"W\"=hex(123456789):00\n",
      std::string(kHeader) + good + "\"W\"=dword:123456789\n",
      std::string(kHeader) + good + "\"W\"=dword:\n",
      std::string(kHeader) + good + "\"W\"=qword:1\n",
      std::string(kHeader) + good + "\"W\"\n",
      std::string(kHeader) + good + "[HKEY_NOWHERE\\Software]\n",
      std::string(kHeader) + good + "[HKEY_CURRENT_USER\\Software\n",
      std::string(kHeader) + good + "\"W\"=hex:01,\\\n",  // continuation at the end
      std::string("\xFF\xFE\x57", 3),                     // UTF-16, cut short
      std::string("\x00\x01\x02\xFF\xFE", 5),
  };
  for (std::size_t i = 0; i < files.size(); ++i) {
    WriteFile(files[i]);
    EXPECT_FALSE(ReadUser(L"V")) << "file " << i;
  }
}

TEST_F(RegistryFileTest, AMissingFileHoldsNoValues) { EXPECT_FALSE(ReadUser(L"V")); }

TEST(RegistryFileLocation, FallsBackToTheConfigFolders) {
  testing::TempFolder temp;
  testing::ScopedEnvironmentVariable no_file(L"KALINOR_REGISTRY", L"");
  testing::ScopedEnvironmentVariable home(L"HOME", temp.Path());
  testing::ScopedEnvironmentVariable no_config(L"XDG_CONFIG_HOME", L"");
  const std::string content = std::string(kHeader) + "[HKEY_CURRENT_USER\\K]\n\"V\"=\"home\"\n";
  ASSERT_TRUE(testing::CreateFolderTree(temp.Join(L".config/kalinor")));
  ASSERT_TRUE(testing::WriteFileBytes(temp.Join(L".config/kalinor/registry.reg"), content));
  RegistryValue value;

  ASSERT_TRUE(platform::ReadRegistryValue(RegistryRoot::CurrentUser, L"K", L"V", 100, value));
  EXPECT_EQ(value.data, Utf16WithNul(L"home"));

  testing::ScopedEnvironmentVariable config(L"XDG_CONFIG_HOME", temp.Join(L"xdg"));
  ASSERT_TRUE(testing::CreateFolderTree(temp.Join(L"xdg/kalinor")));
  ASSERT_TRUE(
      testing::WriteFileBytes(temp.Join(L"xdg/kalinor/registry.reg"),
                              std::string(kHeader) + "[HKEY_CURRENT_USER\\K]\n\"V\"=\"xdg\"\n"));
  ASSERT_TRUE(platform::ReadRegistryValue(RegistryRoot::CurrentUser, L"K", L"V", 100, value));
  EXPECT_EQ(value.data, Utf16WithNul(L"xdg"));
}

}  // namespace
}  // namespace kalinor
