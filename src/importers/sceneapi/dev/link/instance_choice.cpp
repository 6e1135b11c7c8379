#include "dev/link/instance_choice.h"

#include "dev/link/photara_live.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <tinyxml.h>

namespace vtl {

namespace {

// Documents nested deeper are not parsed: the parser and the walks below recurse once per
// level, and the documents an instance hands out are a few levels deep.
constexpr int kMaxDocumentDepth = 256;
// TinyXML steps over a whole UTF-8 sequence at once, up to four bytes, even when the text ends
// inside it; the text is parsed from a copy followed by this many zero bytes.
constexpr std::size_t kParsePadding = 8;
// The highest live-link port; a port of 0 or less means the instance accepts no live link.
constexpr long long kHighestPort = 65535;

// Tells whether the element nesting of an XML text stays within kMaxDocumentDepth. The count
// errs upwards only: markup inside comments, declarations and quoted attribute values never
// lowers it.
bool shallow_enough(const char* xml) {
    int depth = 0;
    for (const char* p = xml; *p; ++p) {
        if (*p != '<') continue;
        if (p[1] == '/') {
            --depth;
        } else if (p[1] != '!' && p[1] != '?') {
            if (++depth > kMaxDocumentDepth) return false;
            // The rest of the start tag: quoted values are skipped whole, "/>" closes it.
            for (++p; *p && *p != '>'; ++p) {
                if (*p == '"' || *p == '\'') {
                    const char quote = *p;
                    while (p[1] && p[1] != quote)
                        ++p;
                    if (p[1]) ++p;
                } else if (*p == '/' && p[1] == '>') {
                    --depth;
                }
            }
            if (!*p) break;
        }
    }
    return true;
}

// Parses the text into document; its root element, or null when there is none, the text is
// not well-formed (a truncated document must not pass for a smaller one) or it is nested too
// deeply to be parsed safely.
const TiXmlElement* parse_root(TiXmlDocument& document, const char* xml) {
    if (!shallow_enough(xml)) return nullptr;
    std::string padded(xml);
    padded.append(kParsePadding, '\0');
    document.Parse(padded.c_str());
    return document.Error() ? nullptr : document.RootElement();
}

// Returns the first element named name in a pre-order walk of element, itself included.
const TiXmlElement* find_element(const TiXmlElement* element, const char* name) {
    if (element->ValueStr() == name) return element;
    for (const TiXmlElement* child = element->FirstChildElement(); child;
         child = child->NextSiblingElement())
        if (const TiXmlElement* found = find_element(child, name)) return found;
    return nullptr;
}

// Reads the text of the element's first child as a decimal number, as strtol does (leading
// white space, an optional sign, the digits up to the first other character); false when there
// is no such element or text, the text has no digits, or the number lies outside lowest..highest
// (a number too large for 64 bits included).
bool read_number(const TiXmlElement* instance, const char* name, long long lowest,
                 long long highest, long long& out) {
    const TiXmlElement* element = find_element(instance, name);
    const TiXmlNode* text = element ? element->FirstChild() : nullptr;
    if (!text) return false;
    const char* digits = text->Value();
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(digits, &end, 10);
    if (end == digits || errno == ERANGE || value < lowest || value > highest) return false;
    out = value;
    return true;
}

// Tests element, then its descendants down to depth levels in all.
bool holds_selector(const TiXmlElement* element, const std::string& selector, int depth) {
    if (depth <= 0) return false;
    const char* name = element->Attribute("name");
    if (name && selector == name) return true;
    for (const TiXmlElement* child = element->FirstChildElement(); child;
         child = child->NextSiblingElement())
        if (holds_selector(child, selector, depth - 1)) return true;
    return false;
}

// Tells whether the scene under root is empty; a document without root is not.
bool is_empty(const TiXmlElement* root) {
    const TiXmlElement* first = root ? root->FirstChildElement() : nullptr;
    if (!first) return false;
    for (const TiXmlElement* child = first->FirstChildElement(); child;
         child = child->NextSiblingElement())
        if (child->FirstChildElement()) return false;
    return true;
}

// Keeps candidate when its major version is strictly greater than best's.
void keep_newer(InstanceRecord& best, const InstanceRecord& candidate) {
    if (candidate.version_major > best.version_major) best = candidate;
}

} // namespace

std::vector<InstanceRecord> read_instances(const char* xml, int lowest, int highest) {
    std::vector<InstanceRecord> records;
    if (!xml) return records;
    TiXmlDocument document;
    const TiXmlElement* root = parse_root(document, xml);
    if (!root) return records;
    for (const TiXmlElement* instance = root->FirstChildElement(); instance;
         instance = instance->NextSiblingElement()) {
        long long version = 0;
        long long process_id = 0;
        long long port = 0;
        if (!read_number(instance, kInstanceVersionElement, INT32_MIN, INT32_MAX, version) ||
            !read_number(instance, kInstanceProcessElement, INT64_MIN, INT64_MAX, process_id) ||
            !read_number(instance, kInstancePortElement, INT32_MIN, kHighestPort, port))
            continue;
        if (version < lowest || version > highest) continue;
        InstanceRecord record;
        record.version_major = static_cast<std::int32_t>(version);
        record.process_id = static_cast<std::int64_t>(process_id);
        record.live_link_port = static_cast<std::int32_t>(port);
        records.push_back(record);
    }
    return records;
}

InstanceChoice choose_instance(PhotaraQueryApi& query, const std::vector<InstanceRecord>& records,
                               const std::string& selector, bool accept_any_instance) {
    InstanceRecord best_selected;
    InstanceRecord best_any;
    InstanceRecord best_empty;
    for (const InstanceRecord& record : records) {
        if (!query.attach_instance(record.process_id)) continue;
        if (const char* scene = query.get_scene_xml()) {
            TiXmlDocument document;
            const TiXmlElement* root = parse_root(document, scene);
            // From version 7 on the selector is looked for one level deeper.
            const int depth = record.version_major >= 7 ? 4 : 3;
            const bool empty = is_empty(root);
            const bool selected =
                !selector.empty() && root && holds_selector(root, selector, depth);
            if (empty) keep_newer(best_empty, record);
            if (accept_any_instance) keep_newer(best_any, record);
            if (selected) keep_newer(best_selected, record);
        }
        query.detach_instance();
    }
    InstanceChoice choice;
    if (best_selected.version_major > 0) {
        choice.record = best_selected;
        choice.found_selector = true;
    } else if (best_any.version_major > 0) {
        choice.record = best_any;
    } else if (best_empty.version_major > 0) {
        choice.record = best_empty;
    }
    return choice;
}

} // namespace vtl
