#include "summary_printer.h"

#include <cstdio>

using vtl::reader::Value;
using vtl::reader::ValueKind;

namespace {

std::string number_text(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

// A value as a person reads it.
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

std::string json_string(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// A value as JSON: numbers, true/false for on/off, strings otherwise.
std::string json_value(const Value* v) {
    if (!v) return "null";
    if (v->kind == ValueKind::Number) return number_text(v->number);
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
        parts += (parts.empty() ? "" : ", ") + kind + " " + std::to_string(n);
    }
    return std::to_string(total) + (parts.empty() ? "" : " (" + parts + ")");
}

std::string counts_json(const std::map<std::string, std::size_t>& counts) {
    std::string out = "{";
    for (const auto& [kind, n] : counts)
        out += (out.size() > 1 ? ", " : "") + json_string(kind) + ": " + std::to_string(n);
    return out + "}";
}

void groups_text(std::ostream& out, const std::vector<GroupSummary>& groups, int depth) {
    for (const GroupSummary& g : groups) {
        out << std::string(2 * depth + 2, ' ') << "\"" << g.name << "\" (line " << g.line << ", "
            << g.objects << (g.objects == 1 ? " object" : " objects") << ")\n";
        groups_text(out, g.groups, depth + 1);
    }
}

std::string groups_json(const std::vector<GroupSummary>& groups) {
    std::string out = "[";
    for (const GroupSummary& g : groups) {
        if (out.size() > 1) out += ", ";
        out += "{\"name\": " + json_string(g.name) + ", \"line\": " + std::to_string(g.line) +
               ", \"objects\": " + std::to_string(g.objects) +
               ", \"groups\": " + groups_json(g.groups) + "}";
    }
    return out + "]";
}

} // namespace

void print_text(std::ostream& out, const std::string& path, const SceneSummary& s) {
    out << path << ": " << s.bytes << " bytes, Scene file version " << s.version << "\n";
    out << "header:";
    for (std::size_t i = 0; i < s.header.size(); ++i) {
        const std::string& line = s.header[i];
        out << (i ? " | " : " ") << line.substr(line.find_first_not_of(' ') == 0 ? 0 : 1);
    }
    out << "\nimport options:";
    for (const auto& [name, value] : s.import_options)
        out << " " << name << "=" << value_text(value);
    out << "\nobjects: " << s.objects << " placed (" << s.instances << " instances), "
        << s.definitions << " definitions\n";
    out << "triangles: " << s.triangles << " (" << s.vertices << " vertices)\n";
    out << "NURBS surfaces: " << s.nurbs_surfaces << "\n";
    out << "materials: " << counts_text(s.materials) << "\n";
    out << "lights: " << counts_text(s.lights) << "\n";
    out << "cameras: " << s.cameras << "\n";
    out << "animations: " << s.animations << " (" << s.keyframes << " keyframes)\n";
    out << "groups:" << (s.groups.empty() ? " none" : "") << "\n";
    groups_text(out, s.groups, 0);
    out << "errors:" << (s.errors.empty() ? " none" : "") << "\n";
    for (const ErrorLine& e : s.errors)
        out << "  line " << e.line << ": " << e.text << "\n";
    out << "largest objects:\n";
    for (const ObjectSummary& o : s.largest)
        out << "  \"" << o.name << "\" line " << o.line << ", " << o.bytes << " bytes, "
            << (o.definition ? "definition, " : "") << (o.geometry.empty() ? "-" : o.geometry)
            << (o.triangles ? ", " + std::to_string(o.triangles) + " triangles" : "") << "\n";
}

void print_json(std::ostream& out, const std::string& path, const SceneSummary& s) {
    out << "{\"file\": " << json_string(path) << ", \"bytes\": " << s.bytes
        << ", \"version\": " << s.version << ", \"header\": [";
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
        << ", \"groups\": " << groups_json(s.groups) << ", \"errors\": [";
    for (std::size_t i = 0; i < s.errors.size(); ++i)
        out << (i ? ", " : "") << "{\"line\": " << s.errors[i].line
            << ", \"text\": " << json_string(s.errors[i].text) << "}";
    out << "], \"largest_objects\": [";
    for (std::size_t i = 0; i < s.largest.size(); ++i) {
        const ObjectSummary& o = s.largest[i];
        out << (i ? ", " : "") << "{\"name\": " << json_string(o.name) << ", \"line\": " << o.line
            << ", \"bytes\": " << o.bytes << ", \"geometry\": " << json_string(o.geometry)
            << ", \"definition\": " << (o.definition ? "true" : "false")
            << ", \"triangles\": " << o.triangles << "}";
    }
    out << "]}\n";
}
