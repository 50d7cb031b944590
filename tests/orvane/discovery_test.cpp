// Walking the HID devices and reading the current one's identity, through the entry table,
// the real plug-in and the OS layer.
#include <string_view>

#include "orvane_test_support.h"
#include "plugin_decls/entry_points.h"
#include "plugin_host.h"

namespace orvanetest {
namespace {

class OrvaneDiscovery : public OrvaneTest {};

TEST_F(OrvaneDiscovery, RegistersTheClassAsTheProgramDeclaresIt) {
  const fw::RegisteredClass* cls = fw::PluginHost::Instance().FindClass("OrvaneZuv");
  ASSERT_NE(cls, nullptr);
  const ClassDefinition& definition = *cls->definition;
  EXPECT_EQ(definition.version, 9u);
  EXPECT_EQ(cls->DataSize(), sizeof(orvane::OrvaneData));
  EXPECT_EQ(definition.methodCount, 16u);
  EXPECT_EQ(definition.flags, 4u);
  ASSERT_EQ(definition.propertyCount, 2u);
  EXPECT_STREQ(definition.properties[0].name, "Lasterror");
  EXPECT_STREQ(definition.properties[1].name, "TimeOut");
  EXPECT_EQ(cls->PlainFieldOffset("Lasterror"), 4);
  EXPECT_EQ(cls->PlainFieldOffset("TimeOut"), 0);
  ASSERT_EQ(definition.eventCount, 2u);
  EXPECT_STREQ(definition.events[0].declaration, "ReceivedData(data as string, size as integer)");
  EXPECT_STREQ(definition.events[1].declaration, "DeviceRemoved(result as integer)");

  for (size_t i = static_cast<size_t>(fw::Entry::OrvaneInit);
       i <= static_cast<size_t>(fw::Entry::OrvaneSendMessageWithReportID); ++i) {
    EXPECT_NE(fw::EntryPoint(static_cast<fw::Entry>(i)), nullptr) << fw::kEntryDeclarations[i];
  }
  // Destroying an instance does more than Close: its queued events go too.
  EXPECT_NE(fw::EntryPoint(fw::Entry::OrvaneExit), fw::EntryPoint(fw::Entry::OrvaneClose));

  auto device = fw::MakeRef<RecordingDevice>();
  EXPECT_EQ(device->TimeOut(), 500);
  EXPECT_EQ(device->Lasterror(), 0);
}

TEST_F(OrvaneDiscovery, WithoutAnyDeviceTheWalkEndsAtOnceAndLetsGoOfItsIterator) {
  auto device = fw::MakeRef<RecordingDevice>();
  EXPECT_FALSE(device->FindFirstDevice());
  EXPECT_EQ(device->Lasterror(), -1);
  // The exhausted iterator stays until the next step of the walk finds nothing.
  EXPECT_NE(device->Data().deviceIterator, 0u);
  EXPECT_FALSE(device->FindNextDevice());
  EXPECT_EQ(device->Data().deviceIterator, 0u);
  EXPECT_FALSE(device->FindNextDevice());
  EXPECT_EQ(device->Lasterror(), -1);
}

TEST_F(OrvaneDiscovery, WalksEveryDeviceWithLasterrorAsTheTableSays) {
  devsim::Options firstOptions = SimulatorOptions(folders.virtualDir(), "a", 0x1234, 0x5678);
  firstOptions.versionNumber = 0x0102;
  firstOptions.serialNumber = "SN-1";
  devsim::Options secondOptions = SimulatorOptions(folders.virtualDir(), "b", 0x1235, 0x5679);
  secondOptions.manufacturer = "Other";
  secondOptions.product = "Second";
  auto first = StartSimulator(firstOptions);
  auto second = StartSimulator(secondOptions);

  auto device = fw::MakeRef<RecordingDevice>();
  device->SetLasterror(5);
  ASSERT_TRUE(device->FindFirstDevice());
  EXPECT_EQ(device->Lasterror(), -1);  // even though a device was found
  EXPECT_EQ(device->VendorID(), 0x1234);
  EXPECT_EQ(device->Lasterror(), 0);
  EXPECT_EQ(device->ProductID(), 0x5678);
  EXPECT_EQ(device->VersionNumber(), 0x0102);
  EXPECT_EQ(device->Manufacturer(), "Trovak");
  EXPECT_EQ(device->Product(), "Trovak Bootloader");
  EXPECT_EQ(device->SerialNumber(), "SN-1");
  EXPECT_EQ(device->Lasterror(), 0);

  device->SetLasterror(7);
  ASSERT_TRUE(device->FindNextDevice());
  EXPECT_EQ(device->Lasterror(), 7);  // the walk's next step leaves it alone
  EXPECT_EQ(device->VendorID(), 0x1235);
  EXPECT_EQ(device->ProductID(), 0x5679);
  EXPECT_EQ(device->Manufacturer(), "Other");
  EXPECT_EQ(device->Product(), "Second");

  device->SetLasterror(7);
  EXPECT_FALSE(device->FindNextDevice());
  EXPECT_EQ(device->Lasterror(), 7);
  EXPECT_EQ(device->Data().deviceIterator, 0u);

  // A new walk starts from the first device again.
  ASSERT_TRUE(device->FindFirstDevice());
  EXPECT_EQ(device->VendorID(), 0x1234);
}

TEST_F(OrvaneDiscovery, GettersTellAMissingKeyFromAnEmptyText) {
  FakeVirtualDevice fake(folders.virtualDir(), "fake",
                         {{"ProductID", "22136"}, {"Product", "Ger\xC3\xA4t"}, {"SerialNumber", ""}});
  auto device = fw::MakeRef<RecordingDevice>();
  ASSERT_TRUE(device->FindFirstDevice());

  EXPECT_EQ(device->SerialNumber(), "");
  EXPECT_EQ(device->Lasterror(), 0);  // the key is there, its text is empty
  EXPECT_EQ(device->Manufacturer(), "");
  EXPECT_EQ(device->Lasterror(), -1);  // no such key
  EXPECT_EQ(device->Product(), "Ger\xC3\xA4t");
  EXPECT_EQ(device->Lasterror(), 0);

  EXPECT_EQ(device->VendorID(), 0);
  EXPECT_EQ(device->Lasterror(), -1);
  EXPECT_EQ(device->ProductID(), 22136);
  EXPECT_EQ(device->Lasterror(), 0);
  EXPECT_EQ(device->VersionNumber(), 0);
  EXPECT_EQ(device->Lasterror(), -1);
}

TEST_F(OrvaneDiscovery, GettersWithoutACurrentDeviceFindNothing) {
  auto device = fw::MakeRef<RecordingDevice>();
  const auto expectNothing = [&](auto read, auto nothing) {
    device->SetLasterror(0);
    EXPECT_EQ(read(), nothing);
    EXPECT_EQ(device->Lasterror(), -1);
  };
  expectNothing([&] { return device->Product(); }, std::string());
  expectNothing([&] { return device->SerialNumber(); }, std::string());
  expectNothing([&] { return device->Manufacturer(); }, std::string());
  expectNothing([&] { return device->ProductID(); }, 0);
  expectNothing([&] { return device->VendorID(); }, 0);
  expectNothing([&] { return device->VersionNumber(); }, 0);
}

}  // namespace
}  // namespace orvanetest
