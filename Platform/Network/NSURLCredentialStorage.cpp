#include <Network/NSURLCredentialStorage.h>

#include <Runtime/ClassBuilder.h>

#include <algorithm>

NS_IMPLEMENT_CLASS(NSURLCredentialStorage, NSObject) {}

Ref<NSURLCredentialStorage> NSURLCredentialStorage::sharedCredentialStorage() {
    static const Ref<NSURLCredentialStorage>& shared = *new Ref<NSURLCredentialStorage>(make<NSURLCredentialStorage>());
    return shared;
}

NSURLCredentialStorage::Entry* NSURLCredentialStorage::find(const Ref<NSURLProtectionSpace>& space) {
    for (auto& entry : entries_) {
        if (entry.space->isEqual(space)) {
            return &entry;
        }
    }
    return nullptr;
}

const NSURLCredentialStorage::Entry* NSURLCredentialStorage::find(const Ref<NSURLProtectionSpace>& space) const {
    return const_cast<NSURLCredentialStorage*>(this)->find(space);
}

Ref<NSDictionary> NSURLCredentialStorage::credentialsForProtectionSpace(const Ref<NSURLProtectionSpace>& space) const {
    std::lock_guard lock(mutex_);
    const Entry* entry = space ? find(space) : nullptr;
    if (!entry || entry->credentials.empty()) {
        return nullptr;
    }
    auto out = NSMutableDictionary::dictionary();
    for (const auto& credential : entry->credentials) {
        out->setObjectForKey(credential, credential->user() ? credential->user() : ""_ns);
    }
    return out;
}

Ref<NSDictionary> NSURLCredentialStorage::allCredentials() const {
    std::lock_guard lock(mutex_);
    auto out = NSMutableDictionary::dictionary();
    for (const auto& entry : entries_) {
        if (entry.credentials.empty()) {
            continue;
        }
        auto byUser = NSMutableDictionary::dictionary();
        for (const auto& credential : entry.credentials) {
            byUser->setObjectForKey(credential, credential->user() ? credential->user() : ""_ns);
        }
        out->setObjectForKey(byUser, entry.space);
    }
    return out;
}

void NSURLCredentialStorage::setCredentialForProtectionSpace(const Ref<NSURLCredential>& credential,
                                                             const Ref<NSURLProtectionSpace>& space) {
    if (!credential || !space || credential->persistence() == NSURLCredentialPersistenceNone) {
        return;
    }
    std::lock_guard lock(mutex_);
    Entry* entry = find(space);
    if (!entry) {
        entries_.push_back({space, {}, nullptr});
        entry = &entries_.back();
    }
    auto& list = entry->credentials;
    auto same = std::find_if(list.begin(), list.end(),
                             [&](const auto& c) { return NSObjectsEqual(c->user(), credential->user()); });
    if (same != list.end()) {
        if (entry->defaultCredential == *same) {
            entry->defaultCredential = credential;
        }
        *same = credential;
    } else {
        list.push_back(credential);
    }
}

void NSURLCredentialStorage::removeCredentialForProtectionSpace(const Ref<NSURLCredential>& credential,
                                                                const Ref<NSURLProtectionSpace>& space) {
    if (!credential || !space) {
        return;
    }
    std::lock_guard lock(mutex_);
    if (Entry* entry = find(space)) {
        std::erase_if(entry->credentials, [&](const auto& c) { return c->isEqual(credential); });
        if (entry->defaultCredential && entry->defaultCredential->isEqual(credential)) {
            entry->defaultCredential = nullptr;
        }
    }
}

Ref<NSURLCredential>
NSURLCredentialStorage::defaultCredentialForProtectionSpace(const Ref<NSURLProtectionSpace>& space) const {
    std::lock_guard lock(mutex_);
    const Entry* entry = space ? find(space) : nullptr;
    return entry ? entry->defaultCredential : nullptr;
}

void NSURLCredentialStorage::setDefaultCredentialForProtectionSpace(const Ref<NSURLCredential>& credential,
                                                                    const Ref<NSURLProtectionSpace>& space) {
    if (!credential || !space || credential->persistence() == NSURLCredentialPersistenceNone) {
        return;
    }
    setCredentialForProtectionSpace(credential, space);
    std::lock_guard lock(mutex_);
    if (Entry* entry = find(space)) {
        entry->defaultCredential = credential;
    }
}
