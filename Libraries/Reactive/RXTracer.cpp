#include <Reactive/RXTracer.h>

#include <Foundation/NSString.h>

#include <cctype>

std::atomic<RXTracer*> RXTracer::current_{nullptr};

RXTracer* RXTracer::setTracer(RXTracer* tracer) noexcept {
    return current_.exchange(tracer, std::memory_order_acq_rel);
}

namespace {
std::string foldWhitespace(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    bool inSpace = false;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (!inSpace) {
                out.push_back(' ');
            }
            inSpace = true;
        } else {
            out.push_back(c);
            inSpace = false;
        }
    }
    return out;
}
} // namespace

std::string RXTracer::probeDescription(const id& object) {
    return foldWhitespace(NSDescription(object)->str());
}

std::string RXTracer::signalProbeDescription(const id& signal) {
    std::string text = NSDescription(signal)->str();
    auto pos = text.find(" name:");
    if (pos != std::string::npos) {
        text.erase(pos, 6);
    }
    return foldWhitespace(text);
}
