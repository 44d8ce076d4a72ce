#include "Workload.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <set>

namespace peers {

namespace {

// Keys are section + setting + four digits: the sections and settings are
// shared by many keys, as in a real configuration.
const char* const kSections[] = {
    "Security.Timeouts.", "Network.Proxy.",    "Meetings.Video.",      "Presence.Status.",
    "Telephony.Voicemail.", "Directory.Search.", "Messaging.Archive.", "Calendar.Reminders.",
};
const char* const kSettings[] = {"Interval", "Retries", "Server", "Enabled", "Limit", "Port", "Timeout", "Mode"};
constexpr std::size_t kSectionCount = sizeof(kSections) / sizeof(kSections[0]);
constexpr std::size_t kSettingCount = sizeof(kSettings) / sizeof(kSettings[0]);
constexpr std::size_t kShortestKey = 22;
constexpr std::size_t kLongestKey = 30;

// Key number n: unique for every n below 10,000. A setting that would make
// the key longer than 30 characters is cut short.
std::string keyName(std::size_t n) {
    const std::string section = kSections[n % kSectionCount];
    std::string setting = kSettings[(n / kSectionCount) % kSettingCount];
    char digits[8];
    std::snprintf(digits, sizeof(digits), "%04zu", n);
    const std::size_t room = kLongestKey - section.size() - 4;
    if (setting.size() > room) {
        setting.resize(room);
    }
    return section + setting + digits;
}

std::string valueText(Layer layer, std::size_t n) {
    const char* tag = layer == Layer::User ? "user" : layer == Layer::Administrator ? "admin" : "defaults";
    return std::string("https://") + tag + "-server" + std::to_string(n % 17) + ".example.com/config?item=" +
           std::to_string(n);
}

// Flips the case of some letters, at least one.
std::string otherCase(const std::string& key, std::mt19937& random) {
    std::string other = key;
    bool changed = false;
    for (char& c : other) {
        if (std::isalpha(static_cast<unsigned char>(c)) && random() % 2 == 0) {
            c = std::islower(static_cast<unsigned char>(c)) ? static_cast<char>(std::toupper(c))
                                                              : static_cast<char>(std::tolower(c));
            changed = true;
        }
    }
    if (!changed) {
        other[0] = std::islower(static_cast<unsigned char>(other[0])) ? static_cast<char>(std::toupper(other[0]))
                                                                       : static_cast<char>(std::tolower(other[0]));
    }
    return other;
}

bool isAsciiCaseInsensitiveEqual(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Key numbers of the layers: the administrator overrides the upper 800 of
// the defaults and adds 200 keys of its own; the user sets every 20th key of
// the defaults, 40 of them over administrator values.
constexpr std::size_t kAdministratorFirst = 1200;
constexpr std::size_t kStoredKeys = kAdministratorFirst + Workload::kAdministratorKeys;  // 2,200 distinct keys
constexpr std::size_t kUserStep = 20;
constexpr std::size_t kUserOffset = 7;
constexpr std::size_t kMissLimit = 10000;  // misses use key numbers from kStoredKeys up to here

Workload build() {
    Workload w;
    std::map<std::string, Answer> effective;  // stored key -> answer
    for (std::size_t n = 0; n < Workload::kDefaultsKeys; ++n) {
        w.defaults.push_back({keyName(n), valueText(Layer::Defaults, n)});
    }
    for (std::size_t n = kAdministratorFirst; n < kStoredKeys; ++n) {
        w.administrator.push_back({keyName(n), valueText(Layer::Administrator, n)});
    }
    for (std::size_t j = 0; j < Workload::kUserKeys; ++j) {
        const std::size_t n = kUserOffset + j * kUserStep;
        w.user.push_back({keyName(n), valueText(Layer::User, n)});
    }
    // Most general first, so that later layers replace the answer.
    const std::pair<const std::vector<Entry>*, Layer> layers[] = {
        {&w.defaults, Layer::Defaults}, {&w.administrator, Layer::Administrator}, {&w.user, Layer::User}};
    for (const auto& layer : layers) {
        for (const Entry& entry : *layer.first) {
            effective[entry.key] = Answer{true, layer.second, entry.value};
        }
    }

    std::mt19937 random(20240613);
    const std::size_t hits = Workload::kLookups * Workload::kHitPercent / 100;
    std::vector<std::size_t> numbers;
    numbers.reserve(Workload::kLookups);
    for (std::size_t q = 0; q < hits; ++q) {
        numbers.push_back(random() % kStoredKeys);
    }
    for (std::size_t q = hits; q < Workload::kLookups; ++q) {
        numbers.push_back(kStoredKeys + random() % (kMissLimit - kStoredKeys));
    }
    std::shuffle(numbers.begin(), numbers.end(), random);
    for (std::size_t n : numbers) {
        const std::string key = keyName(n);
        w.queries.push_back(key);
        w.otherCaseQueries.push_back(otherCase(key, random));
        auto found = effective.find(key);
        w.expected.push_back(found == effective.end() ? Answer() : found->second);
    }
    return w;
}

}  // namespace

const char* layerName(Layer layer) {
    switch (layer) {
        case Layer::User:
            return "user";
        case Layer::Administrator:
            return "administrator";
        case Layer::Defaults:
            return "defaults";
        case Layer::None:
            break;
    }
    return "none";
}

Layer layerOfValue(const std::string& value) {
    const std::pair<const char*, Layer> tags[] = {
        {"https://user-", Layer::User}, {"https://admin-", Layer::Administrator}, {"https://defaults-", Layer::Defaults}};
    for (const auto& tag : tags) {
        if (value.rfind(tag.first, 0) == 0) {
            return tag.second;
        }
    }
    return Layer::None;
}

const Workload& Workload::get() {
    static const Workload workload = build();
    return workload;
}

std::string Workload::describeFault() const {
    if (defaults.size() != kDefaultsKeys || administrator.size() != kAdministratorKeys || user.size() != kUserKeys) {
        return "layer sizes differ from 2,000 / 1,000 / 100";
    }
    std::set<std::string> distinct;
    for (const auto* layer : {&defaults, &administrator, &user}) {
        for (const Entry& entry : *layer) {
            const std::size_t length = entry.key.size();
            if (length < kShortestKey || length > kLongestKey) {
                return "key " + entry.key + " is not 22 to 30 characters long";
            }
            const bool upper = std::any_of(entry.key.begin(), entry.key.end(), ::isupper);
            const bool lower = std::any_of(entry.key.begin(), entry.key.end(), ::islower);
            if (!upper || !lower) {
                return "key " + entry.key + " is not in mixed case";
            }
            distinct.insert(entry.key);
        }
    }
    if (distinct.size() != kStoredKeys) {
        return "the layers do not hold 2,200 distinct keys";
    }
    if (queries.size() != kLookups || otherCaseQueries.size() != kLookups || expected.size() != kLookups) {
        return "there are not 100,000 lookups";
    }
    std::size_t hits = 0;
    for (std::size_t q = 0; q < kLookups; ++q) {
        hits += expected[q].found;
        if (queries[q] == otherCaseQueries[q] || !isAsciiCaseInsensitiveEqual(queries[q], otherCaseQueries[q])) {
            return "lookup " + queries[q] + " has no other-case form";
        }
    }
    if (hits != kLookups * kHitPercent / 100) {
        return "the lookups do not hit 90% of the time";
    }
    return std::string();
}

bool writeIniFile(const std::string& path, const std::vector<Entry>& entries) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << '[' << kIniGroup << "]\n";
    for (const Entry& entry : entries) {
        out << entry.key << '=' << entry.value << '\n';
    }
    return static_cast<bool>(out);
}

namespace {

std::string xmlEscaped(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

}  // namespace

bool writeDefaultsXml(const std::string& path, const std::vector<Entry>& entries) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Nuvrix>\n";
    for (const Entry& entry : entries) {
        out << " <userConfig name=\"" << xmlEscaped(entry.key) << "\" value=\"" << xmlEscaped(entry.value)
            << "\"/>\n";
    }
    out << "</Nuvrix>\n";
    return static_cast<bool>(out);
}

}  // namespace peers
