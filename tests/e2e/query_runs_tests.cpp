// kalinor-query as a process: each command's answer and exit code, over a
// profile store and a data folder prepared as an uninstall would find them,
// and not one file created, changed or removed by any of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "e2e/kalinor_process.h"

namespace kalinor::testing {
namespace {

const std::string kData = ".local/share/Tavrin/Ostrand";
const std::string kOutside = "elsewhere";

class QueryRuns : public KalinorProcessTest {
 protected:
  ProcessResult Query(const std::vector<std::string>& args) {
    return RunProcess(KALINOR_QUERY_EXE, args, environment);
  }

  // The service installed by kalinor itself, and a data folder with three
  // stores: one database to delete, one outside the data folders (refused),
  // one already gone; the general settings in the older data folder.
  void Prepare() {
    ASSERT_EQ(Run({"ArchiveConnector", "displayname:Archive Connector"}).exitCode, 0);
    WriteHomeFile(kData + "/a.fdb", "a");
    WriteHomeFile(kOutside + "/b.fdb", "b");
    WriteHomeFile(kData + "/StoreSettings.xml",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<QEVConfiguration>"
                  "<Store id=\"1-2\"><dbFileName>" +
                      InHome(kData + "/a.fdb") +
                      "</dbFileName></Store>"
                      "<Store id=\"3-4\"><dbFileName>" +
                      InHome(kOutside + "/b.fdb") +
                      "</dbFileName></Store>"
                      "<Store id=\"5-6\"><dbFileName>" +
                      InHome(kData + "/gone.fdb") + "</dbFileName></Store></QEVConfiguration>\n");
    WriteHomeFile(".local/share/Tavrin/Pellucor/GeneralSettings.xml",
                  "<QEVConfiguration><General><PellucorURL>u</PellucorURL></General>"
                  "</QEVConfiguration>");
  }

  void SetRegistry(const std::string& sections) {
    WriteHomeFile(".config/kalinor/registry.reg",
                  "Windows Registry Editor Version 5.00\n\n" + sections);
  }

  // The plan's expected text for the prepared home.
  std::string PreparedPlan() const {
    const std::string data = InHome(kData);
    return "data folder\t" + data + "\nfound by\tfallback\ncreate folder\t" + data +
           "/DebugLogs\nstore settings\tload\t" + data +
           "/StoreSettings.xml\ngeneral settings\tseed\t" + data + "/GeneralSettings.xml\tfrom\t" +
           InHome(".local/share/Tavrin/Pellucor") + "/GeneralSettings.xml\ndelete\t" + data +
           "/a.fdb\nrefuse\t" + InHome(kOutside) + "/b.fdb\toutside the data folders\nsave\t" +
           data + "/StoreSettings.xml\nseed\t" + InHome(".local/share/Tavrin/Pellucor") +
           "/GeneralSettings.xml\t" + data + "/GeneralSettings.xml\nsave\t" + data +
           "/GeneralSettings.xml\n";
  }
};

struct QueryCase {
  std::vector<std::string> args;
  std::string registry;  // .reg sections; "" for none
  int exitCode;
  std::string output;  // "" with expectOutputPrefix: anything
  bool outputIsPrefix = false;
};

const std::string kOutlook16 = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Office\\16.0\\Outlook]\n";
const std::string kClickToRun =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Office\\ClickToRun\\Configuration]\n";

TEST_F(QueryRuns, EachCommandAnswersAndChangesNothing) {
  Prepare();
  // A reader creates no lock file: without one it reads unlocked.
  ASSERT_TRUE(std::filesystem::remove(InHome(".config/kalinor/profiles.xml.lock")));
  WriteHomeFile("Office/MAPI32.DLL", "MZ");
  WriteHomeFile(".config/kalinor/mapisvc.inf", "[Services]\nArchiveConnector=Archive Connector\n");
  const std::string readyClient =
      kClickToRun +
      "\"Platform\"=\"x64\"\n\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Clients\\Mail\\Microsoft Outlook]\n\"DllPathEx\"=\"" +
      InHome("Office/MAPI32.DLL") + "\"\n";
  const std::string data = InHome(kData);
  const std::vector<QueryCase> cases = {
      {{"doctor", "ArchiveConnector"}, readyClient, 0, "account\tok\t", true},
      // The plan of an install: over the installed service, of one that no
      // catalogue lists, and of a descr: argument, which is no option.
      {{"plan", "--install", "archiveconnector"},
       readyClient,
       0,
       "service\tarchiveconnector\nprofile\tDefault (the only one)\nalready installed\t"
       "ArchiveConnector\tthe install changes nothing\n"},
      {{"plan", "--install", "OtherService", "displayname:Other"},
       readyClient,
       1,
       "service\tOtherService\nprofile\tDefault (the only one)\ncannot create\tOtherService\t"
       "OtherService not listed in " +
           InHome(".config/kalinor/mapisvc.inf") +
           "; install the provider of OtherService (its setup lists it there)\n"},
      {{"plan", "--install", "descr:Archive Connector"},
       readyClient,
       1,
       "service\tdescr:Archive Connector\nnote\tdescr: is no option: \"descr:Archive Connector\" "
       "is the service name; a display name is given with displayname:\n",
       true},
      {{"doctor", "ArchiveConnector"},
       readyClient,
       0,
       "service\tok\tArchiveConnector listed in " + InHome(".config/kalinor/mapisvc.inf") +
           "\nprofile\tok\tDefault (the only one)\nOutlook running\tok\tno\ndata folder\tok\t" +
           data + " (fallback: local application data)\nstore settings\tok\tpresent, readable: " +
           data + "/StoreSettings.xml\ngeneral settings\tok\tabsent: " + data +
           "/GeneralSettings.xml; an uninstall seeds it from " +
           InHome(".local/share/Tavrin/Pellucor") + "/GeneralSettings.xml\nverdict\tready\n",
       false},
      {{"doctor", "--json"},
       "",
       1,
       "{\"checks\":[{\"check\":\"account\",\"verdict\":\"ok\",",
       true},
      {{"profiles"}, "", 0, "Default\tdefault\n"},
      {{"profiles", "--json"}, "", 0, "{\"profiles\":[{\"name\":\"Default\",\"default\":true}]}\n"},
      {{"services"}, "", 0, "ArchiveConnector\tArchive Connector\n"},
      {{"services", "PROFILE:Default"}, "", 0, "ArchiveConnector\tArchive Connector\n"},
      {{"has", "archiveconnector"}, "", 0, "installed\n"},
      {{"has", "Archive"}, "", 1, "not installed\n"},
      {{"--json", "has", "Other"}, "", 1, "{\"service\":\"Other\",\"installed\":false}\n"},
      {{"HAS", "ArchiveConnector", "--Detect"}, "", 0, "installed\n"},
      {{"has", "Archive", "--detect"}, "", 0, ""},
      // A JSON reader gets the document, also with --detect.
      {{"has", "Archive", "--detect", "--json"},
       "",
       0,
       "{\"service\":\"Archive\",\"installed\":false}\n"},
      {{"has", "ArchiveConnector", "profile:Nowhere"}, "", 2, ""},
      {{"has", "ArchiveConnector", "profile:Nowhere", "--JSON"},
       "",
       2,
       "{\"error\":{\"code\":2,\"name\":\"profile\",\"message\":\"profile: no profile named "
       "Nowhere (there are: Default); ",
       true},
      {{"has"}, "", 2, ""},
      {{"bitness"}, "", 0, "this program\tx64\nmail client\tunknown\n"},
      {{"bitness"},
       kOutlook16 + "\"Bitness\"=\"x86\"\n",
       1,
       "this program\tx64\nmail client\tx86\n"},
      {{"bitness"},
       kClickToRun + "\"Platform\"=\"x64\"\n",
       0,
       "this program\tx64\nmail client\tx64\nMAPI starts\tyes\n"},
      {{"error", "0x8004010F"},
       "",
       0,
       "0X8004010F\tMAPI_E_NOT_FOUND\tnot found: no such profile, or the service is not in "
       "mapisvc.inf\n"},
      {{"error", "0x1234ABCD"}, "", 1, "0X1234ABCD\tunknown\n"},
      {{"error", "80070020"}, "", 0, "0X80070020\tERROR_SHARING_VIOLATION\t", true},
      {{"error", "8004010f"}, "", 0, "0X8004010F\tMAPI_E_NOT_FOUND\t", true},
      {{"error", "1603"}, "", 1, "0X643\tunknown\n"},
      {{"error", "--json", "-2147221233"},
       "",
       0,
       "{\"code\":\"0X8004010F\",\"known\":true,\"name\":\"MAPI_E_NOT_FOUND\",",
       true},
      {{"--version"}, "", 0, "kalinor-query " KALINOR_VERSION "\n"},
      {{"--help"}, "", 0, "kalinor-query COMMAND [--json]\n", true},
      // A usage error's usage text goes to standard error, not for a script to read.
      {{"nonsense"}, "", 1, ""},
  };
  for (const QueryCase& c : cases) {
    SCOPED_TRACE(c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : "") + " " + c.registry);
    if (!c.registry.empty()) SetRegistry(c.registry);
    const auto before = HomeListing();
    const ProcessResult run = Query(c.args);
    EXPECT_EQ(run.exitCode, c.exitCode);
    if (c.outputIsPrefix)
      EXPECT_EQ(run.standardOutput.substr(0, c.output.size()), c.output);
    else if (c.args[0] == "doctor")  // its end: the first lines name the user and the build
      EXPECT_EQ(run.standardOutput.substr(run.standardOutput.size() -
                                          std::min(c.output.size(), run.standardOutput.size())),
                c.output);
    else
      EXPECT_EQ(run.standardOutput, c.output);
    EXPECT_EQ(HomeListing(), before);
    if (!c.registry.empty()) std::filesystem::remove(InHome(".config/kalinor/registry.reg"));
  }
}

// The plan of an install into a profile without the service: the service it
// would create, with mapisvc.inf's display name, which wins over displayname:.
TEST_F(QueryRuns, ThePlanOfAnInstallNamesTheServiceItWouldCreate) {
  WriteHomeFile(".config/kalinor/profiles.xml",
                "<Profiles><Profile name=\"Mail\" default=\"true\"/><Profile name=\"Work\"/>"
                "</Profiles>\n");
  WriteHomeFile(".config/kalinor/mapisvc.inf", "[Services]\nArchiveConnector=Archive Connector\n");
  const auto before = HomeListing();
  const ProcessResult run =
      Query({"plan", "--install", "ArchiveConnector", "profile:Work", "displayname:Mine"});
  EXPECT_EQ(run.exitCode, 0) << run.standardError;
  EXPECT_EQ(run.standardOutput,
            "service\tArchiveConnector\nprofile\tWork (named)\ncreate service\tArchiveConnector\t"
            "Archive Connector\tArchiveConnector listed in " +
                InHome(".config/kalinor/mapisvc.inf") + "\n");
  EXPECT_EQ(HomeListing(), before);
}

TEST_F(QueryRuns, BeforeAnyRunNothingIsCreated) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"profiles"}, {"has", "ArchiveConnector"}, {"plan"}}) {
    const ProcessResult run = Query(args);
    EXPECT_EQ(HomeListing().size(), 0u) << args[0];
    if (args[0] != "plan") continue;
    // The data folder that the uninstall would create, and a general
    // settings file it would write new.
    const std::string data = InHome(kData);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.standardOutput,
              "data folder\t" + data + "\nfound by\tfallback\ncreate folder\t" + InHome(".local") +
                  "\ncreate folder\t" + InHome(".local/share") + "\ncreate folder\t" +
                  InHome(".local/share/Tavrin") + "\ncreate folder\t" + data + "\ncreate folder\t" +
                  data + "/DebugLogs\nstore settings\tnone\t" + data +
                  "/StoreSettings.xml\ngeneral settings\tcreate\t" + data +
                  "/GeneralSettings.xml\nsave\t" + data + "/GeneralSettings.xml\n");
  }
}

// What the plan says an uninstall deletes is exactly what the uninstall that
// follows deletes; what it refuses or finds absent stays as it was.
TEST_F(QueryRuns, ThePlanIsWhatTheUninstallDoes) {
  Prepare();
  const auto before = HomeListing();
  const ProcessResult plan = Query({"plan"});
  EXPECT_EQ(plan.exitCode, 0);
  EXPECT_EQ(plan.standardOutput, PreparedPlan());
  EXPECT_EQ(HomeListing(), before);

  std::set<std::string> planned;
  std::istringstream lines(plan.standardOutput);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("delete\t", 0) == 0) planned.insert(line.substr(7));
  }
  ASSERT_EQ(Run({"-u", "ArchiveConnector"}).exitCode, 0);
  std::set<std::string> deleted;
  const auto after = HomeListing();
  for (const auto& [path, state] : before) {
    if (after.count(path) == 0) deleted.insert(path);
  }
  EXPECT_EQ(deleted, planned);
}

// A name is shown, never obeyed: a database whose real name holds a line
// break stays on its own plan line, and a data folder whose name is not
// UTF-8 still gives valid JSON.
TEST_F(QueryRuns, NamesCannotForgeLinesOrBreakTheJson) {
  const std::string data = InHome(kData);
  const std::string forged = "x.fdb\ndelete\tevil.fdb";
  WriteHomeFile(kData + "/" + forged, "x");
  WriteHomeFile(kData + "/StoreSettings.xml",
                "<QEVConfiguration><Store id=\"1\"><dbFileName>" + data +
                    "/x.fdb&#10;delete&#9;evil.fdb</dbFileName></Store></QEVConfiguration>");
  const ProcessResult plan = Query({"plan"});
  EXPECT_EQ(plan.exitCode, 0);
  EXPECT_NE(plan.standardOutput.find("\ndelete\t" + data + "/x.fdb\\x0Adelete\\x09evil.fdb\n"),
            std::string::npos)
      << plan.standardOutput;
  EXPECT_EQ(Occurrences(plan.standardOutput, "\ndelete\t"), 1);

  environment["XDG_DATA_HOME"] = InHome("data\xff");
  const ProcessResult json = Query({"plan", "--json"});
  EXPECT_NE(
      json.standardOutput.find("\"dataFolder\":\"" + InHome("data") + "\\ufffd/Tavrin/Ostrand\""),
      std::string::npos)
      << json.standardOutput;
  EXPECT_EQ(json.standardOutput.find('\xff'), std::string::npos);
}

}  // namespace
}  // namespace kalinor::testing
