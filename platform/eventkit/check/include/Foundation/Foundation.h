// Stand-in for <Foundation/Foundation.h>, for the syntax check on machines
// without the macOS SDK. Declares only what the EventKit backend uses, with the
// types, availability and nullability of Apple's headers. Never built into the
// bridge: on a Mac the real framework headers are used.
#pragma once

#include <limits.h>

// --- Objective-C and Foundation base types ---
// The type of the target's own YES: bool on arm64, signed char on x86_64 Macs.
typedef __typeof__(__objc_yes) BOOL;
#define YES __objc_yes
#define NO __objc_no
#define nil nullptr
typedef long NSInteger;
typedef unsigned long NSUInteger;
#define NSIntegerMax LONG_MAX
typedef double NSTimeInterval;
#define NS_ASSUME_NONNULL_BEGIN _Pragma("clang assume_nonnull begin")
#define NS_ASSUME_NONNULL_END _Pragma("clang assume_nonnull end")

#pragma clang assume_nonnull begin

@class NSString, NSDate, NSCalendar, NSTimeZone, NSDateComponents;

__attribute__((objc_root_class))
@interface NSObject
+ (instancetype)alloc;
+ (instancetype)new;
+ (Class)class;
- (instancetype)init;
- (id)copy;
- (BOOL)respondsToSelector:(SEL)aSelector;
- (BOOL)isKindOfClass:(Class)aClass;
@end

typedef struct {
  unsigned long state;
  id __unsafe_unretained _Nullable * _Nullable itemsPtr;
  unsigned long * _Nullable mutationsPtr;
  unsigned long extra[5];
} NSFastEnumerationState;

@protocol NSFastEnumeration
- (NSUInteger)countByEnumeratingWithState:(NSFastEnumerationState *)state
                                  objects:(id __unsafe_unretained _Nullable[_Nonnull])buffer
                                    count:(NSUInteger)len;
@end

// --- Strings ---
typedef unsigned short unichar;
typedef NSUInteger NSStringEncoding;
enum : NSStringEncoding { NSUTF8StringEncoding = 4 };

@interface NSString : NSObject
- (nullable instancetype)initWithBytes:(const void *)bytes length:(NSUInteger)len encoding:(NSStringEncoding)encoding;
- (instancetype)initWithCharacters:(const unichar *)characters length:(NSUInteger)length;
- (NSString *)stringByAppendingString:(NSString *)aString;
@property(nullable, readonly) const char *UTF8String __attribute__((objc_returns_inner_pointer));
- (NSUInteger)lengthOfBytesUsingEncoding:(NSStringEncoding)enc;
@end

// --- Numbers and arrays ---
@interface NSValue : NSObject
@end

@interface NSNumber : NSValue
+ (NSNumber *)numberWithLongLong:(long long)value;
@property(readonly) long long longLongValue;
@end

@interface NSArray<__covariant ObjectType> : NSObject <NSFastEnumeration>
- (instancetype)initWithObjects:(const ObjectType _Nonnull[_Nullable])objects count:(NSUInteger)cnt;
@property(readonly) NSUInteger count;
- (ObjectType)objectAtIndex:(NSUInteger)index;
@end

// --- Dates, calendars, date components, time zones ---
@interface NSDate : NSObject
+ (instancetype)dateWithTimeIntervalSinceNow:(NSTimeInterval)secs;
+ (instancetype)dateWithTimeIntervalSince1970:(NSTimeInterval)secs;
@property(readonly) NSTimeInterval timeIntervalSince1970;
@end

typedef NSString *NSCalendarIdentifier;
extern "C" NSCalendarIdentifier const NSCalendarIdentifierGregorian;

typedef enum NSCalendarUnit : NSUInteger {
  NSCalendarUnitYear = 1UL << 2,
  NSCalendarUnitMonth = 1UL << 3,
  NSCalendarUnitDay = 1UL << 4,
  NSCalendarUnitHour = 1UL << 5,
  NSCalendarUnitMinute = 1UL << 6,
  NSCalendarUnitSecond = 1UL << 7,
} NSCalendarUnit;

@interface NSCalendar : NSObject
@property(class, readonly, copy) NSCalendar *currentCalendar;
+ (nullable NSCalendar *)calendarWithIdentifier:(NSCalendarIdentifier)calendarIdentifierConstant;
@property(readonly, copy) NSCalendarIdentifier calendarIdentifier;
@property(copy) NSTimeZone *timeZone;
- (NSDateComponents *)components:(NSCalendarUnit)unitFlags fromDate:(NSDate *)date;
- (nullable NSDate *)dateFromComponents:(NSDateComponents *)comps;
@end

enum : NSInteger { NSDateComponentUndefined = NSIntegerMax };

@interface NSDateComponents : NSObject
@property(nullable, copy) NSCalendar *calendar;
@property(nullable, copy) NSTimeZone *timeZone;
@property NSInteger year;
@property NSInteger month;
@property NSInteger day;
@property NSInteger hour;
@property NSInteger minute;
@property NSInteger second;
@property NSInteger nanosecond;
@end

@interface NSTimeZone : NSObject
@property(class, readonly, copy) NSTimeZone *localTimeZone;
// Nonnull as declared, though there is no zone beyond ±18 hours.
+ (instancetype)timeZoneForSecondsFromGMT:(NSInteger)seconds;
@property(readonly, copy) NSString *name;
- (NSInteger)secondsFromGMTForDate:(NSDate *)aDate;
@end

// --- URLs, errors, predicates, the run loop ---
@interface NSURL : NSObject
+ (nullable instancetype)URLWithString:(NSString *)URLString;
+ (nullable instancetype)URLWithString:(NSString *)URLString encodingInvalidCharacters:(BOOL)encodingInvalidCharacters
    __attribute__((availability(macos, introduced = 14.0)));
@property(nullable, readonly, copy) NSString *absoluteString;
@end

@interface NSError : NSObject
@property(readonly, copy) NSString *localizedDescription;
@end

@interface NSPredicate : NSObject
@end

@interface NSRunLoop : NSObject
@property(class, readonly, strong) NSRunLoop *mainRunLoop;
- (void)runUntilDate:(NSDate *)limitDate;
@end

#pragma clang assume_nonnull end
