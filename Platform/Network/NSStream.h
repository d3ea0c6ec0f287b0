// NSStream: the base of input and output streams. A stream is opened, read or written, and closed;
// its status and error say where it stands. A stream scheduled in run loops tells its delegate
// about its events there (open completed, bytes available, space available, end, error).
#pragma once

#include <Foundation/NSError.h>
#include <Foundation/NSString.h>

#include <functional>
#include <mutex>
#include <vector>

class NSInputStream;
class NSOutputStream;
class NSRunLoop;
class NSStream;

enum NSStreamStatus : NSUInteger {
    NSStreamStatusNotOpen = 0,
    NSStreamStatusOpening = 1,
    NSStreamStatusOpen = 2,
    NSStreamStatusReading = 3,
    NSStreamStatusWriting = 4,
    NSStreamStatusAtEnd = 5,
    NSStreamStatusClosed = 6,
    NSStreamStatusError = 7,
};

using NSStreamEvent = NSUInteger;
inline constexpr NSStreamEvent NSStreamEventNone = 0;
inline constexpr NSStreamEvent NSStreamEventOpenCompleted = 1UL << 0;
inline constexpr NSStreamEvent NSStreamEventHasBytesAvailable = 1UL << 1;
inline constexpr NSStreamEvent NSStreamEventHasSpaceAvailable = 1UL << 2;
inline constexpr NSStreamEvent NSStreamEventErrorOccurred = 1UL << 3;
inline constexpr NSStreamEvent NSStreamEventEndEncountered = 1UL << 4;

// Property keys.
const Ref<NSString>& NSStreamDataWrittenToMemoryStreamKey();
const Ref<NSString>& NSStreamFileCurrentOffsetKey();

// The protocol of a stream's delegate.
class NSStreamDelegate {
public:
    virtual ~NSStreamDelegate() = default;
    virtual void streamHandleEvent(NSStream* stream, NSStreamEvent event) {}
};

// The copying protocol that streams (and other objects) may declare, for code that must ask.
Protocol* NSCopyingProtocol();

class NSStream : public NSObject {
    NS_OBJECT(NSStream, NSObject)
public:
    NSStream() = default;

    virtual void open();
    virtual void close();
    virtual NSStreamStatus streamStatus() const;
    virtual Ref<NSError> streamError() const;

    // The delegate is not retained; it is an object that also implements NSStreamDelegate.
    virtual NSObject* delegate() const;
    virtual void setDelegate(NSObject* delegate);

    virtual id propertyForKey(const Ref<NSString>& key) const;
    virtual bool setPropertyForKey(const id& property, const Ref<NSString>& key);

    // Events are delivered in the scheduled run loops, in the given modes.
    virtual void scheduleInRunLoopForMode(const Ref<NSRunLoop>& runLoop, const Ref<NSString>& mode);
    virtual void removeFromRunLoopForMode(const Ref<NSRunLoop>& runLoop, const Ref<NSString>& mode);

    // A bound pair: bytes written to the output stream are read from the input stream, through a
    // buffer of `bufferSize` bytes. Writes wait while the buffer is full; reads wait while it is
    // empty and the output is open. Closing the output ends the input after the buffered bytes.
    static void getBoundStreamsWithBufferSize(NSUInteger bufferSize, Ref<NSInputStream>* inputStream,
                                              Ref<NSOutputStream>* outputStream);

protected:
    // For subclasses: status, error and events.
    void setStatus(NSStreamStatus status);
    void failWithError(const Ref<NSError>& error);
    // Opens a stream that is not yet open: `openEndpoint` opens what lies behind it (true on
    // success, else it sets the error). Posts the open-completed event, or fails the stream; answers
    // whether the stream is now open.
    bool openWith(const std::function<bool(Ref<NSError>*)>& openEndpoint);
    // Tells the delegate about an event, in the scheduled run loops (nothing when unscheduled).
    void postEvent(NSStreamEvent event);

    mutable std::recursive_mutex streamLock_;
    NSStreamStatus status_ = NSStreamStatusNotOpen;
    Ref<NSError> error_;

private:
    Weak<NSObject> delegate_;
    std::vector<std::pair<id, Ref<NSString>>> schedules_;
};
