// Sample documents and file helpers shared by the XML test suites.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "platform/text.h"
#include "support/temp_folder.h"
#include "xml/xml_document.h"

namespace kalinor::testing {

/// A store settings file as the connector writes it, indented.
inline constexpr std::string_view kStoreSettings =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<QEVConfiguration>\n"
    "  <Store id=\"A1\">\n"
    "    <dbFileName>a1.db</dbFileName>\n"
    "  </Store>\n"
    "  <Store id=\"B2\">\n"
    "    <dbFileName>b2.db</dbFileName>\n"
    "  </Store>\n"
    "  <General>\n"
    "    <PellucorURL>https://archive.example/</PellucorURL>\n"
    "  </General>\n"
    "</QEVConfiguration>\n";

/// Text as UTF-16 bytes, little- or big-endian, without byte-order mark.
std::string Utf16Bytes(std::wstring_view text, bool bigEndian);

/// A fixture with a temporary folder and files in it.
class XmlFilesTest : public ::testing::Test {
 protected:
  /// Writes bytes to the named file in the folder and returns its path.
  std::wstring WriteFile(std::wstring_view name, std::string_view bytes);
  /// Loads bytes (written to a file first) into document; the Load result.
  HRESULT LoadBytes(XMLDocument& document, std::string_view bytes);

  TempFolder folder;
};

}  // namespace kalinor::testing
