// NSURLCredentialStorage: the credentials remembered for protection spaces during this process
// (credentials of persistence "none" are never stored).
#pragma once

#include <Foundation/NSDictionary.h>
#include <Network/NSURLCredential.h>
#include <Network/NSURLProtectionSpace.h>

#include <mutex>
#include <vector>

class NSURLCredentialStorage : public NSObject {
    NS_OBJECT(NSURLCredentialStorage, NSObject)
public:
    NSURLCredentialStorage() = default;
    static Ref<NSURLCredentialStorage> sharedCredentialStorage();

    // User name to credential, for one space; nil when none is stored.
    Ref<NSDictionary> credentialsForProtectionSpace(const Ref<NSURLProtectionSpace>& space) const;
    // Space to (user name to credential).
    Ref<NSDictionary> allCredentials() const;
    void setCredentialForProtectionSpace(const Ref<NSURLCredential>& credential,
                                         const Ref<NSURLProtectionSpace>& space);
    void removeCredentialForProtectionSpace(const Ref<NSURLCredential>& credential,
                                            const Ref<NSURLProtectionSpace>& space);
    Ref<NSURLCredential> defaultCredentialForProtectionSpace(const Ref<NSURLProtectionSpace>& space) const;
    // Stores the credential and makes it the space's default.
    void setDefaultCredentialForProtectionSpace(const Ref<NSURLCredential>& credential,
                                                const Ref<NSURLProtectionSpace>& space);

private:
    struct Entry {
        Ref<NSURLProtectionSpace> space;
        std::vector<Ref<NSURLCredential>> credentials;
        Ref<NSURLCredential> defaultCredential;
    };
    Entry* find(const Ref<NSURLProtectionSpace>& space);
    const Entry* find(const Ref<NSURLProtectionSpace>& space) const;

    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
};
