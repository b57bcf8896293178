// AppKit, as far as maclauncher uses it, declared from Apple's documentation
// (https://developer.apple.com/documentation/appkit).
#pragma once

#import <Foundation/Foundation.h>

// https://developer.apple.com/documentation/appkit/nswindow
@interface NSWindow : NSObject
@end

// https://developer.apple.com/documentation/appkit/nsapplication/terminatereply
typedef NSUInteger NSApplicationTerminateReply;
enum { NSTerminateCancel = 0, NSTerminateNow = 1, NSTerminateLater = 2 };

@class NSApplication;
// https://developer.apple.com/documentation/appkit/nsapplicationdelegate
@protocol NSApplicationDelegate <NSObject>
@optional
- (void)applicationWillFinishLaunching:(NSNotification*)notification;
- (void)applicationDidFinishLaunching:(NSNotification*)notification;
- (NSApplicationTerminateReply)applicationShouldTerminate:(NSApplication*)sender;
@end

// https://developer.apple.com/documentation/appkit/nsapplication
@interface NSApplication : NSObject
- (void)setDelegate:(id<NSApplicationDelegate>)delegate;
- (void)terminate:(id)sender;
@end

// https://developer.apple.com/documentation/appkit/nsapp
extern NSApplication* NSApp;
// https://developer.apple.com/documentation/appkit/1428499-nsapplicationmain
int NSApplicationMain(int argc, const char* argv[]);
