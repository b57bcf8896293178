// https://developer.apple.com/documentation/appkit: Cocoa.h brings AppKit and Foundation.
#pragma once

#import <AppKit/AppKit.h>
