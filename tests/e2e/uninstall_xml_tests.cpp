// An uninstall run over settings files that only a strict, conforming XML
// reader gets right: a malformed file is left alone, and databases named
// through an internal entity or on an indented line are still found.
#include <gtest/gtest.h>

#include "e2e/kalinor_process.h"

namespace kalinor::testing {
namespace {

const std::string kDataFolder = ".local/share/Tavrin/Ostrand";

class UninstallXmlRuns : public KalinorProcessTest {
 protected:
  std::string DataFile(const std::string& name) const { return FileText(kDataFolder + "/" + name); }
};

TEST_F(UninstallXmlRuns, AMalformedGeneralSettingsFileIsLeftByteForByte) {
  const std::string malformed[] = {
      "<QEVConfiguration><General><PellucorURL>https://a.example/</PellucorURL>"
      "<Note>&#1;</Note></General></QEVConfiguration>",
      "<QEVConfiguration><General><PellucorURL a=\"<\">x</PellucorURL></General>"
      "</QEVConfiguration>",
      "<QEVConfiguration><p:General/></QEVConfiguration>",
  };
  for (const std::string& bytes : malformed) {
    SCOPED_TRACE(bytes);
    WriteHomeFile(kDataFolder + "/GeneralSettings.xml", bytes);
    EXPECT_EQ(Run({"-u", "ArchiveConnector"}).exitCode, 0);
    EXPECT_EQ(DataFile("GeneralSettings.xml"), bytes);
  }
}

TEST_F(UninstallXmlRuns, DatabasesNamedThroughAnEntityOrOnIndentedLinesAreDeleted) {
  WriteHomeFile(kDataFolder + "/a.fdb", "a");
  WriteHomeFile(kDataFolder + "/b.fdb", "b");
  WriteHomeFile(kDataFolder + "/StoreSettings.xml",
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<!DOCTYPE QEVConfiguration [<!ENTITY dir \"" +
                    InHome(kDataFolder) +
                    "\">]>\n"
                    "<QEVConfiguration>\n"
                    "  <Store id=\"1-2\"><dbFileName>&dir;/a.fdb</dbFileName></Store>\n"
                    "  <Store id=\"3-4\">\n    <dbFileName>\n      " +
                    InHome(kDataFolder + "/b.fdb") +
                    "\n    </dbFileName>\n  </Store>\n"
                    "</QEVConfiguration>\n");
  EXPECT_EQ(Run({"-u", "ArchiveConnector"}).exitCode, 0);
  EXPECT_EQ(DataFile("a.fdb"), "<missing>");
  EXPECT_EQ(DataFile("b.fdb"), "<missing>");
  const std::string stores = DataFile("StoreSettings.xml");
  EXPECT_EQ(stores.find("<Store"), std::string::npos) << stores;
  EXPECT_NE(stores.find("<QEVConfiguration"), std::string::npos) << stores;
}

}  // namespace
}  // namespace kalinor::testing
