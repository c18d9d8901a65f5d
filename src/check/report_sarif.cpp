// The sarif form: one SARIF 2.1.0 log with one run, for code scanning and SARIF viewers.
#include "check/report.h"

namespace {

// A file's name as a relative URI: / between folders, each byte that is no letter, digit or
// one of -._~/ written %XX.
void append_uri(std::string &out, std::string_view file) {
    out += '"';
    for (const char c : file) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') ||
            std::string_view("-._~/").find(c) != std::string_view::npos) {
            out += c;
        } else if (c == '\\') {
            out += '/';
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", b);
            out += escape;
        }
    }
    out += '"';
}

// The column as SARIF counts it here, in Unicode code points (each byte that is no part of
// UTF-8 one, as the JSON of the log writes it), from the column in bytes.
std::uint64_t code_point_column(std::string_view line, std::uint64_t byte_column) {
    std::uint64_t column = 1;
    std::string_view before = line.substr(0, std::min<std::size_t>(byte_column - 1, line.size()));
    while (!before.empty()) {
        const std::size_t size = utf8_length(before);
        before.remove_prefix(size > 0 ? size : 1);
        ++column;
    }
    // A column past the line's end stays past it.
    return column + (byte_column - 1 > line.size() ? byte_column - 1 - line.size() : 0);
}

void append_location(std::string &out, std::string_view file) {
    out += "{\"uri\": ";
    append_uri(out, file);
    out += '}';
}

} // namespace

void append_sarif_start(std::string &out) {
    out +=
        "{\n  \"$schema\": \"https://json.schemastore.org/sarif-2.1.0.json\",\n"
        "  \"version\": \"2.1.0\",\n  \"runs\": [{\n"
        "    \"tool\": {\"driver\": {\"name\": \"norvane-check\", \"version\": \"" NORVANE_VERSION
        "\", \"rules\": [";
    for (std::size_t i = 0; i < rule_count(); ++i) {
        out += i ? ",\n" : "\n";
        out += "      {\"id\": \"";
        out.append(rule_name(i));
        out += "\", \"shortDescription\": {\"text\": ";
        append_json(out, rule_description(i));
        out.append("}, \"defaultConfiguration\": {\"level\": \"")
            .append(severity_name(rule_level(i)))
            .append("\"}}");
    }
    out += "]}},\n    \"columnKind\": \"unicodeCodePoints\",\n    \"results\": [";
}

void append_sarif_end(std::string &out) {
    out += "]\n  }]\n}\n";
}

void append_sarif_result(std::string &out, std::string_view file, const finding &f,
                         const script_view &script) {
    const char *rule = rule_of(f.message);
    out += "\n      {\"ruleId\": \"";
    out.append(rule).append("\", \"ruleIndex\": ").append(std::to_string(rule_index(rule)));
    out.append(", \"level\": \"").append(severity_name(severity_of(f.message)));
    out += "\", \"message\": {\"text\": ";
    std::string message;
    append_message(message, f);
    append_json(out, message);
    out += "},\n       \"locations\": [{\"physicalLocation\": {\"artifactLocation\": ";
    append_location(out, file);
    const std::uint64_t column = f.line >= 1 && f.line <= script.lines.size()
                                     ? code_point_column(script.lines[f.line - 1], f.column)
                                     : f.column;
    out.append(", \"region\": {\"startLine\": ").append(std::to_string(f.line));
    out.append(", \"startColumn\": ").append(std::to_string(column)).append("}}}]");
    if (const rewrite *fix = rewrite_of(script, f.line)) {
        // The lines' text, not their line ends, is replaced.
        out += ",\n       \"fixes\": [{\"description\": {\"text\": \"what --flatten writes\"}, "
               "\"artifactChanges\": [{\"artifactLocation\": ";
        append_location(out, file);
        out.append(", \"replacements\": [{\"deletedRegion\": {\"startLine\": ")
            .append(std::to_string(fix->first))
            .append(", \"endLine\": ")
            .append(std::to_string(fix->last))
            .append("}, \"insertedContent\": {\"text\": ");
        append_json(out, fix->text ? *fix->text : std::string());
        out += "}}]}]}]";
    }
    out += '}';
}
