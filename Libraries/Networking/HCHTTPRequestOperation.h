// HCHTTPRequestOperation: a connection operation for HTTP. Its response serializer makes the
// response object once the reply is complete; exactly one of the success and failure blocks runs.
#pragma once

#include <Networking/HCHTTPResponseSerializer.h>
#include <Networking/HCURLConnectionOperation.h>

class HCHTTPRequestOperation;

using HCHTTPRequestOperationSuccess = std::function<void(HCHTTPRequestOperation* operation, const id& responseObject)>;
using HCHTTPRequestOperationFailure = std::function<void(HCHTTPRequestOperation* operation, const Ref<NSError>& error)>;

class HCHTTPRequestOperation : public HCURLConnectionOperation {
    NS_OBJECT(HCHTTPRequestOperation, HCURLConnectionOperation)
public:
    explicit HCHTTPRequestOperation(const Ref<NSURLRequest>& request);
    explicit HCHTTPRequestOperation(NSCoder* coder);

    // The concurrent queue replies are parsed on.
    static const dispatch_queue_t& processingQueue();

    Ref<NSHTTPURLResponse> response() const { return cast<NSHTTPURLResponse>(HCURLConnectionOperation::response()); }
    Ref<HCHTTPResponseSerializer> responseSerializer() const;
    // Clears the response object and its error, so that the next read parses again.
    void setResponseSerializer(const Ref<HCHTTPResponseSerializer>& serializer);
    // Made by the serializer on first read, once the operation has finished without error.
    id responseObject();
    Ref<NSError> responseSerializationError() const;
    // The serializer's error when there is one, else the connection's.
    Ref<NSError> error() const override;

    void setCompletionBlockWithSuccessFailure(HCHTTPRequestOperationSuccess success,
                                              HCHTTPRequestOperationFailure failure);
    // Pauses, and makes the request ask for the rest of the body ("Range", "If-Range").
    void pause() override;

    void encodeWithCoder(NSCoder* coder) override;
    id copy() const override;

    // A resumed load checks that the server really continues where it stopped.
    void connectionDidReceiveResponse(NSURLConnection* connection, const Ref<NSURLResponse>& response) override;

private:
    // Replies up to this size may be processed on the network thread when it is idle.
    static constexpr NSUInteger kInPlaceProcessingLimit = 16 * 1024;
    // Whether the finished reply is processed where the operation finished (see the completion).
    bool processesInPlace() const;

    Ref<HCHTTPResponseSerializer> responseSerializer_;
    id responseObject_;
    Ref<NSError> responseSerializationError_;
    unsigned long long resumeOffset_ = 0;
};
