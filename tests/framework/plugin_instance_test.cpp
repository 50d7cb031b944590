#include <gtest/gtest.h>

#include "plugin_host.h"
#include "plugin_instance.h"

namespace {

int g_exitCalls = 0;
int g_initCalls = 0;
REALobject g_lastHandle = nullptr;

// A constructor that, as a plug-in may, locks and unlocks its object before anyone holds it.
void CountingInit(REALobject self) {
  ++g_initCalls;
  g_lastHandle = self;
  fw::PluginInstance::FromHandle(self)->Retain();
  fw::PluginInstance::FromHandle(self)->Release();
}

// A destructor that, as a plug-in may, locks and unlocks its own object while it runs.
void CountingExit(REALobject self) {
  ++g_exitCalls;
  fw::PluginInstance::FromHandle(self)->Retain();
  fw::PluginInstance::FromHandle(self)->Release();
}

PropertyDefinition g_properties[] = {
    {0, "Value", "Integer", 6, reinterpret_cast<void*>(kPlainField),
     reinterpret_cast<void*>(kPlainField), 8, {}},
};
EventDefinition g_events[] = {{"Ping(x as integer)", 0}};
ClassDefinition g_probe = {kPluginInterfaceVersion, "ProbeZuv", nullptr, 16, 0, CountingInit,
                           CountingExit, g_properties, 1, nullptr, 0, g_events, 1, {}, 4, {}};

class Probe : public fw::PluginInstance {
 public:
  explicit Probe(const fw::ProgramClass* program = nullptr)
      : PluginInstance("ProbeZuv", reinterpret_cast<void*>(&CountingInit),
                       reinterpret_cast<void*>(&CountingExit), program) {}
  using PluginInstance::ClassData;
  using PluginInstance::Field32;
  using PluginInstance::SetField32;
};

void PingHandler(REALobject, int32_t) {}

class FrameworkPluginInstance : public ::testing::Test {
 protected:
  void SetUp() override {
    g_exitCalls = g_initCalls = 0;
    if (!fw::PluginHost::Instance().FindClass("ProbeZuv")) {
      fw::PluginHost::Instance().RegisterClass(&g_probe);
    }
  }
};

TEST_F(FrameworkPluginInstance, ClassDataIsZeroedAtTheOffsetTheHostWrote) {
  EXPECT_EQ(g_probe.dataOffset, fw::PluginHost::kDataOffset);
  fw::Ref<Probe> probe = fw::MakeRef<Probe>();
  EXPECT_EQ(g_initCalls, 1);
  EXPECT_EQ(g_lastHandle, probe->Handle());
  for (uint8_t byte : probe->ClassData()) EXPECT_EQ(byte, 0);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(probe->Handle()) % 16, 0u);
}

TEST_F(FrameworkPluginInstance, DestructorRunsOnceWhenTheLastReferenceGoes) {
  fw::Ref<Probe> first = fw::MakeRef<Probe>();
  fw::Ref<Probe> second = first;
  first.reset();
  EXPECT_EQ(g_exitCalls, 0);
  second.reset();
  EXPECT_EQ(g_exitCalls, 1);
}

TEST_F(FrameworkPluginInstance, PlainFieldsAreReadAtTheirOffsetWithinTheClassData) {
  fw::Ref<Probe> probe = fw::MakeRef<Probe>();
  const auto* cls = fw::PluginHost::Instance().FindClass("ProbeZuv");
  ASSERT_EQ(cls->PlainFieldOffset("Value"), 8);
  EXPECT_EQ(cls->PlainFieldOffset("Missing"), -1);
  probe->SetField32(8, -7);
  EXPECT_EQ(probe->ClassData()[8], 0xF9);
  EXPECT_EQ(probe->Field32(8), -7);
  probe->SetField32(14, 1);  // would end past the 16 bytes of class data
  EXPECT_EQ(probe->Field32(14), 0);
  EXPECT_EQ(probe->Field32(static_cast<size_t>(-1)), 0);
}

TEST_F(FrameworkPluginInstance, EventHandlerIsTheOneTheObjectsClassInstalled) {
  auto getEvent = reinterpret_cast<GetEventInstanceFn>(fw::PluginHost::LookupService("GetEventInstance"));
  ASSERT_NE(g_events[0].hostSlot, 0u);
  const fw::EventBinding bindings[] = {{"Ping", reinterpret_cast<void*>(&PingHandler)}};
  const fw::ProgramClass program{"MyProbe", bindings};
  fw::Ref<Probe> withHandler = fw::MakeRef<Probe>(&program);
  fw::Ref<Probe> without = fw::MakeRef<Probe>();
  EXPECT_EQ(getEvent(withHandler->Handle(), g_events[0].hostSlot), reinterpret_cast<void*>(&PingHandler));
  EXPECT_EQ(getEvent(without->Handle(), g_events[0].hostSlot), nullptr);
  EXPECT_EQ(getEvent(nullptr, g_events[0].hostSlot), nullptr);
}

TEST_F(FrameworkPluginInstance, LockKeepsTheObjectAliveUntilUnlock) {
  auto lock = reinterpret_cast<REALLockObjectFn>(fw::PluginHost::LookupService("REALLockObject"));
  auto unlock = reinterpret_cast<REALUnlockObjectFn>(fw::PluginHost::LookupService("REALUnlockObject"));
  fw::Ref<Probe> probe = fw::MakeRef<Probe>();
  REALobject handle = probe->Handle();
  lock(handle);
  probe.reset();
  EXPECT_EQ(g_exitCalls, 0);
  unlock(handle);
  EXPECT_EQ(g_exitCalls, 1);
}

TEST_F(FrameworkPluginInstance, AConstructorThatLocksItsObjectDoesNotDestroyIt) {
  fw::Ref<Probe> probe = fw::MakeRef<Probe>();
  EXPECT_EQ(probe->References(), 1);
  EXPECT_EQ(g_exitCalls, 0);
  probe.reset();
  EXPECT_EQ(g_exitCalls, 1);
}

TEST_F(FrameworkPluginInstance, RegisteringTheClassAgainKeepsLiveInstancesValid) {
  fw::Ref<Probe> probe = fw::MakeRef<Probe>();
  probe->SetField32(8, 41);
  const uintptr_t slot = g_events[0].hostSlot;
  fw::PluginHost::Instance().RegisterClass(&g_probe);  // a plug-in loaded a second time
  EXPECT_EQ(probe->Field32(8), 41);
  EXPECT_EQ(g_events[0].hostSlot, slot);
  EXPECT_EQ(fw::PluginHost::Instance().FindClass("ProbeZuv")->definition, &g_probe);
}

TEST(FrameworkPluginHost, DefinitionsThatCannotBeUsedSafelyAreRefusedWithAReason) {
  auto& host = fw::PluginHost::Instance();
  ClassDefinition oldVersion{};
  oldVersion.version = 8;
  oldVersion.name = "OldZuv";
  ClassDefinition huge{};
  huge.version = kPluginInterfaceVersion;
  huge.name = "HugeZuv";
  huge.dataSize = SIZE_MAX - 15;
  ClassDefinition noTable{};
  noTable.version = kPluginInterfaceVersion;
  noTable.name = "NoTableZuv";
  noTable.eventCount = 2;
  ClassDefinition impostor = g_probe;  // another record under a registered name
  for (ClassDefinition* d : {&oldVersion, &huge, &noTable}) host.RegisterClass(d);
  host.RegisterClass(&g_probe);
  host.RegisterClass(&impostor);
  EXPECT_EQ(host.FindClass("OldZuv"), nullptr);
  EXPECT_EQ(host.FindClass("HugeZuv"), nullptr);
  EXPECT_EQ(host.FindClass("NoTableZuv"), nullptr);
  EXPECT_EQ(host.FindClass("ProbeZuv")->definition, &g_probe);
  const std::vector<std::string> expected = {
      "class OldZuv rejected: interface version 8",
      "class HugeZuv rejected: class data of " + std::to_string(SIZE_MAX - 15) + " bytes",
      "class NoTableZuv rejected: a table with entries but no address",
      "class ProbeZuv rejected: registered twice"};
  EXPECT_EQ(host.Rejections(), expected);
}

}  // namespace
