#include <Network/NSCachedURLResponse.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(NSCachedURLResponse, NSObject) {}
