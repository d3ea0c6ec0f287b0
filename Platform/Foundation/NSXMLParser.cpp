#include <Foundation/NSDictionary.h>
#include <Foundation/NSXMLParser.h>
#include <Runtime/ClassBuilder.h>

#include <expat.h>

#include <algorithm>
#include <climits>

NS_IMPLEMENT_CLASS(NSXMLParser, NSObject) {}

const Ref<NSString>& NSXMLParserErrorDomain() {
    static const Ref<NSString> domain = NSString::from("NSXMLParserErrorDomain");
    return domain;
}

struct NSXMLParser::Run {
    NSXMLParser* owner = nullptr;
    XML_Parser expat = nullptr;
    Ref<NSObject> delegate; // held strongly for the length of the parse
    std::string text;       // character data not yet reported
    bool inCDATA = false;
    std::string cdata;
    std::exception_ptr raised; // an exception from the delegate, rethrown after expat returns
    Ref<NSError> error;

    void position() {
        owner->line_ = static_cast<NSInteger>(XML_GetCurrentLineNumber(expat));
        owner->column_ = static_cast<NSInteger>(XML_GetCurrentColumnNumber(expat));
    }

    bool responds(const char* selector) const { return delegate && delegate->respondsToSelector(SEL(selector)); }

    void send(const char* selector, const std::vector<id>& args) {
        if (raised || error || !responds(selector)) {
            return;
        }
        position();
        try {
            delegate->performSelectorWithArguments(SEL(selector), args);
        } catch (...) {
            raised = std::current_exception();
            XML_StopParser(expat, XML_FALSE);
        }
    }

    void flushText() {
        if (text.empty()) {
            return;
        }
        std::string pending = std::move(text);
        text.clear();
        send("parser:foundCharacters:", {id(owner), NSString::from(pending)});
    }

    void fail(NSInteger code, const std::string& description) {
        if (!error) {
            error = make<NSError>(
                NSXMLParserErrorDomain(), code,
                NSDictionary::dictionaryWithEntries({{NSLocalizedDescriptionKey(), NSString::from(description)}}));
        }
        XML_StopParser(expat, XML_FALSE);
    }
};

namespace {

NSXMLParser::Run& runOf(void* data) {
    return *static_cast<NSXMLParser::Run*>(data);
}

void onStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto& run = runOf(data);
    run.flushText();
    auto attrs = NSMutableDictionary::dictionary();
    for (int i = 0; attributes && attributes[i]; i += 2) {
        attrs->setObjectForKey(NSString::from(attributes[i + 1]), NSString::from(attributes[i]));
    }
    run.send("parser:didStartElement:namespaceURI:qualifiedName:attributes:",
             {id(run.owner), NSString::from(name), nullptr, nullptr, attrs->copy()});
}

void onEnd(void* data, const XML_Char* name) {
    auto& run = runOf(data);
    run.flushText();
    run.send("parser:didEndElement:namespaceURI:qualifiedName:",
             {id(run.owner), NSString::from(name), nullptr, nullptr});
}

void onText(void* data, const XML_Char* s, int length) {
    auto& run = runOf(data);
    if (run.inCDATA && run.responds("parser:foundCDATA:")) {
        run.cdata.append(s, static_cast<size_t>(length));
    } else {
        run.text.append(s, static_cast<size_t>(length));
    }
}

void onStartCDATA(void* data) {
    auto& run = runOf(data);
    run.flushText();
    run.inCDATA = true;
}

void onEndCDATA(void* data) {
    auto& run = runOf(data);
    run.inCDATA = false;
    if (!run.cdata.empty() || run.responds("parser:foundCDATA:")) {
        std::string bytes = std::move(run.cdata);
        run.cdata.clear();
        run.send("parser:foundCDATA:", {id(run.owner), NSData::dataWithBytesLength(bytes.data(), bytes.size())});
    }
}

void onEntityDeclaration(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*, const XML_Char*,
                         const XML_Char*, const XML_Char*) {
    auto& run = runOf(data);
    run.position();
    run.fail(NSXMLParserEntityDeclarationRefusedError, "The document declares entities, which are not accepted.");
}

} // namespace

NSXMLParser::NSXMLParser(const Ref<NSData>& data) : data_(data ? data : NSData::data()) {}

void NSXMLParser::abortParsing() {
    if (run_) {
        run_->fail(NSXMLParserDelegateAbortedParseError, "The delegate aborted the parse.");
    }
}

bool NSXMLParser::parse() {
    if (run_) {
        return false; // already parsing
    }
    error_ = nullptr;
    XML_Parser expat = XML_ParserCreate("UTF-8");
    if (!expat) {
        error_ = make<NSError>(NSXMLParserErrorDomain(), NSXMLParserInternalError);
        return false;
    }
    Run run;
    run.owner = this;
    run.expat = expat;
    run.delegate = delegate_.lock();
    run_ = &run;
    XML_SetUserData(expat, &run);
    XML_SetElementHandler(expat, onStart, onEnd);
    XML_SetCharacterDataHandler(expat, onText);
    XML_SetCdataSectionHandler(expat, onStartCDATA, onEndCDATA);
    XML_SetEntityDeclHandler(expat, onEntityDeclaration);
    XML_SetParamEntityParsing(expat, XML_PARAM_ENTITY_PARSING_NEVER);

    run.send("parserDidStartDocument:", {id(this)});
    const auto* bytes = reinterpret_cast<const char*>(data_->bytes());
    size_t left = data_->length();
    XML_Status status = XML_STATUS_OK;
    while (status == XML_STATUS_OK && !run.raised && !run.error) {
        int chunk = static_cast<int>(std::min<size_t>(left, INT_MAX / 2));
        bool last = static_cast<size_t>(chunk) == left;
        status = XML_Parse(expat, bytes, chunk, last ? XML_TRUE : XML_FALSE);
        bytes += chunk;
        left -= static_cast<size_t>(chunk);
        if (last) {
            break;
        }
    }
    if (status != XML_STATUS_OK && !run.error && !run.raised) {
        run.position();
        XML_Error code = XML_GetErrorCode(expat);
        run.error = make<NSError>(
            NSXMLParserErrorDomain(), static_cast<NSInteger>(code),
            NSDictionary::dictionaryWithEntries(
                {{NSLocalizedDescriptionKey(),
                  NSString::stringWithFormat("%s at line %ld, column %ld", XML_ErrorString(code), line_, column_)}}));
    }
    if (!run.error && !run.raised) {
        run.flushText();
        run.send("parserDidEndDocument:", {id(this)});
    }
    XML_ParserFree(expat);
    run_ = nullptr;
    if (run.raised) {
        std::rethrow_exception(run.raised);
    }
    if (run.error) {
        error_ = run.error;
        Ref<NSObject> delegate = run.delegate;
        if (delegate && delegate->respondsToSelector(SEL("parser:parseErrorOccurred:"))) {
            delegate->performSelectorWithArguments(SEL("parser:parseErrorOccurred:"), {id(this), error_});
        }
        return false;
    }
    return true;
}
