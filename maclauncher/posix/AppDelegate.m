#import "maclauncher/posix/AppDelegate.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef __APPLE__
#include <os/log.h>
#endif

#include "maclauncher/script_guard_api.h"

// The bundle identifier (Info.plist): the unified log's subsystem of the refusals.
static const char kSubsystem[] = "com.norvane.zav.maclauncher";

// How long the app stays after the last script has ended: a link that comes
// meanwhile is handled, and one that comes later starts the app anew.
static const NSTimeInterval kQuitDelay = 1.0;

// A link was handled: the app quits by itself once the last script has ended.
static BOOL linkHandled = NO;

// Every refusal, with its reason, goes to the unified log (log show --predicate
// 'subsystem == "com.norvane.zav.maclauncher"'); elsewhere to standard error. The
// link up to its client directory and the reason are public; what follows the
// directory (from the first "#" or "$": the payload's fields) is private, shown
// as <private> unless the system is told to show private data.
static void LogRefusal(const char* reason, NSString* link) {
  NSString* directory = link != nil ? link : @"(none)";
  NSString* payload = @"";
  NSRange split =
      [directory rangeOfCharacterFromSet:[NSCharacterSet characterSetWithCharactersInString:@"#$"]];
  if (split.location != NSNotFound) {
    payload = [directory substringFromIndex:split.location];
    directory = [directory substringToIndex:split.location];
  }
#ifdef __APPLE__
  static os_log_t links;
  if (links == NULL) links = os_log_create(kSubsystem, "links");
  os_log_with_type(links, OS_LOG_TYPE_ERROR, "link refused (%{public}s): %{public}s%{private}s", reason,
                   [directory UTF8String], [payload UTF8String]);
#else
  fprintf(stderr, "%s: link refused (%s): %s%s\n", kSubsystem, reason, [directory UTF8String],
          [payload length] > 0 ? "<private>" : "");
#endif
}

// The URL of a link's text. Built against the macOS 14 SDK or later,
// URLWithString: percent-encodes characters a URL may not hold instead of giving
// no URL; where the stricter form exists it is told not to. The handler's own
// rules have refused all of those already; the system's parser must agree too.
static NSURL* URLOfLinkText(NSString* text) {
  SEL strict = NSSelectorFromString(@"URLWithString:encodingInvalidCharacters:");
  if ([NSURL respondsToSelector:strict]) {
    NSURL* (*make)(id, SEL, NSString*, BOOL) =
        (NSURL * (*)(id, SEL, NSString*, BOOL))[NSURL methodForSelector:strict];
    return make([NSURL class], strict, text, NO);
  }
  return [NSURL URLWithString:text];
}

// The start script a link's text names, or nil with the refusal logged. The
// handler's rules come first (the same on every macOS), over every byte of the
// text (an NSString can hold a NUL, which every C string made of it would end at).
static NSArray* ScriptOfLinkText(NSString* text) {
  char why[160];
  if (text == nil) {
    LogRefusal("no link text", nil);
    return nil;
  }
  NSData* bytes = [text dataUsingEncoding:NSUTF8StringEncoding];
  if (zav_link_text_refused([bytes bytes], (int)[bytes length], why, sizeof why)) {
    LogRefusal(why, text);
    return nil;
  }
  NSString* link = [URLOfLinkText(text) absoluteString];
  char path[4096];
  if (link == nil || !zav_start_script_of_link([link UTF8String], path, sizeof path)) {
    LogRefusal("not a URL this system accepts", text);
    return nil;
  }
  return [NSArray arrayWithObjects:[NSString stringWithUTF8String:path], link, nil];
}

@implementation AppDelegate

- (id)init {
  self = [super init];
  if (self != nil) _waiting = [[NSMutableArray alloc] init];
  return self;
}

- (void)dealloc {
  [_waiting release];
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

// A link that starts the app arrives while it launches, as a rule: Apple documents
// the order for files only (application:openFile: before this), so a link may come
// later. An app that has handled none waits the quit delay as after the last link:
// one opened without a link (from Finder, or with open -a) quits then, and a link
// that comes meanwhile is handled.
- (void)applicationDidFinishLaunching:(NSNotification*)notification {
  (void)notification;
  if (!linkHandled) {
    [self performSelector:@selector(quitAfterLastLink) withObject:nil afterDelay:kQuitDelay];
  }
}

// At logout, or asked to quit: the app goes at once. A script that runs is a
// process of its own and runs on; it is not killed.
- (NSApplicationTerminateReply)applicationShouldTerminate:(NSApplication*)sender {
  (void)sender;
  return NSTerminateNow;
}

- (void)quitAfterLastLink {
  exit(0);
}

// Starts the first waiting script, unless one runs; with none left to run, the app
// quits kQuitDelay later unless another link comes.
- (void)startNextScript {
  while (!_running && [_waiting count] > 0) {
    NSArray* next = [[[_waiting objectAtIndex:0] retain] autorelease];
    [_waiting removeObjectAtIndex:0];
    char why[160];
    const int child = zav_spawn_start_script([[next objectAtIndex:0] UTF8String],
                                             [[next objectAtIndex:1] UTF8String], why, sizeof why);
    if (child < 0) {
      LogRefusal(why, [next objectAtIndex:1]);
      continue;
    }
    _running = YES;
    [NSThread detachNewThreadSelector:@selector(waitForScript:)
                             toTarget:self
                           withObject:[NSNumber numberWithInt:child]];
  }
  if (!_running) {
    [self performSelector:@selector(quitAfterLastLink) withObject:nil afterDelay:kQuitDelay];
  }
}

// On a thread of its own: waits for the script, then tells the main thread.
- (void)waitForScript:(NSNumber*)child {
  NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
  zav_wait_start_script([child intValue]);  // its status is not passed on
  [self performSelectorOnMainThread:@selector(scriptEnded) withObject:nil waitUntilDone:NO];
  [pool release];
}

- (void)scriptEnded {
  _running = NO;
  [self startNextScript];
}

// Link form: nvzav://<client directory>#<anything>$<more fields>. The script
// gets the whole link, as written, after its own path. The link only picks the
// directory: a script runs only where an installation put it (script_guard).
// Links wait their turn in the order they came; the handler itself never waits.
- (void)handleGetURLEvent:(NSAppleEventDescriptor*)event withReplyEvent:(NSAppleEventDescriptor*)replyEvent {
  (void)replyEvent;
  linkHandled = YES;
  [NSObject cancelPreviousPerformRequestsWithTarget:self selector:@selector(quitAfterLastLink) object:nil];
  NSArray* script = ScriptOfLinkText([[event paramDescriptorForKeyword:keyDirectObject] stringValue]);
  if (script != nil) [_waiting addObject:script];
  [self startNextScript];
}

- (NSWindow*)window {
  return _window;
}

- (void)setWindow:(NSWindow*)window {
  _window = window;
}

@end
