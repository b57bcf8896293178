// Foundation, as far as maclauncher uses it, declared from Apple's documentation
// (https://developer.apple.com/documentation/foundation). Manual reference counting:
// the code is built with -fno-objc-arc.
#pragma once

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

// objc/objc.h: BOOL is bool on arm64 and signed char on x86_64
// (https://developer.apple.com/documentation/objectivec/bool).
#if (defined(__arm64__) || defined(__aarch64__)) && defined(__cplusplus)
typedef bool BOOL;
#elif defined(__arm64__) || defined(__aarch64__)
typedef _Bool BOOL;
#else
typedef signed char BOOL;
#endif
#define YES ((BOOL)1)
#define NO ((BOOL)0)
#ifndef nil
#define nil ((id)0)
#endif
typedef id (*IMP)(id, SEL, ...);  // https://developer.apple.com/documentation/objectivec/imp

// https://developer.apple.com/documentation/objectivec/nsinteger, nsuinteger
typedef long NSInteger;
typedef unsigned long NSUInteger;
// https://developer.apple.com/documentation/foundation/nsnotfound
static const NSInteger NSNotFound = 0x7fffffffffffffffL;
// https://developer.apple.com/documentation/foundation/nsrange
typedef struct _NSRange {
  NSUInteger location;
  NSUInteger length;
} NSRange;
// https://developer.apple.com/documentation/foundation/nstimeinterval
typedef double NSTimeInterval;
typedef NSUInteger NSStringEncoding;
// https://developer.apple.com/documentation/foundation/nsutf8stringencoding
enum { NSUTF8StringEncoding = 4 };
typedef unsigned short unichar;  // https://developer.apple.com/documentation/foundation/unichar

@class NSString;

// https://developer.apple.com/documentation/objectivec/nsobject-swift.protocol
@protocol NSObject
- (BOOL)respondsToSelector:(SEL)aSelector;
- (instancetype)retain;
- (oneway void)release;
- (instancetype)autorelease;
- (NSUInteger)retainCount;
@end

// https://developer.apple.com/documentation/objectivec/nsobject-swift.class
__attribute__((objc_root_class))
@interface NSObject<NSObject> {
  Class isa;
}
+ (instancetype)alloc;
+ (Class)class;
+ (BOOL)respondsToSelector:(SEL)aSelector;
+ (IMP)methodForSelector:(SEL)aSelector;
- (instancetype)init;
- (void)dealloc;
// https://developer.apple.com/documentation/objectivec/nsobject/1416176-performselector
- (void)performSelector:(SEL)aSelector withObject:(id)anArgument afterDelay:(NSTimeInterval)delay;
// https://developer.apple.com/documentation/objectivec/nsobject/1414900-performselectoronmainthread
- (void)performSelectorOnMainThread:(SEL)aSelector withObject:(id)arg waitUntilDone:(BOOL)wait;
// https://developer.apple.com/documentation/foundation/nsobject/1417611-cancelpreviousperformrequestswit
+ (void)cancelPreviousPerformRequestsWithTarget:(id)aTarget selector:(SEL)aSelector object:(id)anArgument;
@end

// https://developer.apple.com/documentation/foundation/nsautoreleasepool
@interface NSAutoreleasePool : NSObject
@end

// https://developer.apple.com/documentation/foundation/nsdata
@interface NSData : NSObject
- (const void*)bytes;
- (NSUInteger)length;
@end

// https://developer.apple.com/documentation/foundation/nscharacterset
@interface NSCharacterSet : NSObject
+ (NSCharacterSet*)characterSetWithCharactersInString:(NSString*)aString;
@end

// https://developer.apple.com/documentation/foundation/nsstring
@interface NSString : NSObject
+ (instancetype)stringWithUTF8String:(const char*)nullTerminatedCString;
+ (instancetype)stringWithCharacters:(const unichar*)characters length:(NSUInteger)length;
- (const char*)UTF8String;
- (NSUInteger)length;
- (NSData*)dataUsingEncoding:(NSStringEncoding)encoding;
- (NSRange)rangeOfCharacterFromSet:(NSCharacterSet*)searchSet;
- (NSString*)substringFromIndex:(NSUInteger)from;
- (NSString*)substringToIndex:(NSUInteger)to;
- (NSString*)stringByReplacingOccurrencesOfString:(NSString*)target withString:(NSString*)replacement;
@end

// https://developer.apple.com/documentation/foundation/nsarray
@interface NSArray : NSObject
+ (instancetype)arrayWithObjects:(id)firstObj, ... __attribute__((sentinel));
- (NSUInteger)count;
- (id)objectAtIndex:(NSUInteger)index;
@end

// https://developer.apple.com/documentation/foundation/nsmutablearray
@interface NSMutableArray : NSArray
- (void)addObject:(id)anObject;
- (void)removeObjectAtIndex:(NSUInteger)index;
@end

// https://developer.apple.com/documentation/foundation/nsnumber
@interface NSNumber : NSObject
+ (NSNumber*)numberWithInt:(int)value;
- (int)intValue;
@end

// https://developer.apple.com/documentation/foundation/nsurl
@interface NSURL : NSObject
+ (instancetype)URLWithString:(NSString*)URLString;
// macOS 14 and later: https://developer.apple.com/documentation/foundation/nsurl/4152033-urlwithstring
+ (instancetype)URLWithString:(NSString*)URLString
    encodingInvalidCharacters:(BOOL)encodingInvalidCharacters
    __attribute__((availability(macos, introduced = 14.0)));
- (NSString*)absoluteString;
@end

// https://developer.apple.com/documentation/foundation/nsthread
@interface NSThread : NSObject
+ (void)detachNewThreadSelector:(SEL)selector toTarget:(id)target withObject:(id)argument;
@end

// https://developer.apple.com/documentation/foundation/nsdate
@interface NSDate : NSObject
+ (instancetype)dateWithTimeIntervalSinceNow:(NSTimeInterval)secs;
@end

// https://developer.apple.com/documentation/foundation/nsrunloop
@interface NSRunLoop : NSObject
+ (NSRunLoop*)currentRunLoop;
- (void)runUntilDate:(NSDate*)limitDate;
@end

// https://developer.apple.com/documentation/foundation/nsnotification
@interface NSNotification : NSObject
@end

// https://developer.apple.com/documentation/foundation/1395294-nsselectorfromstring
SEL NSSelectorFromString(NSString* aSelectorName);

// Apple events (CoreServices, AE), as NSAppleEventDescriptor and the test use them.
// https://developer.apple.com/documentation/coreservices/apple_events
typedef int16_t OSErr;
typedef uint32_t FourCharCode;
typedef FourCharCode OSType, DescType, AEEventClass, AEEventID, AEKeyword;
typedef int16_t AEReturnID;
typedef int32_t AETransactionID;
typedef struct OpaqueAEDataStorageType* AEDataStorage;
typedef struct AEDesc {
  DescType descriptorType;
  AEDataStorage dataHandle;
} AEDesc;
typedef AEDesc AppleEvent;
enum { noErr = 0 };
// https://developer.apple.com/documentation/coreservices/1527206-anonymous/kinterneteventclass ('GURL')
enum { kInternetEventClass = 'GURL', kAEGetURL = 'GURL' };
// https://developer.apple.com/documentation/coreservices/keydirectobject ('----'), typenull ('null')
enum { keyDirectObject = '----', typeNull = 'null' };
// https://developer.apple.com/documentation/coreservices/kautogeneratereturnid (-1), kanytransactionid (0)
enum { kAutoGenerateReturnID = -1, kAnyTransactionID = 0 };

// https://developer.apple.com/documentation/foundation/nsappleeventdescriptor
@interface NSAppleEventDescriptor : NSObject
+ (NSAppleEventDescriptor*)appleEventWithEventClass:(AEEventClass)eventClass
                                            eventID:(AEEventID)eventID
                                   targetDescriptor:(NSAppleEventDescriptor*)targetDescriptor
                                           returnID:(AEReturnID)returnID
                                      transactionID:(AETransactionID)transactionID;
+ (NSAppleEventDescriptor*)currentProcessDescriptor;
+ (NSAppleEventDescriptor*)descriptorWithString:(NSString*)string;
- (NSAppleEventDescriptor*)paramDescriptorForKeyword:(AEKeyword)keyword;
- (void)setParamDescriptor:(NSAppleEventDescriptor*)descriptor forKeyword:(AEKeyword)keyword;
- (NSString*)stringValue;
- (const AEDesc*)aeDesc;
@end

// https://developer.apple.com/documentation/foundation/nsappleeventmanager
@interface NSAppleEventManager : NSObject
+ (NSAppleEventManager*)sharedAppleEventManager;
- (void)setEventHandler:(id)handler
            andSelector:(SEL)handleEventSelector
          forEventClass:(AEEventClass)eventClass
             andEventID:(AEEventID)eventID;
- (OSErr)dispatchRawAppleEvent:(const AppleEvent*)theAppleEvent
                  withRawReply:(AppleEvent*)theReply
                 handlerRefCon:(uintptr_t)handlerRefCon;
@end
