// Runs the built tool in a fresh home folder with its own profile store,
// registry and data folders, and reads back what it left behind.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/text.h"
#include "support/run_process.h"
#include "support/temp_folder.h"

namespace kalinor::testing {

class KalinorProcessTest : public ::testing::Test {
 protected:
  /// Runs the tool with the arguments (bytes) in the fresh home.
  ProcessResult Run(const std::vector<std::string>& args) {
    return RunProcess(KALINOR_EXE, args, environment);
  }

  /// A path inside the home folder, as UTF-8.
  std::string InHome(const std::string& relative) const {
    return platform::ToUtf8(home.Path()) + "/" + relative;
  }

  /// The whole file, or "<missing>".
  std::string FileText(const std::string& relative) const {
    auto bytes = ReadFileBytes(platform::FromUtf8(InHome(relative)));
    return bytes ? *bytes : "<missing>";
  }

  /// Writes a file in the home folder, creating its folders.
  void WriteHomeFile(const std::string& relative, const std::string& bytes);

  /// What the tool wrote to the debugger channel, one line per write.
  std::string DebugOutput() const { return FileText("debug.log"); }
  /// Every entry under the home folder but the debugger channel's file: its
  /// path mapped to its type, size and modification time.
  std::map<std::string, std::string> HomeListing() const;
  /// The stand-in MAPI's profile store.
  std::string ProfileStore() const { return FileText(".config/kalinor/profiles.xml"); }

  TempFolder home;
  std::map<std::string, std::string> environment{
      {"HOME", platform::ToUtf8(home.Path())},
      {"KALINOR_DEBUG_OUTPUT", InHome("debug.log")},
      {"PATH", "/usr/bin:/bin"},
  };
};

/// Number of times needle occurs in haystack.
int Occurrences(const std::string& haystack, const std::string& needle);

}  // namespace kalinor::testing
