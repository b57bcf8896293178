#import "maclauncher/posix/LauncherApplication.h"

@implementation LauncherApplication

- (id)init {
  self = [super init];
  if (self != nil) {
    // The application does not retain its delegate; this object does.
    _launcherDelegate = [[AppDelegate alloc] init];
    [self setDelegate:_launcherDelegate];
  }
  return self;
}

- (void)dealloc {
  [self setDelegate:nil];
  [_launcherDelegate release];
  [super dealloc];
}

@end
