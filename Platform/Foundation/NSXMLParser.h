// NSXMLParser: an event-driven XML reader on expat. The delegate (held weakly) gets the platform's
// delegate messages by selector, each only when it responds to it:
//     parserDidStartDocument:                          (parser)
//     parser:didStartElement:namespaceURI:qualifiedName:attributes:
//                                                      (parser, name, nil, nil, NSDictionary of attributes)
//     parser:foundCharacters:                          (parser, NSString; adjacent text in one call)
//     parser:foundCDATA:                               (parser, NSData; else the text goes to foundCharacters)
//     parser:didEndElement:namespaceURI:qualifiedName: (parser, name, nil, nil)
//     parserDidEndDocument:                            (parser)
//     parser:parseErrorOccurred:                       (parser, NSError)
// Safe against hostile input: external entities are never loaded and a document that declares
// entities is refused, so nothing outside the document is read and nothing expands.
#pragma once

#include <Foundation/NSData.h>
#include <Foundation/NSError.h>

#include <exception>

const Ref<NSString>& NSXMLParserErrorDomain();

// Error codes of NSXMLParserErrorDomain: expat's error number for a malformed document (see
// docs/foundation.md), and these.
enum : NSInteger {
    NSXMLParserInternalError = 1,
    NSXMLParserEntityDeclarationRefusedError = 90, // the document declares entities
    NSXMLParserDelegateAbortedParseError = 512,
};

class NSXMLParser : public NSObject {
    NS_OBJECT(NSXMLParser, NSObject)
public:
    // `initWithData:`.
    explicit NSXMLParser(const Ref<NSData>& data);

    Ref<NSObject> delegate() const { return delegate_.lock(); }
    void setDelegate(const id& delegate) { delegate_ = delegate; }

    // Reads the whole document, sending the delegate its messages; false when the document is
    // malformed or the delegate aborted (parserError tells which).
    bool parse();
    // From a delegate message: stops the parse, which then fails with
    // NSXMLParserDelegateAbortedParseError.
    void abortParsing();
    const Ref<NSError>& parserError() const noexcept { return error_; }
    // Where the parser is (1-based line, 0-based column), during a delegate message or after an error.
    NSInteger lineNumber() const noexcept { return line_; }
    NSInteger columnNumber() const noexcept { return column_; }

    struct Run;

private:
    Ref<NSData> data_;
    Weak<NSObject> delegate_;
    Ref<NSError> error_;
    NSInteger line_ = 0;
    NSInteger column_ = 0;
    Run* run_ = nullptr;
};
