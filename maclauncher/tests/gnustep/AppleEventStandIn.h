// A stand-in for the Apple event manager and descriptors, which GNUstep
// leaves empty: the manager keeps the registered handlers and can deliver a
// synthetic event to them; a descriptor holds a text or keyed parameters.
#import "maclauncher/posix/AppDelegate.h"
#import "maclauncher/tests/apple_events.h"

@interface StandInDescriptor : NSAppleEventDescriptor {
  NSString* _text;
  NSMutableDictionary* _parameters;
}
+ (StandInDescriptor*)descriptorWithText:(NSString*)text;
+ (StandInDescriptor*)eventWithClass:(AEEventClass)eventClass eventID:(AEEventID)eventID;
- (void)setParam:(NSAppleEventDescriptor*)descriptor forKeyword:(AEKeyword)keyword;
@end

@interface NSAppleEventManager (StandInDelivery)
// Calls the handler registered for the class and ID with the event and an
// empty reply; NO when none is registered.
- (BOOL)deliverEvent:(NSAppleEventDescriptor*)event
            forClass:(AEEventClass)eventClass
             eventID:(AEEventID)eventID;
- (NSUInteger)handlerCount;
@end
