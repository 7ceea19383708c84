// XMLDocument as the settings classes use it: selecting, reading, extending
// and pruning a document by node path.
#include "xml/xml_document.h"

#include <gtest/gtest.h>

#include "xml_test_files.h"

namespace kalinor::testing {
namespace {

class XMLDocumentTest : public XmlFilesTest {
 protected:
  void SetUp() override { ASSERT_EQ(LoadBytes(document, kStoreSettings), S_OK); }

  XMLDocument document;
};

TEST_F(XMLDocumentTest, IndexStepsCountFromZeroAndEndAtTheLastSibling) {
  EXPECT_EQ(document.GetNodeAttribute(L"QEVConfiguration/Store[0]", L"id"), L"A1");
  EXPECT_EQ(document.GetNodeAttribute(L"QEVConfiguration/Store[1]", L"id"), L"B2");
  EXPECT_EQ(document.GetNodeText(L"QEVConfiguration/Store[1]/dbFileName"), L"b2.db");
  // Store[n] with n the number of Stores is past the end.
  EXPECT_FALSE(document.NodeExists(L"QEVConfiguration/Store[2]"));
  EXPECT_EQ(document.GetNodeAttribute(L"QEVConfiguration/Store[2]", L"id"), L"");
  EXPECT_EQ(document.GetChildNodeCount(L"QEVConfiguration/Store[2]"), -1);
  // A plain name selects the first match.
  EXPECT_EQ(document.GetNodeText(L"QEVConfiguration/Store/dbFileName"), L"a1.db");
}

TEST_F(XMLDocumentTest, AttributeTestsPickTheStoreWithThatId) {
  EXPECT_EQ(document.GetNodeText(L"QEVConfiguration/Store[@id=\"B2\"]/dbFileName"), L"b2.db");
  EXPECT_EQ(document.GetNodeText(L"QEVConfiguration/Store[@id='A1']/dbFileName"), L"a1.db");
  EXPECT_FALSE(document.NodeExists(L"QEVConfiguration/Store[@id=\"C3\"]"));
  EXPECT_FALSE(document.NodeExists(L"QEVConfiguration/Store[@id=\"b2\"]"));  // case counts
}

TEST_F(XMLDocumentTest, LeadingSlashesSelectFromTheDocument) {
  EXPECT_EQ(document.GetNodeText(L"/QEVConfiguration/General/PellucorURL"),
            L"https://archive.example/");
  EXPECT_EQ(document.GetNodeText(L"//PellucorURL"), L"https://archive.example/");
  EXPECT_EQ(document.GetNodeText(L"//dbFileName"), L"a1.db");  // first in document order
  EXPECT_FALSE(document.NodeExists(L"/General"));
}

TEST_F(XMLDocumentTest, PathsEndingAtAnAttributeOrTextSelectNoElement) {
  for (const wchar_t* path : {L"QEVConfiguration/Store/@id", L"QEVConfiguration/Store[1]/@id",
                              L"QEVConfiguration/Store/dbFileName/text()", L"/"}) {
    SCOPED_TRACE(platform::ToUtf8(path));
    EXPECT_FALSE(document.NodeExists(path));
    EXPECT_EQ(document.GetNodeText(path), L"");
    EXPECT_EQ(document.GetChildNodeCount(path), -1);
    EXPECT_EQ(document.RemoveNode(path), E_FAIL);
  }
  EXPECT_EQ(document.GetChildNodeCount(L"QEVConfiguration"), 3);
}

TEST_F(XMLDocumentTest, MalformedPathsSelectNothingAndChangeNothing) {
  for (const wchar_t* path :
       {L"", L"QEVConfiguration/", L"QEVConfiguration//", L"QEVConfiguration/Store[",
        L"QEVConfiguration/Store[@id=\"A1]", L"QEVConfiguration/Store[@id=\"A1\"",
        L"QEVConfiguration/Store[@id='A1\"]", L"QEVConfiguration/Store[-1]",
        L"QEVConfiguration/Store[x]", L"QEVConfiguration/Store foo", L"QEVConfiguration/1Store",
        L"QEVConfiguration/Store/unknown()", L"QEVConfiguration/Store]"}) {
    SCOPED_TRACE(platform::ToUtf8(path));
    EXPECT_FALSE(document.NodeExists(path));
    EXPECT_EQ(document.GetNodeText(path), L"");
    EXPECT_EQ(document.GetNodeAttribute(path, L"id"), L"");
    EXPECT_EQ(document.GetChildNodeCount(path), -1);
    EXPECT_EQ(document.RemoveNode(path), E_FAIL);
  }
  // An unclosed quote fails at the step that holds it, before creating it.
  EXPECT_EQ(document.SetNodeText(L"QEVConfiguration/Store[@id=\"C3]/dbFileName", L"x"), E_FAIL);
  EXPECT_EQ(document.GetChildNodeCount(L"QEVConfiguration"), 3);
}

TEST_F(XMLDocumentTest, AttributesThatAreMissingReadAsEmpty) {
  EXPECT_EQ(document.GetNodeAttribute(L"QEVConfiguration/Store[0]", L"dbFileName"), L"");
  EXPECT_EQ(document.GetNodeAttribute(L"QEVConfiguration/Store[0]", L""), L"");
  EXPECT_EQ(document.GetNodeAttribute(L"QEVConfiguration/Missing", L"id"), L"");
}

TEST_F(XMLDocumentTest, SetNodeTextReplacesTextAndChildElements) {
  EXPECT_EQ(document.SetNodeText(L"QEVConfiguration/General/PellucorURL", L""), S_OK);
  EXPECT_EQ(document.GetNodeText(L"QEVConfiguration/General/PellucorURL"), L"");
  EXPECT_EQ(document.GetChildNodeCount(L"QEVConfiguration/General/PellucorURL"), 0);

  EXPECT_EQ(document.SetNodeText(L"QEVConfiguration/Store[1]", L"flat"), S_OK);
  EXPECT_EQ(document.GetChildNodeCount(L"QEVConfiguration/Store[1]"), 1);
  EXPECT_FALSE(document.NodeExists(L"QEVConfiguration/Store[1]/dbFileName"));
  EXPECT_EQ(document.GetNodeText(L"QEVConfiguration/Store[1]"), L"flat");
  EXPECT_EQ(document.GetNodeAttribute(L"QEVConfiguration/Store[1]", L"id"), L"B2");
}

TEST_F(XMLDocumentTest, SetNodeTextAppendsAStoreWithANewIdAndFindsItTheSecondTime) {
  const std::wstring path = L"QEVConfiguration/Store[@id=\"C3\"]/dbFileName";
  EXPECT_EQ(document.SetNodeText(path, L"c3.db"), S_OK);
  EXPECT_EQ(document.GetChildNodeCount(L"QEVConfiguration"), 4);
  // The new Store is the root's last child, after General.
  EXPECT_EQ(document.GetNodeAttribute(L"QEVConfiguration/*[3]", L"id"), L"C3");
  EXPECT_EQ(document.GetNodeAttribute(L"QEVConfiguration/Store[2]", L"id"), L"C3");
  EXPECT_EQ(document.GetNodeText(L"QEVConfiguration/Store[2]/dbFileName"), L"c3.db");
  EXPECT_EQ(document.GetNodeText(L"QEVConfiguration/Store[0]/dbFileName"), L"a1.db");

  EXPECT_EQ(document.SetNodeText(path, L"c3-renamed.db"), S_OK);
  EXPECT_EQ(document.GetChildNodeCount(L"QEVConfiguration"), 4);
  EXPECT_EQ(document.GetChildNodeCount(L"QEVConfiguration/Store[2]"), 1);
  EXPECT_EQ(document.GetNodeText(path), L"c3-renamed.db");
}

TEST_F(XMLDocumentTest, SetNodeTextWithAStartingSlashCreatesTheSameElements) {
  EXPECT_EQ(document.SetNodeText(L"//QEVConfiguration/Extra/Key", L"1"), S_OK);
  EXPECT_EQ(document.SetNodeText(L"/QEVConfiguration/Extra/Other", L"2"), S_OK);
  EXPECT_EQ(document.GetChildNodeCount(L"QEVConfiguration"), 4);
  EXPECT_EQ(document.GetChildNodeCount(L"QEVConfiguration/Extra"), 2);
  EXPECT_EQ(document.GetNodeText(L"QEVConfiguration/Extra"), L"12");
}

TEST_F(XMLDocumentTest, SetNodeTextFailsOnAMissingIndexStepKeepingEarlierSteps) {
  EXPECT_EQ(document.SetNodeText(L"QEVConfiguration/Store[5]/dbFileName", L"x"), E_FAIL);
  EXPECT_EQ(document.GetChildNodeCount(L"QEVConfiguration"), 3);

  EXPECT_EQ(document.SetNodeText(L"QEVConfiguration/Added/Store[0]/dbFileName", L"x"), E_FAIL);
  EXPECT_TRUE(document.NodeExists(L"QEVConfiguration/Added"));
  EXPECT_EQ(document.GetChildNodeCount(L"QEVConfiguration/Added"), 0);
}

TEST_F(XMLDocumentTest, SetNodeTextCannotAddASecondRoot) {
  EXPECT_EQ(document.SetNodeText(L"Other/Key", L"v"), E_FAIL);
  EXPECT_FALSE(document.NodeExists(L"Other"));
  EXPECT_FALSE(document.NodeExists(L"//Key"));
}

TEST_F(XMLDocumentTest, SetNodeTextWithSpacedPredicateKeepsTheQuoteInTheValue) {
  // The character after "=" is dropped unread, here the space.
  EXPECT_EQ(document.SetNodeText(L"QEVConfiguration/Store[@id = \"C3\"]/dbFileName", L"x"), E_FAIL);
  EXPECT_EQ(document.GetNodeAttribute(L"QEVConfiguration/Store[2]", L"id"), L"\"C3");
  // So the path still selects nothing, and the text is not set.
  EXPECT_TRUE(document.NodeExists(L"QEVConfiguration/Store[2]/dbFileName"));
  EXPECT_EQ(document.GetChildNodeCount(L"QEVConfiguration/Store[2]/dbFileName"), 0);
}

TEST_F(XMLDocumentTest, RemoveNodeTakesOutTheElementAndItsSubtree) {
  EXPECT_EQ(document.RemoveNode(L"QEVConfiguration/Store[0]"), S_OK);
  EXPECT_EQ(document.GetChildNodeCount(L"QEVConfiguration"), 2);
  EXPECT_EQ(document.GetNodeAttribute(L"QEVConfiguration/Store[0]", L"id"), L"B2");
  EXPECT_FALSE(document.NodeExists(L"//Store[@id=\"A1\"]"));
  EXPECT_FALSE(document.NodeExists(L"//dbFileName[1]"));

  EXPECT_EQ(document.RemoveNode(L"QEVConfiguration/Store[@id=\"A1\"]"), E_FAIL);
  EXPECT_EQ(document.GetChildNodeCount(L"QEVConfiguration"), 2);
}

TEST_F(XMLDocumentTest, RemovingEveryStoreInALoopEmptiesTheList) {
  int removed = 0;
  while (document.NodeExists(L"QEVConfiguration/Store[0]") && removed < 10) {
    ASSERT_EQ(document.RemoveNode(L"QEVConfiguration/Store[0]"), S_OK);
    ++removed;
  }
  EXPECT_EQ(removed, 2);
  EXPECT_EQ(document.GetChildNodeCount(L"QEVConfiguration"), 1);
}

TEST_F(XMLDocumentTest, RemovingTheRootLeavesAnEmptyDocumentThatCanBeRebuilt) {
  EXPECT_EQ(document.RemoveNode(L"QEVConfiguration"), S_OK);
  EXPECT_FALSE(document.NodeExists(L"QEVConfiguration"));
  EXPECT_FALSE(document.NodeExists(L"//Store"));
  EXPECT_EQ(document.RemoveNode(L"QEVConfiguration"), E_FAIL);

  // The document is empty: the first step becomes the new root.
  EXPECT_EQ(document.SetNodeText(L"Other/Key", L"v"), S_OK);
  EXPECT_EQ(document.GetNodeText(L"Other/Key"), L"v");
}

TEST_F(XMLDocumentTest, OperationsAfterARemovedSubtreeStillWork) {
  ASSERT_EQ(document.RemoveNode(L"QEVConfiguration/General"), S_OK);
  EXPECT_EQ(document.SetNodeText(L"QEVConfiguration/General/PellucorURL", L"u"), S_OK);
  EXPECT_EQ(document.GetNodeText(L"QEVConfiguration/General/PellucorURL"), L"u");
  EXPECT_EQ(document.GetChildNodeCount(L"QEVConfiguration"), 3);
}

TEST_F(XmlFilesTest, ChildCountsIncludeCommentsAndInstructionsButNotLayoutSpace) {
  XMLDocument document;
  ASSERT_EQ(LoadBytes(document,
                      "<?xml version=\"1.0\"?>\n"
                      "<!-- before the root -->\n"
                      "<Root>\n"
                      "    <!-- a comment -->\n"
                      "    <?app do-something?>\n"
                      "    <A>text</A>\n"
                      "    <B/>\n"
                      "    <C>   </C>\n"
                      "    <D>mixed <b>bold</b> tail<![CDATA[ <raw> ]]></D>\n"
                      "</Root>\n"),
            S_OK);
  EXPECT_EQ(document.GetChildNodeCount(L"Root"), 6);
  EXPECT_EQ(document.GetChildNodeCount(L"Root/A"), 1);
  EXPECT_EQ(document.GetChildNodeCount(L"Root/B"), 0);
  EXPECT_EQ(document.GetChildNodeCount(L"Root/C"), 0);
  EXPECT_EQ(document.GetChildNodeCount(L"Root/D"), 4);
  EXPECT_EQ(document.GetNodeText(L"Root/D"), L"mixed bold tail <raw> ");
  EXPECT_EQ(document.GetNodeText(L"Root/C"), L"");
}

TEST_F(XmlFilesTest, TextIsReadUpToItsFirstNul) {
  XMLDocument document;
  ASSERT_EQ(LoadBytes(document, "<Root><A>a</A></Root>"), S_OK);
  EXPECT_EQ(document.SetNodeText(L"Root/A", std::wstring(L"left\0right", 10)), S_OK);
  EXPECT_EQ(document.GetNodeText(L"Root/A"), L"left");
}

}  // namespace
}  // namespace kalinor::testing
