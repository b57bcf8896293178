#import "AppDelegate.h"

#include <stdlib.h>

#include "script_guard_api.h"

// The URL of a link's text. Built against the macOS 14 SDK or later,
// URLWithString: percent-encodes characters a URL may not hold instead of giving
// no URL; where the stricter form exists it is told not to, so on every macOS text
// that is no URL gives none.
static NSURL* URLOfLinkText(NSString* text) {
  SEL strict = NSSelectorFromString(@"URLWithString:encodingInvalidCharacters:");
  if ([NSURL respondsToSelector:strict]) {
    NSURL* (*make)(id, SEL, NSString*, BOOL) =
        (NSURL * (*)(id, SEL, NSString*, BOOL))[NSURL methodForSelector:strict];
    return make([NSURL class], strict, text, NO);
  }
  return [NSURL URLWithString:text];
}

// An NSString can hold a NUL, which every C string made of it would end at: such
// a link is refused before any C string is made.
static BOOL HoldsNul(NSString* text) {
  unichar nul = 0;
  return [text rangeOfString:[NSString stringWithCharacters:&nul length:1]].location != NSNotFound;
}

// How long the app stays after a script has ended: a link that came while it ran
// waits in the event queue and is handled first, and one that comes later starts
// the app anew.
static const NSTimeInterval kQuitDelay = 1.0;

// A link was handled: the app quits by itself once the last script has ended.
static BOOL linkHandled = NO;

@implementation AppDelegate

- (void)dealloc {
  [super dealloc];
}

- (void)applicationWillFinishLaunching:(NSNotification*)notification {
  (void)notification;
  // Registered before launching ends, so the link that started us is the
  // first event the handler gets.
  [[NSAppleEventManager sharedAppleEventManager] setEventHandler:self
                                                     andSelector:@selector(handleGetURLEvent:withReplyEvent:)
                                                   forEventClass:kInternetEventClass
                                                      andEventID:kAEGetURL];
}

// A link that starts the app arrives while it launches; an app that has handled
// none once launching has finished was opened without one (from Finder, or with
// open -a) and has nothing to do: it quits.
- (void)applicationDidFinishLaunching:(NSNotification*)notification {
  (void)notification;
  if (!linkHandled) {
    [NSApp terminate:self];
  }
}

- (void)quitAfterLastLink {
  exit(0);
}

// Link form: nvzav://<client directory>#<anything>$<more fields>. The script
// gets the whole link, as written, after its own path. Links are handled one at a
// time, each script waited for; the app ends with 0 once no further link has
// come for kQuitDelay after the last one.
- (void)handleGetURLEvent:(NSAppleEventDescriptor*)event withReplyEvent:(NSAppleEventDescriptor*)replyEvent {
  (void)replyEvent;
  linkHandled = YES;
  [NSObject cancelPreviousPerformRequestsWithTarget:self selector:@selector(quitAfterLastLink) object:nil];
  NSString* text = [[event paramDescriptorForKeyword:keyDirectObject] stringValue];
  NSURL* url = (text != nil && !HoldsNul(text)) ? URLOfLinkText(text) : nil;
  NSString* link = [url absoluteString];
  NSString* payload = [link stringByReplacingOccurrencesOfString:@"nvzav://" withString:@""];
  NSArray* pieces = [payload componentsSeparatedByString:@"$"];
  if ([pieces count] != 0) {
    NSString* first = [pieces objectAtIndex:0];
    if ([first rangeOfString:@"#"].location != NSNotFound) {
      NSString* clientDirectory = [[first componentsSeparatedByString:@"#"] objectAtIndex:0];
      NSString* scriptPath = [NSString stringWithFormat:@"%@/bin/clientStartup.sh", clientDirectory];
      // The link picks the directory; only a script an installation put there
      // runs, and /bin/sh reads the very file checked. Its status is not passed on.
      zav_run_start_script([scriptPath UTF8String], [[url absoluteString] UTF8String]);
    }
  }
  [self performSelector:@selector(quitAfterLastLink) withObject:nil afterDelay:kQuitDelay];
}

- (NSWindow*)window {
  return _window;
}

- (void)setWindow:(NSWindow*)window {
  _window = window;
}

@end
