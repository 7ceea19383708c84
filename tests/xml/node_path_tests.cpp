// Splitting node paths into steps and reading the attributes of a step's
// predicate, character for character.
#include "xml/node_path.h"

#include <gtest/gtest.h>

#include "xml/node_path_query.h"
#include "xml_test_files.h"

namespace kalinor::testing {
namespace {

struct Split {
  std::vector<std::wstring> names;
  std::vector<std::wstring> predicates;
};

Split SplitOf(const std::wstring& path) {
  Split split{{L"stale"}, {L"stale"}};
  SplitNodePath(path, split.names, split.predicates);
  return split;
}

using Strings = std::vector<std::wstring>;

TEST(SplitNodePath, SplitsStepsAndTakesPredicatesFromTheFirstAttributeTest) {
  Split split = SplitOf(L"QEVConfiguration/Store[@id=\"A1\"]/dbFileName");
  EXPECT_EQ(split.names, (Strings{L"QEVConfiguration", L"Store", L"dbFileName"}));
  EXPECT_EQ(split.predicates, (Strings{L"", L"[@id=\"A1\"]", L""}));

  // An index is no attribute test: it stays in the name.
  split = SplitOf(L"QEVConfiguration/Store[3]/dbFileName");
  EXPECT_EQ(split.names, (Strings{L"QEVConfiguration", L"Store[3]", L"dbFileName"}));
  EXPECT_EQ(split.predicates, (Strings{L"", L"", L""}));

  split = SplitOf(L"A/B[0][@x=\"1\"][@y=\"2\"]");
  EXPECT_EQ(split.names, (Strings{L"A", L"B[0]"}));
  EXPECT_EQ(split.predicates, (Strings{L"", L"[@x=\"1\"][@y=\"2\"]"}));
}

TEST(SplitNodePath, DropsLeadingSlashesAndEmptySteps) {
  const Strings names{L"A", L"B"};
  EXPECT_EQ(SplitOf(L"/A/B").names, names);
  EXPECT_EQ(SplitOf(L"//A/B").names, names);
  EXPECT_EQ(SplitOf(L"A//B/").names, names);
  EXPECT_EQ(SplitOf(L"A/B///").names, names);
  // Only two leading slashes are skipped; the third gives an empty step.
  EXPECT_EQ(SplitOf(L"///A/B").names, names);
  EXPECT_EQ(SplitOf(L"A//B").predicates, (Strings{L"", L""}));
}

TEST(SplitNodePath, EmptyPathsAndNamelessStepsGiveNothing) {
  for (const wchar_t* path : {L"", L"/", L"//", L"///", L"[@id=\"A1\"]", L"/[@id=\"x\"]/"}) {
    SCOPED_TRACE(platform::ToUtf8(path));
    const Split split = SplitOf(path);
    EXPECT_TRUE(split.names.empty());
    EXPECT_TRUE(split.predicates.empty());
  }
  // A nameless step is dropped with its predicate; the others stay paired.
  const Split split = SplitOf(L"A/[@id=\"x\"]/B[@k=\"v\"]");
  EXPECT_EQ(split.names, (Strings{L"A", L"B"}));
  EXPECT_EQ(split.predicates, (Strings{L"", L"[@k=\"v\"]"}));
}

TEST(SplitNodePath, ASlashInsideAQuotedValueEndsTheStep) {
  const Split split = SplitOf(L"Q/Store[@id=\"a/b\"]/db");
  EXPECT_EQ(split.names, (Strings{L"Q", L"Store", L"b\"]", L"db"}));
  EXPECT_EQ(split.predicates, (Strings{L"", L"[@id=\"a", L"", L""}));
}

using Pairs = std::vector<std::pair<std::wstring, std::wstring>>;

TEST(PredicateAttributes, ReadsTheCallersFormAndSeveralGroups) {
  EXPECT_EQ(PredicateAttributes(L"[@id=\"A1\"]"), (Pairs{{L"id", L"A1"}}));
  EXPECT_EQ(PredicateAttributes(L"[@id=\"A1\"][@name=\"Archive 2\"]"),
            (Pairs{{L"id", L"A1"}, {L"name", L"Archive 2"}}));
  EXPECT_EQ(PredicateAttributes(L"[@id=\"\"]"), (Pairs{{L"id", L""}}));
  EXPECT_EQ(PredicateAttributes(L"[@id=\"a=b\"]"), (Pairs{{L"id", L"a=b"}}));
}

TEST(PredicateAttributes, DropsFourCharactersUnreadAndTrimsOnlyTheName) {
  // The space after "=" is the character dropped, so the quote stays.
  EXPECT_EQ(PredicateAttributes(L"[@id = \"A1\"]"), (Pairs{{L"id", L"\"A1"}}));
  EXPECT_EQ(PredicateAttributes(L"[@  id\t=\"A1 \"]"), (Pairs{{L"id", L"A1 "}}));
  // Whatever the second and next-to-last characters are, they are dropped.
  EXPECT_EQ(PredicateAttributes(L"[xid='A1']"), (Pairs{{L"id", L"A1"}}));
  EXPECT_EQ(PredicateAttributes(L"[@id=\"A1]"), (Pairs{{L"id", L"A"}}));
}

TEST(PredicateAttributes, IndexesAndTestsWithoutValueSetNothing) {
  for (const wchar_t* predicate : {L"", L"[2]", L"[12]", L"[@id]", L"[@=\"x\"]", L"[@ =\"x\"]",
                                   L"[]", L"[@id=\"x\"", L"no brackets", L"]["}) {
    SCOPED_TRACE(platform::ToUtf8(predicate));
    EXPECT_TRUE(PredicateAttributes(predicate).empty());
  }
  EXPECT_EQ(PredicateAttributes(L"[3][@k=\"v\"]"), (Pairs{{L"k", L"v"}}));
}

class SetPredicateAttributesTest : public XmlFilesTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::LoadDomDocument(document, WriteFile(L"d.xml", "<Root><E/></Root>")));
    element =
        SelectFirst(DomReader(), platform::DocumentNode(document), *ParseNodePath(L"Root/E")).node;
    ASSERT_TRUE(element);
  }

  platform::DomDocumentRef document = platform::CreateDomDocument();
  platform::DomNodeRef element;
};

TEST_F(SetPredicateAttributesTest, SetsEachAttributeOnTheElement) {
  EXPECT_EQ(SetPredicateAttributes(element, L"[@id=\"A1\"][@id=\"A2\"][@k=\"v\"]"), S_OK);
  EXPECT_EQ(platform::GetAttribute(element, L"id"), std::optional<std::wstring>(L"A2"));
  EXPECT_EQ(platform::GetAttribute(element, L"k"), std::optional<std::wstring>(L"v"));
  EXPECT_EQ(SetPredicateAttributes(element, L""), S_OK);
}

TEST_F(SetPredicateAttributesTest, AnInvalidNameRaisesAfterTheEarlierAttributesWereSet) {
  try {
    SetPredicateAttributes(element, L"[@k=\"v\"][@bad name=\"x\"]");
    ADD_FAILURE() << "no _com_error";
  } catch (const _com_error& error) {
    EXPECT_TRUE(FAILED(error.Error()));
  }
  EXPECT_EQ(platform::GetAttribute(element, L"k"), std::optional<std::wstring>(L"v"));
}

}  // namespace
}  // namespace kalinor::testing
