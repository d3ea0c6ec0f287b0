// The headers nearly every source of the tree includes: the standard library's common headers, the
// runtime and Foundation's value classes. Compiled once per build folder and reused by every object
// library, the simulator and the benchmarks (cmake/Layers.cmake). It is a build-speed device only: each
// source still includes what it uses, as if this header did not exist.
#pragma once

#include <algorithm>
#include <any>
#include <array>
#include <atomic>
#include <cassert>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iomanip>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <shared_mutex>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

#include <Foundation/NSArray.h>
#include <Foundation/NSData.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSError.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSSet.h>
#include <Foundation/NSString.h>
#include <Runtime/ClassBuilder.h>
#include <Runtime/NSObject.h>
