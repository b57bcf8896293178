/* What GNUstep lacks of Apple events.
 *
 * GNUstep ships NSAppleEventManager and NSAppleEventDescriptor as empty
 * classes and has no Apple event codes. These are the parts the link handler
 * uses, declared as on macOS; whoever hosts the delegate under GNUstep (the
 * tests) supplies the methods. */
#ifndef MACLAUNCHER_APPLE_EVENTS_GNUSTEP_H
#define MACLAUNCHER_APPLE_EVENTS_GNUSTEP_H

#import <Foundation/Foundation.h>
#include <stdint.h>

typedef uint32_t FourCharCode;
typedef FourCharCode AEEventClass;
typedef FourCharCode AEEventID;
typedef FourCharCode AEKeyword;

enum {
  kInternetEventClass = 0x4755524C, /* 'GURL' */
  kAEGetURL = 0x4755524C,           /* 'GURL' */
  keyDirectObject = 0x2D2D2D2D      /* '----' */
};

@interface NSAppleEventDescriptor (ZavGNUstep)
- (NSAppleEventDescriptor*)paramDescriptorForKeyword:(AEKeyword)keyword;
- (NSString*)stringValue;
@end

@interface NSAppleEventManager (ZavGNUstep)
+ (NSAppleEventManager*)sharedAppleEventManager;
- (void)setEventHandler:(id)handler
            andSelector:(SEL)handleEventSelector
          forEventClass:(AEEventClass)eventClass
             andEventID:(AEEventID)eventID;
@end

#endif
