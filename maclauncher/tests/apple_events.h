// 'GURL' events for the delegate test: real ones on macOS, the stand-in's under
// GNUstep (whose Apple event classes are empty).
#import "maclauncher/posix/AppDelegate.h"

// The 'GURL' event of `text`; without a direct object when `text` is nil.
NSAppleEventDescriptor* MakeGetURLEvent(NSString* text);
// Hands the event to the handler registered for 'GURL'; NO when none is.
BOOL DeliverGetURLEvent(NSAppleEventDescriptor* event);
// How many handlers are registered; -1 where the manager does not tell.
long RegisteredHandlerCount(void);
