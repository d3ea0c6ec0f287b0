// Checking the shape of a binary property list before libplist reads it (see BinaryPropertyListShape.h).
//
// The format: "bplist00", the objects, a table of the objects' offsets, and a 32-byte trailer that
// gives the size of an offset and of an object reference, the number of objects, the top object and
// where the offset table starts. A container's marker byte holds its kind in the high nibble (0xA
// array, 0xC set, 0xD dictionary) and its count in the low one (0xF: an integer object with the count
// follows); then come its references (a dictionary's keys, then its values).
#include <Foundation/BinaryPropertyListShape.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace foundation_detail {

namespace {

constexpr size_t kHeaderSize = 8;
constexpr size_t kTrailerSize = 32;

uint64_t bigEndian(const unsigned char* p, size_t size) {
    uint64_t value = 0;
    for (size_t i = 0; i < size; ++i) {
        value = (value << 8) | p[i];
    }
    return value;
}

class Shape {
public:
    Shape(const unsigned char* bytes, size_t length) : bytes_(bytes), length_(length) {}

    // False when the trailer cannot be followed: nothing is checked then.
    bool readTrailer() {
        if (length_ < kHeaderSize + kTrailerSize) {
            return false;
        }
        const unsigned char* trailer = bytes_ + length_ - kTrailerSize;
        offsetSize_ = trailer[6];
        refSize_ = trailer[7];
        count_ = bigEndian(trailer + 8, 8);
        top_ = bigEndian(trailer + 16, 8);
        table_ = bigEndian(trailer + 24, 8);
        size_t end = length_ - kTrailerSize;
        return offsetSize_ >= 1 && offsetSize_ <= 8 && refSize_ >= 1 && refSize_ <= 8 && table_ >= kHeaderSize &&
               table_ <= end && count_ <= (end - table_) / offsetSize_ && top_ < count_;
    }

    size_t count() const { return static_cast<size_t>(count_); }
    size_t top() const { return static_cast<size_t>(top_); }

    // The container at `object`: where its references start and how many there are; false for any
    // other value, and for a container that cannot be followed (the reader refuses it).
    bool container(size_t object, size_t& refs, size_t& first) const {
        uint64_t offset = bigEndian(bytes_ + table_ + object * offsetSize_, offsetSize_);
        if (offset < kHeaderSize || offset >= table_) {
            return false;
        }
        unsigned char marker = bytes_[offset];
        unsigned kind = marker >> 4;
        if (kind != 0xA && kind != 0xC && kind != 0xD) {
            return false;
        }
        uint64_t n = marker & 0xF;
        uint64_t at = offset + 1;
        if (n == 0xF) {
            if (at >= table_ || (bytes_[at] >> 4) != 0x1) {
                return false;
            }
            uint64_t size = uint64_t(1) << (bytes_[at] & 0xF);
            if (size > 8 || at + 1 + size > table_) {
                return false;
            }
            n = bigEndian(bytes_ + at + 1, static_cast<size_t>(size));
            at += 1 + size;
        }
        uint64_t perEntry = kind == 0xD ? 2 : 1;
        if (n > (table_ - at) / refSize_ / perEntry) {
            return false;
        }
        refs = static_cast<size_t>(n * perEntry);
        first = static_cast<size_t>(at);
        return true;
    }

    size_t reference(size_t first, size_t index) const {
        return static_cast<size_t>(bigEndian(bytes_ + first + index * refSize_, refSize_));
    }

private:
    const unsigned char* bytes_;
    size_t length_;
    size_t offsetSize_ = 0;
    size_t refSize_ = 0;
    uint64_t count_ = 0;
    uint64_t top_ = 0;
    uint64_t table_ = 0;
};

} // namespace

bool binaryPropertyListShapeIsSound(const char* data, size_t length, size_t depthLimit, size_t valueLimit,
                                    std::string& reason) {
    Shape shape(reinterpret_cast<const unsigned char*>(data), length);
    if (!shape.readTrailer()) {
        return true;
    }
    // Per object, once it is finished: how many levels of containers it holds (itself included) and
    // how many values the reader makes of it (itself and every copy below it, capped past the limit).
    constexpr uint32_t kUnseen = UINT32_MAX;
    constexpr uint32_t kOpen = UINT32_MAX - 1;
    std::vector<uint32_t> height(shape.count(), kUnseen);
    std::vector<uint64_t> values(shape.count(), 0);
    struct Frame {
        size_t object;
        size_t refs;
        size_t first;
        size_t next;
        uint32_t height;
        uint64_t values;
    };
    std::vector<Frame> open;
    auto tooDeep = [&] {
        reason = "more than " + std::to_string(depthLimit) + " nested arrays or dictionaries";
        return false;
    };
    auto tooMany = [&] {
        reason = "its shared objects unfold into more than " + std::to_string(valueLimit) + " values";
        return false;
    };
    // Opens a container, or finishes any other value at once; false when the list is refused.
    auto enter = [&](size_t object) {
        Frame frame{object, 0, 0, 0, 0, 1};
        if (!shape.container(object, frame.refs, frame.first)) {
            height[object] = 0;
            values[object] = 1;
            return true;
        }
        if (open.size() >= depthLimit) {
            return tooDeep();
        }
        height[object] = kOpen;
        open.push_back(frame);
        return true;
    };
    if (!enter(shape.top())) {
        return false;
    }
    while (!open.empty()) {
        Frame& frame = open.back();
        if (frame.next == frame.refs) {
            size_t object = frame.object;
            height[object] = frame.height + 1;
            values[object] = frame.values;
            open.pop_back();
            if (!open.empty()) {
                Frame& parent = open.back();
                parent.height = std::max(parent.height, height[object]);
                parent.values = std::min<uint64_t>(parent.values + values[object], valueLimit + 1);
                if (parent.values > valueLimit) {
                    return tooMany();
                }
            }
            continue;
        }
        size_t child = shape.reference(frame.first, frame.next++);
        if (child >= shape.count()) {
            continue; // the reader refuses a reference past the table
        }
        if (height[child] == kOpen) {
            reason = "a container holds itself";
            return false;
        }
        if (height[child] == kUnseen) {
            if (!enter(child)) {
                return false;
            }
            if (height[child] == kOpen) {
                continue; // counted into this frame once it is finished
            }
        }
        // A value, or an object seen before (the reader makes another copy of it here). `frame` still
        // stands: nothing was opened.
        if (open.size() + height[child] > depthLimit) {
            return tooDeep();
        }
        frame.height = std::max(frame.height, height[child]);
        frame.values = std::min<uint64_t>(frame.values + values[child], valueLimit + 1);
        if (frame.values > valueLimit) {
            return tooMany();
        }
    }
    return true;
}

} // namespace foundation_detail
