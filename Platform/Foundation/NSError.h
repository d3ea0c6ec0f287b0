// NSError: a domain, a code and a user-info dictionary, with the localized texts read from it.
//
// Error domains and user-info keys are functions answering a shared NSString
// (`const Ref<NSString>&`), like NSKeyValueChangeKindKey(): compare them with isEqualToString or
// use them as dictionary keys directly.
#pragma once

#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>

// Domains.
const Ref<NSString>& NSCocoaErrorDomain();
const Ref<NSString>& NSPOSIXErrorDomain();
const Ref<NSString>& NSURLErrorDomain();
const Ref<NSString>& NSOSStatusErrorDomain();

// User-info keys.
const Ref<NSString>& NSLocalizedDescriptionKey();
const Ref<NSString>& NSLocalizedFailureReasonErrorKey();
const Ref<NSString>& NSLocalizedRecoverySuggestionErrorKey();
const Ref<NSString>& NSUnderlyingErrorKey();
const Ref<NSString>& NSFilePathErrorKey();
const Ref<NSString>& NSStringEncodingErrorKey();
const Ref<NSString>& NSURLErrorKey();
const Ref<NSString>& NSURLErrorFailingURLErrorKey();
const Ref<NSString>& NSURLErrorFailingURLStringErrorKey();
const Ref<NSString>& NSURLErrorFailingURLPeerTrustErrorKey();
const Ref<NSString>& NSDebugDescriptionErrorKey();

// Codes of NSURLErrorDomain.
enum : NSInteger {
    NSURLErrorUnknown = -1,
    NSURLErrorCancelled = -999,
    NSURLErrorBadURL = -1000,
    NSURLErrorTimedOut = -1001,
    NSURLErrorUnsupportedURL = -1002,
    NSURLErrorCannotFindHost = -1003,
    NSURLErrorCannotConnectToHost = -1004,
    NSURLErrorNetworkConnectionLost = -1005,
    NSURLErrorDNSLookupFailed = -1006,
    NSURLErrorHTTPTooManyRedirects = -1007,
    NSURLErrorResourceUnavailable = -1008,
    NSURLErrorNotConnectedToInternet = -1009,
    NSURLErrorRedirectToNonExistentLocation = -1010,
    NSURLErrorBadServerResponse = -1011,
    NSURLErrorUserCancelledAuthentication = -1012,
    NSURLErrorUserAuthenticationRequired = -1013,
    NSURLErrorZeroByteResource = -1014,
    NSURLErrorCannotDecodeRawData = -1015,
    NSURLErrorCannotDecodeContentData = -1016,
    NSURLErrorCannotParseResponse = -1017,
    NSURLErrorFileDoesNotExist = -1100,
    NSURLErrorFileIsDirectory = -1101,
    NSURLErrorNoPermissionsToReadFile = -1102,
    NSURLErrorDataLengthExceedsMaximum = -1103,
    NSURLErrorSecureConnectionFailed = -1200,
    NSURLErrorServerCertificateHasBadDate = -1201,
    NSURLErrorServerCertificateUntrusted = -1202,
    NSURLErrorServerCertificateHasUnknownRoot = -1203,
    NSURLErrorServerCertificateNotYetValid = -1204,
    NSURLErrorClientCertificateRejected = -1205,
    NSURLErrorClientCertificateRequired = -1206,
    NSURLErrorCannotLoadFromNetwork = -2000,
    NSURLErrorCannotCreateFile = -3000,
    NSURLErrorCannotOpenFile = -3001,
    NSURLErrorCannotCloseFile = -3002,
    NSURLErrorCannotWriteToFile = -3003,
    NSURLErrorCannotRemoveFile = -3004,
    NSURLErrorCannotMoveFile = -3005,
};

// Codes of NSCocoaErrorDomain.
enum : NSInteger {
    NSFileNoSuchFileError = 4,
    NSFileLockingError = 255,
    NSFileReadUnknownError = 256,
    NSFileReadNoPermissionError = 257,
    NSFileReadInvalidFileNameError = 258,
    NSFileReadCorruptFileError = 259,
    NSFileReadNoSuchFileError = 260,
    NSFileReadInapplicableStringEncodingError = 261,
    NSFileReadUnsupportedSchemeError = 262,
    NSFileReadTooLargeError = 263,
    NSFileWriteUnknownError = 512,
    NSFileWriteNoPermissionError = 513,
    NSFileWriteInvalidFileNameError = 514,
    NSFileWriteFileExistsError = 516,
    NSFileWriteInapplicableStringEncodingError = 517,
    NSFileWriteOutOfSpaceError = 640,
    NSFileWriteVolumeReadOnlyError = 642,
    NSKeyValueValidationError = 1024,
    NSFormattingError = 2048,
    NSUserCancelledError = 3072,
    NSPropertyListReadCorruptError = 3840,
    NSPropertyListReadUnknownVersionError = 3841,
    NSPropertyListReadStreamError = 3842,
    NSPropertyListWriteStreamError = 3851,
    NSPropertyListWriteInvalidError = 3852,
    NSCoderReadCorruptError = 4864,
    NSCoderValueNotFoundError = 4865,
    NSCoderInvalidValueError = 4866,
};

class NSError : public NSObject {
    NS_OBJECT(NSError, NSObject)
public:
    // `initWithDomain:code:userInfo:`. A nil domain is taken as the empty string.
    NSError(const Ref<NSString>& domain, NSInteger code, const Ref<NSDictionary>& userInfo = nullptr);

    static Ref<NSError> errorWithDomainCodeUserInfo(const Ref<NSString>& domain, NSInteger code,
                                                    const Ref<NSDictionary>& userInfo);

    const Ref<NSString>& domain() const noexcept { return domain_; }
    NSInteger code() const noexcept { return code_; }
    // Never nil: an empty dictionary when made without one.
    const Ref<NSDictionary>& userInfo() const noexcept { return userInfo_; }

    // The user info's NSLocalizedDescriptionKey; else a generic text:
    // "The operation couldn’t be completed. (<domain> error <code>.)"
    Ref<NSString> localizedDescription() const;
    // NSLocalizedFailureReasonErrorKey / NSLocalizedRecoverySuggestionErrorKey, or nil.
    Ref<NSString> localizedFailureReason() const;
    Ref<NSString> localizedRecoverySuggestion() const;
    // The NSUnderlyingErrorKey entry when it is an error, else nil.
    Ref<NSError> underlyingError() const;

    // Same domain, same code and equal user info.
    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    // "Error Domain=<domain> Code=<code> \"<localized description>\" UserInfo={k=v, ...}"
    Ref<NSString> description() const override;
    id copy() const override;

private:
    Ref<NSString> domain_;
    NSInteger code_;
    Ref<NSDictionary> userInfo_;
};
