// Stand-in for <EventKit/EventKit.h>, for the syntax check on machines without
// the macOS SDK: only the classes, methods and constants the EventKit backend
// uses, with the types, availability and nullability of Apple's headers (an
// implicitly unwrapped Swift type is null_unspecified). Never built into the bridge.
#pragma once

#import <AppKit/AppKit.h>
#import <Foundation/Foundation.h>

#pragma clang assume_nonnull begin

typedef enum EKEntityType : NSUInteger {
  EKEntityTypeEvent = 0,
  EKEntityTypeReminder = 1,
} EKEntityType;

typedef enum EKAuthorizationStatus : NSInteger {
  EKAuthorizationStatusNotDetermined = 0,
  EKAuthorizationStatusRestricted = 1,
  EKAuthorizationStatusDenied = 2,
  EKAuthorizationStatusFullAccess __attribute__((availability(macos, introduced = 14.0))) = 3,
  EKAuthorizationStatusWriteOnly __attribute__((availability(macos, introduced = 14.0))) = 4,
} EKAuthorizationStatus;

typedef enum EKRecurrenceFrequency : NSInteger {
  EKRecurrenceFrequencyDaily = 0,
  EKRecurrenceFrequencyWeekly = 1,
  EKRecurrenceFrequencyMonthly = 2,
  EKRecurrenceFrequencyYearly = 3,
} EKRecurrenceFrequency;

typedef enum EKWeekday : NSInteger {
  EKWeekdaySunday = 1,
  EKWeekdayMonday,
  EKWeekdayTuesday,
  EKWeekdayWednesday,
  EKWeekdayThursday,
  EKWeekdayFriday,
  EKWeekdaySaturday,
} EKWeekday;

typedef void (^EKEventStoreRequestAccessCompletionHandler)(BOOL granted, NSError *_Nullable error);

@class EKEventStore, EKCalendar, EKEvent, EKReminder, EKCalendarItem, EKRecurrenceRule, EKAlarm;

@interface EKObject : NSObject
@property(nonatomic, readonly) BOOL hasChanges;
@end

@interface EKSource : EKObject
@property(nonatomic, readonly) NSString *title;
@end

@interface EKCalendar : EKObject
@property(nonatomic, readonly) NSString *calendarIdentifier;
@property(nonatomic, copy) NSString *title;
@property(null_unspecified, nonatomic, copy) NSColor *color;
@property(null_unspecified, nonatomic, strong) EKSource *source;
@property(nonatomic, readonly) BOOL allowsContentModifications;
@end

@interface EKAlarm : EKObject
+ (EKAlarm *)alarmWithAbsoluteDate:(NSDate *)date;
@property(nonatomic, copy, nullable) NSDate *absoluteDate;
@end

@interface EKRecurrenceDayOfWeek : NSObject
+ (instancetype)dayOfWeek:(EKWeekday)dayOfTheWeek weekNumber:(NSInteger)weekNumber;
@property(nonatomic, readonly) EKWeekday dayOfTheWeek;
@property(nonatomic, readonly) NSInteger weekNumber;
@end

@interface EKRecurrenceEnd : NSObject
+ (instancetype)recurrenceEndWithEndDate:(NSDate *)endDate;
+ (instancetype)recurrenceEndWithOccurrenceCount:(NSUInteger)occurrenceCount;
@property(nonatomic, readonly, nullable) NSDate *endDate;
@property(nonatomic, readonly) NSUInteger occurrenceCount;
@end

@interface EKRecurrenceRule : EKObject
- (instancetype)initRecurrenceWithFrequency:(EKRecurrenceFrequency)type
                                   interval:(NSInteger)interval
                              daysOfTheWeek:(nullable NSArray<EKRecurrenceDayOfWeek *> *)days
                             daysOfTheMonth:(nullable NSArray<NSNumber *> *)monthDays
                            monthsOfTheYear:(nullable NSArray<NSNumber *> *)months
                             weeksOfTheYear:(nullable NSArray<NSNumber *> *)weeksOfTheYear
                              daysOfTheYear:(nullable NSArray<NSNumber *> *)daysOfTheYear
                               setPositions:(nullable NSArray<NSNumber *> *)setPositions
                                        end:(nullable EKRecurrenceEnd *)end;
@property(nonatomic, readonly) EKRecurrenceFrequency frequency;
@property(nonatomic, readonly) NSInteger interval;
@property(nonatomic, readonly) NSInteger firstDayOfTheWeek;
@property(nonatomic, readonly, nullable) NSArray<EKRecurrenceDayOfWeek *> *daysOfTheWeek;
@property(nonatomic, readonly, nullable) NSArray<NSNumber *> *daysOfTheMonth;
@property(nonatomic, readonly, nullable) NSArray<NSNumber *> *daysOfTheYear;
@property(nonatomic, readonly, nullable) NSArray<NSNumber *> *weeksOfTheYear;
@property(nonatomic, readonly, nullable) NSArray<NSNumber *> *monthsOfTheYear;
@property(nonatomic, readonly, nullable) NSArray<NSNumber *> *setPositions;
@property(nonatomic, copy, nullable) EKRecurrenceEnd *recurrenceEnd;
@end

@interface EKCalendarItem : EKObject
@property(nonatomic, readonly) NSString *calendarItemIdentifier;
@property(null_unspecified, nonatomic, readonly) NSString *calendarItemExternalIdentifier;
@property(null_unspecified, nonatomic, strong) EKCalendar *calendar;
@property(null_unspecified, nonatomic, copy) NSString *title;
@property(nonatomic, copy, nullable) NSString *location;
@property(nonatomic, copy, nullable) NSString *notes;
@property(nonatomic, copy, nullable) NSURL *URL;
@property(nonatomic, copy, nullable) NSTimeZone *timeZone;
@property(nonatomic, readonly) BOOL hasRecurrenceRules;
@property(nonatomic, copy, nullable) NSArray<EKRecurrenceRule *> *recurrenceRules;
@property(nonatomic, copy, nullable) NSArray<EKAlarm *> *alarms;
@end

@interface EKEvent : EKCalendarItem
@property(null_unspecified, nonatomic, readonly) NSString *eventIdentifier;
@property(nonatomic, getter=isAllDay) BOOL allDay;
@property(null_unspecified, nonatomic, copy) NSDate *startDate;
@property(null_unspecified, nonatomic, copy) NSDate *endDate;
@end

@interface EKReminder : EKCalendarItem
+ (EKReminder *)reminderWithEventStore:(EKEventStore *)eventStore;
@property(nonatomic, copy, nullable) NSDateComponents *startDateComponents;
@property(nonatomic, copy, nullable) NSDateComponents *dueDateComponents;
@property(nonatomic, getter=isCompleted) BOOL completed;
@property(nonatomic) NSUInteger priority;
@end

@interface EKEventStore : NSObject
+ (EKAuthorizationStatus)authorizationStatusForEntityType:(EKEntityType)entityType;
- (void)requestFullAccessToEventsWithCompletion:(EKEventStoreRequestAccessCompletionHandler)completion
    __attribute__((availability(macos, introduced = 14.0)));
- (void)requestFullAccessToRemindersWithCompletion:(EKEventStoreRequestAccessCompletionHandler)completion
    __attribute__((availability(macos, introduced = 14.0)));
- (void)requestAccessToEntityType:(EKEntityType)entityType
                       completion:(EKEventStoreRequestAccessCompletionHandler)completion
    __attribute__((availability(macos, introduced = 10.9, deprecated = 14.0)));
- (NSArray<EKCalendar *> *)calendarsForEntityType:(EKEntityType)entityType;
- (NSPredicate *)predicateForEventsWithStartDate:(NSDate *)startDate
                                         endDate:(NSDate *)endDate
                                       calendars:(nullable NSArray<EKCalendar *> *)calendars;
- (NSArray<EKEvent *> *)eventsMatchingPredicate:(NSPredicate *)predicate;
- (NSPredicate *)predicateForRemindersInCalendars:(nullable NSArray<EKCalendar *> *)calendars;
- (id)fetchRemindersMatchingPredicate:(NSPredicate *)predicate
                           completion:(void (^)(NSArray<EKReminder *> *_Nullable reminders))completion;
- (void)cancelFetchRequest:(id)fetchIdentifier;
- (nullable EKCalendarItem *)calendarItemWithIdentifier:(NSString *)identifier;
- (BOOL)saveReminder:(EKReminder *)reminder commit:(BOOL)commit error:(NSError **)error;
- (BOOL)removeReminder:(EKReminder *)reminder commit:(BOOL)commit error:(NSError **)error;
- (void)reset;
@end

#pragma clang assume_nonnull end
