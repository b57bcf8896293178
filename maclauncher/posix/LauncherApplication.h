// The bundle's principal class: an application that makes its own
// AppDelegate its delegate, so the bundle needs no interface file.
#import "maclauncher/posix/AppDelegate.h"

@interface LauncherApplication : NSApplication {
  AppDelegate* _launcherDelegate;
}
@end
