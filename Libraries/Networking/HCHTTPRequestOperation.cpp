#include <Networking/HCHTTPRequestOperation.h>

#include <Networking/HCJSONResponseSerializer.h>

#include <Foundation/NSNumber.h>

#include <cstdlib>

NS_IMPLEMENT_CLASS(HCHTTPRequestOperation, HCURLConnectionOperation) {
    NSCodingRegister(b);
}

namespace {

const dispatch_group_t& defaultHTTPCompletionGroup() {
    static const dispatch_group_t& group = *new dispatch_group_t(dispatch_group_create());
    return group;
}

// The first byte of a "bytes first-last/total" range, or -1.
long long contentRangeStart(const Ref<NSString>& header) {
    if (!header) {
        return -1;
    }
    const std::string& text = header->str();
    size_t at = text.find("bytes");
    if (at == std::string::npos) {
        return -1;
    }
    const char* p = text.c_str() + at + 5;
    while (*p == ' ' || *p == '=') {
        ++p;
    }
    char* end = nullptr;
    long long start = std::strtoll(p, &end, 10);
    return end == p || *end != '-' ? -1 : start;
}

// The group that completion handling is counted in when the operation has none.
const dispatch_group_t& defaultCompletionGroupForHandling() {
    static const dispatch_group_t& group = *new dispatch_group_t(dispatch_group_create());
    return group;
}

} // namespace

HCHTTPRequestOperation::HCHTTPRequestOperation(const Ref<NSURLRequest>& request)
    : HCURLConnectionOperation(request), responseSerializer_(HCHTTPResponseSerializer::serializer()) {}

HCHTTPRequestOperation::HCHTTPRequestOperation(NSCoder* coder) : HCURLConnectionOperation(coder) {
    responseSerializer_ = cast<HCHTTPResponseSerializer>(
        coder->decodeObjectOfClassForKey(HCHTTPResponseSerializer::class_(), "responseSerializer"_ns));
    if (!responseSerializer_) {
        responseSerializer_ = HCHTTPResponseSerializer::serializer();
    }
}

const dispatch_queue_t& HCHTTPRequestOperation::processingQueue() {
    static const dispatch_queue_t& queue = *new dispatch_queue_t(
        dispatch_queue_create("com.celvix.networking.http-request.processing", DISPATCH_QUEUE_CONCURRENT));
    return queue;
}

Ref<HCHTTPResponseSerializer> HCHTTPRequestOperation::responseSerializer() const {
    Locked l(*this);
    return responseSerializer_;
}

void HCHTTPRequestOperation::setResponseSerializer(const Ref<HCHTTPResponseSerializer>& serializer) {
    Locked l(*this);
    responseSerializer_ = serializer;
    responseObject_ = nullptr;
    responseSerializationError_ = nullptr;
}

Ref<NSError> HCHTTPRequestOperation::responseSerializationError() const {
    Locked l(*this);
    return responseSerializationError_;
}

Ref<NSError> HCHTTPRequestOperation::error() const {
    Locked l(*this);
    return responseSerializationError_ ? responseSerializationError_ : HCURLConnectionOperation::error();
}

id HCHTTPRequestOperation::responseObject() {
    Locked l(*this);
    if (!responseObject_ && isFinished() && !error() && responseSerializer_) {
        Ref<NSError> serializationError;
        responseObject_ = responseSerializer_->responseObjectForResponseDataError(HCURLConnectionOperation::response(),
                                                                                  responseData(), &serializationError);
        if (serializationError) {
            responseSerializationError_ = serializationError;
        }
    }
    return responseObject_;
}

void HCHTTPRequestOperation::setCompletionBlockWithSuccessFailure(HCHTTPRequestOperationSuccess success,
                                                                  HCHTTPRequestOperationFailure failure) {
    // Runs where the operation finishes and hands over to the processing queue at once; the blocks
    // hold the operation until they have run. The group (the operation's, else the shared one) stays
    // entered from here until the processing block ends, so a group waiter sees the success or
    // failure submission before the group empties.
    Ref<HCHTTPRequestOperation> self(this);
    setDirectCompletion([self, success = std::move(success), failure = std::move(failure)] {
        dispatch_group_t group = self->completionGroup();
        dispatch_group_t handling = group ? group : defaultCompletionGroupForHandling();
        dispatch_group_enter(handling);
        auto process = [self, success, failure, group, handling] {
            self->postDidFinishNotification();
            dispatch_queue_t queue = self->completionQueue();
            if (!queue) {
                queue = dispatch_get_main_queue();
            }
            dispatch_group_t deliveryGroup = group ? group : defaultHTTPCompletionGroup();
            Ref<NSError> error = self->error();
            if (!error) {
                id object = self->responseObject();
                error = self->error();
                if (!error) {
                    if (success) {
                        dispatch_group_async(deliveryGroup, queue,
                                             [self, success, object] { success(self.get(), object); });
                    }
                    dispatch_group_leave(handling);
                    return;
                }
            }
            if (failure) {
                dispatch_group_async(deliveryGroup, queue, [self, failure, error] { failure(self.get(), error); });
            }
            dispatch_group_leave(handling);
        };
        // A small reply on a network thread with nothing else to do is processed right there, as
        // a block of the processing queue (the processing queue is concurrent: a synchronous
        // submission runs on the submitting thread): waking a worker for it would cost more than
        // the work, and no other load waits meanwhile. Anything else goes to a worker.
        if (self->processesInPlace()) {
            dispatch_sync(processingQueue(), process);
        } else {
            dispatch_async(processingQueue(), std::move(process));
        }
    });
}

bool HCHTTPRequestOperation::processesInPlace() const {
    if (!NSURLConnection::networkThreadIsIdle()) {
        return false;
    }
    // Only the library's own plain serializers, whose work on a small reply is short and never
    // waits: a subclass may block (on another load, even), which on the network thread would hold
    // up every load of the process.
    auto serializer = responseSerializer();
    if (serializer) {
        Class kind = serializer->getClass();
        if (kind != HCHTTPResponseSerializer::class_() && kind != HCJSONResponseSerializer::class_()) {
            return false;
        }
    }
    auto data = responseData();
    return !data || data->length() <= kInPlaceProcessingLimit;
}

void HCHTTPRequestOperation::pause() {
    bool wasPaused = isPaused();
    HCURLConnectionOperation::pause();
    if (wasPaused || !isPaused()) {
        return;
    }
    Locked l(*this);
    auto stream = outputStream();
    unsigned long long offset = 0;
    if (auto position = cast<NSNumber>(stream->propertyForKey(NSStreamFileCurrentOffsetKey()))) {
        offset = position->unsignedLongLongValue();
    } else if (auto data = cast<NSData>(stream->propertyForKey(NSStreamDataWrittenToMemoryStreamKey()))) {
        offset = data->length();
    }
    auto mutableRequest = cast<NSMutableURLRequest>(request()->mutableCopy());
    if (auto http = response()) {
        if (auto etag = http->valueForHTTPHeaderField("ETag"_ns)) {
            mutableRequest->setValueForHTTPHeaderField(etag, "If-Range"_ns);
        }
    }
    mutableRequest->setValueForHTTPHeaderField(NSString::stringWithFormat("bytes=%llu-", offset), "Range"_ns);
    resumeOffset_ = offset;
    setRequest(mutableRequest);
}

void HCHTTPRequestOperation::connectionDidReceiveResponse(NSURLConnection* connection,
                                                          const Ref<NSURLResponse>& response) {
    HCURLConnectionOperation::connectionDidReceiveResponse(connection, response);
    unsigned long long offset;
    {
        Locked l(*this);
        offset = resumeOffset_;
        resumeOffset_ = 0;
    }
    auto http = cast<NSHTTPURLResponse>(response);
    if (offset == 0 || !http || http->statusCode() < 200 || http->statusCode() >= 300) {
        return;
    }
    if (http->statusCode() == 206 &&
        contentRangeStart(http->valueForHTTPHeaderField("Content-Range"_ns)) == static_cast<long long>(offset)) {
        return; // the rest of the same body: it is appended
    }
    // The server sent the whole body again (it ignored the range, or the validator changed) or
    // another part of it: what was kept so far must not be glued to it.
    auto stream = outputStream();
    if (http->statusCode() != 206 && stream->propertyForKey(NSStreamDataWrittenToMemoryStreamKey())) {
        auto fresh = NSOutputStream::outputStreamToMemory();
        fresh->open();
        setOutputStream(fresh);
        setTotalBytesRead(0);
        return;
    }
    failWithError(
        make<NSError>(NSURLErrorDomain(), NSURLErrorBadServerResponse,
                      NSDictionary::dictionaryWithEntries(
                          {{NSLocalizedDescriptionKey(), "The server did not resume the body where it stopped"_ns},
                           {NSURLErrorFailingURLErrorKey(), http->URL() ? id(http->URL()) : id(NSNull::null())}})));
}

void HCHTTPRequestOperation::encodeWithCoder(NSCoder* coder) {
    HCURLConnectionOperation::encodeWithCoder(coder);
    coder->encodeObjectForKey(responseSerializer(), "responseSerializer"_ns);
}

id HCHTTPRequestOperation::copy() const {
    auto other = make<HCHTTPRequestOperation>(request());
    copyHooksInto(*other);
    auto serializer = responseSerializer();
    other->setResponseSerializer(serializer ? cast<HCHTTPResponseSerializer>(serializer->copy()) : nullptr);
    return other;
}
