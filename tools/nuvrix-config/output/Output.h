#ifndef NUVRIXCONFIG_OUTPUT_H
#define NUVRIXCONFIG_OUTPUT_H

#include <iosfwd>
#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

namespace nuvrixconfig {

// Where the program's results and complaints go: results to standard output
// as text or, with --json, as one JSON document per command; complaints to
// standard error as one line "nuvrix-config: ...". Thread-safe: watch
// notifications print from the services thread while commands print from
// the main thread, and every call writes whole lines under one lock.
class Output {
public:
    Output(std::ostream& out, std::ostream& err, bool json);
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    bool isJson() const { return json; }
    // Compact JSON (one document per line) instead of indented; the shell
    // uses it so that a script reads one line per command.
    void setCompactJson(bool compact) { compactJson = compact; }

    // Text that ends with a line break unless it is empty.
    void text(const std::string& text);
    void document(const nlohmann::json& doc);
    // One of the two, as --json asks: the document, or what render makes of it.
    template <class Render>
    void result(const nlohmann::json& doc, Render render) {
        if (json) {
            document(doc);
        } else {
            text(render(doc));
        }
    }
    void error(const std::string& message);

private:
    std::mutex lock;  // one writer at a time, whole lines
    std::ostream& out;
    std::ostream& err;
    const bool json;
    bool compactJson = false;
};

}  // namespace nuvrixconfig

#endif
