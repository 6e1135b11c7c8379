#include "summary_printer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

using vtl::reader::Value;
using vtl::reader::ValueKind;

namespace {

// The length of the valid UTF-8 sequence at text[i] (overlong forms, surrogates and values
// past U+10FFFF are not valid), 0 when there is none; *code receives its value.
std::size_t utf8_sequence(const std::string& text, std::size_t i, unsigned* code) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned c = byte(i);
    std::size_t length = 0;
    unsigned value = 0;
    if (c < 0x80) {
        *code = c;
        return 1;
    } else if (c >= 0xc2 && c <= 0xdf) {
        length = 2;
        value = c & 0x1f;
    } else if (c >= 0xe0 && c <= 0xef) {
        length = 3;
        value = c & 0x0f;
    } else if (c >= 0xf0 && c <= 0xf4) {
        length = 4;
        value = c & 0x07;
    } else {
        return 0;
    }
    if (text.size() - i < length) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xc0) != 0x80) return 0;
        value = value << 6 | (byte(i + k) & 0x3f);
    }
    if ((length == 3 && value < 0x800) || (length == 4 && (value < 0x10000 || value > 0x10ffff)) ||
        (value >= 0xd800 && value <= 0xdfff))
        return 0;
    *code = value;
    return length;
}

// Characters that make a terminal act: C0 controls, DEL and C1 controls.
bool is_control(unsigned code) {
    return code < 0x20 || (code >= 0x7f && code <= 0x9f);
}

std::string number_text(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

// A number as JSON: JSON has no infinities and no NaN.
std::string json_number(double v) {
    return std::isfinite(v) ? number_text(v) : "null";
}

// A value as a person reads it (escaped by the caller).
std::string value_text(const Value* v) {
    if (!v) return "";
    switch (v->kind) {
    case ValueKind::Number:
        return number_text(v->number);
    case ValueKind::String:
        return "\"" + v->text + "\"";
    case ValueKind::Array:
        return "[" + std::to_string(v->array.elements) + " elements]";
    default:
        return v->text;
    }
}

} // namespace

std::string json_string(const std::string& s) {
    std::string out = "\"";
    for (std::size_t i = 0; i < s.size();) {
        unsigned code = 0;
        const std::size_t length = utf8_sequence(s, i, &code);
        if (length == 0) {
            out += "\\ufffd"; // a byte that is not valid UTF-8
            ++i;
            continue;
        }
        if (code == '"' || code == '\\') {
            out += '\\';
            out += static_cast<char>(code);
        } else if (is_control(code)) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", code);
            out += escaped;
        } else {
            out.append(s, i, length);
        }
        i += length;
    }
    return out + "\"";
}

namespace {

// A value as JSON: numbers, true/false for on/off, strings otherwise.
std::string json_value(const Value* v) {
    if (!v) return "null";
    if (v->kind == ValueKind::Number) return json_number(v->number);
    if (v->is("on")) return "true";
    if (v->is("off")) return "false";
    if (v->kind == ValueKind::String || v->kind == ValueKind::Word) return json_string(v->text);
    return json_string(value_text(v));
}

std::string counts_text(const std::map<std::string, std::size_t>& counts) {
    std::size_t total = 0;
    std::string parts;
    for (const auto& [kind, n] : counts) {
        total += n;
        parts += (parts.empty() ? "" : ", ") + shown_text(kind) + " " + std::to_string(n);
    }
    return std::to_string(total) + (parts.empty() ? "" : " (" + parts + ")");
}

std::string counts_json(const std::map<std::string, std::size_t>& counts) {
    std::string out = "{";
    for (const auto& [kind, n] : counts)
        out += (out.size() > 1 ? ", " : "") + json_string(kind) + ": " + std::to_string(n);
    return out + "}";
}

void groups_text(std::ostream& out, const SceneSummary& s) {
    for (const GroupSummary& g : s.groups)
        out << std::string(2 * static_cast<std::size_t>(g.depth) + 2, ' ') << "\""
            << shown_text(g.name) << "\" (line " << g.line << ", " << g.objects
            << (g.objects == 1 ? " object" : " objects") << ")\n";
    if (s.unlisted_groups > 0)
        out << "  (" << s.unlisted_groups << " groups nested deeper are not listed)\n";
}

// The groups as nested JSON arrays, built from the depth-first list.
std::string groups_json(const std::vector<GroupSummary>& groups) {
    std::string out = "[";
    for (std::size_t i = 0; i < groups.size(); ++i) {
        const GroupSummary& g = groups[i];
        if (i > 0 && groups[i - 1].depth >= g.depth) out += ", ";
        out += "{\"name\": " + json_string(g.name) + ", \"line\": " + std::to_string(g.line) +
               ", \"objects\": " + std::to_string(g.objects) + ", \"groups\": [";
        const int next = i + 1 < groups.size() ? groups[i + 1].depth : 0;
        for (int depth = g.depth; depth >= next; --depth)
            out += "]}"; // this group, and the groups it ends
    }
    return out + "]";
}

} // namespace

void print_text(std::ostream& out, const std::string& path, const SceneSummary& s) {
    out << shown_text(path) << ": " << s.bytes << " bytes, Scene file version "
        << number_text(s.version) << "\n";
    out << "header:";
    for (std::size_t i = 0; i < s.header.size(); ++i) {
        const std::string& line = s.header[i];
        // Without the blank that follows "//".
        out << (i ? " | " : " ")
            << shown_text(!line.empty() && line[0] == ' ' ? line.substr(1) : line);
    }
    out << "\nimport options:";
    for (const auto& [name, value] : s.import_options)
        out << " " << shown_text(name) << "=" << shown_text(value_text(value));
    out << "\nobjects: " << s.objects << " placed (" << s.instances << " instances), "
        << s.definitions << " definitions\n";
    out << "triangles: " << s.triangles << " (" << s.vertices << " vertices)\n";
    out << "NURBS surfaces: " << s.nurbs_surfaces << "\n";
    out << "materials: " << counts_text(s.materials) << "\n";
    out << "lights: " << counts_text(s.lights) << "\n";
    out << "cameras: " << s.cameras << "\n";
    out << "animations: " << s.animations << " (" << s.keyframes << " keyframes)\n";
    out << "bounds:";
    if (s.has_bounds)
        out << " " << number_text(s.bounds_min[0]) << " " << number_text(s.bounds_min[1]) << " "
            << number_text(s.bounds_min[2]) << " to " << number_text(s.bounds_max[0]) << " "
            << number_text(s.bounds_max[1]) << " " << number_text(s.bounds_max[2]) << "\n";
    else
        out << " none\n";
    out << "groups:" << (s.groups.empty() ? " none" : "") << "\n";
    groups_text(out, s);
    out << "errors:" << (s.errors.empty() ? " none" : "") << "\n";
    for (const ErrorLine& e : s.errors)
        out << "  line " << e.line << ": " << shown_text(e.text) << "\n";
    out << "findings: " << s.error_count << (s.error_count == 1 ? " error, " : " errors, ")
        << s.warning_count << (s.warning_count == 1 ? " warning" : " warnings") << "\n";
    for (const Finding& f : s.findings)
        out << "  " << shown_text(path) << ":" << f.line << ":" << f.column << ": "
            << (f.error ? "error: " : "warning: ") << shown_text(f.message) << "\n";
    if (s.unlisted_findings > 0) out << "  (" << s.unlisted_findings << " more not listed)\n";
    out << "largest objects:\n";
    for (const ObjectSummary& o : s.largest)
        out << "  \"" << shown_text(o.name) << "\" line " << o.line << ", " << o.bytes << " bytes, "
            << (o.definition ? "definition, " : "")
            << (o.geometry.empty() ? "-" : shown_text(o.geometry))
            << (o.triangles ? ", " + std::to_string(o.triangles) + " triangles" : "") << "\n";
}

void print_json(std::ostream& out, const std::string& path, const SceneSummary& s) {
    out << "{\"file\": " << json_string(path) << ", \"bytes\": " << s.bytes
        << ", \"version\": " << json_number(s.version) << ", \"header\": [";
    for (std::size_t i = 0; i < s.header.size(); ++i)
        out << (i ? ", " : "") << json_string(s.header[i]);
    out << "], \"import_options\": {";
    for (std::size_t i = 0; i < s.import_options.size(); ++i)
        out << (i ? ", " : "") << json_string(s.import_options[i].first) << ": "
            << json_value(s.import_options[i].second);
    out << "}, \"objects\": " << s.objects << ", \"instances\": " << s.instances
        << ", \"definitions\": " << s.definitions << ", \"triangles\": " << s.triangles
        << ", \"vertices\": " << s.vertices << ", \"nurbs_surfaces\": " << s.nurbs_surfaces
        << ", \"materials\": " << counts_json(s.materials)
        << ", \"lights\": " << counts_json(s.lights) << ", \"cameras\": " << s.cameras
        << ", \"animations\": " << s.animations << ", \"keyframes\": " << s.keyframes
        << ", \"groups\": " << groups_json(s.groups)
        << ", \"unlisted_groups\": " << s.unlisted_groups << ", \"errors\": [";
    for (std::size_t i = 0; i < s.errors.size(); ++i)
        out << (i ? ", " : "") << "{\"line\": " << s.errors[i].line
            << ", \"text\": " << json_string(s.errors[i].text) << "}";
    out << "], \"findings\": [";
    for (std::size_t i = 0; i < s.findings.size(); ++i) {
        const Finding& f = s.findings[i];
        out << (i ? ", " : "") << "{\"severity\": \"" << (f.error ? "error" : "warning")
            << "\", \"line\": " << f.line << ", \"column\": " << f.column
            << ", \"message\": " << json_string(f.message) << "}";
    }
    out << "], \"unlisted_findings\": " << s.unlisted_findings
        << ", \"error_count\": " << s.error_count << ", \"warning_count\": " << s.warning_count
        << ", \"bounds\": ";
    if (s.has_bounds)
        out << "{\"min\": [" << json_number(s.bounds_min[0]) << ", " << json_number(s.bounds_min[1])
            << ", " << json_number(s.bounds_min[2]) << "], \"max\": ["
            << json_number(s.bounds_max[0]) << ", " << json_number(s.bounds_max[1]) << ", "
            << json_number(s.bounds_max[2]) << "]}";
    else
        out << "null";
    out << ", \"largest_objects\": [";
    for (std::size_t i = 0; i < s.largest.size(); ++i) {
        const ObjectSummary& o = s.largest[i];
        out << (i ? ", " : "") << "{\"name\": " << json_string(o.name) << ", \"line\": " << o.line
            << ", \"bytes\": " << o.bytes << ", \"geometry\": " << json_string(o.geometry)
            << ", \"definition\": " << (o.definition ? "true" : "false")
            << ", \"triangles\": " << o.triangles << "}";
    }
    out << "]}\n";
}

std::string shown_text(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        unsigned code = 0;
        const std::size_t length = utf8_sequence(text, i, &code);
        if (length > 0 && !is_control(code) && code != '\\') {
            out.append(text, i, length);
            i += length;
            continue;
        }
        if (code == '\\' && length == 1) {
            out += "\\\\";
            ++i;
            continue;
        }
        // Each byte of a control character or of an invalid sequence.
        for (std::size_t k = 0; k < std::max<std::size_t>(length, 1); ++k) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x",
                          static_cast<unsigned char>(text[i + k]));
            out += escaped;
        }
        i += std::max<std::size_t>(length, 1);
    }
    return out;
}

void print_json_error(std::ostream& out, const std::string& path, const std::string& message,
                      std::size_t line, std::size_t column) {
    out << "{\"errors\": [{\"file\": " << json_string(path);
    if (line > 0) out << ", \"line\": " << line << ", \"column\": " << column;
    out << ", \"message\": " << json_string(message) << "}]}\n";
}
