// The stand-in's profile store format on its own: its XML.
#include <gtest/gtest.h>

#include <string>

#include "standin/mapi/profile_store.h"

namespace kalinor::mapi_standin {
namespace {

MAPIUID UidOf(const char* hex) {
  MAPIUID uid{};
  EXPECT_TRUE(ParseMapiUid(hex, uid)) << hex;
  return uid;
}

TEST(ProfileStoreFormat, ReadsProfilesAndServicesInDocumentOrder) {
  const char* xml =
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!-- kept by hand -->\n"
      "<Profiles>\n"
      "  <Profile name='Outlook' default=\"TRUE\">\n"
      "    <!-- two services -->\n"
      "    <Service name=\"A\" displayName=\"First\" uid=\"000102030405060708090A0B0C0D0E0F\" "
      "configured=\"true\"/>\n"
      "    <Service name=\"B\" uid=\"ffffffffffffffffffffffffffffffff\"></Service>\n"
      "  </Profile>\n"
      "  <Profile default=\"true\" />\n"
      "  <Profile name=\"Other\" default=\"false\"></Profile>\n"
      "</Profiles>\n<!-- end -->\n";
  ProfileStore store;
  ASSERT_TRUE(ParseProfileStore(xml, store));
  ASSERT_EQ(store.profiles.size(), 3u);
  EXPECT_EQ(store.profiles[0].name, L"Outlook");
  EXPECT_TRUE(store.profiles[0].is_default);
  EXPECT_FALSE(store.profiles[1].name.has_value());
  EXPECT_TRUE(store.profiles[1].is_default);
  EXPECT_EQ(store.profiles[2].name, L"Other");
  EXPECT_FALSE(store.profiles[2].is_default);
  const auto& services = store.profiles[0].services;
  ASSERT_EQ(services.size(), 2u);
  EXPECT_EQ(services[0].name, L"A");
  EXPECT_EQ(services[0].display_name, L"First");
  EXPECT_TRUE(services[0].configured);
  EXPECT_EQ(FormatMapiUid(services[0].uid), "000102030405060708090a0b0c0d0e0f");
  EXPECT_EQ(services[1].name, L"B");
  EXPECT_FALSE(services[1].display_name.has_value());
  EXPECT_FALSE(services[1].configured);
}

TEST(ProfileStoreFormat, WrittenStoreReadsBackUnchanged) {
  ProfileStore store;
  store.profiles.resize(2);  // the second: unnamed, not default, no services
  StoredProfile& awkward = store.profiles[0];
  awkward.name = L"Tom & \"Jerry\" <'x'>\tline\nnext";
  awkward.is_default = true;
  StoredService& service = awkward.services.emplace_back();
  service.name = L"Z\u00FCrich\u20AC\U0001F600";
  service.display_name = L"";
  service.uid = UidOf("0123456789abcdef0123456789abcdef");
  service.configured = true;

  ProfileStore read;
  ASSERT_TRUE(ParseProfileStore(SerializeProfileStore(store), read));
  ASSERT_EQ(read.profiles.size(), 2u);
  EXPECT_EQ(read.profiles[0].name, awkward.name);
  EXPECT_TRUE(read.profiles[0].is_default);
  ASSERT_EQ(read.profiles[0].services.size(), 1u);
  EXPECT_EQ(read.profiles[0].services[0].name, service.name);
  EXPECT_EQ(read.profiles[0].services[0].display_name, std::wstring());
  EXPECT_EQ(FormatMapiUid(read.profiles[0].services[0].uid), "0123456789abcdef0123456789abcdef");
  EXPECT_TRUE(read.profiles[0].services[0].configured);
  EXPECT_FALSE(read.profiles[1].name.has_value());
  EXPECT_FALSE(read.profiles[1].is_default);
  EXPECT_TRUE(read.profiles[1].services.empty());
}

TEST(ProfileStoreFormat, DecodesCharacterReferencesAndNormalizesBreaks) {
  ProfileStore store;
  ASSERT_TRUE(ParseProfileStore("<Profiles><Profile name=\"a&#65;&#x42;&lt;\r\nb\tc\"/></Profiles>",
                                store));
  EXPECT_EQ(store.profiles.at(0).name, L"aAB< b c");
}

class MalformedProfileStore : public ::testing::TestWithParam<const char*> {};

TEST_P(MalformedProfileStore, IsRefused) {
  ProfileStore store;
  EXPECT_FALSE(ParseProfileStore(GetParam(), store));
  EXPECT_TRUE(store.profiles.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, MalformedProfileStore,
    ::testing::Values(
        "", "   ", "<Profiles>", "<Profiles></Profile>",
        "<Profiles><Profile name=\"a\"></Profiles>", "<Profiles/><Profiles/>",
        "<Profiles/>trailing", "<Other/>",
        "<Profiles><Service uid=\"0123456789abcdef0123456789abcdef\"/></Profiles>",
        "<Profiles><Profile><Profile/></Profile></Profiles>", "<Profiles>text</Profiles>",
        "<Profiles><!-- open </Profiles>", "<?xml version='1.0'", "<!DOCTYPE Profiles><Profiles/>",
        "<Profiles><![CDATA[x]]></Profiles>",
        "<Profiles><Profile name=\"a\" name=\"b\"/></Profiles>",
        "<Profiles><Profile name=\"a&bogus;\"/></Profiles>",
        "<Profiles><Profile name=\"a&amp\"/></Profiles>",
        "<Profiles><Profile name=\"&#0;\"/></Profiles>",
        "<Profiles><Profile name=\"a\x01\"/></Profiles>",
        "<Profiles><Profile name=\"&#xD800;\"/></Profiles>",
        "<Profiles><Profile name=\"a<b\"/></Profiles>", "<Profiles><Profile name=\"a/></Profiles>",
        "<Profiles><Profile name=a/></Profiles>",
        "<Profiles><Profile name=\"a\"default=\"true\"/></Profiles>",
        "<Profiles><Profile><Service name=\"x\"/></Profile></Profiles>",
        "<Profiles><Profile><Service uid=\"0123\"/></Profile></Profiles>",
        "<Profiles><Profile><Service "
        "uid=\"0123456789abcdef0123456789abcdeg\"/></Profile></Profiles>",
        "<Profiles><Profile><Service uid=\"0123456789abcdef0123456789abcdef\">x</Service>"
        "</Profile></Profiles>",
        // Unknown elements are kept, but must be well-formed and hold no known one.
        "<Profiles><Extra><Profile/></Extra></Profiles>", "<Profiles><Extra></Profiles>",
        "<Profiles><Extra>a &bogus; b</Extra></Profiles>", "<Profiles><Extra><!-- x</Extra>",
        "<Profiles><Extra a=\"1\" a=\"2\"/></Profiles>"));

}  // namespace
}  // namespace kalinor::mapi_standin
