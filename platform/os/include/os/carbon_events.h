// Carbon-style events: reference-counted event objects with typed parameters, the main event
// queue, handlers on the application target, and WaitNextEvent, which runs one pass of the
// event loop. Main thread only.
#pragma once

#include "os/core_foundation.h"
#include "os/export.h"
#include "os/mac_types.h"

extern "C" {

struct OSEventObject;
struct OSEventQueue;
struct OSEventTarget;
struct OSEventHandler;
struct OSEventHandlerCall;
typedef OSEventObject* EventRef;
typedef OSEventQueue* EventQueueRef;
typedef OSEventTarget* EventTargetRef;
typedef OSEventHandler* EventHandlerRef;
typedef OSEventHandlerCall* EventHandlerCallRef;

typedef double EventTime;  // seconds
typedef UInt32 EventAttributes;
typedef OSType EventParamName;
typedef OSType EventParamType;
typedef SInt16 EventPriority;

constexpr EventAttributes kEventAttributeNone = 0;
constexpr EventPriority kEventPriorityLow = 0;
constexpr EventPriority kEventPriorityStandard = 1;
constexpr EventPriority kEventPriorityHigh = 2;

constexpr EventParamType typeUInt32 = OSFourCharCode("magn");
constexpr EventParamType typeVoidPtr = OSFourCharCode("void");
constexpr EventParamType typeWildCard = OSFourCharCode("****");

constexpr OSStatus eventAlreadyPostedErr = -9860;
constexpr OSStatus eventParameterNotFoundErr = -9870;
constexpr OSStatus eventNotHandledErr = -9874;
constexpr OSStatus errAECoercionFail = -1700;

struct EventTypeSpec {
  OSType eventClass;
  UInt32 eventKind;
};

typedef OSStatus (*EventHandlerUPP)(EventHandlerCallRef nextHandler, EventRef event, void* userData);
typedef Boolean (*EventComparatorUPP)(EventRef event, void* compareData);

// ---- Events ----
// A `when` of 0 stands for now.
OS_API OSStatus CreateEvent(CFAllocatorRef allocator, OSType eventClass, UInt32 kind, EventTime when,
                            EventAttributes flags, EventRef* event);
OS_API EventRef RetainEvent(EventRef event);
OS_API void ReleaseEvent(EventRef event);
OS_API ItemCount GetEventRetainCount(EventRef event);
OS_API OSType GetEventClass(EventRef event);
OS_API UInt32 GetEventKind(EventRef event);
// Seconds on a clock that only moves forward.
OS_API EventTime GetCurrentEventTime(void);

// Stores a copy of `size` bytes under `name`, replacing an earlier value.
OS_API OSStatus SetEventParameter(EventRef event, EventParamName name, EventParamType type,
                                  ByteCount size, const void* data);
// eventParameterNotFoundErr when absent, errAECoercionFail when stored with another type
// (typeWildCard takes any), paramErr when `bufferSize` is smaller than the value. A null
// `data` only reports the type and size.
OS_API OSStatus GetEventParameter(EventRef event, EventParamName name, EventParamType desiredType,
                                  EventParamType* actualType, ByteCount bufferSize,
                                  ByteCount* actualSize, void* data);

// ---- The main queue ----
OS_API EventQueueRef GetMainEventQueue(void);
// The queue retains the event until it is dispatched or flushed. Higher priorities leave
// first; one priority leaves in post order.
OS_API OSStatus PostEventToQueue(EventQueueRef queue, EventRef event, EventPriority priority);
// Removes (and releases) every queued event for which `filter` answers true.
OS_API OSStatus FlushSpecificEventsFromQueue(EventQueueRef queue, EventComparatorUPP filter,
                                             void* compareData);
OS_API ItemCount GetNumEventsInQueue(EventQueueRef queue);

// ---- Handlers ----
OS_API EventTargetRef GetApplicationEventTarget(void);
// The handler installed last runs first. A handler that returns eventNotHandledErr passes
// the event on to the one installed before it, as CallNextEventHandler does.
OS_API OSStatus InstallEventHandler(EventTargetRef target, EventHandlerUPP handler, ItemCount typeCount,
                                   const EventTypeSpec* types, void* userData,
                                   EventHandlerRef* handlerRef);
OS_API OSStatus RemoveEventHandler(EventHandlerRef handlerRef);
// Runs the handlers installed before the current one; eventNotHandledErr when none takes it.
OS_API OSStatus CallNextEventHandler(EventHandlerCallRef callRef, EventRef event);

// ---- WaitNextEvent ----
typedef UInt16 EventMask;
typedef UInt16 EventKind;
typedef UInt16 EventModifiers;
constexpr EventKind nullEvent = 0;

// Named apart from QuickDraw's Point so that it cannot meet a program's own Point type.
struct OSEventPoint {
  SInt16 v;
  SInt16 h;
};
struct EventRecord {
  EventKind what;
  UInt32 message;
  UInt32 when;  // ticks
  OSEventPoint where;
  EventModifiers modifiers;
};
struct OSRegion;
typedef OSRegion** RgnHandle;

// One pass of the event loop (see OSRunEventLoopOnce): ready devices run their call-backs,
// then every queued event goes to its handlers. When nothing is pending the pass waits for a
// device up to `sleepTicks` sixtieths of a second, but at least about a millisecond, so a
// polling caller does not spin. No event is ever handed back: `event` (if given) receives a
// null event and the result is false.
OS_API Boolean WaitNextEvent(EventMask mask, EventRecord* event, UInt32 sleepTicks, RgnHandle mouseRegion);

}  // extern "C"
