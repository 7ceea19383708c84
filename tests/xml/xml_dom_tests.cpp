// The DOM primitives' contract, which every implementation (pugixml, MSXML)
// must keep: the node-path language with positions counted from 0, and the
// failures raised as _com_error.
#include "platform/xml_dom.h"

#include <gtest/gtest.h>

#include <functional>

#include "xml_test_files.h"

namespace kalinor::testing {
namespace {

using platform::DomNodeRef;

class DomTest : public XmlFilesTest {
 protected:
  void Load(std::string_view bytes) {
    ASSERT_TRUE(platform::LoadDomDocument(document, WriteFile(L"dom.xml", bytes)));
  }
  DomNodeRef Select(const std::wstring& query) {
    return platform::SelectSingleNode(platform::DocumentNode(document), query);
  }
  // The selected node's text, or "<none>".
  std::wstring TextOf(const std::wstring& query) {
    const DomNodeRef node = Select(query);
    return node ? platform::GetText(node) : L"<none>";
  }
  static HRESULT RaisedBy(const std::function<void()>& action) {
    try {
      action();
    } catch (const _com_error& error) {
      return error.Error();
    }
    return S_OK;
  }

  platform::DomDocumentRef document = platform::CreateDomDocument();
};

constexpr std::string_view kNested =
    "<R k=\"top\">"
    "<B>r0</B>"
    "<A id=\"a\" k=\"1\"><B>a0</B><B>a1</B><!--c--><?p x?>tail</A>"
    "<B>r1</B>"
    "<A id=\"b\"><A id=\"inner\"><B>i0</B></A></A>"
    "</R>";

TEST_F(DomTest, PositionsCountFromZeroAmongTheSiblingsThatMatch) {
  Load(kNested);
  EXPECT_EQ(TextOf(L"R/B[0]"), L"r0");
  EXPECT_EQ(TextOf(L"R/B[1]"), L"r1");
  EXPECT_EQ(TextOf(L"R/B[2]"), L"<none>");
  EXPECT_EQ(TextOf(L"R/A[1]/A/B"), L"i0");
  EXPECT_EQ(TextOf(L"R/A/B[1]"), L"a1");
  // A position applies per parent: the second B under any A.
  EXPECT_EQ(TextOf(L"R/A/B[1]"), L"a1");
  EXPECT_EQ(TextOf(L"//A/B[1]"), L"a1");
  EXPECT_EQ(TextOf(L"R/*[1]/B[0]"), L"a0");
  EXPECT_EQ(TextOf(L"R/A[@k=\"1\"][0]/B"), L"a0");
  EXPECT_EQ(TextOf(L"R/A[0][@k=\"2\"]"), L"<none>");
}

TEST_F(DomTest, DescendantStepsGiveTheFirstMatchInDocumentOrder) {
  Load(kNested);
  EXPECT_EQ(TextOf(L"//B"), L"r0");
  EXPECT_EQ(TextOf(L"//A//B"), L"a0");
  EXPECT_EQ(TextOf(L"//A[@id=\"inner\"]/B"), L"i0");
  EXPECT_EQ(TextOf(L"R//A[@id='inner']//B"), L"i0");
  EXPECT_EQ(TextOf(L"//A/A/B"), L"i0");
  // Per parent, the first B: R's r0 comes before A's a0.
  EXPECT_EQ(TextOf(L"//B[0]"), L"r0");
  EXPECT_EQ(TextOf(L"//*[@id]/B[1]"), L"a1");
}

TEST_F(DomTest, AttributeTestsCompareWholeValues) {
  Load(kNested);
  EXPECT_EQ(platform::GetAttribute(Select(L"R/A[@id=\"b\"]/A"), L"id"),
            std::optional<std::wstring>(L"inner"));
  EXPECT_EQ(platform::GetAttribute(Select(L"R/A[ @id = 'b' ]"), L"id"),
            std::optional<std::wstring>(L"b"));
  EXPECT_FALSE(Select(L"R/A[@id=\"\"]"));
  EXPECT_FALSE(Select(L"R/A[@id=\"B\"]"));
  EXPECT_FALSE(Select(L"R/A[@missing]"));
  EXPECT_TRUE(Select(L"R/A[@k]"));
}

TEST_F(DomTest, AttributeTextAndOtherStepsSelectNonElements) {
  Load(kNested);
  const DomNodeRef attribute = Select(L"R/A/@id");
  ASSERT_TRUE(attribute);
  EXPECT_FALSE(platform::IsElement(attribute));
  EXPECT_EQ(platform::GetText(attribute), L"a");
  EXPECT_FALSE(platform::ParentNode(attribute));

  const DomNodeRef text = Select(L"R/A/text()");
  ASSERT_TRUE(text);
  EXPECT_FALSE(platform::IsElement(text));
  EXPECT_EQ(platform::GetText(text), L"tail");

  EXPECT_EQ(TextOf(L"R/A/comment()"), L"c");
  EXPECT_EQ(TextOf(L"R/A/pi()"), L"x");
  EXPECT_EQ(TextOf(L"R/@*"), L"top");
  EXPECT_FALSE(platform::IsElement(Select(L"/")));
  EXPECT_TRUE(platform::IsElement(Select(L"R/A/B/..")));
  EXPECT_EQ(platform::GetAttribute(Select(L"R/A/B/.."), L"id"), std::optional<std::wstring>(L"a"));
  EXPECT_EQ(TextOf(L"R/B/."), L"r0");
  EXPECT_EQ(TextOf(L"R/A/@id/.."), L"a0a1tail");  // comments are no text
}

TEST_F(DomTest, SelectionsRelativeToAnElement) {
  Load(kNested);
  const DomNodeRef a = Select(L"R/A[1]");
  ASSERT_TRUE(a);
  EXPECT_EQ(platform::GetAttribute(platform::SelectSingleNode(a, L"A"), L"id"),
            std::optional<std::wstring>(L"inner"));
  EXPECT_FALSE(platform::SelectSingleNode(a, L"R"));
  EXPECT_TRUE(platform::SelectSingleNode(a, L"/R"));
  EXPECT_EQ(platform::GetText(platform::SelectSingleNode(a, L"//B")), L"r0");
}

TEST_F(DomTest, QueriesOutsideTheLanguageRaise) {
  Load(kNested);
  for (const wchar_t* query : {L"", L"R/", L"R//", L"R[", L"R[]", L"R[@]", L"R[@k=\"1]", L"R/foo()",
                               L"3R", L"R B", L"R/@", L"R[0", L"R]"}) {
    SCOPED_TRACE(platform::ToUtf8(query));
    EXPECT_EQ(RaisedBy([&] { Select(query); }), E_FAIL);
  }
}

TEST_F(DomTest, BuildingRaisesForWhatADocumentCannotHold) {
  Load("<R a=\"1\"/>");
  EXPECT_EQ(RaisedBy([&] { platform::CreateElement(document, L"Store[3]"); }), E_FAIL);
  EXPECT_EQ(RaisedBy([&] { platform::CreateElement(document, L""); }), E_FAIL);
  const DomNodeRef second = platform::CreateElement(document, L"Second");
  EXPECT_EQ(RaisedBy([&] { platform::AppendChild(platform::DocumentNode(document), second); }),
            E_FAIL);
  const DomNodeRef root = Select(L"R");
  EXPECT_EQ(RaisedBy([&] { platform::RemoveChild(root, root); }), E_INVALIDARG);
  EXPECT_EQ(RaisedBy([&] { platform::SetAttribute(root, L"a b", L"v"); }), E_FAIL);
  EXPECT_EQ(RaisedBy([&] { platform::SetText(platform::DocumentNode(document), L"x"); }), E_FAIL);
  EXPECT_EQ(RaisedBy([&] { platform::GetAttribute(Select(L"R/@a"), L"a"); }), E_FAIL);

  // The unattached element is still whole and can go below the root.
  platform::SetAttribute(second, L"k", L"v");
  platform::AppendChild(root, second);
  EXPECT_EQ(platform::GetAttribute(Select(L"R/Second"), L"k"), std::optional<std::wstring>(L"v"));
  EXPECT_EQ(platform::ChildNodeCount(root), 1);
}

TEST_F(DomTest, EmptyReferencesRaiseEPointer) {
  const DomNodeRef none;
  const platform::DomDocumentRef noDocument;
  EXPECT_EQ(RaisedBy([&] { platform::IsElement(none); }), E_POINTER);
  EXPECT_EQ(RaisedBy([&] { platform::SelectSingleNode(none, L"R"); }), E_POINTER);
  EXPECT_EQ(RaisedBy([&] { platform::GetText(none); }), E_POINTER);
  EXPECT_EQ(RaisedBy([&] { platform::ChildNodeCount(none); }), E_POINTER);
  EXPECT_EQ(RaisedBy([&] { platform::DocumentNode(noDocument); }), E_POINTER);
  EXPECT_EQ(RaisedBy([&] { platform::LoadDomDocument(noDocument, L"x.xml"); }), E_POINTER);
  EXPECT_EQ(RaisedBy([&] { platform::SaveDomDocument(noDocument, folder.File(L"x.xml")); }),
            E_POINTER);
}

TEST_F(DomTest, RemovedNodesAndElementsMadeButNeverAppendedLeaveNoTrace) {
  Load("<R><A/><B/></R>");
  for (int i = 0; i < 3; ++i) platform::CreateElement(document, L"Dropped");
  const DomNodeRef a = Select(L"R/A");
  platform::RemoveChild(Select(L"R"), a);
  const std::wstring saved = folder.File(L"saved.xml");
  platform::SaveDomDocument(document, saved);
  const std::string bytes = ReadBytes(saved).value_or("");
  EXPECT_EQ(bytes.find("Dropped"), std::string::npos);
  EXPECT_EQ(bytes.find("<A"), std::string::npos);
  EXPECT_NE(bytes.find("<B"), std::string::npos);
}

}  // namespace
}  // namespace kalinor::testing
