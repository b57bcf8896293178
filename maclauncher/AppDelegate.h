// The application's delegate: takes the "nvzav://" link the system sends as
// an Apple event and runs the client's start script for it.
#ifdef GNUSTEP
#import <AppKit/AppKit.h>
#import "gnustep/AppleEventsGNUstep.h"
#else
#import <Cocoa/Cocoa.h>
#endif

@interface AppDelegate : NSObject <NSApplicationDelegate> {
  NSWindow* _window;
}

@property(assign) NSWindow* window;

- (void)handleGetURLEvent:(NSAppleEventDescriptor*)event withReplyEvent:(NSAppleEventDescriptor*)replyEvent;

@end
