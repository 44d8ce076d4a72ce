// Personal-data masking of log text (ZVFLogger_replacePIIData): e-mail
// addresses, IPv4 and IPv6 addresses and the user's home directory are
// replaced by placeholders before a path or a server's answer is logged.
// Each scanner walks the text once, so that hostile text (long runs of '@',
// ':' or digits) costs time linear in its length. Stateless; thread-safe.
#include <arpa/inet.h>

#include <cstdlib>
#include <string>

#include "logging/ZVFLogger.h"

namespace {

bool isAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool isWordChar(char c) { return isAlnum(c) || c == '_'; }

bool isEmailLocalChar(char c) {
    return isAlnum(c) || c == '.' || c == '_' || c == '%' || c == '+' || c == '-';
}
bool isDomainChar(char c) { return isAlnum(c) || c == '.' || c == '-'; }

// Replaces every local@domain.tld with "<email>".
std::string maskEmails(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    std::size_t copied = 0;
    std::size_t at = text.find('@');
    while (at != std::string::npos) {
        std::size_t begin = at;
        while (begin > copied && isEmailLocalChar(text[begin - 1])) {
            --begin;
        }
        std::size_t end = at + 1;
        while (end < text.size() && isDomainChar(text[end])) {
            ++end;
        }
        // Trailing dots and hyphens belong to the sentence, not the domain.
        while (end > at + 1 && (text[end - 1] == '.' || text[end - 1] == '-')) {
            --end;
        }
        const std::string domain = text.substr(at + 1, end - at - 1);
        const std::size_t dot = domain.rfind('.');
        const bool valid = begin < at && dot != std::string::npos && dot > 0 && dot + 1 < domain.size();
        if (valid) {
            out.append(text, copied, begin - copied);
            out += "<email>";
            copied = end;
            at = text.find('@', end);
        } else {
            at = text.find('@', at + 1);
        }
    }
    out.append(text, copied, std::string::npos);
    return out;
}

// Replaces every IPv6 address (as inet_pton accepts it, with at least two
// colons and one hex digit, standing alone as a word) with "<ipv6>".
std::string maskIpv6(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    std::size_t copied = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (!(isHex(text[i]) || text[i] == ':')) {
            ++i;
            continue;
        }
        std::size_t end = i;
        int colons = 0;
        bool hexDigit = false;
        while (end < text.size() && (isHex(text[end]) || text[end] == ':' || text[end] == '.')) {
            colons += text[end] == ':';
            hexDigit = hexDigit || isHex(text[end]);
            ++end;
        }
        std::size_t tokenEnd = end;
        while (tokenEnd > i && text[tokenEnd - 1] == '.') {  // a sentence's full stop
            --tokenEnd;
        }
        const bool standsAlone = (i == 0 || !isWordChar(text[i - 1])) &&
                                 (end == text.size() || !isWordChar(text[end]));
        bool masked = false;
        if (standsAlone && colons >= 2 && hexDigit && tokenEnd - i <= 45) {
            const std::string candidate = text.substr(i, tokenEnd - i);
            unsigned char address[16];
            if (inet_pton(AF_INET6, candidate.c_str(), address) == 1) {
                out.append(text, copied, i - copied);
                out += "<ipv6>";
                copied = tokenEnd;
                masked = true;
            }
        }
        i = masked ? tokenEnd : end;
        // Skip the rest of a word so that a hex run inside a word is never
        // taken for the start of an address.
        while (!masked && i < text.size() && isWordChar(text[i])) {
            ++i;
        }
    }
    out.append(text, copied, std::string::npos);
    return out;
}

// Replaces every dotted-quad IPv4 address with "<ipv4>".
std::string maskIpv4(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    std::size_t copied = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (!isDigit(text[i]) || (i > 0 && (isWordChar(text[i - 1]) || text[i - 1] == '.'))) {
            ++i;
            continue;
        }
        std::size_t pos = i;
        bool valid = true;
        for (int group = 0; group < 4 && valid; ++group) {
            if (group > 0) {
                if (pos < text.size() && text[pos] == '.') {
                    ++pos;
                } else {
                    valid = false;
                    break;
                }
            }
            std::size_t digits = 0;
            int value = 0;
            while (pos < text.size() && isDigit(text[pos]) && digits < 4) {
                value = value * 10 + (text[pos] - '0');
                ++pos;
                ++digits;
            }
            valid = digits >= 1 && digits <= 3 && value <= 255;
        }
        // Not followed by more of a number ("1.2.3.4.5" or "1.2.3.4x").
        if (valid && pos < text.size() &&
            (isWordChar(text[pos]) || (text[pos] == '.' && pos + 1 < text.size() && isDigit(text[pos + 1])))) {
            valid = false;
        }
        if (valid) {
            out.append(text, copied, i - copied);
            out += "<ipv4>";
            copied = pos;
            i = pos;
        } else {
            while (i < text.size() && (isWordChar(text[i]) || text[i] == '.')) {
                ++i;
            }
        }
    }
    out.append(text, copied, std::string::npos);
    return out;
}

// Replaces the home directory, where it stands as a whole path prefix, with "~".
std::string maskHome(const std::string& text) {
    const char* homeValue = std::getenv("HOME");
    std::string home = homeValue ? homeValue : "";
    while (home.size() > 1 && home.back() == '/') {
        home.pop_back();
    }
    if (home.size() < 2) {  // "" or "/": nothing personal to hide
        return text;
    }
    std::string out;
    out.reserve(text.size());
    std::size_t copied = 0;
    std::size_t found = text.find(home);
    while (found != std::string::npos) {
        const std::size_t end = found + home.size();
        const bool wholeComponent = end == text.size() || !(isWordChar(text[end]) || text[end] == '-' ||
                                                            text[end] == '.');
        if (wholeComponent) {
            out.append(text, copied, found - copied);
            out += '~';
            copied = end;
            found = text.find(home, end);
        } else {
            found = text.find(home, found + 1);
        }
    }
    out.append(text, copied, std::string::npos);
    return out;
}

}  // namespace

std::string ZVFLogger_replacePIIData(const std::string& text) {
    return maskIpv4(maskIpv6(maskEmails(maskHome(text))));
}
