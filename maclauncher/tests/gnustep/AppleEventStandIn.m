#import "maclauncher/tests/gnustep/AppleEventStandIn.h"

@implementation NSAppleEventDescriptor (ZavGNUstep)

- (NSAppleEventDescriptor*)paramDescriptorForKeyword:(AEKeyword)keyword {
  (void)keyword;
  return nil;
}

- (NSString*)stringValue {
  return nil;
}

@end

@implementation StandInDescriptor

+ (StandInDescriptor*)descriptorWithText:(NSString*)text {
  StandInDescriptor* descriptor = [[[self alloc] init] autorelease];
  descriptor->_text = [text copy];
  return descriptor;
}

+ (StandInDescriptor*)eventWithClass:(AEEventClass)eventClass eventID:(AEEventID)eventID {
  (void)eventClass;
  (void)eventID;
  StandInDescriptor* descriptor = [[[self alloc] init] autorelease];
  descriptor->_parameters = [[NSMutableDictionary alloc] init];
  return descriptor;
}

- (void)dealloc {
  [_text release];
  [_parameters release];
  [super dealloc];
}

- (void)setParam:(NSAppleEventDescriptor*)descriptor forKeyword:(AEKeyword)keyword {
  [_parameters setObject:descriptor forKey:[NSNumber numberWithUnsignedInt:keyword]];
}

- (NSAppleEventDescriptor*)paramDescriptorForKeyword:(AEKeyword)keyword {
  return [_parameters objectForKey:[NSNumber numberWithUnsignedInt:keyword]];
}

- (NSString*)stringValue {
  return _text;
}

@end

// Handlers by event class and ID: "class/id" -> [handler, selector name].
static NSMutableDictionary* handlers;

static NSString* HandlerKey(AEEventClass eventClass, AEEventID eventID) {
  return [NSString stringWithFormat:@"%08x/%08x", (unsigned)eventClass, (unsigned)eventID];
}

@implementation NSAppleEventManager (ZavGNUstep)

+ (NSAppleEventManager*)sharedAppleEventManager {
  static NSAppleEventManager* shared;
  if (shared == nil) {
    shared = [[NSAppleEventManager alloc] init];
    handlers = [[NSMutableDictionary alloc] init];
  }
  return shared;
}

- (void)setEventHandler:(id)handler
            andSelector:(SEL)handleEventSelector
          forEventClass:(AEEventClass)eventClass
             andEventID:(AEEventID)eventID {
  // Like the real manager, the handler is not retained.
  [handlers setObject:[NSArray arrayWithObjects:[NSValue valueWithNonretainedObject:handler],
                                                NSStringFromSelector(handleEventSelector), nil]
               forKey:HandlerKey(eventClass, eventID)];
}

@end

@implementation NSAppleEventManager (StandInDelivery)

- (BOOL)deliverEvent:(NSAppleEventDescriptor*)event
            forClass:(AEEventClass)eventClass
             eventID:(AEEventID)eventID {
  NSArray* entry = [handlers objectForKey:HandlerKey(eventClass, eventID)];
  if (entry == nil) {
    return NO;
  }
  id handler = [[entry objectAtIndex:0] nonretainedObjectValue];
  SEL selector = NSSelectorFromString([entry objectAtIndex:1]);
  if (![handler respondsToSelector:selector]) {
    return NO;
  }
  StandInDescriptor* reply = [StandInDescriptor eventWithClass:0 eventID:0];
  [handler performSelector:selector withObject:event withObject:reply];
  return YES;
}

- (NSUInteger)handlerCount {
  return [handlers count];
}

@end

// ---- the delegate test's events (apple_events.h)

enum { kGURL = 0x4755524C, kDirectObject = 0x2D2D2D2D };

NSAppleEventDescriptor* MakeGetURLEvent(NSString* text) {
  StandInDescriptor* event = [StandInDescriptor eventWithClass:kGURL eventID:kGURL];
  if (text != nil) {
    [event setParam:[StandInDescriptor descriptorWithText:text] forKeyword:kDirectObject];
  }
  return event;
}

BOOL DeliverGetURLEvent(NSAppleEventDescriptor* event) {
  return [[NSAppleEventManager sharedAppleEventManager] deliverEvent:event forClass:kGURL eventID:kGURL];
}

long RegisteredHandlerCount(void) {
  return (long)[[NSAppleEventManager sharedAppleEventManager] handlerCount];
}
