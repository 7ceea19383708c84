// The one reader of mapisvc.inf, which the doctor and the stand-in MAPI share.
#include <gtest/gtest.h>

#include <string>

#include "platform/mapi_service_catalogue.h"

namespace kalinor {
namespace {

using platform::ListedServiceDisplayName;
using platform::ParseMapiServices;
using namespace std::string_literals;

TEST(MapiServiceCatalogue, ReadsOnlyTheServicesSection) {
  const auto services = ParseMapiServices(
      "; MAPI service catalogue\r\n"
      "[Help File Mappings]\r\n"
      "Fake=Not a service\r\n"
      "[services]\r\n"
      "  ArchiveConnector = Archive Connector  \r\n"
      "  ; Commented=Out\r\n"
      "Quoted=\"Quoted Name\"\r\n"
      "no equals sign\r\n"
      "=no name\r\n"
      "[Archive Connector]\r\n"
      "Providers=x\r\n");
  EXPECT_EQ(services.size(), 2u);
  EXPECT_EQ(ListedServiceDisplayName(services, L"archiveconnector"), L"Archive Connector");
  EXPECT_EQ(ListedServiceDisplayName(services, L"Quoted"), L"Quoted Name");
  EXPECT_FALSE(ListedServiceDisplayName(services, L"Fake").has_value());
  EXPECT_FALSE(ListedServiceDisplayName(services, L"Commented").has_value());
  EXPECT_FALSE(ListedServiceDisplayName(services, L"; Commented").has_value());
  EXPECT_FALSE(ListedServiceDisplayName(services, L"Providers").has_value());
}

// The byte-order mark decides the encoding, as for any profile file Windows
// reads; without one the text is in the ANSI code page (UTF-8 on POSIX).
TEST(MapiServiceCatalogue, TheByteOrderMarkDecidesTheEncoding) {
  struct Case {
    const char* what;
    std::string bytes;
  };
  const std::string utf16 = "\xFF\xFE[\0S\0e\0r\0v\0i\0c\0e\0s\0]\0\n\0A\0=\0B\0\n\0"s;
  const Case cases[] = {
      {"no mark", "[Services]\nA=B\n"},
      {"UTF-8 mark", "\xEF\xBB\xBF[Services]\nA=B\n"},
      {"UTF-16LE mark", utf16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto services = ParseMapiServices(c.bytes);
    ASSERT_EQ(services.size(), 1u);
    EXPECT_EQ(services[0].name, L"A");
    EXPECT_EQ(services[0].display_name, L"B");
  }
}

}  // namespace
}  // namespace kalinor
