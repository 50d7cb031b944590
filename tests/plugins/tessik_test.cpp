// The real Tessik library, loaded by the real host and called through the entry-point table.
#include <gtest/gtest.h>

#include "host_string.h"
#include "plugin_decls/entry_points.h"
#include "plugin_decls/tessik_zuv.h"
#include "plugin_host.h"

namespace {

class TessikPlugin : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    auto failures = fw::PluginHost::Instance().LoadPlugins(fw::ExecutableFolder(), {"Tessik"});
    ASSERT_TRUE(failures.empty()) << failures.front().reason;
    fw::InitPluginEntrypoints();
  }
};

TEST_F(TessikPlugin, RegistersTheClassAsDeclared) {
  const fw::RegisteredClass* cls = fw::PluginHost::Instance().FindClass("TessikZuv");
  ASSERT_NE(cls, nullptr);
  EXPECT_EQ(cls->definition->version, 9u);
  EXPECT_EQ(cls->DataSize(), 2112u);
  EXPECT_EQ(cls->definition->methodCount, 19u);
  EXPECT_EQ(cls->definition->propertyCount, 10u);
  EXPECT_EQ(cls->definition->eventCount, 0u);
  EXPECT_EQ(cls->definition->flags, 4u);
  const std::pair<const char*, long> fields[] = {
      {"Lasterror", 0},  {"ReadHandle", 4},  {"WriteHandle", 8},
      {"PnPHandle", 12}, {"HidHandle", 16},  {"ThreadHandle", 28},
      {"InputReportByteLength", 36}, {"OutputReportByteLength", 40},
      {"FeatureReportByteLength", 44}};
  for (auto [name, offset] : fields) EXPECT_EQ(cls->PlainFieldOffset(name), offset) << name;
  EXPECT_EQ(cls->PlainFieldOffset("LasterrorString"), -1);  // computed, read-only
  // The destructor is the Close method itself.
  EXPECT_EQ(fw::EntryPoint(fw::Entry::TessikExit), fw::EntryPoint(fw::Entry::TessikClose));
}

TEST_F(TessikPlugin, EveryTessikEntryResolvesInTableOrder) {
  for (size_t i = static_cast<size_t>(fw::Entry::TessikInit); i < fw::kEntryCount; ++i) {
    EXPECT_NE(fw::EntryPoint(static_cast<fw::Entry>(i)), nullptr) << fw::kEntryDeclarations[i];
  }
}

TEST_F(TessikPlugin, EveryMethodBehavesAsTheStubBuildSays) {
  const size_t stringsBefore = fw::LiveHostStrings();
  auto device = fw::MakeRef<fw::TessikZuv>();
  EXPECT_EQ(device->Lasterror(), 0);
  EXPECT_EQ(device->DevicePath(), "");  // a new instance
  EXPECT_EQ(device->Lasterror(), 0);

  device->SetLasterror(5);
  EXPECT_EQ(device->PollString(), "");
  EXPECT_FALSE(device->PollMemory());
  device->Close();
  EXPECT_FALSE(device->FindNextDevice());
  EXPECT_FALSE(device->InstallListener(64));
  EXPECT_EQ(device->LasterrorString(), "");
  EXPECT_EQ(device->Lasterror(), 5);  // none of these touch it

  EXPECT_FALSE(device->FindFirstDevice());
  EXPECT_EQ(device->Lasterror(), -1);
  EXPECT_FALSE(device->FindNextDevice());
  EXPECT_EQ(device->Lasterror(), -1);

  auto expectMinusOne = [&](auto call) {
    device->SetLasterror(0);
    call();
    EXPECT_EQ(device->Lasterror(), -1);
  };
  expectMinusOne([&] { EXPECT_EQ(device->Product(), ""); });
  expectMinusOne([&] { EXPECT_EQ(device->Manufacturer(), ""); });
  expectMinusOne([&] { EXPECT_EQ(device->SerialNumber(), ""); });
  expectMinusOne([&] { EXPECT_EQ(device->ProductID(), 0); });
  expectMinusOne([&] { EXPECT_EQ(device->VendorID(), 0); });
  expectMinusOne([&] { EXPECT_EQ(device->VersionNumber(), 0); });
  expectMinusOne([&] { EXPECT_EQ(device->SendMessageMemory(fw::NewMemoryBlock(64), 0, 64), 0); });
  expectMinusOne([&] { EXPECT_EQ(device->SendMessage("abc"), 0); });
  expectMinusOne([&] { EXPECT_EQ(device->ReadMessage(64), ""); });
  expectMinusOne([&] { EXPECT_FALSE(device->ReadMessageMemory(64)); });

  EXPECT_FALSE(device->Connect());
  EXPECT_EQ(device->Lasterror(), -1);
  device->Disconnect();  // after a failed Connect
  EXPECT_EQ(device->Lasterror(), 0);

  for (int32_t value : {device->ReadHandle(), device->WriteHandle(), device->PnPHandle(),
                        device->HidHandle(), device->ThreadHandle(), device->InputReportByteLength(),
                        device->OutputReportByteLength(), device->FeatureReportByteLength()}) {
    EXPECT_EQ(value, 0);
  }
  device.reset();
  EXPECT_EQ(fw::LiveHostStrings(), stringsBefore);
}

}  // namespace
