#ifndef CONFIG_XMLERRORSCOPE_H
#define CONFIG_XMLERRORSCOPE_H

#include <libxml/xmlerror.h>

class ZVFLogger;

namespace ZVFUnified {

// Routes the error output of libxml2 on the calling thread to one of our
// loggers (level 3) for as long as it exists, instead of libxml2's default
// of printing to standard error. libxml2 keeps its error handlers per
// thread, so every operation that parses, dumps or writes XML opens a scope
// of its own; the handlers that were in place before are restored when the
// scope ends, so scopes nest and other users of libxml2 on the thread are
// not affected. Only the first line of each message is logged (later lines
// can quote bytes of the document), and only the first few records of a
// scope, so that a hostile document cannot flood the log.
// Not copyable; lives on the stack of one thread.
class XmlErrorScope {
public:
    explicit XmlErrorScope(ZVFLogger* logger);
    ~XmlErrorScope();
    XmlErrorScope(const XmlErrorScope&) = delete;
    XmlErrorScope& operator=(const XmlErrorScope&) = delete;

    // Records logged at most per scope; one more record says that the rest
    // were dropped.
    static constexpr int MAX_RECORDS = 16;

    // The number of libxml2 errors reported while the scope was open.
    int errorCount() const { return errors; }

private:
    static void onStructuredError(void* context, xmlErrorPtr error);
    static void onGenericError(void* context, const char* format, ...);
    void report(const char* message, int line);

    ZVFLogger* logger;
    int errors = 0;
    xmlStructuredErrorFunc previousStructured;
    void* previousStructuredContext;
    xmlGenericErrorFunc previousGeneric;
    void* previousGenericContext;
};

}  // namespace ZVFUnified

#endif
