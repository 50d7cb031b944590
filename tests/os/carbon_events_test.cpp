#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <thread>
#include <vector>

#include "os/carbon_events.h"
#include "os/event_loop.h"
#include "os/run_loop.h"
#include "test_support.h"
#include "wait_time.h"

namespace {

using namespace ostest;
using Clock = std::chrono::steady_clock;

constexpr OSType kTestClass = OSFourCharCode("Test");
constexpr OSType kOtherClass = OSFourCharCode("Othr");
constexpr EventParamName kOrderParameter = OSFourCharCode("Ordr");

EventRef makeEvent(OSType eventClass, UInt32 kind, UInt32 order = 0) {
  EventRef event = nullptr;
  EXPECT_EQ(CreateEvent(kCFAllocatorDefault, eventClass, kind, GetCurrentEventTime(), kEventAttributeNone, &event), noErr);
  SetEventParameter(event, kOrderParameter, typeUInt32, sizeof order, &order);
  return event;
}

UInt32 orderOf(EventRef event) {
  UInt32 order = 0;
  GetEventParameter(event, kOrderParameter, typeUInt32, nullptr, sizeof order, nullptr, &order);
  return order;
}

void post(EventRef event, EventPriority priority = kEventPriorityLow) {
  ASSERT_EQ(PostEventToQueue(GetMainEventQueue(), event, priority), noErr);
  ReleaseEvent(event);
}

// A handler that notes which events reached it and answers as told.
struct Recorder {
  std::vector<UInt32> seen;
  OSStatus answer = noErr;
  bool callNext = false;

  static OSStatus handle(EventHandlerCallRef next, EventRef event, void* userData) {
    auto* self = static_cast<Recorder*>(userData);
    self->seen.push_back(orderOf(event));
    if (self->callNext) return CallNextEventHandler(next, event);
    return self->answer;
  }
};

// Installs a recorder for the given types and removes it again.
class InstalledRecorder {
 public:
  explicit InstalledRecorder(std::vector<EventTypeSpec> types) {
    EXPECT_EQ(InstallEventHandler(GetApplicationEventTarget(), &Recorder::handle, types.size(), types.data(),
                                  &recorder, &handler_),
              noErr);
  }
  ~InstalledRecorder() { RemoveEventHandler(handler_); }
  Recorder recorder;

 private:
  EventHandlerRef handler_ = nullptr;
};

TEST(OsCarbonEvents, HigherPriorityFirstThenPostOrder) {
  InstalledRecorder installed({{kTestClass, 1}});
  post(makeEvent(kTestClass, 1, 10));
  post(makeEvent(kTestClass, 1, 11));
  post(makeEvent(kTestClass, 1, 12), kEventPriorityHigh);
  post(makeEvent(kTestClass, 1, 13));
  EXPECT_EQ(GetNumEventsInQueue(GetMainEventQueue()), 4u);

  EXPECT_TRUE(OSRunEventLoopOnce(0));
  EXPECT_EQ(installed.recorder.seen, (std::vector<UInt32>{12, 10, 11, 13}));
  EXPECT_EQ(GetNumEventsInQueue(GetMainEventQueue()), 0u);
}

TEST(OsCarbonEvents, HandlersGetOnlyTheirTypesAndUnhandledEventsAreReleased) {
  InstalledRecorder kindOne({{kTestClass, 1}});
  InstalledRecorder kindTwo({{kTestClass, 2}, {kOtherClass, 2}});
  EventRef nobodys = makeEvent(kOtherClass, 1, 3);
  RetainEvent(nobodys);  // to watch it being released by the loop
  post(makeEvent(kTestClass, 1, 1));
  post(makeEvent(kTestClass, 2, 2));
  post(nobodys);
  post(makeEvent(kOtherClass, 2, 4));

  OSRunEventLoopOnce(0);
  EXPECT_EQ(kindOne.recorder.seen, (std::vector<UInt32>{1}));
  EXPECT_EQ(kindTwo.recorder.seen, (std::vector<UInt32>{2, 4}));
  EXPECT_EQ(GetEventRetainCount(nobodys), 1u) << "the queue let go of the event nobody handled";
  ReleaseEvent(nobodys);
}

TEST(OsCarbonEvents, NewestHandlerRunsFirstAndCanPassTheEventOn) {
  InstalledRecorder older({{kTestClass, 1}});
  InstalledRecorder newer({{kTestClass, 1}});
  newer.recorder.callNext = true;
  post(makeEvent(kTestClass, 1, 1));
  OSRunEventLoopOnce(0);
  EXPECT_EQ(newer.recorder.seen, (std::vector<UInt32>{1}));
  EXPECT_EQ(older.recorder.seen, (std::vector<UInt32>{1}));

  // Answering "not handled" passes it on as well; answering noErr stops it.
  newer.recorder.callNext = false;
  newer.recorder.answer = eventNotHandledErr;
  post(makeEvent(kTestClass, 1, 2));
  OSRunEventLoopOnce(0);
  EXPECT_EQ(older.recorder.seen, (std::vector<UInt32>{1, 2}));
  newer.recorder.answer = noErr;
  post(makeEvent(kTestClass, 1, 3));
  OSRunEventLoopOnce(0);
  EXPECT_EQ(older.recorder.seen, (std::vector<UInt32>{1, 2}));
}

TEST(OsCarbonEvents, CallNextWithoutAnOlderHandlerIsNotHandled) {
  static OSStatus nextResult = noErr;
  const EventTypeSpec type{kTestClass, 7};
  EventHandlerRef handler = nullptr;
  InstallEventHandler(
      GetApplicationEventTarget(),
      [](EventHandlerCallRef next, EventRef event, void*) -> OSStatus {
        nextResult = CallNextEventHandler(next, event);
        return noErr;
      },
      1, &type, nullptr, &handler);
  post(makeEvent(kTestClass, 7));
  OSRunEventLoopOnce(0);
  EXPECT_EQ(nextResult, eventNotHandledErr);
  EXPECT_EQ(RemoveEventHandler(handler), noErr);
  EXPECT_EQ(RemoveEventHandler(handler), paramErr);
}

TEST(OsCarbonEvents, FlushRemovesWhatTheFilterPicksAndKeepsWhatItPosts) {
  InstalledRecorder installed({{kTestClass, 1}});
  for (UInt32 order : {1u, 2u, 1u, 3u}) post(makeEvent(kTestClass, 1, order));
  // A filter may post; enough posts that the queue has to grow while the filter runs.
  struct Filter {
    int calls = 0;
    UInt32 nextPosted = 100;
    static Boolean dropOnesAndPost(EventRef event, void* data) {
      auto* self = static_cast<Filter*>(data);
      ++self->calls;
      for (int i = 0; i < 100; ++i) post(makeEvent(kTestClass, 1, self->nextPosted++));
      return orderOf(event) == 1;
    }
  } filter;
  EXPECT_EQ(FlushSpecificEventsFromQueue(GetMainEventQueue(), &Filter::dropOnesAndPost, &filter), noErr);
  EXPECT_EQ(filter.calls, 4) << "the filter sees every queued event once, and none it posted";
  EXPECT_EQ(GetNumEventsInQueue(GetMainEventQueue()), 2u + 400u);

  OSRunEventLoopOnce(0);
  std::vector<UInt32> expected{2, 3};
  for (UInt32 order = 100; order < 500; ++order) expected.push_back(order);
  EXPECT_EQ(installed.recorder.seen, expected) << "kept events first, then the posted ones in post order";
}

TEST(OsCarbonEvents, APassDispatchesOnlyWhatWasQueuedWhenItBegan) {
  struct Poster {
    std::vector<UInt32> seen;
    static OSStatus handle(EventHandlerCallRef, EventRef event, void* userData) {
      auto* self = static_cast<Poster*>(userData);
      self->seen.push_back(orderOf(event));
      if (orderOf(event) == 1) post(makeEvent(kTestClass, 1, 3), kEventPriorityHigh);
      return noErr;
    }
  } poster;
  const EventTypeSpec type{kTestClass, 1};
  EventHandlerRef handler = nullptr;
  ASSERT_EQ(InstallEventHandler(GetApplicationEventTarget(), &Poster::handle, 1, &type, &poster, &handler), noErr);
  post(makeEvent(kTestClass, 1, 1));
  post(makeEvent(kTestClass, 1, 2));

  EXPECT_TRUE(OSRunEventLoopOnce(0));
  EXPECT_EQ(poster.seen, (std::vector<UInt32>{1, 2})) << "the high-priority event posted meanwhile waits";
  EXPECT_TRUE(OSRunEventLoopOnce(0));
  EXPECT_EQ(poster.seen, (std::vector<UInt32>{1, 2, 3}));
  RemoveEventHandler(handler);
}

TEST(OsCarbonEvents, ParametersKeepTheirTypeAndSize) {
  EventRef event = makeEvent(kTestClass, 1);
  const UInt32 size = 64;
  void* pointer = &event;
  SetEventParameter(event, OSFourCharCode("Size"), typeUInt32, sizeof size, &size);
  SetEventParameter(event, OSFourCharCode("Data"), typeVoidPtr, sizeof pointer, &pointer);

  void* readPointer = nullptr;
  ByteCount actualSize = 0;
  EXPECT_EQ(GetEventParameter(event, OSFourCharCode("Data"), typeVoidPtr, nullptr, sizeof readPointer, &actualSize,
                              &readPointer),
            noErr);
  EXPECT_EQ(readPointer, pointer);
  EXPECT_EQ(actualSize, sizeof(void*));

  UInt32 small = 0;
  EXPECT_EQ(GetEventParameter(event, OSFourCharCode("Data"), typeVoidPtr, nullptr, sizeof small, nullptr, &small),
            paramErr)
      << "a pointer does not fit in four bytes on this machine";
  EXPECT_EQ(GetEventParameter(event, OSFourCharCode("Size"), typeVoidPtr, nullptr, sizeof small, nullptr, &small),
            errAECoercionFail);
  EventParamType actualType = 0;
  EXPECT_EQ(GetEventParameter(event, OSFourCharCode("Size"), typeWildCard, &actualType, sizeof small, nullptr, &small),
            noErr);
  EXPECT_EQ(actualType, typeUInt32);
  EXPECT_EQ(small, 64u);
  EXPECT_EQ(GetEventParameter(event, OSFourCharCode("Inst"), typeUInt32, nullptr, sizeof small, nullptr, &small),
            eventParameterNotFoundErr);
  EXPECT_EQ(GetEventClass(event), kTestClass);
  EXPECT_EQ(GetEventKind(event), 1u);
  ReleaseEvent(event);
}

TEST(OsCarbonEvents, AnEventIsQueuedOnlyOnce) {
  EventRef event = makeEvent(kTestClass, 1);
  EXPECT_EQ(PostEventToQueue(GetMainEventQueue(), event, kEventPriorityStandard), noErr);
  EXPECT_EQ(PostEventToQueue(GetMainEventQueue(), event, kEventPriorityStandard), eventAlreadyPostedErr);
  ReleaseEvent(event);
  OSRunEventLoopOnce(0);
  EXPECT_EQ(GetNumEventsInQueue(GetMainEventQueue()), 0u);
}

TEST(OsEventLoop, DescriptorSourceRunsWhileInTheRunLoop) {
  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  struct Counter {
    int calls = 0;
  } counter;
  CFRunLoopSourceRef source = OSRunLoopSourceCreateForDescriptor(
      pipeEnds[0],
      [](int descriptor, short, void* info) {
        char byte = 0;
        EXPECT_EQ(::read(descriptor, &byte, 1), 1);
        ++static_cast<Counter*>(info)->calls;
      },
      &counter);
  ASSERT_EQ(::write(pipeEnds[1], "x", 1), 1);
  OSRunEventLoopOnce(0);
  EXPECT_EQ(counter.calls, 0) << "not in the run loop yet";

  CFRunLoopAddSource(CFRunLoopGetCurrent(), source, kCFRunLoopDefaultMode);
  CFRunLoopAddSource(CFRunLoopGetCurrent(), source, kCFRunLoopDefaultMode);
  EXPECT_TRUE(OSRunEventLoopOnce(1.0));
  EXPECT_EQ(counter.calls, 1) << "added twice, held once";
  EXPECT_FALSE(OSRunEventLoopOnce(0)) << "nothing left to read";

  CFRunLoopRemoveSource(CFRunLoopGetCurrent(), source, kCFRunLoopDefaultMode);
  EXPECT_FALSE(CFRunLoopContainsSource(CFRunLoopGetCurrent(), source, kCFRunLoopDefaultMode));
  ASSERT_EQ(::write(pipeEnds[1], "y", 1), 1);
  OSRunEventLoopOnce(0);
  EXPECT_EQ(counter.calls, 1);
  CFRelease(source);
  ::close(pipeEnds[0]);
  ::close(pipeEnds[1]);
}

TEST(OsEventLoop, AWaitThatIsNoNumberIsNoWait) {
  const auto start = Clock::now();
  EXPECT_FALSE(OSRunEventLoopOnce(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_FALSE(OSRunEventLoopOnce(-1.0));
  EXPECT_LT(Clock::now() - start, 1s);
}

TEST(OsEventLoop, WaitTimesBecomeWholeSecondsAndNanoseconds) {
  using os::runloop::waitTimeFrom;
  const auto asPair = [](const timespec& time) { return std::pair<long, long>(time.tv_sec, time.tv_nsec); };
  EXPECT_EQ(asPair(waitTimeFrom(1.25)), (std::pair<long, long>{1, 250'000'000}));
  EXPECT_EQ(asPair(waitTimeFrom(0.0)), (std::pair<long, long>{0, 0}));
  EXPECT_EQ(asPair(waitTimeFrom(-3.0)), (std::pair<long, long>{0, 0}));
  EXPECT_EQ(asPair(waitTimeFrom(std::numeric_limits<double>::quiet_NaN())), (std::pair<long, long>{0, 0}));
  EXPECT_EQ(asPair(waitTimeFrom(std::numeric_limits<double>::infinity())), (std::pair<long, long>{86400, 0}))
      << "capped at a day";
}

TEST(OsEventLoop, IdleWaitNextEventSleepsAboutAMillisecond) {
  EventRecord record{};
  record.what = 99;
  constexpr int kPasses = 20;
  const auto start = Clock::now();
  for (int i = 0; i < kPasses; ++i) EXPECT_FALSE(WaitNextEvent(0, &record, 0, nullptr));
  const auto elapsed = Clock::now() - start;
  EXPECT_EQ(record.what, nullEvent);
  // Each pass sleeps in the kernel (no spinning) but only for about a millisecond.
  EXPECT_GE(elapsed, kPasses * 900us);
  EXPECT_LT(elapsed, kPasses * 25ms);
}

// The plug-in's way: the IOKit report call-back copies the report into an event and posts
// it; the event's handler runs during WaitNextEvent.
struct ReportBridge {
  Bytes buffer = Bytes(64);
  std::vector<Bytes> delivered;

  static constexpr OSType kClass = OSFourCharCode("ZuvH");
  static constexpr UInt32 kReportKind = OSFourCharCode("HIDe");

  static void onReport(void* target, IOReturn, void*, void*, UInt32 size) {
    auto* self = static_cast<ReportBridge*>(target);
    auto* copy = static_cast<std::uint8_t*>(std::calloc(1, size == 0 ? 1 : size));
    std::memcpy(copy, self->buffer.data(), size);
    EventRef event = nullptr;
    CreateEvent(kCFAllocatorDefault, kClass, kReportKind, GetCurrentEventTime(), kEventAttributeNone, &event);
    SetEventParameter(event, OSFourCharCode("Data"), typeVoidPtr, sizeof copy, &copy);
    SetEventParameter(event, OSFourCharCode("Size"), typeUInt32, sizeof size, &size);
    SetEventParameter(event, OSFourCharCode("Inst"), typeVoidPtr, sizeof target, &target);
    PostEventToQueue(GetMainEventQueue(), event, kEventPriorityLow);
    ReleaseEvent(event);
  }

  static OSStatus handle(EventHandlerCallRef, EventRef event, void*) {
    std::uint8_t* data = nullptr;
    UInt32 size = 0;
    void* instance = nullptr;
    GetEventParameter(event, OSFourCharCode("Data"), typeVoidPtr, nullptr, sizeof data, nullptr, &data);
    GetEventParameter(event, OSFourCharCode("Size"), typeUInt32, nullptr, sizeof size, nullptr, &size);
    GetEventParameter(event, OSFourCharCode("Inst"), typeVoidPtr, nullptr, sizeof instance, nullptr, &instance);
    static_cast<ReportBridge*>(instance)->delivered.emplace_back(data, data + size);
    std::free(data);
    return noErr;
  }
};

class OsWaitNextEvent : public ::testing::Test {
 protected:
  void SetUp() override {
    const EventTypeSpec type{ReportBridge::kClass, ReportBridge::kReportKind};
    ASSERT_EQ(InstallEventHandler(GetApplicationEventTarget(), &ReportBridge::handle, 1, &type, nullptr, &handler_),
              noErr);
    MatchedDevices devices;
    ASSERT_EQ(devices.size(), 1u);
    const ConnectedDevice& connected = connected_.emplace(devices[0]);
    ASSERT_EQ(connected.openResult(), kIOReturnSuccess);
    ASSERT_EQ(connected.eventSourceResult(), kIOReturnSuccess);
    // The bridge takes the reports instead of the connection's own collecting call-back.
    IOHIDDeviceInterface** device = connected.device();
    ASSERT_EQ((*device)->setInterruptReportHandlerCallback(device, bridge_.buffer.data(), 64, &ReportBridge::onReport,
                                                          &bridge_, nullptr),
              kIOReturnSuccess);
    ASSERT_TRUE(fake_.AcceptHost());
  }

  void TearDown() override { RemoveEventHandler(handler_); }

  IsolatedDevices isolated_;
  FakeVirtualDevice fake_{isolated_.virtualDir(), "bootloader", {{"VendorID", "4660"}, {"ProductID", "22136"}}};
  ReportBridge bridge_;
  EventHandlerRef handler_ = nullptr;
  std::optional<ConnectedDevice> connected_;
};

TEST_F(OsWaitNextEvent, DispatchesTheEventAReportCallbackPosted) {
  fake_.SendDatagram({0, 2, 56, 1});
  fake_.SendDatagram({0, 7, 0, 0});
  EventRecord record{};
  const auto deadline = Clock::now() + 5s;
  while (bridge_.delivered.size() < 2 && Clock::now() < deadline) WaitNextEvent(0, &record, 0, nullptr);
  EXPECT_EQ(bridge_.delivered, (std::vector<Bytes>{{2, 56, 1}, {7, 0, 0}}));
}

TEST_F(OsWaitNextEvent, LongSleepEndsAsSoonAsAReportArrives) {
  std::thread device([this] { fake_.SendDatagram({0, 2}); });
  EventRecord record{};
  const auto start = Clock::now();
  // Ten seconds of allowed sleep; the report must cut it short. A second pass dispatches
  // the posted event in case the report came in after the first pass looked.
  const auto deadline = start + 5s;
  while (bridge_.delivered.empty() && Clock::now() < deadline) WaitNextEvent(0, &record, 600, nullptr);
  const auto elapsed = Clock::now() - start;
  device.join();
  EXPECT_EQ(bridge_.delivered, (std::vector<Bytes>{{2}}));
  EXPECT_LT(elapsed, 2s);
}

}  // namespace
