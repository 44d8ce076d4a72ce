#include "output/Output.h"

#include <ostream>

namespace nuvrixconfig {

Output::Output(std::ostream& outIn, std::ostream& errIn, bool jsonIn) : out(outIn), err(errIn), json(jsonIn) {}

void Output::text(const std::string& body) {
    if (body.empty()) {
        return;
    }
    std::lock_guard<std::mutex> guard(lock);
    out << body;
    if (body.back() != '\n') {
        out << '\n';
    }
    out.flush();
}

void Output::document(const nlohmann::json& doc) {
    // Values come from files and servers: invalid UTF-8 is replaced rather
    // than thrown about.
    const std::string body = doc.dump(compactJson ? -1 : 2, ' ', false, nlohmann::json::error_handler_t::replace);
    std::lock_guard<std::mutex> guard(lock);
    out << body << '\n';
    out.flush();
}

void Output::error(const std::string& message) {
    std::lock_guard<std::mutex> guard(lock);
    err << "nuvrix-config: " << message << '\n';
    err.flush();
}

}  // namespace nuvrixconfig
