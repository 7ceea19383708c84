// The StoreSettings.xml that the benchmarks clean up.
#pragma once

#include <cstdio>
#include <string>

namespace kalinor::bench {

/// A StoreSettings.xml with that many stores, as the connector writes it:
/// pair-form ids (or none), and database paths absentFolder + "storeN.fdb"
/// (absentFolder brings its own trailing separator; the files are meant to be
/// absent).
inline std::string StoreSettingsText(int stores, const std::string& absentFolder,
                                     bool withIds = true) {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<QEVConfiguration>\n";
  char id[64];
  for (int i = 0; i < stores; ++i) {
    std::snprintf(id, sizeof id, "%X-%X", 0x51E00000u + static_cast<unsigned>(i),
                  0xA0000u + static_cast<unsigned>(i));
    text += withIds ? "  <Store id=\"" + std::string(id) + "\">" : std::string("  <Store>");
    text += "\n    <dbFileName>" + absentFolder + "store" + std::to_string(i) +
            ".fdb</dbFileName>\n    <SyncState>3</SyncState>\n  </Store>\n";
  }
  return text + "</QEVConfiguration>\n";
}

}  // namespace kalinor::bench
