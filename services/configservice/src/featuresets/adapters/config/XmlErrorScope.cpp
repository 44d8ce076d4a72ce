#include "XmlErrorScope.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include <libxml/globals.h>

#include "XmlLibrary.h"
#include "logging/ZVFLogger.h"

namespace ZVFUnified {

XmlErrorScope::XmlErrorScope(ZVFLogger* logger)
    : logger(logger),
      previousStructured(nullptr),
      previousStructuredContext(nullptr),
      previousGeneric(nullptr),
      previousGenericContext(nullptr) {
    XmlLibrary::initialize();
    previousStructured = xmlStructuredError;
    previousStructuredContext = xmlStructuredErrorContext;
    previousGeneric = xmlGenericError;
    previousGenericContext = xmlGenericErrorContext;
    xmlSetStructuredErrorFunc(this, &XmlErrorScope::onStructuredError);
    xmlSetGenericErrorFunc(this, &XmlErrorScope::onGenericError);
}

XmlErrorScope::~XmlErrorScope() {
    xmlSetStructuredErrorFunc(previousStructuredContext, previousStructured);
    xmlSetGenericErrorFunc(previousGenericContext, previousGeneric);
}

void XmlErrorScope::onStructuredError(void* context, xmlErrorPtr error) {
    if (context == nullptr || error == nullptr) {
        return;
    }
    static_cast<XmlErrorScope*>(context)->report(error->message, error->line);
}

void XmlErrorScope::onGenericError(void* context, const char* format, ...) {
    if (context == nullptr || format == nullptr) {
        return;
    }
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    static_cast<XmlErrorScope*>(context)->report(text, 0);
}

void XmlErrorScope::report(const char* message, int line) {
    ++errors;
    if (logger == nullptr || errors > MAX_RECORDS + 1) {
        return;
    }
    if (errors == MAX_RECORDS + 1) {
        ZVF_LOG(logger, 3, std::string("Further XML errors of this document are not logged"));
        return;
    }
    std::string text = message != nullptr ? message : "";
    // Later lines of a libxml2 message can quote bytes of the document.
    std::string::size_type end = text.find('\n');
    if (end != std::string::npos) {
        text.erase(end);
    }
    std::string record = "XML error: " + text;
    if (line > 0) {
        record += " (line " + std::to_string(line) + ")";
    }
    ZVF_LOG(logger, 3, ZVFLogger_replacePIIData(record));
}

}  // namespace ZVFUnified
