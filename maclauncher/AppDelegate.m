#import "AppDelegate.h"

#include <stdlib.h>

#include "script_guard_api.h"

// The URL of a link's text. Built against the macOS 14 SDK or later,
// URLWithString: percent-encodes characters a URL may not hold instead of giving
// no URL; where the stricter form exists it is told not to, so on every macOS text
// that is no URL gives none.
static NSURL *URLOfLinkText(NSString *text)
{
  SEL strict = NSSelectorFromString(@"URLWithString:encodingInvalidCharacters:");
  if ([NSURL respondsToSelector:strict]) {
    NSURL *(*make)(id, SEL, NSString *, BOOL) =
        (NSURL * (*)(id, SEL, NSString *, BOOL))[NSURL methodForSelector:strict];
    return make([NSURL class], strict, text, NO);
  }
  return [NSURL URLWithString:text];
}

// An NSString can hold a NUL, which every C string made of it would end at: such
// a link is refused before any C string is made.
static BOOL HoldsNul(NSString *text)
{
  unichar nul = 0;
  return [text rangeOfString:[NSString stringWithCharacters:&nul length:1]].location != NSNotFound;
}

@implementation AppDelegate

- (void)dealloc
{
  [super dealloc];
}

- (void)applicationWillFinishLaunching:(NSNotification *)notification
{
  (void)notification;
  // Registered before launching ends, so the link that started us is the
  // first event the handler gets.
  [[NSAppleEventManager sharedAppleEventManager]
      setEventHandler:self
          andSelector:@selector(handleGetURLEvent:withReplyEvent:)
        forEventClass:kInternetEventClass
           andEventID:kAEGetURL];
}

// A link that starts the app arrives while it launches, and its handler ends the
// process; an app still here once launching has finished was opened without one
// (from Finder, or with open -a) and has nothing to do: it quits.
- (void)applicationDidFinishLaunching:(NSNotification *)notification
{
  (void)notification;
  [NSApp terminate:self];
}

// Link form: nvzav://<client directory>#<anything>$<more fields>. The script
// gets the whole link, as written, after its own path. Never returns.
- (void)handleGetURLEvent:(NSAppleEventDescriptor *)event
           withReplyEvent:(NSAppleEventDescriptor *)replyEvent
{
  (void)replyEvent;
  NSString *text = [[event paramDescriptorForKeyword:keyDirectObject] stringValue];
  NSURL *url = (text != nil && !HoldsNul(text)) ? URLOfLinkText(text) : nil;
  NSString *link = [url absoluteString];
  NSString *payload = [link stringByReplacingOccurrencesOfString:@"nvzav://" withString:@""];
  NSArray *pieces = [payload componentsSeparatedByString:@"$"];
  if ([pieces count] != 0) {
    NSString *first = [pieces objectAtIndex:0];
    if ([first rangeOfString:@"#"].location != NSNotFound) {
      NSString *clientDirectory = [[first componentsSeparatedByString:@"#"] objectAtIndex:0];
      NSString *scriptPath =
          [NSString stringWithFormat:@"%@/bin/clientStartup.sh", clientDirectory];
      // The link picks the directory; run only a script an installation put there.
      // The path checked is the path run.
      if (zav_start_script_path_allowed([scriptPath UTF8String])) {
        @try {
          NSTask *task = [NSTask
              launchedTaskWithLaunchPath:@"/bin/sh"
                               arguments:[NSArray arrayWithObjects:scriptPath,
                                                                   [url absoluteString], nil]];
          [task waitUntilExit];
        }
        @catch (NSException *exception) {
          // Nothing to report to: the status stays 0 as for every other link.
          (void)exception;
        }
      }
    }
  }
  exit(0);
}

- (NSWindow *)window
{
  return _window;
}

- (void)setWindow:(NSWindow *)window
{
  _window = window;
}

@end
