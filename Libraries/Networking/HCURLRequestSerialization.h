// The protocol of request serializers: a request and parameters in, a new request out.
#pragma once

#include <Foundation/NSError.h>
#include <Network/NSURLRequest.h>

// The error domain of request building (multipart file failures).
const Ref<NSString>& HCURLRequestSerializationErrorDomain();

class HCURLRequestSerialization {
public:
    virtual ~HCURLRequestSerialization() = default;
    // A new request carrying the parameters, or nil with the reason in `error` (when given).
    virtual Ref<NSMutableURLRequest> requestBySerializingRequestWithParametersError(const Ref<NSURLRequest>& request,
                                                                                    const id& parameters,
                                                                                    Ref<NSError>* error) = 0;
};
