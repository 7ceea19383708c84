// Fuzz target: arbitrary bytes as an XML file, arbitrary node paths through
// every XMLDocument operation, the node-path helpers and the node-path parser.
//
// Input: the file's bytes, then optionally "\n%%\n" and one command a line:
// an operation letter, the node path, and after a tab the text or attribute
// name. Without commands a fixed set of paths runs through every operation.
//   e NodeExists   s SetNodeText   t GetNodeText   a GetNodeAttribute
//   c GetChildNodeCount   r RemoveNode   w Save and load back   l Load again
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"
#include "xml/node_path.h"
#include "xml/node_path_query.h"
#include "xml/xml_document.h"

namespace {

using kalinor::XMLDocument;

// A broken expectation: stop here so that libFuzzer reports the input.
void Check(bool holds) {
  if (!holds) __builtin_trap();
}

// A folder of its own for the files of one run, removed at exit.
class WorkFolderOwner {
 public:
  WorkFolderOwner() {
    std::random_device entropy;
    // Every save flushes to disk: in memory that costs nothing.
    std::error_code error;
    const std::filesystem::path memory = "/dev/shm";
    const auto base = std::filesystem::is_directory(memory, error)
                          ? memory
                          : std::filesystem::temp_directory_path();
    path = base / ("kalinor-fuzz-" + std::to_string(entropy()) + std::to_string(entropy()));
    std::filesystem::create_directories(path);
  }
  ~WorkFolderOwner() {
    std::error_code error;
    std::filesystem::remove_all(path, error);
  }
  std::filesystem::path path;
};

const std::filesystem::path& WorkFolder() {
  static const WorkFolderOwner folder;
  return folder.path;
}

std::wstring WidePath(const std::filesystem::path& path) {
  return kalinor::platform::FromUtf8(path.string());
}

std::wstring UpToFirstNul(std::wstring text) {
  const std::size_t nul = text.find(L'\0');
  if (nul != std::wstring::npos) text.resize(nul);
  return text;
}

// Element text is read with the white space at its ends trimmed, unless
// xml:space="preserve" applies: compared without it, it reads back as set.
std::wstring WithoutEndBlanks(const std::wstring& text) {
  const wchar_t* const blanks = L" \t\r\n";
  const std::size_t begin = text.find_first_not_of(blanks);
  if (begin == std::wstring::npos) return std::wstring();
  return text.substr(begin, text.find_last_not_of(blanks) - begin + 1);
}

void CheckPathHelpers(const std::wstring& path) {
  std::vector<std::wstring> names;
  std::vector<std::wstring> predicates;
  kalinor::SplitNodePath(path, names, predicates);
  Check(names.size() == predicates.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    Check(!names[i].empty() && names[i].find(L'/') == std::wstring::npos);
    Check(names[i].find(L"[@") == std::wstring::npos);
    Check(predicates[i].empty() || predicates[i].rfind(L"[@", 0) == 0);
    for (const auto& [name, value] : kalinor::PredicateAttributes(predicates[i]))
      Check(!name.empty());
  }
  kalinor::PredicateAttributes(path);
  kalinor::ParseNodePath(path);
}

// Setting an element's text replaces its children, so a path that climbs
// back out of a step ("r/b/..") selects nothing once the text is set.
bool ClimbsBack(const std::wstring& path) {
  const std::optional<kalinor::NodePath> parsed = kalinor::ParseNodePath(path);
  if (!parsed) return false;
  for (const kalinor::NodePathStep& step : parsed->steps)
    if (step.axis == kalinor::NodePathStep::Axis::Parent) return true;
  return false;
}

struct Command {
  char operation;
  std::wstring path;
  std::wstring argument;
};

std::vector<Command> ParseCommands(std::string_view text) {
  std::vector<Command> commands;
  while (!text.empty() && commands.size() < 32) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty()) continue;
    Command command{line[0], L"", L""};
    line.remove_prefix(1);
    const std::size_t tab = line.find('\t');
    command.path = kalinor::platform::FromUtf8(line.substr(0, tab));
    if (tab != std::string_view::npos)
      command.argument = kalinor::platform::FromUtf8(line.substr(tab + 1));
    commands.push_back(std::move(command));
  }
  return commands;
}

std::vector<Command> DefaultCommands() {
  const wchar_t* const paths[] = {
      L"/",
      L"*",
      L"//*",
      L"*/*[0]",
      L"*/*[1]/*",
      L"//*[@id]",
      L"*/@id",
      L"*/text()",
      L"//*[@id=\"1\"]",
      L"a/b[@id=\"n\"]/c",
      L"*/*[9]/x",
      L"Root/New",
      L"/*/New[@k=\"v\"][@j=\"w\"]",
  };
  std::vector<Command> commands;
  for (const wchar_t* path : paths)
    for (char operation : {'e', 't', 'a', 'c', 's', 'w', 'r', 'w'})
      commands.push_back({operation, path, L"id"});
  return commands;
}

void SaveAndLoadBack(XMLDocument& document) {
  const std::wstring saved = WidePath(WorkFolder() / "saved.xml");
  const bool hadRoot = document.GetChildNodeCount(L"/*") >= 0;
  if (document.Save(saved) != S_OK) return;
  // What was saved with a root element must load again.
  XMLDocument reloaded;
  Check(reloaded.Load(saved) == S_OK || !hadRoot);
}

void Run(XMLDocument& document, const Command& command, const std::wstring& input) {
  CheckPathHelpers(command.path);
  switch (command.operation) {
    case 'e':
      document.NodeExists(command.path);
      break;
    case 's': {
      const HRESULT result = document.SetNodeText(command.path, command.argument);
      Check(result == S_OK || result == E_FAIL);
      if (result == S_OK && !ClimbsBack(command.path)) {
        Check(document.NodeExists(command.path));
        Check(WithoutEndBlanks(document.GetNodeText(command.path)) ==
              WithoutEndBlanks(UpToFirstNul(command.argument)));
      }
      break;
    }
    case 't':
      document.GetNodeText(command.path);
      break;
    case 'a':
      document.GetNodeAttribute(command.path, command.argument);
      break;
    case 'c':
      Check(document.GetChildNodeCount(command.path) >= -1);
      break;
    case 'r': {
      const bool existed = document.NodeExists(command.path);
      Check((document.RemoveNode(command.path) == S_OK) == existed);
      break;
    }
    case 'w':
      SaveAndLoadBack(document);
      break;
    // Either load may fail: the step only has to leave a document the next
    // steps can use, which they check.
    case 'l':
      (void)document.Load(input);
      break;
    default:
      (void)document.Load(WidePath(WorkFolder() / "missing.xml"));
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t separator = bytes.find("\n%%\n");
  const std::string_view file = bytes.substr(0, separator);

  const std::filesystem::path inputPath = WorkFolder() / "input.xml";
  {
    std::ofstream out(inputPath, std::ios::binary | std::ios::trunc);
    out.write(file.data(), static_cast<std::streamsize>(file.size()));
  }
  const std::wstring input = WidePath(inputPath);

  XMLDocument document;
  const HRESULT loaded = document.Load(input);
  if (loaded != S_OK) Check(loaded == E_FAIL && !document.NodeExists(L"/*"));

  const std::vector<Command> commands = separator == std::string_view::npos
                                            ? DefaultCommands()
                                            : ParseCommands(bytes.substr(separator + 4));
  for (const Command& command : commands) Run(document, command, input);
  return 0;
}
