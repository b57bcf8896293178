// Real Apple events, dispatched by the real manager to the registered handler.
#import "maclauncher/tests/apple_events.h"

NSAppleEventDescriptor* MakeGetURLEvent(NSString* text) {
  NSAppleEventDescriptor* event =
      [NSAppleEventDescriptor appleEventWithEventClass:kInternetEventClass
                                               eventID:kAEGetURL
                                      targetDescriptor:[NSAppleEventDescriptor currentProcessDescriptor]
                                              returnID:kAutoGenerateReturnID
                                         transactionID:kAnyTransactionID];
  if (text != nil) {
    [event setParamDescriptor:[NSAppleEventDescriptor descriptorWithString:text] forKeyword:keyDirectObject];
  }
  return event;
}

BOOL DeliverGetURLEvent(NSAppleEventDescriptor* event) {
  AppleEvent reply = {typeNull, NULL};
  const OSErr error = [[NSAppleEventManager sharedAppleEventManager] dispatchRawAppleEvent:[event aeDesc]
                                                                              withRawReply:&reply
                                                                             handlerRefCon:0];
  return error == noErr;
}

long RegisteredHandlerCount(void) { return -1; }
