#ifdef GNUSTEP
#import <AppKit/AppKit.h>
#else
#import <Cocoa/Cocoa.h>
#endif

int main(int argc, const char* argv[]) { return NSApplicationMain(argc, argv); }
