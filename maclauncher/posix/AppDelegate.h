// The application's delegate: takes the "nvzav://" links the system sends as
// Apple events and runs the client's start script for each, one after another,
// without ever waiting on the main thread.
#ifdef GNUSTEP
#import <AppKit/AppKit.h>
#import "maclauncher/posix/gnustep/AppleEventsGNUstep.h"
#else
#import <Cocoa/Cocoa.h>
#endif

@interface AppDelegate : NSObject <NSApplicationDelegate> {
  NSWindow* _window;
  NSMutableArray* _waiting;  // scripts to run, in the order their links came: [path, link]
  BOOL _running;             // a script runs
}

@property(assign) NSWindow* window;

- (void)handleGetURLEvent:(NSAppleEventDescriptor*)event withReplyEvent:(NSAppleEventDescriptor*)replyEvent;

@end
