// ztstrgen: compiles the text files of strings/ into C++ sources.
//
//   ztstrgen --table OUT.cpp --symbol NAME [--ids OUT.h --namespace NS]
//            FILE... [--overlay FILE...]
//
// An input line is `ID NAME "text"`: a decimal id, a symbolic name (letters,
// digits, underscore) and the text between double quotes, in which \" \\ \n
// \r and \t are the only escapes. Blank lines and lines starting with '#' are
// comments. The base files may not repeat an id or a name; an overlay file
// (a translation) may only replace texts that the base files define, under
// the same id and name. Every error names file and line and fails the build.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Entry {
  int id = 0;
  std::string name;
  std::string text;
  std::string where;
};

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  std::cerr << where << ": error: " << what << "\n";
  std::exit(1);
}

bool IsNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

std::vector<Entry> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail(path, "cannot open the file");
  std::vector<Entry> entries;
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string where = path + ":" + std::to_string(lineNo);
    size_t p = line.find_first_not_of(" \t");
    if (p == std::string::npos || line[p] == '#') continue;
    Entry e;
    e.where = where;
    size_t q = p;
    while (q < line.size() && line[q] >= '0' && line[q] <= '9') ++q;
    if (q == p || q - p > 5) Fail(where, "expected a decimal id at the start of the line");
    e.id = std::stoi(line.substr(p, q - p));
    if (e.id > 32767) Fail(where, "the id does not fit in 16 bits");
    p = line.find_first_not_of(" \t", q);
    if (p == std::string::npos || p == q) Fail(where, "expected a blank and a name after the id");
    q = p;
    while (q < line.size() && IsNameChar(line[q])) ++q;
    if (q == p) Fail(where, "expected a name after the id");
    e.name = line.substr(p, q - p);
    p = line.find_first_not_of(" \t", q);
    if (p == std::string::npos || line[p] != '"' || p == q) Fail(where, "expected a blank and a quoted text after the name");
    ++p;
    bool closed = false;
    for (; p < line.size(); ++p) {
      char c = line[p];
      if (c == '"') {
        closed = true;
        ++p;
        break;
      }
      if (c == '\\') {
        if (++p >= line.size()) Fail(where, "a backslash ends the line");
        switch (line[p]) {
          case '"': e.text += '"'; break;
          case '\\': e.text += '\\'; break;
          case 'n': e.text += '\n'; break;
          case 'r': e.text += '\r'; break;
          case 't': e.text += '\t'; break;
          default: Fail(where, std::string("unknown escape \\") + line[p] + " (write \\\\ for a backslash)");
        }
        continue;
      }
      e.text += c;
    }
    if (!closed) Fail(where, "the text has no closing double quote");
    if (line.find_first_not_of(" \t", p) != std::string::npos) Fail(where, "unexpected text after the closing quote");
    entries.push_back(std::move(e));
  }
  return entries;
}

std::string CLiteral(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\%03o", c);  // octal: never swallows a following digit
      out += buf;
    }
  }
  return out + "\"";
}

void WriteIfChanged(const std::string& path, const std::string& content) {
  std::ifstream in(path, std::ios::binary);
  if (in) {
    std::stringstream old;
    old << in.rdbuf();
    if (old.str() == content) return;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) Fail(path, "cannot write the file");
}

}  // namespace

int main(int argc, char** argv) {
  std::string tablePath, idsPath, symbol, nameSpace;
  std::vector<std::string> bases, overlays;
  bool overlay = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&]() -> std::string {
      if (i + 1 >= argc) Fail("ztstrgen", a + " needs a value");
      return argv[++i];
    };
    if (a == "--table") tablePath = next();
    else if (a == "--ids") idsPath = next();
    else if (a == "--symbol") symbol = next();
    else if (a == "--namespace") nameSpace = next();
    else if (a == "--overlay") overlay = true;
    else (overlay ? overlays : bases).push_back(a);
  }
  if (tablePath.empty() || symbol.empty() || bases.empty()) {
    Fail("ztstrgen", "usage: ztstrgen --table OUT.cpp --symbol NAME [--ids OUT.h --namespace NS] FILE... [--overlay FILE...]");
  }

  std::map<int, Entry> byId;
  std::map<std::string, int> byName;
  for (const auto& file : bases) {
    for (auto& e : ReadFile(file)) {
      if (byId.count(e.id)) Fail(e.where, "id " + std::to_string(e.id) + " is already defined at " + byId[e.id].where);
      if (byName.count(e.name)) Fail(e.where, "name " + e.name + " is already defined at " + byId[byName[e.name]].where);
      byName[e.name] = e.id;
      byId[e.id] = e;
    }
  }
  for (const auto& file : overlays) {
    std::map<int, std::string> seen;
    for (auto& e : ReadFile(file)) {
      auto it = byId.find(e.id);
      if (it == byId.end()) Fail(e.where, "id " + std::to_string(e.id) + " is not defined by the base table");
      if (it->second.name != e.name) Fail(e.where, "id " + std::to_string(e.id) + " is " + it->second.name + " in the base table, not " + e.name);
      if (seen.count(e.id)) Fail(e.where, "id " + std::to_string(e.id) + " is already translated at " + seen[e.id]);
      seen[e.id] = e.where;
      it->second.text = e.text;
    }
  }

  std::ostringstream table;
  table << "// Generated by ztstrgen from the text files of strings/. Do not edit.\n"
        << "#include \"support/StringTable.h\"\n\n"
        << "namespace {\nconst zt::StringTableEntry kEntries[] = {\n";
  for (const auto& [id, e] : byId) {
    table << "    {" << id << ", " << e.text.size() << ", " << CLiteral(e.text) << "},  // " << e.name << "\n";
  }
  table << "};\n}  // namespace\n\n"
        << "extern \"C\" __attribute__((visibility(\"default\"))) const zt::StringTable " << symbol << " = {\n"
        << "    " << byId.size() << ", kEntries};\n";
  WriteIfChanged(tablePath, table.str());

  if (!idsPath.empty()) {
    std::ostringstream ids;
    ids << "// Generated by ztstrgen from the text files of strings/. Do not edit.\n"
        << "#pragma once\n\n#include <cstdint>\n\n";
    if (!nameSpace.empty()) ids << "namespace " << nameSpace << " {\n\n";
    for (const auto& [id, e] : byId) {
      ids << "inline constexpr int16_t " << e.name << " = " << id << ";\n";
    }
    if (!nameSpace.empty()) ids << "\n}  // namespace " << nameSpace << "\n";
    WriteIfChanged(idsPath, ids.str());
  }
  return 0;
}
