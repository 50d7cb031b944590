// The plug-in side of the interface, driven through a lookup function the test controls, and
// through the real host's services.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "host_string.h"
#include "plugin_frame.h"
#include "plugin_host.h"

namespace plugin {
void PluginSetup() {}
}  // namespace plugin

namespace {

std::map<std::string, int> g_lookups;
std::set<std::string> g_missing;
ClassDefinition* g_registered = nullptr;
std::vector<uintptr_t> g_announcedVersions;

void FakeRegisterClass(ClassDefinition* definition) { g_registered = definition; }
void FakeRegisterVersion(uintptr_t version) { g_announcedVersions.push_back(version); }

// Answers from the real host, except for the services a test has taken away.
void* ControlledLookup(const char* name) {
  ++g_lookups[name];
  if (g_missing.count(name)) return nullptr;
  if (std::string(name) == "PluginRegisterClass") return reinterpret_cast<void*>(&FakeRegisterClass);
  if (std::string(name) == "RegisterPluginVersion") return reinterpret_cast<void*>(&FakeRegisterVersion);
  return fw::PluginHost::LookupService(name);
}

class PluginFrame : public ::testing::Test {
 protected:
  void SetUp() override {
    g_lookups.clear();
    g_missing.clear();
    g_registered = nullptr;
    REALPluginMain(&ControlledLookup);
    g_lookups.clear();
  }
};

TEST_F(PluginFrame, NilOrEmptyBytesGiveNilWithoutAnyServiceCall) {
  EXPECT_EQ(plugin::BuildHostString(nullptr, 5, kEncodingUTF8), nullptr);
  EXPECT_EQ(plugin::BuildHostString("abc", 0, kEncodingUTF16), nullptr);
  EXPECT_EQ(plugin::HostStringFromUTF16({}), nullptr);
  EXPECT_EQ(plugin::HostStringFromUTF16(std::u16string_view(u"\0abc", 4)), nullptr);
  EXPECT_TRUE(g_lookups.empty());
}

TEST_F(PluginFrame, Utf16ReachesTheHostAsUtf8AndTheIntermediateIsReleased) {
  const size_t before = fw::LiveHostStrings();
  REALstring s = plugin::HostStringFromUTF16(std::u16string_view(u"Ger\u00e4t"));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(fw::HostStringBytes(s), "Ger\xC3\xA4t");
  EXPECT_EQ(fw::HostStringEncoding(s), kEncodingUTF8);
  EXPECT_EQ(fw::LiveHostStrings(), before + 1);
  fw::ReleaseHostString(s);
  EXPECT_EQ(fw::LiveHostStrings(), before);
}

TEST_F(PluginFrame, Utf16TextWithoutAZeroUnitEndsWithItsBuffer) {
  const char16_t full[3] = {u'a', u'b', u'c'};
  REALstring s = plugin::HostStringFromUTF16(full);
  EXPECT_EQ(fw::HostStringBytes(s), "abc");
  fw::ReleaseHostString(s);
}

TEST_F(PluginFrame, Utf32IsConvertedAndOtherEncodingsKeepTheirBytes) {
  const char32_t text[] = U"\u00e4";
  REALstring utf8 = plugin::BuildHostString(text, 4, kEncodingUTF32);
  EXPECT_EQ(fw::HostStringBytes(utf8), "\xC3\xA4");
  REALstring raw = plugin::BuildHostString("\x00\xFF", 2, kEncodingUnknown);
  EXPECT_EQ(fw::HostStringBytes(raw), std::string("\x00\xFF", 2));
  EXPECT_EQ(fw::HostStringEncoding(raw), kEncodingUnknown);
  fw::ReleaseHostString(utf8);
  fw::ReleaseHostString(raw);
}

TEST_F(PluginFrame, RegisterClassDefinitionRoundsTheDataSizeUpToSixteen) {
  ClassDefinition definition{};
  for (auto [size, registered] : {std::pair<uintptr_t, uintptr_t>{1092, 1104}, {2108, 2112},
                                  {1104, 1104}, {0, 0}, {1, 16}}) {
    definition.dataSize = size;
    plugin::RegisterClassDefinition(&definition);
    EXPECT_EQ(definition.dataSize, registered) << size;
    EXPECT_EQ(g_registered, &definition);
  }
}

TEST_F(PluginFrame, MissingServiceGivesItsFallbackAndIsLookedUpAgain) {
  g_missing = {"REALBuildString", "REALinRuntime", "GetEventInstance", "PluginRegisterClass"};
  EXPECT_EQ(plugin::BuildHostString("abc", 3, kEncodingUTF8), nullptr);
  EXPECT_FALSE(plugin::REALinRuntime());
  EXPECT_EQ(plugin::GetEventInstance(nullptr, 0), nullptr);
  ClassDefinition definition{};
  plugin::RegisterClassDefinition(&definition);
  EXPECT_EQ(g_registered, nullptr);
  EXPECT_EQ(plugin::BuildHostString("abc", 3, kEncodingUTF8), nullptr);
  EXPECT_EQ(g_lookups["REALBuildString"], 2);

  g_missing.clear();
  REALstring s = plugin::BuildHostString("abc", 3, kEncodingUTF8);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(fw::HostStringBytes(s), "abc");
  EXPECT_TRUE(plugin::REALinRuntime());
  // Once resolved, a service is cached.
  fw::ReleaseHostString(plugin::BuildHostString("d", 1, kEncodingUTF8));
  EXPECT_EQ(g_lookups["REALBuildString"], 3);
  fw::ReleaseHostString(s);
}

TEST_F(PluginFrame, EntryPointAnnouncesTheVersionAndQueriesTheHost) {
  g_lookups.clear();
  g_announcedVersions.clear();
  REALPluginMain(&ControlledLookup);
  EXPECT_EQ(g_announcedVersions, std::vector<uintptr_t>{9});
  EXPECT_EQ(g_lookups["REALGetHostVersion"], 1);
}

}  // namespace
