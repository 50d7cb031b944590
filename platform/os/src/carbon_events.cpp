#include <algorithm>
#include <array>
#include <cstdint>
#include <ctime>
#include <deque>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "event_queue.h"
#include "os/carbon_events.h"

struct OSEventObject {
  struct Parameter {
    EventParamName name;
    EventParamType type;
    std::vector<std::uint8_t> bytes;
  };

  UInt32 references = 1;
  OSType eventClass = 0;
  UInt32 kind = 0;
  EventTime when = 0;
  bool queued = false;
  std::vector<Parameter> parameters;

  Parameter* find(EventParamName name) {
    const auto position = std::find_if(parameters.begin(), parameters.end(),
                                       [name](const Parameter& parameter) { return parameter.name == name; });
    return position != parameters.end() ? &*position : nullptr;
  }
};

struct OSEventQueue {
  static constexpr std::size_t kPriorityCount = 3;
  struct Entry {
    EventRef event;
    // Numbers every post, so a dispatch pass can tell the events it began with from those
    // posted while it runs. Each list stays in rising order.
    std::uint64_t sequence;
  };
  // One list per priority, low to high.
  std::array<std::deque<Entry>, kPriorityCount> lists;
  std::uint64_t nextSequence = 0;

  std::size_t size() const {
    std::size_t count = 0;
    for (const auto& list : lists) count += list.size();
    return count;
  }

  void post(EventRef event, EventPriority priority) {
    event->queued = true;
    lists[static_cast<std::size_t>(priority)].push_back({event, nextSequence++});
  }

  // The next event to leave among those posted before `sequenceLimit`, or null.
  EventRef takeNext(std::uint64_t sequenceLimit) {
    for (auto list = lists.rbegin(); list != lists.rend(); ++list) {
      if (!list->empty() && list->front().sequence < sequenceLimit) {
        EventRef event = list->front().event;
        list->pop_front();
        event->queued = false;
        return event;
      }
    }
    return nullptr;
  }
};

struct OSEventHandler {
  EventHandlerUPP function;
  std::vector<EventTypeSpec> types;
  void* userData;
  bool removed = false;

  bool handles(EventRef event) const {
    return std::any_of(types.begin(), types.end(), [event](const EventTypeSpec& type) {
      return type.eventClass == event->eventClass && type.eventKind == event->kind;
    });
  }
};

using HandlerChain = std::vector<std::shared_ptr<OSEventHandler>>;

struct OSEventTarget {
  // In installation order: dispatch walks it from the back.
  HandlerChain handlers;
};

// Where a running handler stands in the chain, so CallNextEventHandler knows what comes next.
struct OSEventHandlerCall {
  const HandlerChain& chain;
  std::size_t position;
};

namespace {

OSEventQueue& mainQueue() {
  static auto* queue = new OSEventQueue();
  return *queue;
}

OSEventTarget& applicationTarget() {
  static auto* target = new OSEventTarget();
  return *target;
}

// Runs the chain from `start` until a handler answers anything but eventNotHandledErr.
OSStatus runHandlers(const HandlerChain& chain, std::size_t start, EventRef event) {
  for (std::size_t position = start; position < chain.size(); ++position) {
    OSEventHandler& handler = *chain[position];
    if (handler.removed) continue;
    OSEventHandlerCall call{chain, position};
    const OSStatus result = handler.function(&call, event, handler.userData);
    if (result != eventNotHandledErr) return result;
  }
  return eventNotHandledErr;
}

void dispatch(EventRef event) {
  // The chain is a snapshot, newest handler first: handlers installed or removed by a
  // handler take effect from the next event on.
  HandlerChain chain;
  const HandlerChain& installed = applicationTarget().handlers;
  std::copy_if(installed.rbegin(), installed.rend(), std::back_inserter(chain),
               [event](const std::shared_ptr<OSEventHandler>& handler) { return handler->handles(event); });
  runHandlers(chain, 0, event);
}

}  // namespace

namespace os::events {

bool mainQueueIsEmpty() { return mainQueue().size() == 0; }

std::size_t dispatchQueuedEvents() {
  OSEventQueue& queue = mainQueue();
  // Events that handlers post during this pass, whatever their priority, wait for the next.
  const std::uint64_t passLimit = queue.nextSequence;
  std::size_t dispatched = 0;
  // Null also when a handler flushed the rest.
  while (EventRef event = queue.takeNext(passLimit)) {
    dispatch(event);
    ReleaseEvent(event);
    ++dispatched;
  }
  return dispatched;
}

}  // namespace os::events

extern "C" {

OSStatus CreateEvent(CFAllocatorRef, OSType eventClass, UInt32 kind, EventTime when, EventAttributes,
                     EventRef* event) {
  if (event == nullptr) return paramErr;
  auto* created = new OSEventObject();
  created->eventClass = eventClass;
  created->kind = kind;
  created->when = when != 0 ? when : GetCurrentEventTime();
  *event = created;
  return noErr;
}

EventRef RetainEvent(EventRef event) {
  if (event != nullptr) ++event->references;
  return event;
}

void ReleaseEvent(EventRef event) {
  if (event != nullptr && --event->references == 0) delete event;
}

ItemCount GetEventRetainCount(EventRef event) { return event != nullptr ? event->references : 0; }

OSType GetEventClass(EventRef event) { return event != nullptr ? event->eventClass : 0; }

UInt32 GetEventKind(EventRef event) { return event != nullptr ? event->kind : 0; }

EventTime GetCurrentEventTime(void) {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<EventTime>(now.tv_sec) + static_cast<EventTime>(now.tv_nsec) / 1e9;
}

OSStatus SetEventParameter(EventRef event, EventParamName name, EventParamType type, ByteCount size,
                           const void* data) {
  if (event == nullptr || (data == nullptr && size != 0)) return paramErr;
  const auto* first = static_cast<const std::uint8_t*>(data);
  std::vector<std::uint8_t> bytes;
  if (size != 0) {
    const std::span<const std::uint8_t> source(first, size);
    bytes.assign(source.begin(), source.end());
  }
  if (OSEventObject::Parameter* existing = event->find(name)) {
    existing->type = type;
    existing->bytes = std::move(bytes);
  } else {
    event->parameters.push_back({name, type, std::move(bytes)});
  }
  return noErr;
}

OSStatus GetEventParameter(EventRef event, EventParamName name, EventParamType desiredType,
                           EventParamType* actualType, ByteCount bufferSize, ByteCount* actualSize, void* data) {
  if (event == nullptr) return paramErr;
  const OSEventObject::Parameter* parameter = event->find(name);
  if (parameter == nullptr) return eventParameterNotFoundErr;
  if (desiredType != typeWildCard && desiredType != parameter->type) return errAECoercionFail;
  if (actualType != nullptr) *actualType = parameter->type;
  if (actualSize != nullptr) *actualSize = parameter->bytes.size();
  if (data == nullptr) return noErr;
  if (bufferSize < parameter->bytes.size()) return paramErr;
  const std::span<std::uint8_t> destination(static_cast<std::uint8_t*>(data), bufferSize);
  std::copy(parameter->bytes.begin(), parameter->bytes.end(), destination.begin());
  return noErr;
}

EventQueueRef GetMainEventQueue(void) { return &mainQueue(); }

OSStatus PostEventToQueue(EventQueueRef queue, EventRef event, EventPriority priority) {
  if (queue != &mainQueue() || event == nullptr || priority < kEventPriorityLow || priority > kEventPriorityHigh) {
    return paramErr;
  }
  if (event->queued) return eventAlreadyPostedErr;
  RetainEvent(event);
  queue->post(event, priority);
  return noErr;
}

OSStatus FlushSpecificEventsFromQueue(EventQueueRef queue, EventComparatorUPP filter, void* compareData) {
  if (queue != &mainQueue() || filter == nullptr) return paramErr;
  // The queued events are taken out before the filter runs: a filter may post, and the
  // lists must not grow under a walk over them. The filter sees each event exactly once, in
  // the order they would leave the queue; they stay marked as queued meanwhile, so posting
  // one of them again is refused as usual.
  const auto looked = std::exchange(queue->lists, {});

  std::array<std::deque<OSEventQueue::Entry>, OSEventQueue::kPriorityCount> kept;
  std::vector<EventRef> flushed;
  for (std::size_t priority = looked.size(); priority-- > 0;) {
    for (const OSEventQueue::Entry& entry : looked[priority]) {
      if (filter(entry.event, compareData)) {
        flushed.push_back(entry.event);
      } else {
        kept[priority].push_back(entry);
      }
    }
  }
  // What was queued before leaves before what the filter posted.
  for (std::size_t priority = 0; priority < kept.size(); ++priority) {
    std::deque<OSEventQueue::Entry>& list = queue->lists[priority];
    list.insert(list.begin(), kept[priority].begin(), kept[priority].end());
  }
  // Released only now: the filter has seen every event before any of them goes away.
  for (EventRef event : flushed) {
    event->queued = false;
    ReleaseEvent(event);
  }
  return noErr;
}

ItemCount GetNumEventsInQueue(EventQueueRef queue) { return queue == &mainQueue() ? queue->size() : 0; }

EventTargetRef GetApplicationEventTarget(void) { return &applicationTarget(); }

OSStatus InstallEventHandler(EventTargetRef target, EventHandlerUPP handler, ItemCount typeCount,
                             const EventTypeSpec* types, void* userData, EventHandlerRef* handlerRef) {
  if (target != &applicationTarget() || handler == nullptr || (types == nullptr && typeCount != 0)) return paramErr;
  auto installed = std::make_shared<OSEventHandler>();
  installed->function = handler;
  if (typeCount != 0) {
    const std::span<const EventTypeSpec> list(types, typeCount);
    installed->types.assign(list.begin(), list.end());
  }
  installed->userData = userData;
  target->handlers.push_back(installed);
  if (handlerRef != nullptr) *handlerRef = installed.get();
  return noErr;
}

OSStatus RemoveEventHandler(EventHandlerRef handlerRef) {
  HandlerChain& handlers = applicationTarget().handlers;
  const auto position = std::find_if(handlers.begin(), handlers.end(),
                                     [handlerRef](const auto& handler) { return handler.get() == handlerRef; });
  if (position == handlers.end()) return paramErr;
  // A dispatch in progress may still hold it; the flag keeps it from running again.
  (*position)->removed = true;
  handlers.erase(position);
  return noErr;
}

OSStatus CallNextEventHandler(EventHandlerCallRef callRef, EventRef event) {
  if (callRef == nullptr || event == nullptr) return paramErr;
  return runHandlers(callRef->chain, callRef->position + 1, event);
}

}  // extern "C"
