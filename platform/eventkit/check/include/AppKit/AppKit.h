// Stand-in for <AppKit/AppKit.h>, for the syntax check on machines without the
// macOS SDK: only the colour conversion the EventKit backend uses, as Apple
// documents it. Never built into the bridge.
#pragma once

#import <Foundation/Foundation.h>

typedef double CGFloat;

#pragma clang assume_nonnull begin

@interface NSColorSpace : NSObject
@property(class, readonly, strong) NSColorSpace *sRGBColorSpace;
@end

@interface NSColor : NSObject
- (nullable NSColor *)colorUsingColorSpace:(NSColorSpace *)space;
@property(readonly) CGFloat redComponent;
@property(readonly) CGFloat greenComponent;
@property(readonly) CGFloat blueComponent;
@end

#pragma clang assume_nonnull end
